#pragma once
// The publisher's signed statement of a package, as the package's ".sig"
// file carries it (tools/sign-package.sh writes it):
//   quellmark-package 1
//   file NAME
//   size BYTES
//   chunk BYTES
//   one line of 64 lowercase hex digits per chunk: its SHA-256
//   signature HEX          (128 hex digits: r then s of ECDSA P-256)
// Every line ends in "\n". The signature covers every byte before its line.
// Until the signature holds, all of it is untrusted input.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "download/sha256.h"

// The longest ".sig" file read: enough for a package of over 100 GiB.
constexpr std::size_t signature_file_limit = 8 * 1024 * 1024;
// A statement's chunks are at least the download's blocks, so one block
// completes at most one chunk, and at most 1 MiB, so a chunk held back until
// it is checked stays small.
constexpr std::uint32_t smallest_chunk = 65536;
constexpr std::uint32_t largest_chunk = 1048576;

struct PackageStatement {
    std::string file_name;
    std::uint64_t size = 0;
    std::uint32_t chunk_bytes = 0;
    std::vector<Sha256Digest> chunks;
};

struct SignedStatement {
    PackageStatement statement;
    Sha256Digest digest{};                  // of the signed text
    std::array<unsigned char, 64> signature{};  // r then s, big-endian
};

// Reads a ".sig" file's text: false for anything but exactly the form above,
// with as many chunk lines as size and chunk call for. Says nothing about
// whether the signature holds.
bool parse_signed_statement(const std::string& text, SignedStatement& signed_statement);
