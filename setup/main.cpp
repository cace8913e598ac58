#include <windows.h>

#include "records/uninstall.h"
#include "setup/install_sequence.h"
#include "setup/one_copy.h"
#include "system_dlls.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
    // Before anything can load a DLL: never from the program's own folder.
    restrict_dll_search_to_system32();
    // Long steps run on this thread between queue drains; the system must not
    // swap the window for a "not responding" ghost meanwhile.
    DisableProcessWindowsGhosting();
    // A second copy changes nothing: no folder, no download, no box.
    if (!become_the_only_copy()) return 0;
    if (selects_uninstall(command_line)) return run_uninstall();
    return run_install();
}
