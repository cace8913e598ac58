#pragma once
// One setup at a time. An install and an uninstall both hold the named mutex
// "Global\QuellmarkSetup" for the life of their process, so a second copy
// can neither overwrite the package that the first is downloading nor undo
// what it is installing.

// True when this process now holds the mutex. False when another copy holds
// it; that copy's window, if it has one, has been brought to the front.
bool become_the_only_copy();
