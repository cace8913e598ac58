// The window that SetupWindow::create makes, looked at from inside the
// process: class, styles, size, centring and shape; the nine children with
// their classes, IDs, styles and places; and what the messages a person
// causes do to the record. The shipped skin is linked in.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ui/gdi_scope.h"
#include "ui/setup_window.h"
#include "ui/skin.h"

namespace {

constexpr char proposed[] = "C:\\Games\\The Annals of Quellmark";

std::string class_of(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string text_of(HWND window) {
    char text[600] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The child's rectangle in its parent's client coordinates.
RECT placed(HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class SetupWindowCreate : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(window.create(proposed)); }
    void TearDown() override {
        // The product never destroys its window; a test process makes several.
        if (window.main_window) DestroyWindow(window.main_window);
        window.process_pending_messages();
    }
    void send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
        SendMessageA(window.main_window, message, wparam, lparam);
    }
    SetupWindow window;
};

TEST_F(SetupWindowCreate, IsABorderlessCentredWindowOfTheSkinsSizeCutToItsShape) {
    HWND main = window.main_window;
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(class_of(main), "QuellmarkSetupWindow");
    EXPECT_EQ(text_of(main), "Quellmark Setup");
    // The system adds WS_CLIPSIBLINGS to every top-level window itself.
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(main, GWL_STYLE)) & 0xFFFF0000u & ~WS_CLIPSIBLINGS,
              static_cast<DWORD>(WS_POPUP | WS_CLIPCHILDREN | WS_VISIBLE));
    EXPECT_TRUE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_TRUE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
    EXPECT_EQ(GetClassLongA(main, GCL_STYLE), 0u);
    EXPECT_NE(GetClassLongPtrA(main, GCLP_HICON), 0);
    EXPECT_EQ(window.ui_scale, 100);

    RECT r;
    GetWindowRect(main, &r);
    EXPECT_EQ(r.right - r.left, 988);
    EXPECT_EQ(r.bottom - r.top, 735);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 988) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 735) / 2);

    gdi::Owned<HRGN> shape(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(main, shape.get()), ERROR);
    gdi::Owned<HRGN> expected(region_from_bitmap(window.skin_background, skin_key_colour, 100));
    EXPECT_TRUE(EqualRgn(shape.get(), expected.get()));

    EXPECT_EQ(window.headline, "Ready to install.");
    EXPECT_EQ(window.detail,
              "Setup will download the latest client files and install them on this computer.");
    for (HBITMAP bitmap : {window.skin_background, window.skin_button_normal,
                           window.skin_button_hover, window.skin_button_pressed,
                           window.skin_close_hover, window.skin_close_pressed,
                           window.skin_minimize_hover, window.skin_minimize_pressed}) {
        EXPECT_NE(bitmap, nullptr);
    }
    EXPECT_NE(window.edit_brush, nullptr);
}

struct ExpectedChild {
    HWND SetupWindow::*field;
    const char* window_class;
    int id;
    DWORD style;
    bool client_edge;
    RECT rect;
    const char* text;
};

