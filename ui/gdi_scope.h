#pragma once
// Small owners for the GDI objects that the window's drawing code borrows:
// each gives back exactly what it took, on every path out of a scope.
#include <windows.h>

namespace gdi {

// A GDI object this code created (font, bitmap, region, brush); deleted once.
template <typename Handle>
class Owned {
public:
    explicit Owned(Handle handle = nullptr) : handle_(handle) {}
    ~Owned() {
        if (handle_) DeleteObject(handle_);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Handle get() const { return handle_; }
    // Hands the object to a new owner (a window taking a region).
    Handle release() {
        Handle handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    Handle handle_;
};

// A memory device context compatible with another one.
class MemoryContext {
public:
    explicit MemoryContext(HDC compatible_with) : dc_(CreateCompatibleDC(compatible_with)) {}
    ~MemoryContext() {
        if (dc_) DeleteDC(dc_);
    }
    MemoryContext(const MemoryContext&) = delete;
    MemoryContext& operator=(const MemoryContext&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HDC dc_;
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
class ScreenContext {
public:
    ScreenContext() : dc_(GetDC(nullptr)) {}
    ~ScreenContext() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    ScreenContext(const ScreenContext&) = delete;
    ScreenContext& operator=(const ScreenContext&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
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
