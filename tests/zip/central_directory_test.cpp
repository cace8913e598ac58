#include "zip/central_directory.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/support/scratch_folder.h"
#include "tests/zip/zip_writer.h"

using namespace zip_test;

namespace {

struct Directory {
    bool ok = false;
    std::string message;
    std::uint64_t offset = 0;
    std::uint64_t count = 0;
    std::vector<ZipEntry> entries;
};

template <typename Package>
Directory read_from(Package& package, std::uint64_t size) {
    Directory directory;
    directory.ok = locate_central_directory(package, size, directory.offset, directory.count,
                                            directory.message) &&
                   read_central_directory(package, directory.offset, directory.count,
                                          directory.entries, directory.message);
    return directory;
}

// Locates and reads the directory of bytes the way extraction does, from the
// package file; read from the same bytes held in memory, as before the body
// arrives, it must come out the same. A size_bias makes the reader believe
// the package is that much longer.
Directory read_directory(const std::string& bytes, std::uint64_t size_bias = 0) {
    test_support::ScratchFolder scratch;
    const std::string path = scratch.at("pkg.zip");
    test_support::write_file(path, bytes);
    platform::File package(platform::open_file(path, "rb"));
    FilePackageBytes file(package.get());
    const Directory directory = read_from(file, bytes.size() + size_bias);
    HeldPackageBytes held(0, bytes);
    const Directory from_memory = read_from(held, bytes.size() + size_bias);
    EXPECT_EQ(from_memory.message, directory.message);
    EXPECT_EQ(from_memory.offset, directory.offset);
    EXPECT_EQ(from_memory.entries.size(), directory.entries.size());
    return directory;
}

std::string end_record(std::uint32_t count, std::uint32_t offset, const std::string& comment = "") {
    std::string out;
    put32(out, 0x06054B50);
    put16(out, 0);
    put16(out, 0);
    put16(out, count);
    put16(out, count);
    put32(out, 0);
    put32(out, offset);
    put16(out, static_cast<std::uint32_t>(comment.size()));
    return out + comment;
}

}  // namespace

TEST(LocateCentralDirectory, FindsTheEndRecordWhereverTheSearchReaches) {
    Directory bare = read_directory(end_record(0, 0));
    EXPECT_TRUE(bare.ok) << bare.message;
    EXPECT_TRUE(bare.entries.empty());

    Options long_comment;
    long_comment.comment = noise(65535, 7);
    for (char& c : long_comment.comment) c = static_cast<char>(c == 'P' ? 'p' : c);
    Directory commented = read_directory(build_zip({stored("a.txt", "abc")}, long_comment));
    ASSERT_TRUE(commented.ok) << commented.message;
    ASSERT_EQ(commented.entries.size(), 1u);
    EXPECT_EQ(commented.entries[0].name, "a.txt");

    // A signature inside the comment is nearer the end and wins.
    Layout layout;
    Options decoy;
    decoy.comment = "xx" + end_record(0, 0) + "yy";
    Directory misled = read_directory(build_zip({stored("a.txt", "abc")}, decoy, &layout));
    EXPECT_TRUE(misled.ok);
    EXPECT_TRUE(misled.entries.empty());
}

TEST(LocateCentralDirectory, RefusesWhatIsNoZipPackage) {
    const char* not_zip = "The downloaded file is not a valid zip package.";
    EXPECT_EQ(read_directory("").message, not_zip);
    EXPECT_EQ(read_directory(end_record(0, 0).substr(0, 21)).message, not_zip);
    EXPECT_EQ(read_directory(noise(100000, 3)).message, not_zip);
    // A signature closer than 22 bytes to the end is never considered.
    EXPECT_EQ(read_directory("PK\x05\x06" + std::string(17, '\0')).message, not_zip);
    // The end record more than 66000 bytes before the end is out of reach.
    EXPECT_EQ(read_directory(end_record(0, 0, std::string(65535, 'c')) + std::string(500, 'x')).message,
              not_zip);
    EXPECT_EQ(read_directory(end_record(0, 0), 10).message, "Could not read zip directory.");
}

