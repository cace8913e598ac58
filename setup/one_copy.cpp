#include "setup/one_copy.h"

#include <windows.h>

#include "records/uninstall.h"
#include "ui/setup_window.h"

namespace {

constexpr char mutex_name[] = "Global\\QuellmarkSetup";
constexpr char dialog_class[] = "#32770";

// The running copy's window is the setup window, or the uninstaller's box;
// a box standing over the setup window is the one that comes to the front.
void bring_running_copy_forward() {
    HWND window = FindWindowA(setup_window_class, nullptr);
    if (!window) window = FindWindowA(dialog_class, uninstall_box_caption);
    if (!window) return;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(GetLastActivePopup(window));
}

}  // namespace

bool become_the_only_copy() {
    // Never closed: the system releases it when the process ends, however it ends.
    SetLastError(ERROR_SUCCESS);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, mutex_name);
    const DWORD error = GetLastError();
    // A mutex of another user's copy cannot be opened at all; any other
    // failure says nothing about other copies, and the setup goes on.
    const bool taken = mutex ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
    if (!taken) return true;
    if (mutex) CloseHandle(mutex);
    bring_running_copy_forward();
    return false;
}
