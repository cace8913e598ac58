// The status operations of the window record while no window exists: before
// creation, or after it failed. Only the record's fields may change.
#include "ui/setup_window.h"

#include <gtest/gtest.h>

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

}  // namespace
