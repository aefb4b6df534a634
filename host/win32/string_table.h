#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "win32/res_file.h"

namespace win32standin {

// String tables are stored in blocks of 16: string n lives in the RT_STRING
// resource named n / 16 + 1, at position n % 16; each position holds a
// length in UTF-16 units and that many units (0: no string).
constexpr std::uint16_t StringBlockName(unsigned id) { return static_cast<std::uint16_t>((id >> 4) + 1); }

// The 16 strings of a block, empty where absent. False when malformed.
bool ParseStringBlock(const std::vector<std::uint8_t>& data, std::vector<std::u16string>& strings);

// String `id` of the entries, looked up in `language` as FindResource does.
// False when its block or the string is absent or empty.
bool FindString(const std::vector<ResourceEntry>& entries, unsigned id, std::u16string& text,
                std::uint16_t language = kLanguageEnglishUs);

}  // namespace win32standin
