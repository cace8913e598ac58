#pragma once
#include <cstdint>

// The Content-Length header's text as a 64-bit number: one or more decimal
// digits and nothing else, not past 2^64 - 1. Anything else (a sign, spaces,
// a second value, an overflow) leaves the length unknown: false.
inline bool parse_content_length(const char* text, std::uint64_t& length) {
    std::uint64_t value = 0;
    if (!text || !*text) return false;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return false;
        const unsigned digit = static_cast<unsigned>(*text - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    length = value;
    return true;
}
