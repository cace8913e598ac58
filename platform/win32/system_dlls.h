#pragma once
// The setup runs elevated and is usually started from a Downloads folder,
// where anyone can drop a DLL. Windows searches the program's own folder first
// for every DLL that is not on its KnownDLLs list, so the image imports only
// KnownDLLs statically, and everything else is fetched from System32 alone.

// Restricts every later DLL search of the process, the system's own loads on
// our behalf included, to System32. Called first thing in the entry point.
void restrict_dll_search_to_system32();
