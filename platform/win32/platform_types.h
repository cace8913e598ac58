#pragma once
#include <windows.h>

namespace platform {
using WindowHandle = HWND;
using BitmapHandle = HBITMAP;
using BrushHandle = HBRUSH;
using FontHandle = HFONT;
using DeviceContext = HDC;
using WindowProcedure = WNDPROC;
using MessageId = UINT;
using WordParam = WPARAM;
using LongParam = LPARAM;
using MessageResult = LRESULT;
}  // namespace platform

#define PLATFORM_CALLBACK CALLBACK
