#include "zip/utf8_names.h"

#include <cstdint>

#include "platform/platform.h"
#include "zip/zip_records.h"

namespace {

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes the character at position and moves past it. False for bytes that
// are not valid UTF-8 (overlong forms, surrogates and values past 0x10FFFF
// included); position then moves past the longest start of a valid sequence,
// at least one byte, so each broken character counts once.
bool decode_utf8_character(const std::string& text, std::size_t& position,
                           std::uint32_t& code_point) {
    const unsigned char lead = static_cast<unsigned char>(text[position]);
    std::size_t length = 0;
    // The allowed range of the second byte narrows for some lead bytes; that
    // is what rules out overlong forms, surrogates and values past 0x10FFFF.
    unsigned char second_low = 0x80;
    unsigned char second_high = 0xBF;
    if (lead < 0x80) {
        code_point = lead;
        ++position;
        return true;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code_point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code_point = lead & 0x0F;
        if (lead == 0xE0) second_low = 0xA0;
        if (lead == 0xED) second_high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code_point = lead & 0x07;
        if (lead == 0xF0) second_low = 0x90;
        if (lead == 0xF4) second_high = 0x8F;
    } else {
        ++position;
        return false;
    }
    std::size_t taken = 1;
    for (; taken < length; ++taken) {
        if (position + taken >= text.size()) break;
        const unsigned char byte = static_cast<unsigned char>(text[position + taken]);
        const bool allowed = taken == 1 ? byte >= second_low && byte <= second_high
                                        : is_continuation(byte);
        if (!allowed) break;
        code_point = (code_point << 6) | (byte & 0x3F);
    }
    position += taken;
    return taken == length;
}

// The name in the ANSI code page; false when any character does not convert,
// with shown holding the name with '?' for each such character.
bool to_ansi(const std::string& utf8, std::string& ansi, std::string& shown) {
    bool converted = true;
    for (std::size_t position = 0; position < utf8.size();) {
        std::uint32_t code_point = 0;
        const std::size_t before = ansi.size();
        const bool valid = decode_utf8_character(utf8, position, code_point);
        if (valid && code_point < 0x80) {
            // Every ANSI code page keeps ASCII as it is.
            ansi += static_cast<char>(code_point);
            shown += static_cast<char>(code_point);
        } else if (valid && platform::ansi_from_code_point(code_point, ansi)) {
            shown.append(ansi, before, std::string::npos);
        } else {
            converted = false;
            shown += '?';
        }
    }
    return converted;
}

}  // namespace

bool convert_utf8_names(std::vector<ZipEntry>& entries, std::string& error_message) {
    for (ZipEntry& entry : entries) {
        if (!(entry.flags & zip_record::flag::utf8_name)) continue;
        std::string ansi;
        std::string shown;
        if (!to_ansi(entry.name, ansi, shown)) {
            error_message =
                "The package contains a name that cannot be stored on this system: " + shown;
            return false;
        }
        entry.name = std::move(ansi);
    }
    return true;
}
