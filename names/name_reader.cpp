#include "name_reader.h"

#include <algorithm>
#include <cstring>

namespace names_tool {

void NameLineReader::Reserve(std::size_t names, std::size_t bytes) {
    names_.starts_.reserve(names);
    Grow(names_.used_ + bytes + 1, names_.used_);
}

char* NameLineReader::Room(std::size_t bytes) {
    // One byte more for the NUL that Finish may add.
    if (names_.capacity_ - names_.used_ < bytes + 1) {
        Grow(std::max(names_.capacity_ * 2, names_.used_ + bytes + 1), names_.used_);
    }
    return names_.text_.get() + names_.used_;
}

void NameLineReader::Feed(const char* data, std::size_t size) {
    std::memcpy(Room(size), data, size);
    Took(size);
}

void NameLineReader::Took(std::size_t bytes) { Split(markDecided_ ? bytes : DropMark(bytes)); }

std::size_t NameLineReader::DropMark(std::size_t bytes) {
    const std::size_t before = markMatched_;
    char* text = names_.text_.get() + names_.used_;
    std::size_t i = 0;
    while (i < bytes && markMatched_ < 3 && text[i] == kByteOrderMark[markMatched_]) {
        ++i;
        ++markMatched_;
    }
    if (markMatched_ == 3) {
        markDecided_ = true;
        std::memmove(text, text + i, bytes - i);
        return bytes - i;
    }
    if (i == bytes) {
        return 0;  // held back: all of it may still begin a mark
    }
    markDecided_ = true;
    if (before > 0) {
        if (names_.capacity_ - names_.used_ < bytes + before + 1) {
            Grow(names_.used_ + bytes + before + 1, names_.used_ + bytes);
        }
        text = names_.text_.get() + names_.used_;
        std::memmove(text + before, text, bytes);
        std::memcpy(text, kByteOrderMark, before);
    }
    return bytes + before;
}

// The new bytes follow the kept ones. A line's bytes stay where they were
// read unless an earlier line was too long: its dropped rest is closed up.
void NameLineReader::Split(std::size_t bytes) {
    char* const text = names_.text_.get();
    std::size_t read = names_.used_;
    std::size_t write = names_.used_;
    const std::size_t end = read + bytes;
    while (read < end && !Full()) {
        const void* lf = std::memchr(text + read, '\n', end - read);
        const std::size_t stop = lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - text) : end;
        const std::size_t kept = std::min(stop - read, line_ + kMaxNameLength - write);
        if (write != read) {
            std::memmove(text + write, text + read, kept);
        }
        write += kept;
        length_ += stop - read;
        read = stop;
        if (lf == nullptr) {
            break;
        }
        // A CR directly before the LF belongs to the line end. A longer line
        // lost its last bytes, and keeps its first kMaxNameLength.
        if (length_ <= kMaxNameLength && write > line_ && text[write - 1] == '\r') {
            --write;
        }
        text[write++] = '\0';  // at most where the LF was
        names_.starts_.push_back(line_);
        line_ = write;
        length_ = 0;
        ++read;
    }
    names_.used_ = write;
}

void NameLineReader::Finish() {
    if (!markDecided_ && markMatched_ > 0) {  // the input is only the start of a mark
        markDecided_ = true;
        std::memcpy(Room(markMatched_), kByteOrderMark, markMatched_);
        Split(markMatched_);
    }
    if (Full() || length_ == 0) {
        return;
    }
    // Room keeps a byte free for this NUL; a last CR stays in the name.
    names_.text_[names_.used_++] = '\0';
    names_.starts_.push_back(line_);
    line_ = names_.used_;
    length_ = 0;
}

void NameLineReader::Grow(std::size_t capacity, std::size_t keep) {
    if (capacity <= names_.capacity_) {
        return;
    }
    std::unique_ptr<char[]> grown(new char[capacity]);
    if (keep > 0) {
        std::memcpy(grown.get(), names_.text_.get(), keep);
    }
    names_.text_ = std::move(grown);
    names_.capacity_ = capacity;
}

}  // namespace names_tool
