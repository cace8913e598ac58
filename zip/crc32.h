#pragma once
// The CRC-32 of ZIP entries, with zlib's crc32 conventions and values: pass 0
// to start, then each result with the next bytes. Checking every extracted
// byte must cost little next to writing it: where the processor multiplies
// without carries (PCLMULQDQ, on 256 bits at once with VPCLMULQDQ), long
// runs are folded 64 bytes at a time and only the last few bytes go through
// zlib's crc32; elsewhere zlib does it all.
#include <cstddef>
#include <cstdint>

std::uint32_t update_crc32(std::uint32_t crc, const unsigned char* bytes, std::size_t count);
