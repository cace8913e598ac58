// Writes a small seed corpus for the extraction fuzzer: one package per
// record shape the reader knows, each a few kilobytes at most.
#include <fstream>
#include <iostream>
#include <string>

#include "tests/zip/zip_writer.h"

using namespace zip_test;

namespace {

void write_seed(const std::string& folder, const std::string& name, const std::string& bytes) {
    std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_zip_seeds FOLDER\n";
        return 2;
    }
    const std::string out = argv[1];
    write_seed(out, "empty.zip", build_zip({}));
    write_seed(out, "stored.zip",
               build_zip({folder("data/"), stored("data/a.txt", "hello"), stored("empty", "")}));
    write_seed(out, "deflated.zip",
               build_zip({deflated("text.txt", repetitive(3000)), deflated("noise", noise(300, 1))}));

    Entry wide = deflated("bin/client.exe", repetitive(2000));
    wide.zip64 = true;
    Entry bare = stored("bare", "x");
    bare.zip64 = true;
    bare.zip64_extra = false;
    Options zip64;
    zip64.zip64_end = true;
    write_seed(out, "zip64.zip", build_zip({wide, bare}, zip64));
    zip64.saturate_count = false;
    zip64.comment = "comment";
    write_seed(out, "zip64-offset.zip", build_zip({wide}, zip64));

    Entry odd = stored("odd", "1234");
    odd.method = 12;
    odd.flags = 0x0809;
    odd.extra_before = std::string("\x01\x00\x08\x00\x04\x00\x00\x00\x00\x00\x00\x00", 12);
    odd.local_extra = "localextra";
    odd.comment = "entry comment";
    write_seed(out, "odd.zip", build_zip({odd}));
    write_seed(out, "unsafe.zip",
               build_zip({folder("../up/"), stored("a/../../b", "x"), stored("C:x", "y")}));

    // Names flagged UTF-8, a data descriptor, and entries whose data does not
    // match the directory's CRC-32 or size.
    Entry named = stored("donn\xC3\xA9" "es/carte.txt", "map");
    named.flags = 0x0800;
    Entry broken_name = stored("a\xC3(\xEF\xBC\x8E.txt", "x");
    broken_name.flags = 0x0800;
    Entry streamed = deflated("streamed.txt", repetitive(500));
    streamed.data_descriptor = true;
    write_seed(out, "names.zip", build_zip({named, streamed, broken_name}));
    Entry wrong_crc = deflated("crc.txt", repetitive(700));
    wrong_crc.override_crc = true;
    wrong_crc.crc = 0x12345678;
    Entry bomb = deflated("bomb.bin", "");
    bomb.use_payload = true;
    bomb.payload = deflate_zeros(1u << 20);
    bomb.override_uncompressed_size = true;
    bomb.uncompressed_size = 100;
    write_seed(out, "checks.zip", build_zip({wrong_crc, bomb}));
    return 0;
}
