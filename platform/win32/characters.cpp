#include "platform/platform.h"

#include <array>

namespace platform {

std::size_t next_character(const std::string& text, std::size_t position) {
    // The code page is fixed for the life of the process: its lead bytes are
    // asked for once.
    static const std::array<bool, 256> lead_bytes = [] {
        std::array<bool, 256> lead{};
        const UINT code_page = GetACP();
        for (unsigned byte = 0x80; byte < 256; ++byte) {
            lead[byte] = IsDBCSLeadByteEx(code_page, static_cast<BYTE>(byte)) != FALSE;
        }
        return lead;
    }();
    if (position >= text.size()) return text.size();
    const bool lead = lead_bytes[static_cast<unsigned char>(text[position])];
    return lead && position + 2 <= text.size() ? position + 2 : position + 1;
}

}  // namespace platform
