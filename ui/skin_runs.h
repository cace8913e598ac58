#pragma once
// The shape of the skinned window, worked out from the skin's pixels: every
// horizontal run of pixels that are not the key colour. Portable, so the scan
// and its rounding are tested natively; region_from_bitmap turns the runs
// into the window's region.
#include <cstdint>
#include <vector>

#include "platform/platform.h"

struct PixelRun {
    int y = 0;
    int start = 0;  // first pixel of the run
    int end = 0;    // one past its last pixel
};

// Runs of non-key pixels, row by row from the top, left to right. pixels are
// width x height 32-bit values, top-down, blue in the low byte, then green,
// then red; the fourth byte is ignored. key_rgb is 0x00RRGGBB.
std::vector<PixelRun> non_key_runs(const std::uint32_t* pixels, int width, int height,
                                   std::uint32_t key_rgb);

// The run's rectangle at a scale in percent: left and top rounded down,
// right and bottom rounded up, so neighbouring runs and rows still touch.
platform::Rect scaled_run(const PixelRun& run, int scale);
