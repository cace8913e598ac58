// Deflated entries, driven through the whole extraction so every case also
// proves what the caller leaves on disk.
#include <gtest/gtest.h>

#include "tests/zip/extraction_sandbox.h"
#include "tests/zip/zip_writer.h"

#ifndef _WIN32
#include "platform/platform.h"
#include "zip/entry_decoder.h"
#include "zip/zip_records.h"
#endif

using namespace zip_test;

namespace {

std::string unexpected_end(const std::string& name) {
    return "Could not finish decompressing zip entry:\n" + name +
           "\n\nThe compressed data ended unexpectedly.";
}

}  // namespace

TEST(InflateEntry, DecodesValidStreamsOfEverySizeExactly) {
    ExtractionSandbox sandbox;
    std::vector<Entry> entries;
    std::vector<std::string> expected;
    int index = 0;
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{65535}, std::size_t{65536},
                             std::size_t{65537}, std::size_t{131072}, std::size_t{200001}}) {
        entries.push_back(deflated("noise" + std::to_string(index), noise(size, index + 1)));
        entries.push_back(deflated("text" + std::to_string(index), repetitive(size)));
        ++index;
    }
    const Outcome outcome = sandbox.extract(build_zip(entries));
    ASSERT_TRUE(outcome.ok) << outcome.message;
    for (const Entry& entry : entries) {
        EXPECT_EQ(test_support::read_file(sandbox.installed(entry.name)), entry.data) << entry.name;
    }
}

// One 64 KiB input block expands to many output buffers; the loop must keep
// draining zlib after the input is used up or the tail would be lost.
TEST(InflateEntry, DecodesHighlyCompressibleDataThatOutgrowsTheOutputBuffer) {
    ExtractionSandbox sandbox;
    const std::string zeros(48u << 20, '\0');
    std::string tail_pattern = repetitive(3u << 20) + noise(70000, 9);
    Entry big = deflated("zeros.bin", zeros);
    Entry mixed = deflated("mixed.bin", tail_pattern);
    ASSERT_LT(deflate_raw(zeros).size(), 65536u);
    std::vector<Entry> entries{big, mixed};
    // Output lengths just past a whole number of buffers: the input runs out
    // while zlib still holds decoded bytes that did not fit the last buffer.
    for (std::size_t extra : {1, 100, 700, 2000, 5000}) {
        entries.push_back(deflated("edge" + std::to_string(extra), std::string((16u << 16) + extra, 'z')));
    }
    const Outcome outcome = sandbox.extract(build_zip(entries));
    ASSERT_TRUE(outcome.ok) << outcome.message;
    for (const Entry& entry : entries) {
        EXPECT_TRUE(test_support::read_file(sandbox.installed(entry.name)) == entry.data) << entry.name;
    }
}

// The first 64 KiB input block ends exactly where its output fills the second
// output buffer, between two deflate blocks: zlib can make no progress until
// the next input block arrives, which is no error.
TEST(InflateEntry, WaitsForMoreInputWhenABlockEndsWithTheOutputBufferFull) {
    const std::size_t block = 65536;
    std::string head;
    std::size_t head_size = block + 5;
    for (int round = 0; round < 10; ++round) {  // the prefix's length decides its input length
        head = deflate_raw_flushed(std::string(head_size, 'q'));
        head_size = 2 * block - (block - 5 - head.size());
    }
    const std::size_t stored_size = block - 5 - head.size();
    ASSERT_EQ(head_size + stored_size, 2 * block);
    const std::string tail_data = noise(stored_size, 8);
    std::string stream = head;
    stream += '\0';
    put16(stream, static_cast<std::uint32_t>(stored_size));
    put16(stream, static_cast<std::uint32_t>(~stored_size & 0xFFFF));
    stream += tail_data;
    ASSERT_EQ(stream.size(), block);
    stream += std::string("\x01\x00\x00\xff\xff", 5);  // final, empty stored block

    ExtractionSandbox sandbox;
    Entry aligned = deflated("aligned.bin", std::string(head_size, 'q') + tail_data);
    aligned.use_payload = true;
    aligned.payload = stream;
    const Outcome outcome = sandbox.extract(build_zip({aligned}));
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_TRUE(test_support::read_file(sandbox.installed("aligned.bin")) == aligned.data);
}

TEST(InflateEntry, ReportsZlibErrorsWithResultAndText) {
    ExtractionSandbox sandbox;
    Entry reserved = deflated("data\\broken.bin", "");
    reserved.use_payload = true;
    reserved.payload = std::string("\x07\x00\x00\x00", 4);  // final block, type 3
    const Outcome outcome = sandbox.extract(build_zip({stored("first.txt", "ok"), reserved}));
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message,
              "Could not decompress zip entry:\ndata\\broken.bin\n\nzlib error: -3\ninvalid block type");
    EXPECT_EQ(outcome.files, std::vector<InstalledFile>{"first.txt"});
    EXPECT_TRUE(test_support::file_exists(sandbox.installed("data\\broken.bin")));
    EXPECT_EQ(test_support::read_file(sandbox.installed("data\\broken.bin")), "");
}

