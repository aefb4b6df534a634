#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "name_lines.h"

namespace names_tool {

// Names as a load reads them: the file's own bytes, each name ended in
// place by a NUL, so a long list costs a few allocations, not one a name.
class NameList {
public:
    std::size_t size() const { return starts_.size(); }
    bool empty() const { return starts_.empty(); }
    // The zero-terminated name at `index`, valid while the list lives.
    const char* operator[](std::size_t index) const { return text_.get() + starts_[index]; }

private:
    friend class NameLineReader;
    std::unique_ptr<char[]> text_;
    std::size_t used_ = 0;  // names, then the kept bytes of the line being read
    std::size_t capacity_ = 0;
    std::vector<std::size_t> starts_;
};

// Splits the bytes of a names file, given in pieces of any size, into the
// names of a NameList until it holds `wanted` names. A line longer than
// kMaxNameLength gives its first kMaxNameLength characters, and the rest
// of that line is skipped. A UTF-8 byte-order mark that starts the input
// is passed over.
class NameLineReader {
public:
    explicit NameLineReader(NameList& names, std::size_t wanted = static_cast<std::size_t>(-1))
        : names_(names), wanted_(wanted) {}

    // Room for `names` names of `bytes` characters in all.
    void Reserve(std::size_t names, std::size_t bytes);
    // Room for up to `bytes` more bytes of the file, which the caller fills
    // and then hands over with Took: a file is read straight into the list.
    char* Room(std::size_t bytes);
    void Took(std::size_t bytes);
    // Room, a copy and Took.
    void Feed(const char* data, std::size_t size);
    // Once Full, the rest of the input is not looked at.
    bool Full() const { return names_.size() >= wanted_; }
    // The end of the file: a last line without a line end still counts.
    void Finish();

private:
    // Passes over a byte-order mark at the start of the input, among the
    // `bytes` new ones: gives how many new bytes are then left to split.
    // Bytes that may still begin a mark are held back until it is whole or
    // broken; a broken one's bytes come back in front.
    std::size_t DropMark(std::size_t bytes);
    void Split(std::size_t bytes);
    // Keeps the text's first `keep` bytes.
    void Grow(std::size_t capacity, std::size_t keep);

    NameList& names_;
    std::size_t wanted_;
    std::size_t line_ = 0;         // where the line being read starts in the list's text
    std::size_t length_ = 0;       // bytes of that line so far, dropped ones included
    std::size_t markMatched_ = 0;  // bytes of the input that match the mark so far
    bool markDecided_ = false;
};

}  // namespace names_tool
