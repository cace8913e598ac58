#include "platform/platform.h"

namespace platform {

// Host names are UTF-8, whose multi-byte characters hold no byte below 0x80:
// a separator byte is always a separator.
std::size_t next_character(const std::string& text, std::size_t position) {
    return position >= text.size() ? text.size() : position + 1;
}

}  // namespace platform
