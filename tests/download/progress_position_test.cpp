// The bar position of the download: its share of the announced length,
// scaled to the download's half of the bar and rounded down, in 64 bits.
#include "download/progress_position.h"

#include <gtest/gtest.h>

namespace {

TEST(DownloadProgressPosition, IsTheReceivedShareOfHalfTheBarRoundedDown) {
    EXPECT_EQ(download_progress_position(0, 1000000), 0u);
    EXPECT_EQ(download_progress_position(19999, 1000000), 0u);
    EXPECT_EQ(download_progress_position(20000, 1000000), 1u);
    EXPECT_EQ(download_progress_position(500000, 1000000), 25u);
    EXPECT_EQ(download_progress_position(999999, 1000000), 49u);
    EXPECT_EQ(download_progress_position(1000000, 1000000), 50u);
}

TEST(DownloadProgressPosition, GoesPastHalfWhenTheBodyOutgrowsItsLength) {
    EXPECT_EQ(download_progress_position(1500000, 1000000), 75u);
    EXPECT_EQ(download_progress_position(3000000, 1000000), 150u);
}

TEST(DownloadProgressPosition, DoesNotOverflowPastEightyFiveMillionBytes) {
    // 85,899,346 x 50 no longer fits 32 bits; the 32-bit product would wrap to 4.
    EXPECT_EQ(download_progress_position(85899346, 100000000), 42u);
    EXPECT_EQ(download_progress_position(100000000, 100000000), 50u);
    EXPECT_EQ(download_progress_position(2000000000, 4000000000u), 25u);
    EXPECT_EQ(download_progress_position(4000000000u, 4000000000u), 50u);
}

TEST(DownloadProgressPosition, CountsPastFourGibibytes) {
    // A received total beyond 32 bits against the largest announceable length.
    EXPECT_EQ(download_progress_position(0xFFFFFFFFull, 0xFFFFFFFFu), 50u);
    EXPECT_EQ(download_progress_position(6000000000ull, 0xFFFFFFFFu), 69u);
    EXPECT_EQ(download_progress_position(5ull << 32, 1u << 31), 500u);
}

}  // namespace