TEST_F(SetupWindowCreate, MakesTheNineChildrenInTheirPlaces) {
    const ExpectedChild children[] = {
        // The folder field, Browse, Install and Cancel are tab stops (0x10000).
        {&SetupWindow::folder_edit, "Edit", ID_FOLDER, 0x50010080, true, {310, 390, 620, 414},
         proposed},
        {&SetupWindow::browse_button, "Button", ID_BROWSE, 0x5001000B, false, {632, 387, 730, 417},
         "Browse"},
        {&SetupWindow::headline_label, "Static", 0, 0x40000000, false, {0, 0, 0, 0}, ""},
        {&SetupWindow::detail_label, "Static", 0, 0x40000000, false, {0, 0, 0, 0}, ""},
        {&SetupWindow::progress_bar, "msctls_progress32", 0, 0x40000000, false,
         {310, 508, 730, 526}, ""},
        {&SetupWindow::install_button, "Button", ID_INSTALL, 0x5001000B, false,
         {448, 578, 582, 608}, "Install"},
        {&SetupWindow::cancel_button, "Button", ID_CANCEL, 0x5001000B, false, {596, 578, 730, 608},
         "Cancel"},
        {&SetupWindow::minimize_button, "Button", ID_MINIMIZE, 0x5000000B, false,
         {793, 92, 835, 116}, ""},
        {&SetupWindow::close_button, "Button", ID_CLOSE, 0x5000000B, false, {839, 92, 881, 116},
         ""},
    };
    for (const ExpectedChild& child : children) {
        HWND control = window.*child.field;
        SCOPED_TRACE(child.text);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(GetParent(control), window.main_window);
        EXPECT_STRCASEEQ(class_of(control).c_str(), child.window_class);
        EXPECT_EQ(GetDlgCtrlID(control), child.id);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)) & 0xFFFF00FFu,
                  child.style);
        EXPECT_EQ((GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0,
                  child.client_edge);
        const RECT r = placed(control);
        EXPECT_EQ(r.left, child.rect.left);
        EXPECT_EQ(r.top, child.rect.top);
        EXPECT_EQ(r.right, child.rect.right);
        EXPECT_EQ(r.bottom, child.rect.bottom);
        EXPECT_EQ(text_of(control), child.text);
    }
    EXPECT_EQ(SendMessageA(window.progress_bar, PBM_GETRANGE, FALSE, 0), 100);
    ASSERT_NE(window.button_base_proc, nullptr);
    for (HWND button : {window.browse_button, window.install_button, window.cancel_button,
                        window.minimize_button, window.close_button}) {
        EXPECT_EQ(GetWindowLongPtrA(button, GWLP_WNDPROC),
                  reinterpret_cast<LONG_PTR>(&button_subclass_proc));
        EXPECT_EQ(GetWindowLongPtrA(button, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&window));
    }
    // Typing goes into the field from the start, after the proposal.
    EXPECT_EQ(GetFocus(), window.folder_edit);
    DWORD selection_start = 0, selection_end = 0;
    SendMessageA(window.folder_edit, EM_GETSEL, reinterpret_cast<WPARAM>(&selection_start),
                 reinterpret_cast<LPARAM>(&selection_end));
    EXPECT_EQ(selection_start, sizeof proposed - 1);
    EXPECT_EQ(selection_end, sizeof proposed - 1);
}

TEST_F(SetupWindowCreate, CommandsAndACloseRequestOnlySetFlags) {
    send(WM_COMMAND, MAKEWPARAM(ID_INSTALL, BN_CLICKED),
         reinterpret_cast<LPARAM>(window.install_button));
    EXPECT_TRUE(window.start_requested);
    EXPECT_FALSE(window.cancel_requested);
    send(WM_CLOSE);
    EXPECT_TRUE(window.cancel_requested);
    EXPECT_TRUE(IsWindow(window.main_window));
    window.cancel_requested = false;
    send(WM_COMMAND, MAKEWPARAM(ID_CLOSE, BN_CLICKED), 0);
    EXPECT_TRUE(window.cancel_requested);
    window.cancel_requested = false;
    send(WM_COMMAND, MAKEWPARAM(ID_CANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(window.cancel_requested);
    EXPECT_EQ(SendMessageA(window.main_window, WM_ERASEBKGND, 0, 0), 1);
}

// What the person types arrives in the ANSI code page, exactly or refused.
// The test runs once more with Wine's code page set to UTF-8 (65001) by a
// locale that has no other, which sets QM_EXPECT_UTF8. Wine 8 takes there
// the flags Windows refuses for that code page, so only Windows shows a
// refusal of every folder; under Wine the case shows the bytes that arrive.
TEST_F(SetupWindowCreate, TheTypedFolderArrivesInTheCodePageOrIsRefused) {
    const bool utf8 = GetACP() == CP_UTF8;
    if (std::getenv("QM_EXPECT_UTF8")) {
        ASSERT_TRUE(utf8) << "the ANSI code page is " << GetACP();
    }
    const struct {
        const wchar_t* typed;
        bool storable;
        std::string narrow;
    } cases[] = {
        {L"C:\\Games\\Zo\u00eb", true, utf8 ? "C:\\Games\\Zo\xC3\xAB" : "C:\\Games\\Zo\xEB"},
        {L"C:\\Games\\\u4e16\u754c", utf8, "C:\\Games\\\xE4\xB8\x96\xE7\x95\x8C"},
        // A lone surrogate names nothing in any code page.
        {L"C:\\Games\\\xD800x", false, ""},
    };
    if (!utf8 && GetACP() != 1252) GTEST_SKIP() << "needs code page 1252 or 65001";
    for (const auto& c : cases) {
        SetWindowTextW(window.folder_edit, c.typed);
        window.start_requested = true;
        std::string folder;
        ASSERT_TRUE(window.wait_for_start(folder));
        EXPECT_EQ(window.folder_text_lost_characters, !c.storable) << folder;
        if (c.storable) {
            EXPECT_EQ(folder, c.narrow);
        }
    }
}

// Another window taking the mouse mid-drag means no button-up will come: the
// window must stop following the mouse.
TEST_F(SetupWindowCreate, ADragEndsWhenAnotherWindowTakesTheMouse) {
    send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 40));
    EXPECT_TRUE(window.dragging);
    HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    SetCapture(other);
    EXPECT_FALSE(window.dragging);
    ReleaseCapture();
    DestroyWindow(other);
}

