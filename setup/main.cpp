#include <windows.h>

#include <exception>
#include <new>

#include "records/install_records.h"
#include "records/uninstall.h"
#include "report/shown_texts.h"
#include "setup/install_sequence.h"
#include "setup/one_copy.h"
#include "platform/system_dlls.h"

namespace {
constexpr char out_of_memory_text[] = "Setup ran out of memory.";
constexpr char unexpected_failure_text[] = "Setup stopped because of an unexpected error.";

bool uninstall_mode = false;

// The one sentence for an exception that reached the entry point, named by
// what it is. Asked only while that exception is being handled.
const char* failure_text(std::exception_ptr failure) {
    try {
        if (failure) std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        return out_of_memory_text;
    } catch (...) {
    }
    return unexpected_failure_text;
}

// Shows the sentence in a box of the run's mode, with no owner: the window
// may be gone with the step that failed. Nothing here allocates.
int report_failure(const char* text) {
    MessageBoxA(nullptr, text, uninstall_mode ? uninstall_caption : setup_caption,
                MB_OK | MB_ICONERROR);
    return 1;
}

// An exception that cannot unwind to the entry point (one thrown inside a
// window procedure, below the system's frames) ends the run here, with the
// same box, instead of without a word.
[[noreturn]] void end_without_unwinding() {
    report_failure(failure_text(std::current_exception()));
    ExitProcess(1);
}

int run_mode() {
    // Long steps run on this thread between queue drains; the system must not
    // swap the window for a "not responding" ghost meanwhile.
    DisableProcessWindowsGhosting();
    // A second copy changes nothing: no folder, no download.
    int exit_code = 0;
    if (!become_the_only_copy(uninstall_mode, exit_code)) return exit_code;
    if (uninstall_mode) return run_uninstall();
    return run_install();
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
    // An install copies its uninstaller from this open file, taken before
    // anything else, the loading of the first DLL included, gives another
    // program time to swap the program's file for another; kernel32 and
    // msvcrt, loaded with the image, are all it needs.
    uninstall_mode = selects_uninstall(command_line);
    if (!uninstall_mode) hold_running_program();
    // Before anything can load a DLL: never from the program's own folder.
    restrict_dll_search_to_system32();
    std::set_terminate(end_without_unwinding);
    // No step lets an exception out on purpose; one that does (memory ran
    // out) ends the run with a sentence and the failure's exit code.
    try {
        return run_mode();
    } catch (...) {
        return report_failure(failure_text(std::current_exception()));
    }
}
