// The bar position of the download: its share of the announced length,
// scaled to the download's half of the bar and rounded down, in 64 bits; and
// the announced length itself, read from the header's text.
#include "download/progress_position.h"

#include <gtest/gtest.h>

#include "download/content_length.h"

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
    // And an announced length past 32 bits.
    EXPECT_EQ(download_progress_position(1ull << 32, 5ull << 30), 40u);
}

// The header's text, strictly: a value this does not take leaves the length
// unknown, as if the header were missing.
TEST(ContentLength, IsPlainDigitsUpToSixtyFourBits) {
    const struct {
        const char* text;
        bool known;
        std::uint64_t length;
    } cases[] = {
        {"0", true, 0},
        {"5368709120", true, 5ull << 30},
        {"18446744073709551615", true, UINT64_MAX},
        {"18446744073709551616", false, 0},
        {"99999999999999999999", false, 0},
        {"", false, 0},
        {"-1", false, 0},
        {"+5", false, 0},
        {" 5", false, 0},
        {"5 ", false, 0},
        {"5, 5", false, 0},
        {"0x10", false, 0},
    };
    for (const auto& test : cases) {
        std::uint64_t length = 12345;
        EXPECT_EQ(parse_content_length(test.text, length), test.known) << test.text;
        EXPECT_EQ(length, test.known ? test.length : 12345u) << test.text;
    }
}

}  // namespace
