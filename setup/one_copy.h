#pragma once
// One setup at a time. An install and an uninstall both hold one named
// mutex for the life of their process, so a second copy can neither
// overwrite the package that the first is downloading nor undo what it is
// installing. The name lies in a private namespace whose boundary holds the
// Administrators group, so a standard user cannot take it first; where the
// system offers no such namespace, it is the global name.

// True when this process now holds the mutex. False when another copy holds
// it; exit_code is then what this process ends with: 0 when the running
// copy's window (the setup window, or the uninstaller's box) answered within
// a few seconds and was brought to the front, 1 after a box that says
// another setup is running, in the caption of the mode's boxes.
bool become_the_only_copy(bool uninstall_mode, int& exit_code);