TEST(LocateCentralDirectory, FollowsTheZip64RecordsWhenTheClassicOneIsSaturated) {
    Options offset_only;
    offset_only.zip64_end = true;
    offset_only.saturate_count = false;
    Directory by_offset =
        read_directory(build_zip({stored("a", "1"), stored("b", "22")}, offset_only));
    ASSERT_TRUE(by_offset.ok) << by_offset.message;
    EXPECT_EQ(by_offset.count, 2u);

    Options count_only = offset_only;
    count_only.saturate_count = true;
    count_only.saturate_offset = false;
    count_only.override_count = true;
    count_only.count = 1;  // the Zip64 record's count rules over the classic one
    Directory by_count = read_directory(build_zip({stored("a", "1"), stored("b", "22")}, count_only));
    ASSERT_TRUE(by_count.ok) << by_count.message;
    EXPECT_EQ(by_count.entries.size(), 1u);

    // 65535 entries in a classic record without a locator.
    EXPECT_EQ(read_directory(end_record(0xFFFF, 0)).message, "Zip64 package is missing its locator.");
    // Saturated record right at the start of the file: no room for a locator.
    EXPECT_EQ(read_directory(end_record(0, 0xFFFFFFFF)).message,
              "Zip64 package is missing its locator.");

    Options no_locator;
    no_locator.zip64_end = true;
    no_locator.write_locator = false;
    EXPECT_EQ(read_directory(build_zip({stored("a", "1")}, no_locator)).message,
              "Zip64 package is missing its locator.");

    Options zip64;
    zip64.zip64_end = true;
    Layout layout;
    std::string bad_record = build_zip({stored("a", "1")}, zip64, &layout);
    bad_record[layout.zip64_end] = 'X';
    EXPECT_EQ(read_directory(bad_record).message, "Zip64 package has an invalid directory.");
    std::string far_record = build_zip({stored("a", "1")}, zip64, &layout);
    poke32(far_record, layout.locator + 8, 0x7FFFFFF0);
    EXPECT_EQ(read_directory(far_record).message, "Zip64 package has an invalid directory.");
}

TEST(ReadCentralDirectory, ReadsEveryHeaderInOrderWithSeparatorsTurned) {
    Entry commented = stored("data/maps/a.bin", "map");
    commented.comment = "a comment";
    commented.extra_before = std::string("\x55\x54\x05\x00\x03\x01\x02\x03\x04", 9);
    Entry flagged = deflated("b.txt", "bbb");
    flagged.flags = 0x0808;
    Directory directory =
        read_directory(build_zip({folder("data/"), commented, flagged, stored("odd\xff\x01", "")}));
    ASSERT_TRUE(directory.ok) << directory.message;
    ASSERT_EQ(directory.entries.size(), 4u);
    EXPECT_EQ(directory.entries[0].name, "data\\");
    EXPECT_EQ(directory.entries[1].name, "data\\maps\\a.bin");
    EXPECT_EQ(directory.entries[1].compressed_size, 3u);
    EXPECT_EQ(directory.entries[2].method, 8);
    EXPECT_EQ(directory.entries[2].flags, 0x0808);
    EXPECT_EQ(directory.entries[3].name, "odd\xff\x01");
}

namespace {
std::string zip64_field(const std::vector<std::uint64_t>& values, std::uint32_t declared_size) {
    std::string field;
    put16(field, 0x0001);
    put16(field, declared_size);
    for (std::uint64_t value : values) put64(field, value);
    return field;
}
}  // namespace

