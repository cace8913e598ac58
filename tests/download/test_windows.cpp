#include "tests/download/test_windows.h"

#include <utility>

#include <commctrl.h>

namespace download_test {

RecordingProgressBar::RecordingProgressBar() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    bar_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 200, 20, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    SendMessageA(bar_, PBM_SETRANGE32, 0, 100);
    SetWindowLongPtrA(bar_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    base_procedure_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(bar_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&procedure)));
}

RecordingProgressBar::~RecordingProgressBar() {
    if (bar_) DestroyWindow(bar_);
}

int RecordingProgressBar::shown_position() const {
    return static_cast<int>(SendMessageA(bar_, PBM_GETPOS, 0, 0));
}

LRESULT CALLBACK RecordingProgressBar::procedure(HWND window, UINT message, WPARAM wparam,
                                                 LPARAM lparam) {
    auto* self = reinterpret_cast<RecordingProgressBar*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == PBM_SETPOS) self->positions_.push_back(static_cast<int>(wparam));
    return CallWindowProcA(self->base_procedure_, window, message, wparam, lparam);
}

UserAtTheWindow::UserAtTheWindow(SetupWindow& window, UINT tick_milliseconds,
                                 int cancel_after_ticks, std::string counting_from)
    : window_(window),
      cancel_after_ticks_(cancel_after_ticks),
      counting_from_(std::move(counting_from)) {
    static const ATOM window_class = [] {
        WNDCLASSA description = {};
        description.lpfnWndProc = &procedure;
        description.hInstance = GetModuleHandleA(nullptr);
        description.lpszClassName = "QuellmarkTestUser";
        return RegisterClassA(&description);
    }();
    timer_window_ = CreateWindowExA(0, MAKEINTATOM(window_class), "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(timer_window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetTimer(timer_window_, 1, tick_milliseconds, nullptr);
}

UserAtTheWindow::~UserAtTheWindow() {
    KillTimer(timer_window_, 1);
    DestroyWindow(timer_window_);
}

LRESULT CALLBACK UserAtTheWindow::procedure(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
    auto* self = reinterpret_cast<UserAtTheWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_TIMER && self) {
        if (self->on_tick) self->on_tick();
        if (!self->counting_from_.empty() && self->window_.headline != self->counting_from_)
            return 0;
        if (++self->ticks_ == self->cancel_after_ticks_) self->window_.cancel_requested = true;
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace download_test
