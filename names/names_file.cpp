#include <algorithm>
#include <string>
#include <vector>

#include "name_reader.h"
#include "names_utility.h"
#include "native_file.h"
#include "save_target.h"
#include "scene_order.h"

// The commands never let an exception out: a failed allocation ends the
// command where it happened, and says so in its result.

namespace {

constexpr std::size_t kReadChunk = 1 << 16;
// The text that a load reserves before it reads; beyond, it grows as it reads.
constexpr std::uint64_t kMostReserved = 1 << 26;
constexpr const char* kNotOpen = "the tool is not open";
constexpr const char* kOutOfMemory = "out of memory";

// Reads the names of `source` into `list` until it holds `wanted` names or
// the file ends; the file is read once, straight into the list.
native_file::Error ReadNames(const native_file::SourceFile& source, std::size_t wanted, names_tool::NameList& list) {
    const std::uint64_t size = source.Size();
    names_tool::NameLineReader reader(list, wanted);
    // No more names than lines, no more lines than bytes and one, and no
    // more bytes kept for a name than its longest line has.
    const std::uint64_t names = std::min<std::uint64_t>(wanted, size + 1);
    const std::uint64_t bytes = std::min({size, names * (names_tool::kMaxNameLength + 2), kMostReserved});
    reader.Reserve(static_cast<std::size_t>(names), static_cast<std::size_t>(bytes) + kReadChunk);
    std::size_t got = 0;
    std::uint64_t at = 0;
    do {
        if (const native_file::Error error = source.ReadAt(at, reader.Room(kReadChunk), kReadChunk, got);
            error != native_file::Error::None) {
            return error;
        }
        at += got;
        reader.Took(got);
    } while (got > 0 && !reader.Full());
    reader.Finish();
    return native_file::Error::None;
}

}  // namespace

// The file is opened first, so a save that cannot write leaves the scene
// unread; the whole list is built before a byte is written.
names_tool::SaveResult NamesUtility::SaveNames(const std::string& path) {
    Interface* const ip = StoredInterface();
    if (ip == nullptr) {
        return {names_tool::SaveOutcome::NotWritten, 0, kNotOpen};
    }
    names_tool::SaveTarget target(names_tool::FilePathOf(path));
    if (!target.IsOpen()) {
        return target.Stopped("");
    }
    try {
        names_tool::NameLines lines;
        std::string refusal;
        if (!CollectNames(ip->RootNode(), lines, refusal)) {
            return target.Stopped(refusal);  // nothing written: the old file stays, a new one goes
        }
        return target.Write(lines);
    } catch (...) {
        return target.Stopped(kOutOfMemory);
    }
}

// Only a regular file is read, and only up to the line for the last node:
// the nodes are counted first. A read error gives no names at all, and so
// does a file that changed between its opening and the last byte read
// (what was read may mix two versions of it).
names_tool::LoadResult NamesUtility::LoadNames(const std::string& path) {
    Interface* const ip = StoredInterface();
    if (ip == nullptr) {
        return {false, 0, kNotOpen};
    }
    try {
        native_file::SourceFile source;
        if (const native_file::Error error = source.Open(names_tool::FilePathOf(path));
            error != native_file::Error::None) {
            return {false, 0, native_file::ReasonOf(error)};
        }
        SceneNode* const root = ip->RootNode();
        names_tool::NameList list;
        if (const native_file::Error error = ReadNames(source, CountNodes(root), list);
            error != native_file::Error::None) {
            return {false, 0, native_file::ReasonOf(error)};
        }
        if (const std::string change = source.Change(); !change.empty()) {
            return {false, 0, "it changed while it was read (" + change + ")"};
        }
        std::uint32_t position = 0;
        if (!list.empty()) {
            ApplyNames(root, list, position);
        }
        return {true, position, ""};
    } catch (...) {
        return {false, 0, kOutOfMemory};
    }
}
