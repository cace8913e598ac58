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
    const bool uninstall = selects_uninstall(command_line);
    // A second copy changes nothing: no folder, no download.
    int exit_code = 0;
    if (!become_the_only_copy(uninstall, exit_code)) return exit_code;
    if (uninstall) return run_uninstall();
    return run_install();
}