TEST(InflateEntry, FailsStreamsThatDoNotReachTheirEnd) {
    const std::string data = noise(300000, 4);
    const std::string stream = deflate_raw(data);

    ExtractionSandbox empty_sandbox;
    Entry empty = deflated("empty.bin", "");
    empty.use_payload = true;
    EXPECT_EQ(empty_sandbox.extract(build_zip({empty})).message, unexpected_end("empty.bin"));

    // The stated size covers only part of the stream: partial output stays.
    ExtractionSandbox short_sandbox;
    Entry cut = deflated("cut.bin", data);
    cut.use_payload = true;
    cut.payload = stream.substr(0, 150000);
    const Outcome cut_outcome = short_sandbox.extract(build_zip({cut}));
    EXPECT_EQ(cut_outcome.message, unexpected_end("cut.bin"));
    EXPECT_TRUE(cut_outcome.files.empty());
    const std::string partial = test_support::read_file(short_sandbox.installed("cut.bin"));
    EXPECT_GT(partial.size(), 0u);
    EXPECT_EQ(partial, data.substr(0, partial.size()));

    // The stated size runs past the end of the package.
    ExtractionSandbox past_end_sandbox;
    Entry past_end = deflated("past.bin", data);
    past_end.override_compressed_size = true;
    past_end.compressed_size = 0x7FFFFFFF;
    EXPECT_EQ(past_end_sandbox.extract(build_zip({past_end})).message,
              "Could not read compressed data.");
}

// zlib's state outlives an entry, for the next one: a stream abandoned in its
// middle or broken must leave nothing that the next entry decodes with.
TEST(InflateEntry, AStreamStoppedOrBrokenLeavesNothingToTheNextEntry) {
    const std::string data = noise(200000, 6) + repetitive(200000);
    for (const std::string& payload : {deflate_raw(data).substr(0, 100000), std::string("\x07", 1)}) {
        ExtractionSandbox stopped_sandbox;
        Entry stopped = deflated("stopped.bin", data);
        stopped.use_payload = true;
        stopped.payload = payload;
        EXPECT_FALSE(stopped_sandbox.extract(build_zip({stopped})).ok);

        ExtractionSandbox sandbox;
        const Outcome outcome = sandbox.extract(build_zip({deflated("whole.bin", data)}));
        ASSERT_TRUE(outcome.ok) << outcome.message;
        EXPECT_TRUE(test_support::read_file(sandbox.installed("whole.bin")) == data);
    }
}

TEST(InflateEntry, IgnoresBytesAfterTheEndOfTheStream) {
    ExtractionSandbox sandbox;
    const std::string data = repetitive(100000);
    Entry padded = deflated("padded.txt", data);
    padded.use_payload = true;
    padded.payload = deflate_raw(data) + noise(200000, 5);
    const Outcome outcome = sandbox.extract(build_zip({padded, stored("after.txt", "after")}));
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(test_support::read_file(sandbox.installed("padded.txt")), data);
    EXPECT_EQ(test_support::read_file(sandbox.installed("after.txt")), "after");
}

#ifndef _WIN32
// A full disk, played by /dev/full: every write of a block fails.
TEST(InflateEntry, ReportsOutputThatCannotBeWritten) {
    test_support::ScratchFolder scratch;
    const std::string data = noise(200000, 10);
    const std::string stream = deflate_raw(data);
    test_support::write_file(scratch.at("stream"), stream);
    platform::File package(platform::open_file(scratch.at("stream"), "rb"));
    platform::File full(std::fopen("/dev/full", "wb"));
    ASSERT_TRUE(package && full);
    SetupWindow window;
    WindowReport report(window);
    std::string message;
    ZipEntry entry;
    entry.name = "x";
    entry.method = zip_record::method::deflated;
    entry.uncompressed_size = data.size();
    EntryOutput decoded(full.get(), entry);
    const auto inflater = make_entry_decoder(entry, decoded, message);
    ASSERT_TRUE(inflater) << message;
    EXPECT_FALSE(decode_entry_data(package.get(), *inflater, stream.size(), report, message));
    EXPECT_EQ(message, "Could not write extracted data.");

    ASSERT_TRUE(platform::seek_to(package.get(), 0));
    entry.method = zip_record::method::stored;
    entry.uncompressed_size = stream.size();
    EntryOutput copied(full.get(), entry);
    const auto copy = make_entry_decoder(entry, copied, message);
    ASSERT_TRUE(copy) << message;
    EXPECT_FALSE(decode_entry_data(package.get(), *copy, stream.size(), report, message));
    EXPECT_EQ(message, "Could not extract a stored file.");
}
#endif
