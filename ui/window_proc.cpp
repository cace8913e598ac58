// The setup window's procedure: it makes the children, paints the page,
// colours the folder field, draws the buttons and turns clicks, keys and
// drags into the record's flags. It never calls into the install steps.
#include <windows.h>
#include <commctrl.h>

#include "ui/gdi_scope.h"
#include "ui/setup_window.h"
#include "ui/skin.h"

namespace {

constexpr COLORREF field_background = RGB(111, 80, 45);
constexpr COLORREF field_text = RGB(255, 248, 226);
constexpr DWORD owner_drawn_button = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;
// The folder field, Browse, Install and Cancel are the tab stops, in the
// order they are created.
constexpr DWORD tab_stop_button = owner_drawn_button | WS_TABSTOP;

SetupWindow* attached_record(HWND window) {
    return reinterpret_cast<SetupWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

struct ChildControl {
    const char* window_class;
    DWORD style;
    DWORD extended_style;
    int x, y, width, height;
    int id;
    HWND SetupWindow::*field;
};

// The nine children, in the order they are created. Positions are design
// coordinates. The status labels are never shown: they only carry the texts.
const ChildControl child_controls[] = {
    {"EDIT", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 310, 390, 310,
     24, ID_FOLDER, &SetupWindow::folder_edit},
    {"BUTTON", tab_stop_button, 0, 632, 387, 98, 30, ID_BROWSE, &SetupWindow::browse_button},
    {"STATIC", WS_CHILD, 0, 0, 0, 0, 0, 0, &SetupWindow::headline_label},
    {"STATIC", WS_CHILD, 0, 0, 0, 0, 0, 0, &SetupWindow::detail_label},
    {PROGRESS_CLASSA, WS_CHILD, 0, 310, 508, 420, 18, 0, &SetupWindow::progress_bar},
    {"BUTTON", tab_stop_button, 0, 448, 578, 134, 30, ID_INSTALL, &SetupWindow::install_button},
    {"BUTTON", tab_stop_button, 0, 596, 578, 134, 30, ID_CANCEL, &SetupWindow::cancel_button},
    {"BUTTON", owner_drawn_button, 0, 793, 92, 42, 24, ID_MINIMIZE, &SetupWindow::minimize_button},
    {"BUTTON", owner_drawn_button, 0, 839, 92, 42, 24, ID_CLOSE, &SetupWindow::close_button},
};

const char* initial_text(const SetupWindow& record, const ChildControl& control) {
    if (control.id == ID_FOLDER) return record.initial_folder.c_str();
    if (control.id == ID_BROWSE) return "Browse";
    if (control.id == ID_INSTALL) return "Install";
    if (control.id == ID_CANCEL) return "Cancel";
    return "";
}

// WM_CREATE: the children, the folder field's font (kept for the life of the
// process), the bar's range, and the buttons' subclassing.
void create_children(SetupWindow& record, HWND window) {
    HFONT field_font = gdi::create_georgia(record.scaled(14), 400);
    for (const ChildControl& control : child_controls) {
        record.*control.field = CreateWindowExA(
            control.extended_style, control.window_class, initial_text(record, control),
            control.style, record.scaled(control.x), record.scaled(control.y),
            record.scaled(control.width), record.scaled(control.height), window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), GetModuleHandleA(nullptr),
            nullptr);
    }
    if (record.folder_edit) {
        SendMessageA(record.folder_edit, WM_SETFONT, reinterpret_cast<WPARAM>(field_font), TRUE);
    }
    if (record.progress_bar) SendMessageA(record.progress_bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    for (HWND button : {record.browse_button, record.install_button, record.cancel_button,
                        record.minimize_button, record.close_button}) {
        if (!button) continue;
        SetWindowLongPtrA(button, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&record));
        auto previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&button_subclass_proc)));
        if (!record.button_base_proc) record.button_base_proc = previous;
    }
}

// WM_PAINT: the invalid part of the face is composed off-screen and copied
// in one go, so the frequent status repaints never flicker.
void paint(SetupWindow& record, HWND window) {
    PAINTSTRUCT paint_info;
    HDC dc = BeginPaint(window, &paint_info);
    const RECT& invalid = paint_info.rcPaint;
    if (!IsRectEmpty(&invalid)) {
        record.compose_face(dc, {invalid.left, invalid.top, invalid.right, invalid.bottom});
    }
    EndPaint(window, &paint_info);
}

// WM_DRAWITEM for the five buttons; pressed wins over hover.
void draw_button(SetupWindow& record, const DRAWITEMSTRUCT& item) {
    const int id = static_cast<int>(item.CtlID);
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool hover = record.hot_control_id == id;
    if (id == ID_CLOSE) {
        record.draw_chrome_button(item.hDC, item.hwndItem, 839, 92, 42, 24, ChromeGlyph::close,
                                  pressed, hover);
    } else if (id == ID_MINIMIZE) {
        record.draw_chrome_button(item.hDC, item.hwndItem, 793, 92, 42, 24, ChromeGlyph::minimize,
                                  pressed, hover);
    } else {
        HBITMAP face = pressed ? record.skin_button_pressed
                       : hover ? record.skin_button_hover
                               : record.skin_button_normal;
        draw_skin_button(item.hDC, face, button_caption(id), item.rcItem.right - item.rcItem.left,
                         item.rcItem.bottom - item.rcItem.top, (item.itemState & ODS_FOCUS) != 0);
    }
}

