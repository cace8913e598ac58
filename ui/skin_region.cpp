#include <cstdint>
#include <vector>

#include "ui/gdi_scope.h"
#include "ui/skin.h"
#include "ui/skin_runs.h"

namespace {

// A top-down 32-bit copy of the bitmap's pixels; empty when none was copied.
std::vector<std::uint32_t> read_pixels(HBITMAP bitmap, int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, 0);
    gdi::ScreenContext screen;
    const int lines = GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), pixels.data(),
                                &info, DIB_RGB_COLORS);
    if (lines <= 0) pixels.clear();
    return pixels;
}

}  // namespace

HRGN region_from_bitmap(HBITMAP bitmap, COLORREF key_colour, int scale) {
    if (!bitmap) return nullptr;
    const SIZE size = gdi::bitmap_size(bitmap);
    if (size.cx < 1 || size.cy < 1) return nullptr;
    const std::vector<std::uint32_t> pixels = read_pixels(bitmap, size.cx, size.cy);
    if (pixels.empty()) return nullptr;

    const std::uint32_t key_rgb = (std::uint32_t{GetRValue(key_colour)} << 16) |
                                  (std::uint32_t{GetGValue(key_colour)} << 8) |
                                  GetBValue(key_colour);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    if (!region) return nullptr;
    for (const PixelRun& run : non_key_runs(pixels.data(), size.cx, size.cy, key_rgb)) {
        const platform::Rect r = scaled_run(run, scale);
        gdi::Owned<HRGN> piece(CreateRectRgn(r.left, r.top, r.right, r.bottom));
        if (piece) CombineRgn(region, region, piece.get(), RGN_OR);
    }
    return region;
}

void draw_stretched_bitmap(HDC dc, HBITMAP bitmap, int width, int height) {
    if (!bitmap) return;
    const SIZE size = gdi::bitmap_size(bitmap);
    gdi::MemoryContext memory(dc);
    gdi::Selection selected(memory.get(), bitmap);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, 0, 0, width, height, memory.get(), 0, 0, size.cx, size.cy, SRCCOPY);
}
