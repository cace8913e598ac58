// The progress bar and status texts that extraction reports, seen by a
// stand-in progress control that records every position it is sent.
// Windows only: the host build has no controls to receive them.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

#include "tests/zip/extraction_sandbox.h"
#include "tests/zip/zip_writer.h"

using namespace zip_test;

namespace {

std::vector<int> positions;

LRESULT CALLBACK record_progress(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == PBM_SETPOS) positions.push_back(static_cast<int>(wparam));
    return DefWindowProcA(window, message, wparam, lparam);
}

// A hidden window of a class that only records PBM_SETPOS.
class RecordingProgressBar {
public:
    RecordingProgressBar() {
        WNDCLASSA window_class{};
        window_class.lpfnWndProc = record_progress;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.lpszClassName = "QmRecordingProgress";
        RegisterClassA(&window_class);
        handle_ = CreateWindowExA(0, "QmRecordingProgress", "", 0, 0, 0, 10, 10, nullptr, nullptr,
                                  window_class.hInstance, nullptr);
        positions.clear();
    }
    ~RecordingProgressBar() { DestroyWindow(handle_); }
    HWND handle() const { return handle_; }

private:
    HWND handle_;
};

std::vector<int> progress_of(const std::vector<Entry>& entries) {
    RecordingProgressBar bar;
    SetupWindow window;
    window.progress_bar = bar.handle();
    ExtractionSandbox sandbox;
    const Outcome outcome = sandbox.extract(build_zip(entries), window);
    EXPECT_TRUE(outcome.ok) << outcome.message;
    window.progress_bar = nullptr;
    return positions;
}

}  // namespace

TEST(ExtractionProgress, MovesFromFiftyByFileEntryThenEndsAtHundred) {
    EXPECT_EQ(progress_of({stored("a", "1"), stored("b", "2"), deflated("c", "3")}),
              (std::vector<int>{50, 66, 82, 100}));
    EXPECT_EQ(progress_of({folder("data/"), stored("data/a.bin", "1")}),
              (std::vector<int>{74, 100}));
    EXPECT_EQ(progress_of({}), (std::vector<int>{100}));
}