TEST(ReadCentralDirectory, WidensOnlySaturatedValuesFromTheZip64Field) {
    Entry full = stored("full", "12345");
    full.zip64 = true;
    Directory widened = read_directory(build_zip({full}));
    ASSERT_TRUE(widened.ok) << widened.message;
    EXPECT_EQ(widened.entries[0].compressed_size, 5u);
    EXPECT_EQ(widened.entries[0].uncompressed_size, 5u);
    EXPECT_EQ(widened.entries[0].local_header_offset, 0u);

    // Saturated without any Zip64 field: the values stay saturated.
    Entry bare = full;
    bare.zip64_extra = false;
    Directory kept = read_directory(build_zip({bare}));
    ASSERT_TRUE(kept.ok);
    EXPECT_EQ(kept.entries[0].compressed_size, 0xFFFFFFFFu);

    // Sizes and offset saturated but the field holds only two values, after
    // another field: uncompressed and compressed size are taken, the offset
    // has no room and stays saturated.
    Entry partial = bare;
    partial.extra_before = std::string("\x0a\x00\x02\x00zz", 6) + zip64_field({9, 7}, 16);
    Directory two = read_directory(build_zip({partial}));
    ASSERT_TRUE(two.ok);
    EXPECT_EQ(two.entries[0].uncompressed_size, 9u);
    EXPECT_EQ(two.entries[0].compressed_size, 7u);
    EXPECT_EQ(two.entries[0].local_header_offset, 0xFFFFFFFFu);

    // A field that claims more than the extra data holds stops the widening.
    Entry overrun = bare;
    overrun.extra_before = zip64_field({9, 7, 5}, 40);
    Directory stopped = read_directory(build_zip({overrun}));
    ASSERT_TRUE(stopped.ok);
    EXPECT_EQ(stopped.entries[0].uncompressed_size, 0xFFFFFFFFu);
}

TEST(ReadCentralDirectory, WidensCompressedSizeAndOffsetWhenOnlyTheyAreSaturated) {
    // Uncompressed size below 4 GiB: the field starts with the compressed size.
    Layout layout;
    const std::string package = build_zip({stored("x", "hello")}, {}, &layout);
    std::string header = package.substr(layout.directory_headers[0], 46 + 1);
    poke32(header, 20, 0xFFFFFFFF);
    poke32(header, 42, 0xFFFFFFFF);
    const std::string field = zip64_field({5, 0}, 16);
    header[30] = static_cast<char>(field.size());
    std::string rebuilt = package.substr(0, layout.directory) + header + field;
    std::string tail = package.substr(layout.end_record);
    poke32(tail, 12, static_cast<std::uint32_t>(header.size() + field.size()));
    Directory directory = read_directory(rebuilt + tail);
    ASSERT_TRUE(directory.ok) << directory.message;
    EXPECT_EQ(directory.entries[0].uncompressed_size, 5u);
    EXPECT_EQ(directory.entries[0].compressed_size, 5u);
    EXPECT_EQ(directory.entries[0].local_header_offset, 0u);
}

TEST(ReadCentralDirectory, ReportsHeadersThatAreNotThere) {
    Options too_many;
    too_many.override_count = true;
    too_many.count = 3;
    Directory over = read_directory(build_zip({stored("a", "1"), stored("b", "2")}, too_many));
    EXPECT_EQ(over.message, "The zip directory is corrupt.");
    EXPECT_EQ(over.entries.size(), 2u);  // what was read stays appended

    Layout layout;
    std::string bad_signature = build_zip({stored("a", "1")}, {}, &layout);
    bad_signature[layout.directory_headers[0] + 1] = 'Q';
    EXPECT_EQ(read_directory(bad_signature).message, "The zip directory is corrupt.");

    std::string offset_past_end = build_zip({stored("a", "1")}, {}, &layout);
    poke32(offset_past_end, layout.end_record + 16, 0x7FFFFFFF);
    EXPECT_EQ(read_directory(offset_past_end).message, "The zip directory is corrupt.");

    // A header whose name runs past the end of the file.
    std::string header;
    put32(header, 0x02014B50);
    header += std::string(24, '\0');
    put16(header, 500);
    header += std::string(16, '\0');
    EXPECT_EQ(read_directory(header + end_record(1, 0)).message, "Could not read a zip entry.");
}