TEST_F(SetupWindowCreate, HoverFollowsTheMouseFromButtonToButton) {
    SendMessageA(window.install_button, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(window.hot_control_id, ID_INSTALL);
    SendMessageA(window.cancel_button, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(window.hot_control_id, ID_CANCEL);
    SendMessageA(window.install_button, WM_MOUSELEAVE, 0, 0);  // not the hot one: no change
    EXPECT_EQ(window.hot_control_id, ID_CANCEL);
    SendMessageA(window.cancel_button, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(window.hot_control_id, 0);
}

TEST_F(SetupWindowCreate, InstallingPageShowsOnlyCancelAndTheBar) {
    window.enter_install_mode();
    EXPECT_FALSE(IsWindowVisible(window.folder_edit));
    EXPECT_FALSE(IsWindowVisible(window.browse_button));
    EXPECT_FALSE(IsWindowVisible(window.install_button));
    EXPECT_TRUE(IsWindowVisible(window.cancel_button));
    EXPECT_TRUE(IsWindowVisible(window.progress_bar));
    EXPECT_EQ(text_of(window.headline_label), "Preparing install.");
    window.set_progress(42);
    EXPECT_EQ(SendMessageA(window.progress_bar, PBM_GETPOS, 0, 0), 42);
}

// The face composed into a 32-bit image the window's size: the part inside
// area only, the rest left zero.
std::vector<DWORD> composed(SetupWindow& window, const platform::Rect& area) {
    RECT client;
    GetClientRect(window.main_window, &client);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    gdi::ScreenContext screen;
    gdi::Owned<HBITMAP> image(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    gdi::MemoryContext memory(screen.get());
    {
        gdi::Selection selected(memory.get(), image.get());
        window.compose_face(memory.get(), area);
        GdiFlush();
    }
    const auto* pixels = static_cast<const DWORD*>(bits);
    return std::vector<DWORD>(pixels, pixels + client.right * client.bottom);
}

// A repaint composes only what is invalid; it must show exactly what a
// composition of the whole face shows there, texts cut at its edges included.
TEST_F(SetupWindowCreate, APartOfTheFaceHasThePixelsOfTheWholeFace) {
    RECT client;
    GetClientRect(window.main_window, &client);
    const platform::Rect whole = {0, 0, client.right, client.bottom};
    const platform::Rect parts[] = {window.status_area(), {317, 300, 401, 377},
                                    {500, 440, 503, 441}, {0, 0, 988, 300}};
    for (const bool installing : {false, true}) {
        if (installing) {
            window.enter_install_mode();
            window.set_status("Installing Quellmark...", "data\\maps\\a rather long entry name.map");
        }
        const std::vector<DWORD> full = composed(window, whole);
        for (const platform::Rect& part : parts) {
            const std::vector<DWORD> piece = composed(window, part);
            int differing = 0;
            for (int y = part.top; y < part.bottom; ++y) {
                for (int x = part.left; x < part.right; ++x) {
                    const size_t i = static_cast<size_t>(y * client.right + x);
                    if ((piece[i] & 0xFFFFFF) != (full[i] & 0xFFFFFF)) ++differing;
                }
            }
            EXPECT_EQ(differing, 0) << "page " << installing << ", part " << part.left << ","
                                    << part.top << "-" << part.right << "," << part.bottom;
        }
    }
}

}  // namespace
