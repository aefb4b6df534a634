#include "name_lines.h"

#include <cstring>

namespace names_file {

void AppendNameLine(std::string& out, const char* name, std::size_t length, const char* lineEnd) {
    const bool plainLf = lineEnd[0] == '\n' && lineEnd[1] == '\0';
    const char* end = name + length;
    while (!plainLf && name != end) {
        const void* lf = std::memchr(name, '\n', static_cast<std::size_t>(end - name));
        if (lf == nullptr) {
            break;
        }
        const char* at = static_cast<const char*>(lf);
        out.append(name, at);
        out.append(lineEnd);
        name = at + 1;
    }
    out.append(name, end);
    out.append(lineEnd);
}

void NameLines::Append(const char* name) {
    const std::size_t length = std::strlen(name);
    // A name's line at its longest: every character a line end.
    const std::size_t longest = (length + 1) * std::strlen(kPlatformLineEnd);
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < longest) {
        blocks_.emplace_back().reserve(longest > kBlockSize ? longest : kBlockSize);
    }
    AppendNameLine(blocks_.back(), name, length, kPlatformLineEnd);
    ++count_;
}

void NameList::reserve(std::size_t names, std::size_t bytes) {
    starts_.reserve(names);
    text_.reserve(bytes + names);
}


template <typename List>
void NameLineReader<List>::Feed(const char* data, std::size_t size) {
    // The first NUL at or after `data`: most pieces hold none.
    const char* nul = static_cast<const char*>(std::memchr(data, '\0', size));
    while (size > 0 && !Full()) {
        const void* found = std::memchr(data, '\n', size);
        const std::size_t before =
            found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - data) : size;
        if (found != nullptr && !started_ && !pendingCr_) {
            // A whole line within this piece: its name is taken straight from it.
            std::size_t length = before > 0 && data[before - 1] == '\r' ? before - 1 : before;
            if (nul != nullptr && nul < data + length) {
                length = static_cast<std::size_t>(nul - data);
            }
            names_.emplace_back(data, length < kMaxNameLength ? length : kMaxNameLength);
            data += before + 1;
            size -= before + 1;
            if (nul != nullptr && nul < data) {
                nul = static_cast<const char*>(std::memchr(data, '\0', size));
            }
            continue;
        }
        if (before > 0) {
            TakePendingCr();
            const bool endsInCr = data[before - 1] == '\r';
            Append(data, endsInCr ? before - 1 : before);
            // A CR before the LF is part of the line end; one at the end of
            // the piece waits for the next byte.
            pendingCr_ = endsInCr && found == nullptr;
        }
        if (found == nullptr) {
            return;
        }
        pendingCr_ = false;
        EndLine();
        data += before + 1;
        size -= before + 1;
        if (nul != nullptr && nul < data) {
            nul = static_cast<const char*>(std::memchr(data, '\0', size));
        }
    }
}

template <typename List>
void NameLineReader<List>::Finish() {
    if (Full()) {
        return;
    }
    TakePendingCr();
    if (started_) {
        EndLine();
    }
}

template <typename List>
void NameLineReader<List>::TakePendingCr() {
    if (pendingCr_) {
        pendingCr_ = false;
        Append("\r", 1);
    }
}

template <typename List>
void NameLineReader<List>::Append(const char* data, std::size_t size) {
    started_ = true;
    if (cut_) {
        return;
    }
    const void* nul = std::memchr(data, '\0', size);
    std::size_t take = nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - data) : size;
    const std::size_t room = kMaxNameLength - line_.size();
    if (take > room) {
        take = room;
        cut_ = true;
    }
    if (nul != nullptr) {
        cut_ = true;
    }
    line_.append(data, take);
}

template <typename List>
void NameLineReader<List>::EndLine() {
    names_.emplace_back(line_.data(), line_.size());
    line_.clear();
    started_ = false;
    cut_ = false;
}

template class NameLineReader<NameList>;
template class NameLineReader<std::vector<std::string>>;

}  // namespace names_file
