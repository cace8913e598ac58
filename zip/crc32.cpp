#include "zip/crc32.h"

#include <zlib.h>

#include "report/phase_clock.h"

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#define QUELLMARK_FOLDED_CRC32 1
#endif

namespace {

// zlib's crc32 in pieces its length type holds.
std::uint32_t zlib_crc32(std::uint32_t crc, const unsigned char* bytes, std::size_t count) {
    while (count > 0) {
        const uInt piece = count > 0x40000000u ? 0x40000000u : static_cast<uInt>(count);
        crc = static_cast<std::uint32_t>(crc32(crc, bytes, piece));
        bytes += piece;
        count -= piece;
    }
    return crc;
}

#ifdef QUELLMARK_FOLDED_CRC32

// The folding method for the bit-reflected CRC-32 polynomial 0x04C11DB7:
// constants x^(4*128+32), x^(4*128-32) (fold by 64 bytes), x^(128+32),
// x^(128-32) (fold by 16 bytes), x^64 (to 64 bits), then the polynomial and
// its Barrett constant, each mod P and bit-reflected.
alignas(16) const std::uint64_t fold_by_64[2] = {0x0154442BD4, 0x01C6E41596};
alignas(16) const std::uint64_t fold_by_16[2] = {0x01751997D0, 0x00CCAA009E};
alignas(16) const std::uint64_t fold_to_64[2] = {0x0163CD6124, 0};
alignas(16) const std::uint64_t barrett[2] = {0x01DB710641, 0x01F7011641};

#define QM_FOLDING __attribute__((target("pclmul,sse4.1"), always_inline)) inline
// The 32-bit Windows ABI promises only 4-byte stack alignment; the vector
// locals below need 16.
#if defined(__i386__)
#define QM_REALIGN __attribute__((force_align_arg_pointer))
#else
#define QM_REALIGN
#endif

QM_FOLDING __m128i load(const unsigned char* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

QM_FOLDING __m128i load(const std::uint64_t* constants) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(constants));
}

// value times the constants' two halves, carry-less, plus the next 16 bytes.
QM_FOLDING __m128i fold(__m128i value, __m128i constants, __m128i next) {
    const __m128i low = _mm_clmulepi64_si128(value, constants, 0x00);
    const __m128i high = _mm_clmulepi64_si128(value, constants, 0x11);
    return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

// The four lanes of 16 bytes folded over the next whole 64-byte steps,
// two lanes to a 256-bit register: half the multiplications of the loop below.
__attribute__((target("vpclmulqdq,avx2,pclmul,sse4.1"), noinline)) QM_REALIGN void fold_wide(
    __m128i lanes[4], const unsigned char*& bytes, std::size_t& count) {
    __m256i front = _mm256_inserti128_si256(_mm256_castsi128_si256(lanes[0]), lanes[1], 1);
    __m256i back = _mm256_inserti128_si256(_mm256_castsi128_si256(lanes[2]), lanes[3], 1);
    const __m256i by_64 = _mm256_broadcastsi128_si256(
        _mm_load_si128(reinterpret_cast<const __m128i*>(fold_by_64)));
    for (; count >= 64; bytes += 64, count -= 64) {
        const __m256i next_front = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
        const __m256i next_back = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 32));
        front = _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(front, by_64, 0x00),
                                                  _mm256_clmulepi64_epi128(front, by_64, 0x11)),
                                 next_front);
        back = _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(back, by_64, 0x00),
                                                 _mm256_clmulepi64_epi128(back, by_64, 0x11)),
                                next_back);
    }
    lanes[0] = _mm256_castsi256_si128(front);
    lanes[1] = _mm256_extracti128_si256(front, 1);
    lanes[2] = _mm256_castsi256_si128(back);
    lanes[3] = _mm256_extracti128_si256(back, 1);
}

bool can_fold_wide() {
    static const bool supported =
        __builtin_cpu_supports("vpclmulqdq") && __builtin_cpu_supports("avx2");
    return supported;
}

// The running (inverted) CRC over count bytes: count is a multiple of 16, at
// least 64.
__attribute__((target("pclmul,sse4.1"))) QM_REALIGN std::uint32_t folded_crc32(
    std::uint32_t crc, const unsigned char* bytes, std::size_t count) {
    __m128i lanes[4] = {_mm_xor_si128(load(bytes), _mm_cvtsi32_si128(static_cast<int>(crc))),
                        load(bytes + 16), load(bytes + 32), load(bytes + 48)};
    bytes += 64;
    count -= 64;
    if (count >= 64 && can_fold_wide()) fold_wide(lanes, bytes, count);
    __m128i lane0 = lanes[0];
    __m128i lane1 = lanes[1];
    __m128i lane2 = lanes[2];
    __m128i lane3 = lanes[3];

    const __m128i by_64 = load(fold_by_64);
    for (; count >= 64; bytes += 64, count -= 64) {
        lane0 = fold(lane0, by_64, load(bytes));
        lane1 = fold(lane1, by_64, load(bytes + 16));
        lane2 = fold(lane2, by_64, load(bytes + 32));
        lane3 = fold(lane3, by_64, load(bytes + 48));
    }

    const __m128i by_16 = load(fold_by_16);
    __m128i value = fold(lane0, by_16, lane1);
    value = fold(value, by_16, lane2);
    value = fold(value, by_16, lane3);
    for (; count >= 16; bytes += 16, count -= 16) value = fold(value, by_16, load(bytes));

    // 128 bits to 64, then Barrett reduction to the 32-bit remainder.
    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
    value = _mm_xor_si128(_mm_srli_si128(value, 8), _mm_clmulepi64_si128(value, by_16, 0x10));
    const __m128i to_64 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(fold_to_64));
    value = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(value, low32), to_64, 0x00),
                          _mm_srli_si128(value, 4));
    const __m128i polynomial = load(barrett);
    __m128i quotient = _mm_clmulepi64_si128(_mm_and_si128(value, low32), polynomial, 0x10);
    quotient = _mm_clmulepi64_si128(_mm_and_si128(quotient, low32), polynomial, 0x00);
    return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(value, quotient), 1));
}

bool can_fold() {
    static const bool supported =
        __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return supported;
}

#endif

}  // namespace

std::uint32_t update_crc32(std::uint32_t crc, const unsigned char* bytes, std::size_t count) {
    PhaseTimer crc32(Phase::crc32);
#ifdef QUELLMARK_FOLDED_CRC32
    if (count >= 64 && can_fold()) {
        const std::size_t folded = count & ~static_cast<std::size_t>(15);
        crc = ~folded_crc32(~crc, bytes, folded);
        bytes += folded;
        count -= folded;
    }
#endif
    return zlib_crc32(crc, bytes, count);
}
