#include <windows.h>

#include "records/install_records.h"
#include "records/uninstall.h"
#include "setup/install_sequence.h"
#include "setup/one_copy.h"
#include "system_dlls.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
    // An install copies its uninstaller from this open file, taken before
    // anything else, the loading of the first DLL included, gives another
    // program time to swap the program's file for another; kernel32 and
    // msvcrt, loaded with the image, are all it needs.
    const bool uninstall = selects_uninstall(command_line);
    if (!uninstall) hold_running_program();
    // Before anything can load a DLL: never from the program's own folder.
    restrict_dll_search_to_system32();
    // Long steps run on this thread between queue drains; the system must not
    // swap the window for a "not responding" ghost meanwhile.
    DisableProcessWindowsGhosting();
    // A second copy changes nothing: no folder, no download.
    int exit_code = 0;
    if (!become_the_only_copy(uninstall, exit_code)) return exit_code;
    if (uninstall) return run_uninstall();
    return run_install();
}
