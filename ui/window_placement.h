#pragma once
// Where the setup window opens on the screen.
#include "platform/platform.h"

struct WindowPosition {
    int left;
    int top;
};

// Centred in the work area (the screen less the task bar) when it fits
// there. A window taller or wider than the work area keeps its top or left
// edge on it: the title banner and the window's grip stay reachable.
WindowPosition place_window(int width, int height, const platform::Rect& work_area);
