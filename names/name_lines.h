#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The names file: one name per line, byte for byte. A line ends at LF; a CR
// directly before that LF belongs to the line end. A name is at most
// kMaxNameLength characters and stops at its first NUL.
namespace names_file {

constexpr std::size_t kMaxNameLength = 511;

// The line end that this platform's text files use: CR LF on Windows, LF
// elsewhere. Files are written in binary with this line end, which gives the
// same bytes as a text-mode stream of the platform.
#if defined(_WIN32)
constexpr const char* kPlatformLineEnd = "\r\n";
#else
constexpr const char* kPlatformLineEnd = "\n";
#endif

// Appends `name` and a line end to `out`, as a text-mode stream with
// `lineEnd` as its line end would: every LF of the name becomes `lineEnd`.
void AppendNameLine(std::string& out, const char* name, std::size_t length, const char* lineEnd);

// Names kept as the lines of a names file that they become, with this
// platform's line ends, in blocks of about kBlockSize bytes, so that a long
// list is never copied to grow.
class NameLines {
public:
    static constexpr std::size_t kBlockSize = 1 << 20;

    void Append(const char* name);
    std::size_t size() const { return count_; }
    const std::vector<std::string>& Blocks() const { return blocks_; }

private:
    std::vector<std::string> blocks_;
    std::size_t count_ = 0;
};

// Names as a load reads them: packed in one text, each ended by a NUL, so
// that a long list is a few allocations, not one per name.
class NameList {
public:
    // Room for `names` names of `bytes` characters in all.
    void reserve(std::size_t names, std::size_t bytes);
    void emplace_back(const char* name, std::size_t length) {
        starts_.push_back(text_.size());
        text_.append(name, length).push_back('\0');
    }
    void push_back(const std::string& name) { emplace_back(name.data(), name.size()); }
    std::size_t size() const { return starts_.size(); }
    bool empty() const { return starts_.empty(); }
    // The zero-terminated name at `index`, valid until the list changes.
    const char* operator[](std::size_t index) const { return text_.data() + starts_[index]; }

private:
    std::string text_;
    std::vector<std::size_t> starts_;
};

// Splits the bytes of a names file, fed in pieces of any size, into names
// appended to a list (a NameList or a vector of strings), until the list
// holds `wanted` names. A line longer than kMaxNameLength gives its first
// kMaxNameLength characters, and the rest of that line is skipped.
template <typename List>
class NameLineReader {
public:
    explicit NameLineReader(List& names, std::size_t wanted = static_cast<std::size_t>(-1))
        : names_(names), wanted_(wanted) {}

    // Once Full, the rest of the input is not looked at.
    void Feed(const char* data, std::size_t size);
    bool Full() const { return names_.size() >= wanted_; }
    // The end of the file: a last line without a line end still counts.
    void Finish();

private:
    void TakePendingCr();
    void Append(const char* data, std::size_t size);
    void EndLine();

    List& names_;
    std::size_t wanted_;
    std::string line_;
    bool started_ = false;    // a byte of the current line was consumed
    bool cut_ = false;        // a NUL or the length limit ended the name
    bool pendingCr_ = false;  // the last byte fed was a CR not yet placed
};

extern template class NameLineReader<NameList>;
extern template class NameLineReader<std::vector<std::string>>;

}  // namespace names_file
