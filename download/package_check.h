#pragma once
// The package checked against its signed statement, chunk by chunk: no byte
// of it is handed on before its whole chunk has matched.
#include <cstddef>
#include <cstdint>
#include <string>

#include "download/package_statement.h"
#include "download/sha256.h"

class PackageCheck {
public:
    enum class Step { taken, mismatch, refused };

    PackageCheck() = default;
    explicit PackageCheck(PackageStatement statement) : statement_(std::move(statement)) {
        held_.reserve(statement_.chunk_bytes);
    }

    const PackageStatement& statement() const { return statement_; }
    std::uint64_t size() const { return statement_.size; }
    // The first byte of the chunk that holds offset.
    std::uint64_t chunk_start(std::uint64_t offset) const {
        return offset - offset % statement_.chunk_bytes;
    }

    // True when bytes, from offset (a chunk's first byte), are whole chunks
    // (the last may end at the package's end) that each match.
    bool holds(std::uint64_t offset, const char* bytes, std::size_t size) const;

    // The body, in order, from offset (a chunk's first byte); what was held
    // of an earlier chunk is dropped.
    void stream_from(std::uint64_t offset);
    // The bytes of the body that come next. Every chunk they complete is
    // checked, and when it matches it goes to take(offset, bytes, size),
    // which answers false to refuse it. mismatch for a chunk that does not
    // match or bytes past the package's end.
    template <typename Take>
    Step add(const char* bytes, std::size_t size, Take take);
    // Every byte of the package has been added and matched.
    bool stream_complete() const { return streamed_ == statement_.size && held_.empty(); }
    std::uint64_t streamed() const { return streamed_; }

private:
    bool chunk_matches(std::uint64_t offset, const Sha256Digest& digest) const;
    std::uint64_t chunk_end(std::uint64_t start) const;

    PackageStatement statement_;
    Sha256 hash_;
    std::string held_;  // the bytes of the current chunk received so far
    std::uint64_t streamed_ = 0;
};

template <typename Take>
PackageCheck::Step PackageCheck::add(const char* bytes, std::size_t size, Take take) {
    while (size > 0) {
        const std::uint64_t start = streamed_ - held_.size();
        if (start >= statement_.size) return Step::mismatch;
        const std::uint64_t room = chunk_end(start) - streamed_;
        const std::size_t part = size < room ? size : static_cast<std::size_t>(room);
        hash_.add(bytes, part);
        held_.append(bytes, part);
        streamed_ += part;
        bytes += part;
        size -= part;
        if (part < room) break;
        if (!chunk_matches(start, hash_.finish())) return Step::mismatch;
        const bool taken = take(start, held_.data(), held_.size());
        held_.clear();
        if (!taken) return Step::refused;
    }
    return Step::taken;
}
