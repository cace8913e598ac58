// The one-copy mutex held by a program with no window (this test): the real
// setup, started in either mode, waits for an answer that never comes, says
// so in a box and ends with 1, never silently.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "setup/one_copy.h"
#include "tests/support/message_box_answerer.h"

namespace {

// The build's setup program, reached through Wine's drive for the host's root.
std::string setup_program() {
    std::string path = std::string("Z:") + QM_SETUP_EXE;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

DWORD run_setup(const std::string& arguments) {
    std::string command = "\"" + setup_program() + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return 0xFFFFFFFF;
    }
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
    }
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

}  // namespace

TEST(OneCopy, AMutexThatNoWindowAnswersForEndsTheSetupWithABoxAndOne) {
    // This process plays the running copy: the mutex is free, and it keeps it.
    int exit_code = 0;
    ASSERT_TRUE(become_the_only_copy(false, exit_code));
    const struct {
        const char* arguments;
        const char* caption;
    } modes[] = {{"", "Quellmark Setup"}, {"/uninstall", "Quellmark Uninstall"}};
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode.caption);
        test_support::MessageBoxAnswerer answerer(mode.caption, IDOK);
        EXPECT_EQ(run_setup(mode.arguments), 1u);
        const auto seen = answerer.seen();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].text, "Another Quellmark setup is already running.");
    }
}
