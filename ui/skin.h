#pragma once
// The skin's drawing primitives and the buttons' procedure (Windows only).
#include <windows.h>

#include <string>

// The colour that the skin leaves outside the window's shape.
constexpr COLORREF skin_key_colour = RGB(255, 0, 255);

// The union of the bitmap's pixels that are not exactly key_colour, one
// rectangle per horizontal run, at scale percent. Null when there is no
// bitmap, it has no size or its pixels cannot be read; an empty region when
// every pixel is the key colour. The caller owns the region.
HRGN region_from_bitmap(HBITMAP bitmap, COLORREF key_colour, int scale);

// Draws the whole bitmap stretched onto (0,0)-(width,height) of dc, dropping
// pixels rather than blending them. Nothing happens without a bitmap.
void draw_stretched_bitmap(HDC dc, HBITMAP bitmap, int width, int height);

// The caption of a push button by control ID; empty for any other ID.
std::string button_caption(int control_id);

// Paints a push button into (0,0)-(width,height): the face stretched to fill
// it (skipped without a face), then the caption centred on one line, and
// under it the focus mark when the button has the keyboard focus.
void draw_skin_button(HDC dc, HBITMAP face, const std::string& caption, int width, int height,
                      bool focused);

// The procedure installed on the five buttons: tracks which button is under
// the mouse (hot_control_id), then hands every message to the class's own.
LRESULT CALLBACK button_subclass_proc(HWND button, UINT message, WPARAM wparam, LPARAM lparam);
