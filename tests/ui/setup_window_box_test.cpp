// finish() without a window still shows its box, unowned, and a person can
// dismiss it.
#include <gtest/gtest.h>

#include "tests/support/message_box_answerer.h"
#include "ui/setup_window.h"

namespace {

TEST(SetupWindowFinish, SuccessShowsAnUnownedBoxAndCompletesTheBar) {
    SetupWindow window;
    test_support::MessageBoxAnswerer answerer("Quellmark Setup", IDOK);
    window.finish("Quellmark was installed successfully.", true);
    EXPECT_EQ(window.headline, "Setup complete.");
    EXPECT_EQ(window.detail, "Quellmark was installed successfully.");
    const auto boxes = answerer.seen();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Quellmark was installed successfully.");
    EXPECT_FALSE(boxes[0].has_owner);
}

TEST(SetupWindowFinish, FailureShowsTheMessageAsGiven) {
    SetupWindow window;
    test_support::MessageBoxAnswerer answerer("Quellmark Setup", IDOK);
    window.finish("The download failed.", false);
    EXPECT_EQ(window.headline, "Setup failed.");
    EXPECT_EQ(window.detail, "The download failed.");
    const auto boxes = answerer.seen();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "The download failed.");
}

}  // namespace
