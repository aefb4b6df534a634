#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Damage done to a copy of a built plug-in (ELF, or PE on Windows), found
// by the file's own tables: code written at a symbol or at the entry, a
// value of the dynamic table changed (ELF).
namespace damaged {

using Bytes = std::vector<char>;

Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);

bool IsPe(const Bytes& bytes);

// The file offset of the symbol `name` (as the symbol table spells it; in
// a 32-bit PE file, after its leading underscore), or of the entry point
// when `name` is empty. Throws when there is none.
std::uint64_t CodeOffset(const Bytes& bytes, const std::string& name);

// Writes `code` at `offset`.
void Patch(Bytes& bytes, std::uint64_t offset, const std::string& code);

// Sets the value of every entry `tag` of the dynamic table; throws when
// there is none.
void SetDynamic(Bytes& bytes, std::uint64_t tag, std::uint64_t value);

// Code that crashes (ud2), code that never ends (jmp $), and code that
// ends the process with status 3 (exit_group), on x86-64; the first two
// are the same on 32-bit x86.
inline const std::string kCrash("\x0f\x0b", 2);
inline const std::string kHang("\xeb\xfe", 2);

// The plug-ins' functions that the host calls, as their libraries name them.
inline constexpr char kBeginEdit[] = "_ZN10PanelFrame15BeginEditParamsEP9InterfaceP13UtilityHandle";
inline constexpr char kEndEdit[] = "_ZN10PanelFrame13EndEditParamsEP9InterfaceP13UtilityHandle";
inline constexpr char kAlignSelected[] = "_ZN12PivotUtility13AlignSelectedEv";
inline constexpr char kAcceptPick[] = "_ZN10pivot_tool10PickHelper10AcceptPickEP9InterfaceP8Viewport";
inline const std::string kExit3("\xbf\x03\x00\x00\x00\xb8\xe7\x00\x00\x00\x0f\x05", 12);

// Code that starts a process which leaves its process group and session
// (setsid) and then waits for ever, or, `fleeing`, keeps starting the next
// of a line of such processes every millisecond and ending itself; the
// code after it runs once that process has left, in the one that started
// it. On x86-64 Linux.
std::string LeavingGroup(bool fleeing);

}  // namespace damaged
