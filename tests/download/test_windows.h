#pragma once
// Real windows that stand in for the setup window's parts during a download.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/setup_window.h"

namespace download_test {

// A real "msctls_progress32" control (hidden) that records every position it
// is sent, before the control itself clamps it.
class RecordingProgressBar {
public:
    RecordingProgressBar();
    ~RecordingProgressBar();
    RecordingProgressBar(const RecordingProgressBar&) = delete;
    RecordingProgressBar& operator=(const RecordingProgressBar&) = delete;

    HWND handle() const { return bar_; }
    const std::vector<int>& positions() const { return positions_; }
    // What the control itself shows now (PBM_GETPOS).
    int shown_position() const;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    HWND bar_ = nullptr;
    WNDPROC base_procedure_ = nullptr;
    std::vector<int> positions_;
};

// Plays the user: a timer on a window of its own ticks while the download
// drains the queue, and after a number of ticks it presses Cancel, that is,
// sets the window's cancel_requested. Ticks only arrive when the queue is
// drained, so they also count that the download keeps the window alive.
// With counting_from, only ticks while the window's headline reads that
// count: the user waits for the step to show. Each tick first runs on_tick.
class UserAtTheWindow {
public:
    UserAtTheWindow(SetupWindow& window, UINT tick_milliseconds, int cancel_after_ticks,
                    std::string counting_from = "");
    ~UserAtTheWindow();
    UserAtTheWindow(const UserAtTheWindow&) = delete;
    UserAtTheWindow& operator=(const UserAtTheWindow&) = delete;

    int ticks() const { return ticks_; }
    std::function<void()> on_tick;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    SetupWindow& window_;
    int cancel_after_ticks_;
    std::string counting_from_;
    int ticks_ = 0;
    HWND timer_window_ = nullptr;
};

}  // namespace download_test
