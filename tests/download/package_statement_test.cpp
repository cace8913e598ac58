// The publisher's statement: SHA-256 against known digests and the system's
// own, and the statement's parser against every way a host can bend the
// text. The chunk check runs in the download's own tests.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "download/package_statement.h"
#include "download/package_url.h"
#include "download/sha256.h"

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>
#endif

namespace {

std::string hex(const Sha256Digest& digest) {
    std::string text;
    char pair[3];
    for (unsigned char byte : digest) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

std::string random_bytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator());
    return bytes;
}

#ifdef _WIN32
Sha256Digest system_sha256(const std::string& bytes) {
    Sha256Digest digest{};
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    EXPECT_EQ(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0), 0);
    EXPECT_EQ(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0), 0);
    EXPECT_EQ(BCryptHashData(hash, (PUCHAR)bytes.data(), (ULONG)bytes.size(), 0), 0);
    EXPECT_EQ(BCryptFinishHash(hash, digest.data(), 32, 0), 0);
    BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return digest;
}
#endif

TEST(Sha256, MatchesKnownDigestsAndTheSystemsOwnAtEveryLengthAndSplit) {
    EXPECT_EQ(hex(sha256("abc", 3)),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string million(1000000, 'a');
    EXPECT_EQ(hex(sha256(million.data(), million.size())),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");

    // Every length around a block's end, in pieces of odd sizes.
    const std::string bytes = random_bytes(70000, 5);
    std::mt19937 pieces(9);
    for (std::size_t length : {1u, 55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 4097u, 70000u}) {
        SCOPED_TRACE(length);
        Sha256 hash;
        for (std::size_t at = 0; at < length;) {
            const std::size_t piece = std::min<std::size_t>(length - at, 1 + pieces() % 200);
            hash.add(bytes.data() + at, piece);
            at += piece;
        }
        const Sha256Digest digest = hash.finish();
        EXPECT_EQ(digest, sha256(bytes.data(), length));
#ifdef _WIN32
        EXPECT_EQ(digest, system_sha256(bytes.substr(0, length)));
#endif
    }
}

constexpr std::uint32_t chunk = 65536;

// A statement of bytes as tools/sign-package.sh writes it, with a
// signature line that only has the right form.
std::string statement_of(const std::string& bytes, const std::string& name = "QuellmarkFull.zip") {
    std::string text = "quellmark-package 1\nfile " + name + "\nsize " +
                       std::to_string(bytes.size()) + "\nchunk " + std::to_string(chunk) + "\n";
    for (std::size_t at = 0; at < bytes.size(); at += chunk)
        text += hex(sha256(bytes.data() + at, std::min<std::size_t>(chunk, bytes.size() - at))) + "\n";
    return text + "signature " + std::string(128, 'a') + "\n";
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(PackageUrl, IsTheBaseUrlThenThePackageName) {
    const std::string url = package_url();
    ASSERT_GT(url.size(), sizeof "QuellmarkFull.zip");
    EXPECT_EQ(url.rfind("https://", 0), 0u);
    EXPECT_EQ(url, std::string(package_base_url) + "QuellmarkFull.zip");
    EXPECT_EQ(url.substr(url.size() - 18), "/QuellmarkFull.zip");
}

TEST(PackageStatement, ReadsWhatTheSignerWritesAndNothingElse) {
    const std::string bytes = random_bytes(3 * chunk + 100, 7);
    const std::string good = statement_of(bytes);
    SignedStatement parsed;
    ASSERT_TRUE(parse_signed_statement(good, parsed));
    EXPECT_EQ(parsed.statement.file_name, "QuellmarkFull.zip");
    EXPECT_EQ(parsed.statement.size, bytes.size());
    EXPECT_EQ(parsed.statement.chunks.size(), 4u);
    const std::size_t signed_bytes = good.rfind("signature ");
    EXPECT_EQ(parsed.digest, sha256(good.data(), signed_bytes));
    EXPECT_EQ(parsed.signature[0], 0xaa);

    const std::string first_hash = good.substr(good.find("chunk") + 12, 64);
    const struct {
        const char* what;
        std::string text;
    } refused[] = {
        {"empty", ""},
        {"a page instead", "<html>Not Found</html>\n"},
        {"cut short", good.substr(0, good.size() / 2)},
        {"no final line break", good.substr(0, good.size() - 1)},
        {"bytes after the signature", good + "x"},
        {"another version", replaced(good, "package 1", "package 2")},
        {"a name with a folder", replaced(good, "file QuellmarkFull.zip", "file a/b.zip")},
        {"a size with a sign", replaced(good, "size ", "size +")},
        {"a size past 64 bits", replaced(good, "size " + std::to_string(bytes.size()),
                                         "size 99999999999999999999")},
        {"a size that needs more chunks", replaced(good, "size " + std::to_string(bytes.size()),
                                                   "size " + std::to_string(5 * chunk))},
        {"a chunk smaller than a block", replaced(good, "chunk 65536", "chunk 4096")},
        {"a chunk over 1 MiB", replaced(good, "chunk 65536", "chunk 2097152")},
        {"an uppercase hash", replaced(good, first_hash, std::string(64, 'A'))},
        {"a carriage return", replaced(good, "file", "\rfile")},
        {"a short signature", replaced(good, std::string(128, 'a'), std::string(126, 'a'))},
        {"too large", good + std::string(signature_file_limit, '0')},
    };
    for (const auto& test : refused) {
        SCOPED_TRACE(test.what);
        EXPECT_FALSE(parse_signed_statement(test.text, parsed));
    }
}

}  // namespace
