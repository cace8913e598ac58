// The window's shape as the platform builds it: small bitmaps whose shape is
// known, and the shipped skin, whose region must cover exactly the pixels
// that are not the key colour.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ui/gdi_scope.h"
#include "ui/skin.h"

namespace {

constexpr std::uint32_t key = 0xFF00FF;  // as 32-bit DIB pixels: 0x00RRGGBB
constexpr std::uint32_t stone = 0x807060;

// A 32-bit top-down section with the given pixels.
HBITMAP make_bitmap(const std::vector<std::uint32_t>& pixels, int width) {
    const int height = static_cast<int>(pixels.size()) / width;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap) std::copy(pixels.begin(), pixels.end(), static_cast<std::uint32_t*>(bits));
    return bitmap;
}

HRGN region_of(const std::vector<std::uint32_t>& pixels, int width, int scale) {
    gdi::Owned<HBITMAP> bitmap(make_bitmap(pixels, width));
    return region_from_bitmap(bitmap.get(), skin_key_colour, scale);
}

// A region from rectangles (left, top, right, bottom).
HRGN union_of(std::initializer_list<RECT> rects) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    for (const RECT& r : rects) {
        gdi::Owned<HRGN> piece(CreateRectRgn(r.left, r.top, r.right, r.bottom));
        CombineRgn(region, region, piece.get(), RGN_OR);
    }
    return region;
}

void expect_same_region(HRGN actual, HRGN expected) {
    gdi::Owned<HRGN> a(actual), e(expected);
    ASSERT_TRUE(a);
    EXPECT_TRUE(EqualRgn(a.get(), e.get()));
}

TEST(RegionFromBitmap, WithoutKeyPixelsIsTheFullRectangle) {
    expect_same_region(region_of(std::vector<std::uint32_t>(6 * 4, stone), 6, 100),
                       union_of({{0, 0, 6, 4}}));
}

TEST(RegionFromBitmap, OnlyKeyPixelsGiveAnEmptyRegion) {
    gdi::Owned<HRGN> region(region_of(std::vector<std::uint32_t>(5 * 5, key), 5, 100));
    ASSERT_TRUE(region);
    RECT box;
    EXPECT_EQ(GetRgnBox(region.get(), &box), NULLREGION);
}

TEST(RegionFromBitmap, NearKeyColoursBelongToTheShape) {
    const std::vector<std::uint32_t> row = {0xFF00FE, key, 0xFE00FF, key};
    expect_same_region(region_of(row, 4, 100), union_of({{0, 0, 1, 1}, {2, 0, 3, 1}}));
}

TEST(RegionFromBitmap, RunsEndAtTheWidthOrAtTheFirstKeyPixel) {
    const std::vector<std::uint32_t> pixels = {
        key,   stone, stone, key,   stone,  //
        stone, stone, key,   key,   key,    //
    };
    expect_same_region(region_of(pixels, 5, 100),
                       union_of({{1, 0, 3, 1}, {4, 0, 5, 1}, {0, 1, 2, 2}}));
}

TEST(RegionFromBitmap, ScalesWithStartsDownAndEndsUp) {
    const std::vector<std::uint32_t> pixels = {
        key,   stone, stone,  //
        stone, key,   stone,  //
    };
    // 150%: (1..3, row 0) -> x 1..5, y 0..2; (0..1, row 1) -> x 0..2, y 1..3;
    // (2..3, row 1) -> x 3..5, y 1..3
    expect_same_region(region_of(pixels, 3, 150),
                       union_of({{1, 0, 5, 2}, {0, 1, 2, 3}, {3, 1, 5, 3}}));
}

TEST(RegionFromBitmap, NoBitmapGivesNoRegion) {
    EXPECT_EQ(region_from_bitmap(nullptr, skin_key_colour, 100), nullptr);
}

TEST(RegionFromBitmap, ShippedSkinCoversExactlyItsNonKeyPixels) {
    gdi::Owned<HBITMAP> skin(static_cast<HBITMAP>(LoadImageA(
        GetModuleHandleA(nullptr), MAKEINTRESOURCEA(201), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    ASSERT_TRUE(skin);
    const SIZE size = gdi::bitmap_size(skin.get());
    ASSERT_EQ(size.cx, 988);
    ASSERT_EQ(size.cy, 735);
    gdi::Owned<HRGN> region(region_from_bitmap(skin.get(), skin_key_colour, 100));
    ASSERT_TRUE(region);

    gdi::MemoryContext memory(nullptr);
    gdi::Selection selected(memory.get(), skin.get());
    int key_pixels = 0;
    int mismatches = 0;
    for (int y = 0; y < size.cy; ++y) {
        for (int x = 0; x < size.cx; ++x) {
            const bool is_key = GetPixel(memory.get(), x, y) == RGB(255, 0, 255);
            key_pixels += is_key;
            mismatches += PtInRegion(region.get(), x, y) == is_key;
        }
    }
    EXPECT_EQ(mismatches, 0);
    // The outline is irregular: a good part of the rectangle is cut away, and
    // the corners are not the window's.
    EXPECT_GT(key_pixels, 988 * 735 / 20);
    EXPECT_FALSE(PtInRegion(region.get(), 0, 0));
    EXPECT_FALSE(PtInRegion(region.get(), 987, 734));
}

}  // namespace
