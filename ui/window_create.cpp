// Bringing the setup window onto the screen: the skin, the class, one
// borderless window the size of the skin, centred in the work area, cut to the
// skin's outline.
#include <windows.h>
#include <commctrl.h>

#include "report/shown_texts.h"
#include "ui/gdi_scope.h"
#include "ui/setup_window.h"
#include "ui/skin.h"
#include "ui/window_placement.h"

namespace {

constexpr int first_skin_resource = 201;
constexpr SIZE size_without_skin = {900, 650};

HINSTANCE own_module() { return GetModuleHandleA(nullptr); }

// The class is registered once per process; a second registration fails
// harmlessly and the first one stays in force.
void register_window_class() {
    WNDCLASSA window_class = {};
    window_class.style = 0;
    window_class.lpfnWndProc = &SetupWindow::window_proc;
    window_class.hInstance = own_module();
    window_class.hIcon = LoadIconA(own_module(), MAKEINTRESOURCEA(1));
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.lpszClassName = setup_window_class;
    RegisterClassA(&window_class);
}

// The primary monitor's work area: the screen less the task bar.
platform::Rect work_area() {
    RECT area = {};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0) || IsRectEmpty(&area)) {
        return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    return {area.left, area.top, area.right, area.bottom};
}

// The skin's size, or 900 x 650 when there is no skin or it has no size.
SIZE unscaled_window_size(HBITMAP skin) {
    if (!skin) return size_without_skin;
    const SIZE size = gdi::bitmap_size(skin);
    if (size.cx < 1 || size.cy < 1) return size_without_skin;
    return size;
}

}  // namespace

// Loads the eight skin bitmaps (201 to 208) from the program's own module and
// the folder field's brush. A bitmap that is missing leaves its field null.
// The scale stays 100: it is never derived from the screen.
void SetupWindow::load_skin() {
    platform::BitmapHandle* fields[] = {&skin_background,     &skin_button_normal,
                                        &skin_button_hover,   &skin_button_pressed,
                                        &skin_close_hover,    &skin_close_pressed,
                                        &skin_minimize_hover, &skin_minimize_pressed};
    int resource = first_skin_resource;
    for (platform::BitmapHandle* field : fields) {
        platform::delete_bitmap(*field);
        *field = static_cast<HBITMAP>(LoadImageA(own_module(), MAKEINTRESOURCEA(resource++),
                                                 IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    }
    platform::delete_brush(edit_brush);
    edit_brush = CreateSolidBrush(RGB(111, 80, 45));
    const SIZE size = gdi::bitmap_size(skin_background);
    if (size.cx >= 1 && size.cy >= 1) ui_scale = 100;
}

// Creates and shows the ready page with the proposed folder in the folder
// field. False when the window could not be made; nothing is shown then.
// The region is attached while the window is still invisible, so its
// rectangular form never reaches the screen.
bool SetupWindow::create(const std::string& proposed_folder) {
    InitCommonControls();  // the progress bar's class
    initial_folder = proposed_folder;
    headline = "Ready to install.";
    detail = "Setup will download the latest client files and install them on this computer.";
    sentence_detail = detail;
    load_skin();
    register_window_class();

    const SIZE size = unscaled_window_size(skin_background);
    const int width = scaled(size.cx);
    const int height = scaled(size.cy);
    const WindowPosition position = place_window(width, height, work_area());
    // A control parent: the dialog keys of the queue draining (Tab, Enter,
    // Escape) work on its children as in a dialog box.
    main_window = CreateWindowExA(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, setup_window_class,
                                  setup_caption, WS_POPUP | WS_CLIPCHILDREN, position.left,
                                  position.top, width, height, nullptr, nullptr, own_module(), this);
    if (!main_window) return false;

    if (skin_background) {
        gdi::Owned<HRGN> region(region_from_bitmap(skin_background, skin_key_colour, ui_scale));
        // On success the window owns the region; on failure it stays ours to delete.
        if (region && SetWindowRgn(main_window, region.get(), TRUE)) region.release();
    }
    ShowWindow(main_window, SW_SHOW);
    // Typing goes into the folder field from the start.
    SetForegroundWindow(main_window);
    platform::focus_text_field(folder_edit);
    UpdateWindow(main_window);
    process_pending_messages();
    return true;
}
