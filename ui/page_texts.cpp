// The texts of the two pages, drawn onto the window's off-screen image.
#include "download/package_url.h"
#include "ui/gdi_scope.h"
#include "ui/setup_window.h"
#include "ui/url_host.h"

namespace {

constexpr COLORREF text_colour = RGB(255, 248, 226);
constexpr int text_left = 310;
constexpr int text_right = 730;
// Wrapped texts never show a line cut through its middle: one that does not
// fit whole is left out.
constexpr UINT wrapped_flags = DT_WORDBREAK | DT_EDITCONTROL;
constexpr UINT sentence_detail_flags = wrapped_flags | DT_END_ELLIPSIS | DT_NOPREFIX;
// A folder, a URL or an entry name keeps its end, the part that names it,
// and loses its middle.
constexpr UINT path_detail_flags = DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_NOPREFIX;

std::string ready_description() {
    return "Setup will download the latest client files from " + url_host(package_base_url) +
           " and install them on this computer.";
}

// Draws text into the text column between the design rows top and bottom,
// left-aligned at the top and clipped to the rectangle.
void draw_row(const SetupWindow& record, HDC dc, const std::string& text, int top, int bottom,
              UINT flags) {
    RECT area = {record.scaled(text_left), record.scaled(top), record.scaled(text_right),
                 record.scaled(bottom)};
    DrawTextA(dc, text.c_str(), -1, &area, flags);
}

// The same for UTF-8 text, drawn as UTF-16: its characters show whatever the
// system's code page.
void draw_unicode_row(const SetupWindow& record, HDC dc, const std::string& text, int top,
                      int bottom, UINT flags) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0);
    if (length <= 0) return;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    RECT area = {record.scaled(text_left), record.scaled(top), record.scaled(text_right),
                 record.scaled(bottom)};
    DrawTextW(dc, wide.c_str(), length, &area, flags);
}

}  // namespace

void SetupWindow::draw_page_texts(HDC dc) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, text_colour);
    const bool ready = !install_running;
    // Made once: creating the fonts on every paint cost more than drawing.
    if (!title_font) title_font = gdi::create_georgia(scaled(24), 600);
    if (!body_font) body_font = gdi::create_georgia(scaled(15), 600);
    {
        gdi::Selection selected(dc, title_font);
        draw_row(*this, dc, ready ? "Install Quellmark" : "Installing Quellmark", 242, 288,
                 DT_SINGLELINE);
    }
    gdi::Selection selected(dc, body_font);
    const UINT detail_flags = detail == sentence_detail ? sentence_detail_flags : path_detail_flags;
    if (ready) {
        draw_row(*this, dc, ready_description(), 300, 370, wrapped_flags);
        draw_row(*this, dc, "Install folder:", 365, 388, DT_SINGLELINE);
        draw_row(*this, dc, headline, 432, 464, wrapped_flags);
        if (!detail.empty()) draw_row(*this, dc, detail, 462, 502, detail_flags);
    } else {
        draw_row(*this, dc, "Installing The Annals of Quellmark, please wait.", 300, 370,
                 wrapped_flags);
        draw_row(*this, dc, headline, 390, 430, wrapped_flags);
        if (!detail.empty()) draw_row(*this, dc, detail, 430, 500, detail_flags);
        // Under the one-line detail of the download, above the bar.
        if (!transfer.empty()) {
            draw_unicode_row(*this, dc, transfer.text(), transfer_row_top, transfer_row_bottom,
                             DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        }
    }
}
