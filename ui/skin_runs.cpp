#include "ui/skin_runs.h"

std::vector<PixelRun> non_key_runs(const std::uint32_t* pixels, int width, int height,
                                   std::uint32_t key_rgb) {
    std::vector<PixelRun> runs;
    const std::uint32_t key = key_rgb & 0x00FFFFFFu;
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = pixels + static_cast<std::size_t>(y) * width;
        bool open = false;
        int start = 0;
        for (int x = 0; x < width; ++x) {
            const bool is_key = (row[x] & 0x00FFFFFFu) == key;
            if (!is_key && !open) {
                open = true;
                start = x;
            } else if (is_key && open) {
                open = false;
                runs.push_back({y, start, x});
            }
        }
        if (open) runs.push_back({y, start, width});
    }
    return runs;
}

platform::Rect scaled_run(const PixelRun& run, int scale) {
    return {run.start * scale / 100, run.y * scale / 100, (run.end * scale + 99) / 100,
            ((run.y + 1) * scale + 99) / 100};
}