// The button that Enter presses (DM_GETDEFID): a focused push button
// presses itself; otherwise Install on the ready page, and none on the
// installing page, where Enter must not cancel.
int default_button(const SetupWindow& record) {
    HWND focus = GetFocus();
    for (HWND button : {record.browse_button, record.install_button, record.cancel_button}) {
        if (button && focus == button) return GetDlgCtrlID(button);
    }
    return record.install_running ? 0 : ID_INSTALL;
}

// WM_ACTIVATE: the control that had the focus when the window was last
// deactivated gets it back, as in a dialog box; the folder field when there
// was none on the ready page. False where the default processing is left to
// place it (deactivation, a minimized window, no control).
bool handle_activation(SetupWindow& record, HWND window, WPARAM wparam) {
    if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window, focus)) record.focused_control = focus;
        return false;
    }
    if (HIWORD(wparam)) return false;
    HWND control = record.focused_control;
    if (!control || !IsWindowVisible(control)) {
        control = record.install_running ? nullptr : record.folder_edit;
    }
    if (!control) return false;
    SetFocus(control);
    return true;
}

// WM_COMMAND by control ID; false for IDs that get default processing.
// Escape arrives as IDCANCEL through the dialog keys of the queue draining.
bool handle_command(SetupWindow& record, HWND window, int id) {
    switch (id) {
        case ID_INSTALL: record.start_requested = true; return true;
        case ID_CANCEL: record.cancel_requested = true; return true;
        case IDCANCEL: record.cancel_requested = true; return true;
        case ID_BROWSE: record.browse_for_folder(); return true;
        case ID_MINIMIZE: ShowWindow(window, SW_MINIMIZE); return true;
        case ID_CLOSE: record.cancel_requested = true; return true;
        default: return false;
    }
}

// The drag's mouse messages. The window has neither border nor caption, so
// its client origin is its top-left corner: keeping the grabbed point under
// the cursor is a move of the corner to the cursor minus the grab offset.
// False for the messages that get default processing.
bool handle_drag(SetupWindow& record, HWND window, UINT message, LPARAM position) {
    if (message == WM_LBUTTONDOWN) {
        record.dragging = true;
        SetCapture(window);
        record.drag_offset.x = static_cast<short>(LOWORD(position));
        record.drag_offset.y = static_cast<short>(HIWORD(position));
        return true;
    }
    // Another window took the mouse mid-drag: the button-up that would end
    // the drag will never reach this window.
    if (message == WM_CAPTURECHANGED) record.dragging = false;
    if (!record.dragging) return false;
    if (message == WM_LBUTTONUP) {
        record.dragging = false;
        ReleaseCapture();
        return true;
    }
    POINT cursor;
    GetCursorPos(&cursor);
    SetWindowPos(window, nullptr, cursor.x - record.drag_offset.x, cursor.y - record.drag_offset.y,
                 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return true;
}

}  // namespace

// Every paint copies from the skin stretched once to the window's size:
// stretching the whole skin would cost most of each status line's repaint.
// The text drawing sees window coordinates, so a part of the face comes out
// with the same pixels as the whole face would have there.
void SetupWindow::compose_face(HDC target, const platform::Rect& area) {
    RECT client = {0, 0, 0, 0};
    if (main_window) GetClientRect(main_window, &client);
    if (!face_background) {
        face_background = CreateCompatibleBitmap(target, client.right, client.bottom);
        gdi::MemoryContext background(target);
        gdi::Selection selected(background.get(), face_background);
        draw_stretched_bitmap(background.get(), skin_background, client.right, client.bottom);
    }
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    gdi::MemoryContext memory(target);
    gdi::Owned<HBITMAP> image(CreateCompatibleBitmap(target, width, height));
    gdi::Selection selected(memory.get(), image.get());
    SetViewportOrgEx(memory.get(), -area.left, -area.top, nullptr);
    {
        gdi::MemoryContext background(target);
        gdi::Selection background_selected(background.get(), face_background);
        BitBlt(memory.get(), area.left, area.top, width, height, background.get(), area.left,
               area.top, SRCCOPY);
    }
    draw_page_texts(memory.get());
    BitBlt(target, area.left, area.top, width, height, memory.get(), area.left, area.top, SRCCOPY);
}

LRESULT CALLBACK SetupWindow::window_proc(HWND window, UINT message, WPARAM wparam,
                                          LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lparam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
        return DefWindowProcA(window, message, wparam, lparam);
    }
    if (message == WM_ERASEBKGND) return 1;  // painting covers everything
    SetupWindow* record = attached_record(window);
    if (!record) return DefWindowProcA(window, message, wparam, lparam);

    switch (message) {
        case WM_CREATE:
            create_children(*record, window);
            return 0;
        case WM_PAINT:
            paint(*record, window);
            return 0;
        case WM_CTLCOLOREDIT: {
            HDC dc = reinterpret_cast<HDC>(wparam);
            SetBkColor(dc, field_background);
            SetTextColor(dc, field_text);
            return reinterpret_cast<LRESULT>(record->edit_brush);
        }
        case WM_DRAWITEM:
            if (!lparam) break;
            draw_button(*record, *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
            return 1;
        case WM_COMMAND:
            if (!handle_command(*record, window, LOWORD(wparam))) break;
            return 0;
        case DM_GETDEFID: {
            const int id = default_button(*record);
            if (!id) break;
            return MAKELRESULT(id, DC_HASDEFID);
        }
        case WM_ACTIVATE:
            if (!handle_activation(*record, window, wparam)) break;
            return 0;
        case WM_CLOSE:
            record->cancel_requested = true;  // the run ends through the install sequence
            return 0;
        case WM_LBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            if (!handle_drag(*record, window, message, lparam)) break;
            return 0;
        default:
            break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}
