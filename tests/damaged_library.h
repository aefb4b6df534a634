#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Damage done to a copy of a built ELF plug-in, found by the file's own
// tables: code written at a symbol or at the entry, a value of the dynamic
// table changed.
namespace damaged {

using Bytes = std::vector<char>;

Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);

// The file offset of the symbol `name` (as the symbol table spells it), or
// of the entry point when `name` is empty. Throws when there is none.
std::uint64_t CodeOffset(const Bytes& bytes, const std::string& name);

// Writes `code` at `offset`.
void Patch(Bytes& bytes, std::uint64_t offset, const std::string& code);

// Sets the value of every entry `tag` of the dynamic table; throws when
// there is none.
void SetDynamic(Bytes& bytes, std::uint64_t tag, std::uint64_t value);

// Code that crashes (ud2), code that never ends (jmp $), and code that
// ends the process with status 3 (exit_group), on x86-64.
inline const std::string kCrash("\x0f\x0b", 2);
inline const std::string kHang("\xeb\xfe", 2);
inline const std::string kExit3("\xbf\x03\x00\x00\x00\xb8\xe7\x00\x00\x00\x0f\x05", 12);

}  // namespace damaged
