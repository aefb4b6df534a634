#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace driver {

// Every input's bound, in one table, so that no input makes a run read,
// hold or work without end: past its bound an input is refused with one
// line that names it and the bound (BoundError), and nothing is written.
enum class InputBound {
    InputFileBytes,      // a file read whole: scene, buffer, session (a names file is read by
                         // its tool, up to its line for the last node, 511 bytes a line)
    StandardInputBytes,  // names read from standard input ("-")
    SessionBytes,        // a session: its actions hold a few times its bytes
    SessionLines,        // a session's lines, comments and blank lines too
    SessionLineBytes,    // one line of a session: what one action may hold
    PatternBytes,        // one name pattern or path of select-name or select-path
    PathSteps,           // the steps of one path of select-path
    AnyDepthSteps,       // its "**" steps (each may stand for any number of levels)
    WildcardNames,       // the patterns with '*' or '?' of one select-name, each tried on every node
    QuotedColumns,       // the columns of a name or path quoted in a message, the rest cut
    DecodedViewBytes,    // a glTF buffer view that meshopt compresses, decoded
    Count,
};

struct InputBoundRow {
    InputBound bound;
    const char* input;  // "standard input"
    std::uint64_t limit;
    const char* unit;  // "bytes"
};

inline constexpr InputBoundRow kInputBounds[] = {
    {InputBound::InputFileBytes, "a file read whole", std::uint64_t{1} << 30, "bytes"},
    {InputBound::StandardInputBytes, "standard input", std::uint64_t{1} << 28, "bytes"},
    {InputBound::SessionBytes, "a session", std::uint64_t{1} << 26, "bytes"},
    {InputBound::SessionLines, "a session", std::uint64_t{1} << 22, "lines"},
    {InputBound::SessionLineBytes, "a line of a session", std::uint64_t{1} << 24, "bytes"},
    {InputBound::PatternBytes, "a name pattern or path", 4096, "bytes"},
    {InputBound::PathSteps, "a path", 256, "steps"},
    {InputBound::AnyDepthSteps, "a path", 16, "\"**\" steps"},
    {InputBound::WildcardNames, "a select-name", 64, "names with * or ?"},
    {InputBound::QuotedColumns, "a name quoted in a message", 80, "columns"},
    {InputBound::DecodedViewBytes, "a compressed buffer view", std::uint64_t{1} << 30, "bytes decoded"},
};
static_assert(sizeof(kInputBounds) / sizeof(kInputBounds[0]) == static_cast<std::size_t>(InputBound::Count));

constexpr std::uint64_t BoundOf(InputBound bound) { return kInputBounds[static_cast<std::size_t>(bound)].limit; }

// "SOURCE: more than LIMIT UNIT, the bound of INPUT", where SOURCE says
// which one ("demo.session:4"; the input itself when empty).
std::string PastBound(InputBound bound, const std::string& source = "");

// An input past its bound, refused as too large (exit 1).
void RefusePastBound(InputBound bound, const std::string& source = "");

}  // namespace driver
