#include "text/utf8.h"

#include <cstdint>

namespace driver {

std::size_t Utf8CharacterLength(const char* at, const char* end) {
    const auto lead = static_cast<unsigned char>(*at);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t extra = 0;
    std::uint32_t code = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (static_cast<std::size_t>(end - at) <= extra) {
        return 0;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(at[k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3F);
    }
    const std::uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (code < smallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return extra + 1;
}

bool IsValidUtf8(const std::string& text) {
    const char* at = text.data();
    const char* end = at + text.size();
    while (at != end) {
        if (static_cast<unsigned char>(*at) < 0x80) {
            ++at;  // most bytes of most names: no call for them
            continue;
        }
        const std::size_t length = Utf8CharacterLength(at, end);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

}  // namespace driver
