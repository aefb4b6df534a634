#pragma once

#include <string>

namespace driver {

// The value of a hexadecimal digit of either case, or -1.
inline int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A byte as two lower-case hexadecimal digits.
inline void AppendHexByte(std::string& out, unsigned char byte) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

}  // namespace driver
