// The status operations of the window record while no window exists: before
// creation, or after it failed. Only the record's fields may change.
#include "ui/setup_window.h"

#include <gtest/gtest.h>

#include "ui/window_placement.h"

namespace {

TEST(SetupWindowState, StartsAsTheRecordDescribes) {
    SetupWindow window;
    EXPECT_EQ(window.main_window, nullptr);
    EXPECT_EQ(window.progress_bar, nullptr);
    EXPECT_FALSE(window.cancel_requested);
    EXPECT_FALSE(window.start_requested);
    EXPECT_FALSE(window.install_running);
    EXPECT_EQ(window.ui_scale, 100);
    EXPECT_EQ(window.hot_control_id, 0);
    EXPECT_EQ(window.skin_background, nullptr);
    EXPECT_EQ(window.edit_brush, nullptr);
    EXPECT_TRUE(window.headline.empty());
    EXPECT_TRUE(window.detail.empty());
    EXPECT_TRUE(window.initial_folder.empty());
}

TEST(SetupWindowState, StatusAreaIsTheScaledDesignRectangle) {
    SetupWindow window;
    const platform::Rect area = window.status_area();
    EXPECT_EQ(area.left, 300);
    EXPECT_EQ(area.top, 230);
    EXPECT_EQ(area.right, 740);
    EXPECT_EQ(area.bottom, 540);
    EXPECT_EQ(window.scaled(42), 42);
}

TEST(SetupWindowState, SetStatusWithoutWindowChangesOnlyTheTexts) {
    SetupWindow window;
    window.set_status("Downloading Quellmark...", "https://host/QuellmarkFull.zip");
    EXPECT_EQ(window.headline, "Downloading Quellmark...");
    EXPECT_EQ(window.detail, "https://host/QuellmarkFull.zip");
    window.set_status(window.detail, window.headline);  // its own strings, swapped
    EXPECT_EQ(window.headline, "https://host/QuellmarkFull.zip");
    EXPECT_EQ(window.detail, "Downloading Quellmark...");
    window.set_status("Creating shortcuts...", "");
    EXPECT_TRUE(window.detail.empty());
    window.set_progress(42);
}

TEST(SetupWindowState, EnterInstallModeSwitchesPageAndClearsCancel) {
    SetupWindow window;
    window.cancel_requested = true;
    window.enter_install_mode();
    EXPECT_TRUE(window.install_running);
    EXPECT_FALSE(window.cancel_requested);
    EXPECT_EQ(window.headline, "Preparing install.");
    EXPECT_EQ(window.detail, "The setup is getting ready to download the client package.");
}

TEST(SetupWindowState, WaitForStartWithCancelAlreadySetLeavesTheFolderAlone) {
    SetupWindow window;
    window.cancel_requested = true;
    window.start_requested = true;
    std::string folder = "untouched";
    EXPECT_FALSE(window.wait_for_start(folder));
    EXPECT_EQ(folder, "untouched");
}

TEST(SetupWindowState, WaitForStartHandsOverEvenAnEmptyFieldAndConsumesThePress) {
    SetupWindow window;
    window.start_requested = true;
    std::string folder = "old";
    EXPECT_TRUE(window.wait_for_start(folder));
    EXPECT_TRUE(folder.empty());
    // A refused folder waits for the next press, not for this one again.
    EXPECT_FALSE(window.start_requested);
}

TEST(TransferLine, ReadsAmountSpeedAndTimeLeft) {
    const std::string dot = " \xC2\xB7 ";
    struct Case {
        std::uint64_t received, total, recent_bytes, recent_ms;
        std::string text;
    } cases[] = {
        {12'500'000, 268'000'000, 24'800'000, 1000,
         "12.5 of 268.0 MB" + dot + "24.8 MB/s" + dot + "about 10 s left"},
        // No announced length: no time left either.
        {12'500'000, 0, 124'000'000, 5000, "12.5 MB" + dot + "24.8 MB/s"},
        // Under a second in, a speed would be a guess.
        {300'000, 268'000'000, 300'000, 999, "0.3 of 268.0 MB"},
        {12'500'000, 268'000'000, 7'500'000, 5000,
         "12.5 of 268.0 MB" + dot + "1.5 MB/s" + dot + "about 3 min left"},
        // Hours, at a speed under a megabyte a second, of a package of gigabytes.
        {500'000'000, 4'500'000'000, 2'500'000, 5000,
         "0.50 of 4.50 GB" + dot + "500 KB/s" + dot + "about 2 h 13 min left"},
        // Stalled: nothing to estimate.
        {12'500'000, 268'000'000, 0, 5000, "12.5 of 268.0 MB" + dot + "0 KB/s"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(transfer_line(c.received, c.total, c.recent_bytes, c.recent_ms), c.text)
            << c.received << " of " << c.total;
    }
}

// A burst long ago no longer counts: the speed is the last few seconds'.
TEST(TransferLine, TheMeterTakesTheSpeedOverTheLastFewSeconds) {
    TransferMeter meter;
    EXPECT_EQ(meter.text(), "");
    std::uint64_t received = 0;
    for (std::uint64_t ms = 0; ms <= 20'000; ms += 10) {
        received += ms < 10'000 ? 100'000 : 10'000;  // 10 MB/s, then 1 MB/s
        meter.add(received, 0, ms);
    }
    EXPECT_EQ(meter.text(), "110.0 MB \xC2\xB7 1.0 MB/s");
    meter.clear();
    EXPECT_TRUE(meter.empty());
}

TEST(WindowPlacement, CentredInTheWorkAreaAndNeverAboveOrLeftOfIt) {
    struct Case {
        int width, height;
        platform::Rect work_area;
        int left, top;
    } cases[] = {
        {988, 735, {0, 0, 1920, 1040}, 466, 152},
        // A task bar on the left or at the top moves the work area.
        {988, 735, {60, 40, 1920, 1080}, 496, 192},
        // Larger than a 1024 x 600 screen less a task bar: the title banner stays on it.
        {988, 735, {0, 30, 800, 600}, 0, 30},
    };
    for (const Case& c : cases) {
        const WindowPosition position = place_window(c.width, c.height, c.work_area);
        EXPECT_EQ(position.left, c.left) << c.work_area.right << " x " << c.work_area.bottom;
        EXPECT_EQ(position.top, c.top) << c.work_area.right << " x " << c.work_area.bottom;
    }
}

}  // namespace
