#include "ui/window_placement.h"

namespace {
int place_along(int size, int start, int end) {
    const int centred = start + (end - start - size) / 2;
    return centred < start ? start : centred;
}
}  // namespace

WindowPosition place_window(int width, int height, const platform::Rect& work_area) {
    return {place_along(width, work_area.left, work_area.right),
            place_along(height, work_area.top, work_area.bottom)};
}
