#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

// The names file: one name per line, byte for byte. A line ends at LF; a CR
// directly before that LF belongs to the line end. A name is at most
// kMaxNameLength characters and stops at its first NUL. A UTF-8 byte-order
// mark that starts the file is not part of the first name.
namespace names_tool {

constexpr std::size_t kMaxNameLength = 511;

// Why `name` (of `length` bytes) cannot be a line of a names file that
// loads back as the same name, or null when it can: a line feed or
// carriage return would end or shorten its line, more than kMaxNameLength
// bytes would be cut, and a UTF-8 byte-order mark at the start of the
// `first` line would be passed over. Empty when it can.
std::string LineFault(const char* name, std::size_t length, bool first);

// The UTF-8 byte-order mark, which loading passes over at the start of a file.
constexpr const char kByteOrderMark[] = "\xEF\xBB\xBF";

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

    void Append(const char* name) {
        const std::size_t length = std::strlen(name);
        // A name's line at its longest: every character a line end.
        const std::size_t longest = (length + 1) * std::strlen(kPlatformLineEnd);
        if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < longest) {
            blocks_.emplace_back().reserve(longest > kBlockSize ? longest : kBlockSize);
        }
        AppendNameLine(blocks_.back(), name, length, kPlatformLineEnd);
        ++count_;
    }
    std::size_t size() const { return count_; }
    const std::vector<std::string>& Blocks() const { return blocks_; }

private:
    std::vector<std::string> blocks_;
    std::size_t count_ = 0;
};

}  // namespace names_tool
