#pragma once
// Small owners for the GDI objects that the window's drawing code borrows:
// each gives back exactly what it took, on every path out of a scope.
#include <windows.h>

#include "platform/owner.h"

namespace gdi {

// A GDI object this code created (font, bitmap, region, brush); deleted once.
template <typename Handle>
void delete_object(Handle object) { DeleteObject(object); }
template <typename Handle>
using Owned = platform::Owner<Handle, delete_object<Handle>>;

// A memory device context compatible with another one.
inline void delete_dc(HDC dc) { DeleteDC(dc); }
struct MemoryContext : platform::Owner<HDC, delete_dc> {
    explicit MemoryContext(HDC compatible_with) : Owner(CreateCompatibleDC(compatible_with)) {}
};

// An object selected into a context; the previous one goes back on scope exit.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// The screen's device context (GetDC with no window).
inline void release_screen_dc(HDC dc) { ReleaseDC(nullptr, dc); }
struct ScreenContext : platform::Owner<HDC, release_screen_dc> {
    ScreenContext() : Owner(GetDC(nullptr)) {}
};

// A "Georgia" font of the window's one family: the given cell height and
// weight, everything else at the platform's defaults.
inline HFONT create_georgia(int height, int weight) {
    return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, "Georgia");
}

// Width and height of a bitmap; zero when it cannot be read.
inline SIZE bitmap_size(HBITMAP bitmap) {
    BITMAP info = {};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) return {0, 0};
    return {info.bmWidth, info.bmHeight};
}

}  // namespace gdi
