#pragma once
// The setup runs elevated and is usually started from a Downloads folder,
// where anyone can drop a DLL. Windows searches the program's own folder first
// for every DLL that is not on its KnownDLLs list, and system DLLs load more
// DLLs on the program's behalf. So the image imports kernel32 and msvcrt
// alone (system_imports.S reaches everything else), and the entry point first
// restricts every later search to System32.

// Restricts every later DLL search of the process to System32, and loads
// from there the DLLs that system code loads on our behalf. Called in the
// entry point before anything can load a DLL.
void restrict_dll_search_to_system32();
