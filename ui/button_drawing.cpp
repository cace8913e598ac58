// The five owner-drawn buttons: bitmap faces with a centred caption for the
// push buttons, and for the title-bar buttons the skin's own piece under
// them, with a lit or pressed glyph cell over it.
#include "ui/gdi_scope.h"
#include "ui/setup_window.h"
#include "ui/skin.h"

namespace {

constexpr COLORREF caption_colour = RGB(255, 248, 226);
// The light gold of the faces' rim: the focus mark is drawn in it.
constexpr COLORREF focus_mark_colour = RGB(246, 214, 138);
constexpr int glyph_cell_width = 44;
constexpr int glyph_cell_height = 21;
constexpr int close_cell_left = 45;

// Stretches the source rectangle of bitmap onto (0,0)-(width,height) of dc.
void stretch_piece(HDC dc, HBITMAP bitmap, int source_x, int source_y, int source_width,
                   int source_height, int width, int height) {
    gdi::MemoryContext memory(dc);
    gdi::Selection selected(memory.get(), bitmap);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, 0, 0, width, height, memory.get(), source_x, source_y, source_width,
               source_height, SRCCOPY);
}

}  // namespace

std::string button_caption(int control_id) {
    switch (control_id) {
        case ID_INSTALL: return "Install";
        case ID_CANCEL: return "Cancel";
        case ID_BROWSE: return "Browse";
        default: return "";
    }
}

// The keyboard focus: a rule under the caption ending in a small lozenge on
// each side, like the ones the face carries at its ends. It stays within the
// caption's width and off the face's ornaments.
void draw_focus_mark(HDC dc, const RECT& caption_area) {
    gdi::Owned<HBRUSH> brush(CreateSolidBrush(focus_mark_colour));
    const int rule_y = caption_area.bottom + 1;
    const int left = caption_area.left - 4;
    const int right = caption_area.right + 3;
    const RECT rule = {left, rule_y, right + 1, rule_y + 1};
    FillRect(dc, &rule, brush.get());
    for (int centre : {left, right}) {
        for (int row = -2; row <= 2; ++row) {
            const int half = 2 - (row < 0 ? -row : row);
            const RECT line = {centre - half, rule_y + row, centre + half + 1, rule_y + row + 1};
            FillRect(dc, &line, brush.get());
        }
    }
}

void draw_skin_button(HDC dc, HBITMAP face, const std::string& caption, int width, int height,
                      bool focused) {
    draw_stretched_bitmap(dc, face, width, height);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, caption_colour);
    gdi::Owned<HFONT> font(gdi::create_georgia(height / 2, 600));
    gdi::Selection selected(dc, font.get());
    RECT area = {0, 0, width, height};
    DrawTextA(dc, caption.c_str(), -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (!focused) return;
    RECT text = {0, 0, width, height};
    DrawTextA(dc, caption.c_str(), -1, &text, DT_SINGLELINE | DT_CALCRECT);
    const int text_width = text.right - text.left;
    const int text_height = text.bottom - text.top;
    const RECT caption_area = {(width - text_width) / 2, (height - text_height) / 2,
                               (width - text_width) / 2 + text_width,
                               (height - text_height) / 2 + text_height};
    draw_focus_mark(dc, caption_area);
}

// Copies into the button the piece of the skin that lies under it. The
// corner comes from the button's real position; if that is not inside the
// main window (a negative coordinate) the design position stands in.
void SetupWindow::draw_background_behind(HDC dc, HWND button, int x, int y, int width,
                                         int height) {
    POINT corner = {0, 0};
    ClientToScreen(button, &corner);
    ScreenToClient(main_window, &corner);
    if (corner.x < 0 || corner.y < 0) corner = {scaled(x), scaled(y)};
    const int source_x = MulDiv(corner.x, 100, ui_scale);
    const int source_y = MulDiv(corner.y, 100, ui_scale);
    if (!skin_background) return;
    stretch_piece(dc, skin_background, source_x, source_y, width, height, scaled(width),
                  scaled(height));
}

// The skin's piece first; over it the glyph cell of the lit or pressed strip
// (pressed wins). In the normal state the skin's piece already shows the glyph.
void SetupWindow::draw_chrome_button(HDC dc, HWND button, int x, int y, int width, int height,
                                     ChromeGlyph glyph, bool pressed, bool hover) {
    draw_background_behind(dc, button, x, y, width, height);
    const bool close = glyph == ChromeGlyph::close;
    HBITMAP strip = nullptr;
    if (pressed) {
        strip = close ? skin_close_pressed : skin_minimize_pressed;
    } else if (hover) {
        strip = close ? skin_close_hover : skin_minimize_hover;
    }
    if (!strip) return;
    stretch_piece(dc, strip, close ? close_cell_left : 0, 0, glyph_cell_width, glyph_cell_height,
                  scaled(width), scaled(height));
}
