#pragma once
// SHA-256, for checking the package against its signed statement. It runs on
// the one thread over every byte of the package, so it uses the processor's
// SHA extensions where they are there.
#include <array>
#include <cstddef>
#include <cstdint>

using Sha256Digest = std::array<unsigned char, 32>;

class Sha256 {
public:
    Sha256() { restart(); }
    void restart();
    void add(const void* bytes, std::size_t size);
    // The digest of everything added since the last restart; restarts.
    Sha256Digest finish();

private:
    std::uint32_t state_[8];
    unsigned char pending_[64];
    std::size_t pending_size_ = 0;
    std::uint64_t total_ = 0;
};

Sha256Digest sha256(const void* bytes, std::size_t size);
