#include "download/package_check.h"

std::uint64_t PackageCheck::chunk_end(std::uint64_t start) const {
    const std::uint64_t end = start + statement_.chunk_bytes;
    return end < statement_.size ? end : statement_.size;
}

bool PackageCheck::chunk_matches(std::uint64_t offset, const Sha256Digest& digest) const {
    const std::uint64_t index = offset / statement_.chunk_bytes;
    return offset % statement_.chunk_bytes == 0 && index < statement_.chunks.size() &&
           statement_.chunks[static_cast<std::size_t>(index)] == digest;
}

bool PackageCheck::holds(std::uint64_t offset, const char* bytes, std::size_t size) const {
    if (offset > statement_.size || size > statement_.size - offset) return false;
    while (size > 0) {
        const std::uint64_t length = chunk_end(offset) - offset;
        if (length > size || !chunk_matches(offset, sha256(bytes, static_cast<std::size_t>(length))))
            return false;
        offset += length;
        bytes += length;
        size -= static_cast<std::size_t>(length);
    }
    return true;
}

void PackageCheck::stream_from(std::uint64_t offset) {
    hash_.restart();
    held_.clear();
    streamed_ = chunk_start(offset);
}
