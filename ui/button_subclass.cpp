// Hover tracking for the five buttons: the button under the mouse is
// remembered in hot_control_id so that its lit face can be drawn.
#include "ui/setup_window.h"
#include "ui/skin.h"

namespace {

SetupWindow* button_record(HWND button) {
    return reinterpret_cast<SetupWindow*>(GetWindowLongPtrA(button, GWLP_USERDATA));
}

// The mouse moved over this button: it becomes the hot one (the previous hot
// button is redrawn normal), and the platform is asked to say when it leaves.
void track_hover(SetupWindow& record, HWND button) {
    const int id = GetDlgCtrlID(button);
    if (record.hot_control_id != id) {
        if (record.hot_control_id != 0) {
            HWND previous = GetDlgItem(record.main_window, record.hot_control_id);
            if (previous) InvalidateRect(previous, nullptr, TRUE);
            record.hot_control_id = 0;
        }
        record.hot_control_id = id;
        InvalidateRect(button, nullptr, TRUE);
    }
    TRACKMOUSEEVENT request = {};
    request.cbSize = sizeof request;
    request.dwFlags = TME_LEAVE;
    request.hwndTrack = button;
    request.dwHoverTime = 0;
    TrackMouseEvent(&request);
}

void end_hover(SetupWindow& record, HWND button) {
    if (record.hot_control_id != GetDlgCtrlID(button)) return;
    record.hot_control_id = 0;
    InvalidateRect(button, nullptr, TRUE);
}

}  // namespace

LRESULT CALLBACK button_subclass_proc(HWND button, UINT message, WPARAM wparam, LPARAM lparam) {
    SetupWindow* record = button_record(button);
    if (!record) return DefWindowProcA(button, message, wparam, lparam);
    if (message == WM_MOUSEMOVE) track_hover(*record, button);
    if (message == WM_MOUSELEAVE) end_hover(*record, button);
    if (!record->button_base_proc) return DefWindowProcA(button, message, wparam, lparam);
    return CallWindowProcA(record->button_base_proc, button, message, wparam, lparam);
}
