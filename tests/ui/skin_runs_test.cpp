// The scan that gives the skinned window its shape, and its rounding at
// other scales; the host name that the ready page names.
#include "ui/skin_runs.h"

#include <gtest/gtest.h>

#include <vector>

#include "ui/url_host.h"

bool operator==(const PixelRun& a, const PixelRun& b) {
    return a.y == b.y && a.start == b.start && a.end == b.end;
}

namespace {

constexpr std::uint32_t key = 0xFF00FF;
constexpr std::uint32_t wood = 0x6F502D;

std::vector<PixelRun> runs_of(const std::vector<std::uint32_t>& pixels, int width) {
    return non_key_runs(pixels.data(), width, static_cast<int>(pixels.size()) / width, key);
}

TEST(NonKeyRuns, WithoutKeyPixelsEachRowIsOneFullRun) {
    const std::vector<PixelRun> runs = runs_of(std::vector<std::uint32_t>(5 * 3, wood), 5);
    const std::vector<PixelRun> expected = {{0, 0, 5}, {1, 0, 5}, {2, 0, 5}};
    EXPECT_EQ(runs, expected);
}

TEST(NonKeyRuns, OnlyKeyPixelsGiveNoRun) {
    EXPECT_TRUE(runs_of(std::vector<std::uint32_t>(4 * 4, key), 4).empty());
}

TEST(NonKeyRuns, OnlyTheExactKeyIsCutAndTheFourthByteIsIgnored) {
    const std::vector<std::uint32_t> row = {0xFF00FE, 0xFE00FF, 0x12FF00FF, 0xFF01FF};
    const std::vector<PixelRun> expected = {{0, 0, 2}, {0, 3, 4}};
    EXPECT_EQ(runs_of(row, 4), expected);
}

TEST(NonKeyRuns, RunsEndAtTheWidthOrAtTheFirstKeyPixel) {
    const std::vector<std::uint32_t> pixels = {
        key,  wood, wood, key,  key,  wood,  // ends at the width, and a one-pixel run there
        wood, key,  key,  wood, wood, key,   // ends at the first key pixel after it
        key,  key,  key,  key,  key,  wood,
    };
    const std::vector<PixelRun> expected = {{0, 1, 3}, {0, 5, 6}, {1, 0, 1},
                                            {1, 3, 5}, {2, 5, 6}};
    EXPECT_EQ(runs_of(pixels, 6), expected);
}

TEST(ScaledRun, AtOneHundredTheRectangleIsTheRunOnePixelHigh) {
    const platform::Rect r = scaled_run({7, 3, 10}, 100);
    EXPECT_EQ(r.left, 3);
    EXPECT_EQ(r.top, 7);
    EXPECT_EQ(r.right, 10);
    EXPECT_EQ(r.bottom, 8);
}

TEST(ScaledRun, OtherScalesRoundTheStartDownAndTheEndUp) {
    // 150%: 3 -> 4.5 -> 4, 10 -> 15, rows 7..8 -> 10.5..12 -> 10..12
    platform::Rect r = scaled_run({7, 3, 10}, 150);
    EXPECT_EQ(r.left, 4);
    EXPECT_EQ(r.top, 10);
    EXPECT_EQ(r.right, 15);
    EXPECT_EQ(r.bottom, 12);
    // 125%: neighbouring rows and runs still touch after rounding
    const platform::Rect upper = scaled_run({1, 0, 3}, 125);
    const platform::Rect lower = scaled_run({2, 3, 5}, 125);
    EXPECT_EQ(upper.left, 0);
    EXPECT_EQ(upper.right, 4);
    EXPECT_GE(upper.right, lower.left);
    EXPECT_GE(upper.bottom, lower.top);
    EXPECT_EQ(lower.right, 7);
}

TEST(UrlHost, IsTheAuthorityWithoutUserOrPort) {
    EXPECT_EQ(url_host("https://download.quellmark.example/client/"),
              "download.quellmark.example");
    EXPECT_EQ(url_host("https://cdn.example:8443/x/y"), "cdn.example");
    EXPECT_EQ(url_host("https://user:pw@files.example/"), "files.example");
    EXPECT_EQ(url_host("https://files.example?x=a@b"), "files.example");
    EXPECT_EQ(url_host("https://[::1]:443/a"), "[::1]");
    EXPECT_EQ(url_host("host.example/a"), "host.example");
}

}  // namespace
