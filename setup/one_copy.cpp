#include "setup/one_copy.h"

#include <windows.h>

#include <string>

#include "platform/kernel_handle.h"
#include "report/shown_texts.h"
#include "ui/setup_window.h"

namespace {

constexpr char global_name[] = "Global\\QuellmarkSetup";
constexpr char namespace_alias[] = "Quellmark";
constexpr char name_in_namespace[] = "Quellmark\\QuellmarkSetup";
constexpr char dialog_class[] = "#32770";
constexpr char already_running[] = "Another Quellmark setup is already running.";
constexpr ULONGLONG answer_wait_milliseconds = 5000;

using CreateBoundaryDescriptorFunction = HANDLE(WINAPI*)(LPCSTR, ULONG);
using AddSidFunction = BOOL(WINAPI*)(HANDLE*, PSID);
using CreateNamespaceFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCSTR);
using OpenNamespaceFunction = HANDLE(WINAPI*)(LPVOID, LPCSTR);

// The mutex's name inside the private namespace, made or joined; the global
// name where the system has no private namespaces (Wine 8 exports none of
// these functions, so they are looked up rather than imported).
std::string find_mutex_name() {
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return global_name;
    const auto create_boundary = reinterpret_cast<CreateBoundaryDescriptorFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "CreateBoundaryDescriptorA")));
    const auto add_sid = reinterpret_cast<AddSidFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "AddSIDToBoundaryDescriptor")));
    const auto create_namespace = reinterpret_cast<CreateNamespaceFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "CreatePrivateNamespaceA")));
    const auto open_namespace = reinterpret_cast<OpenNamespaceFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "OpenPrivateNamespaceA")));
    if (!create_boundary || !add_sid || !create_namespace || !open_namespace) return global_name;

    // S-1-5-32-544, the Administrators group: only a process whose token
    // holds it enabled (an elevated one) may make the namespace.
    static unsigned char administrators[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};
    HANDLE boundary = create_boundary("QuellmarkSetup", 0);
    if (!boundary || !add_sid(&boundary, administrators)) return global_name;
    // Never closed, like the boundary: the namespace lasts while a copy
    // holds it. Another copy made it first when creating fails.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (create_namespace(nullptr, boundary, namespace_alias)) return name_in_namespace;
        if (open_namespace(boundary, namespace_alias)) return name_in_namespace;
    }
    return global_name;
}

const std::string& mutex_name() {
    static const std::string name = find_mutex_name();
    return name;
}

// True when another copy holds the mutex. This process keeps it when it
// was free; the system releases it when the process ends, however it ends.
bool held_by_another_copy() {
    SetLastError(ERROR_SUCCESS);
    platform::KernelHandle mutex(CreateMutexA(nullptr, TRUE, mutex_name().c_str()));
    const DWORD error = GetLastError();
    // A mutex of another user's copy cannot be opened at all; any other
    // failure says nothing about other copies, and the setup goes on.
    const bool taken = mutex ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
    if (!taken) mutex.release();  // held for the rest of the process
    return taken;
}

// The running copy's window is the setup window, or the uninstaller's box;
// a box standing over the setup window is the one that comes to the front.
bool bring_running_copy_forward() {
    HWND window = FindWindowA(setup_window_class, nullptr);
    if (!window) window = FindWindowA(dialog_class, uninstall_caption);
    if (!window) return false;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(GetLastActivePopup(window));
    return true;
}

}  // namespace

bool become_the_only_copy(bool uninstall_mode, int& exit_code) {
    if (!held_by_another_copy()) return true;
    // The running copy may still be starting, its window not yet shown; or
    // it may end meanwhile and leave the mutex to this one. A mutex that
    // nothing answers for may be held by a program that only pretends.
    const ULONGLONG deadline = GetTickCount64() + answer_wait_milliseconds;
    for (;;) {
        if (bring_running_copy_forward()) {
            exit_code = 0;
            return false;
        }
        if (!held_by_another_copy()) return true;
        if (GetTickCount64() >= deadline) break;
        Sleep(100);
    }
    MessageBoxA(nullptr, already_running, uninstall_mode ? uninstall_caption : setup_caption,
                MB_OK | MB_ICONERROR);
    exit_code = 1;
    return false;
}
