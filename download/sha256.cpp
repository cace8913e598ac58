#include "download/sha256.h"

#include <cstring>

#include "report/phase_clock.h"

#if (defined(__i386__) || defined(__x86_64__)) && !defined(QUELLMARK_PORTABLE_SHA256)
#include <cpuid.h>
#include <immintrin.h>
#define QUELLMARK_SHA_EXTENSIONS 1
#endif

namespace {

alignas(16) const std::uint32_t round_constants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
    0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
    0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
    0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
    0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
    0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
    0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
    0xc67178f2};

inline std::uint32_t rotate_right(std::uint32_t value, int bits) {
    return (value >> bits) | (value << (32 - bits));
}

inline std::uint32_t big_endian_32(const unsigned char* at) {
    return std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 | std::uint32_t{at[2]} << 8 |
           at[3];
}

void compress_portable(std::uint32_t state[8], const unsigned char* blocks, std::size_t count) {
    for (; count > 0; --count, blocks += 64) {
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i) w[i] = big_endian_32(blocks + 4 * i);
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t s0 =
                rotate_right(w[i - 15], 7) ^ rotate_right(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 =
                rotate_right(w[i - 2], 17) ^ rotate_right(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4],
                      f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t s1 = rotate_right(e, 6) ^ rotate_right(e, 11) ^ rotate_right(e, 25);
            const std::uint32_t choice = (e & f) ^ (~e & g);
            const std::uint32_t t1 = h + s1 + choice + round_constants[i] + w[i];
            const std::uint32_t s0 = rotate_right(a, 2) ^ rotate_right(a, 13) ^ rotate_right(a, 22);
            const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + s0 + majority;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

#ifdef QUELLMARK_SHA_EXTENSIONS

// The 32-bit Windows ABI promises only 4-byte stack alignment; the vector
// locals below need 16.
#if defined(__i386__)
#define QM_REALIGN __attribute__((force_align_arg_pointer))
#else
#define QM_REALIGN
#endif

// The extensions keep the state as ABEF and CDGH and take four rounds'
// message words and constants at a time. Group g of four rounds also
// prepares the message words of group g + 1 (sha256msg2, from g = 3) and
// starts those of group g + 3 (sha256msg1, up to g = 12).
__attribute__((target("sha,sse4.1,ssse3"), noinline)) QM_REALIGN void compress_extended(
    std::uint32_t state[8], const unsigned char* blocks, std::size_t count) {
    const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (; count > 0; --count, blocks += 64) {
        const __m128i abef_before = abef, cdgh_before = cdgh;
        __m128i words[4];
        for (int i = 0; i < 4; ++i) {
            words[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), byte_swap);
        }
#pragma GCC unroll 16
        for (int g = 0; g < 16; ++g) {
            __m128i& current = words[g % 4];
            __m128i message = _mm_add_epi32(
                current, _mm_load_si128(reinterpret_cast<const __m128i*>(&round_constants[4 * g])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            if (g >= 3 && g <= 14) {
                __m128i& next = words[(g + 1) % 4];
                next = _mm_add_epi32(next, _mm_alignr_epi8(current, words[(g + 3) % 4], 4));
                next = _mm_sha256msg2_epu32(next, current);
            }
            message = _mm_shuffle_epi32(message, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
            if (g >= 1 && g <= 12) {
                __m128i& previous = words[(g + 3) % 4];
                previous = _mm_sha256msg1_epu32(previous, current);
            }
        }
        abef = _mm_add_epi32(abef, abef_before);
        cdgh = _mm_add_epi32(cdgh, cdgh_before);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    dcba = _mm_blend_epi16(feba, dchg, 0xF0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), hgfe);
}

bool has_sha_extensions() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const bool ssse3 = ecx & bit_SSSE3, sse41 = ecx & bit_SSE4_1;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    return ssse3 && sse41 && (ebx & bit_SHA);
}

using Compress = void (*)(std::uint32_t*, const unsigned char*, std::size_t);
const Compress compress = has_sha_extensions() ? compress_extended : compress_portable;

#else
void (*const compress)(std::uint32_t*, const unsigned char*, std::size_t) = compress_portable;
#endif

}  // namespace

void Sha256::restart() {
    static const std::uint32_t initial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(state_, initial, sizeof state_);
    pending_size_ = 0;
    total_ = 0;
}

void Sha256::add(const void* bytes, std::size_t size) {
    PhaseTimer checking(Phase::checking);
    const unsigned char* at = static_cast<const unsigned char*>(bytes);
    total_ += size;
    if (pending_size_ > 0) {
        const std::size_t taken = size < 64 - pending_size_ ? size : 64 - pending_size_;
        std::memcpy(pending_ + pending_size_, at, taken);
        pending_size_ += taken;
        at += taken;
        size -= taken;
        if (pending_size_ < 64) return;
        compress(state_, pending_, 1);
        pending_size_ = 0;
    }
    if (size >= 64) {
        compress(state_, at, size / 64);
        at += size / 64 * 64;
        size %= 64;
    }
    std::memcpy(pending_, at, size);
    pending_size_ = size;
}

Sha256Digest Sha256::finish() {
    PhaseTimer checking(Phase::checking);
    const std::uint64_t bits = total_ * 8;
    unsigned char padding[72] = {0x80};
    const std::size_t zeros = (pending_size_ < 56 ? 56 : 120) - pending_size_;
    for (int i = 0; i < 8; ++i) padding[zeros + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    add(padding, zeros + 8);
    Sha256Digest digest;
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<unsigned char>(state_[i] >> (24 - 8 * j));
    }
    restart();
    return digest;
}

Sha256Digest sha256(const void* bytes, std::size_t size) {
    Sha256 hash;
    hash.add(bytes, size);
    return hash.finish();
}
