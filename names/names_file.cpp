#include <cstdio>
#include <vector>

#include "name_lines.h"
#include "names_utility.h"
#include "replacement_file.h"

// The commands never let an exception out: a failed allocation ends the
// command where it happened, and the previous file stays in place.

namespace {

constexpr std::size_t kChunkSize = 1 << 16;

// The names of a file, or false on any read error other than the end of
// the file; the list is then left incomplete and must not be used.
bool ReadNames(std::FILE* file, std::vector<std::string>& list) {
    std::vector<char> chunk(kChunkSize);
    names_file::NameLineReader reader(list);
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file);
        reader.Feed(chunk.data(), got);
        if (got < chunk.size()) {
            break;
        }
    }
    if (std::ferror(file)) {
        return false;
    }
    reader.Finish();
    return true;
}

// Closes the stream on every way out.
struct FileCloser {
    std::FILE* file;
    ~FileCloser() { std::fclose(file); }
};

}  // namespace

void NamesUtility::SaveNames(std::string path) {
    if (ip == nullptr) {
        return;
    }
    try {
        ReplacementFile file;
        if (!file.Open(path)) {
            return;
        }
        std::vector<std::string> list;
        CollectNames(ip->RootNode(), list);

        std::string chunk;
        chunk.reserve(kChunkSize + 2 * names_file::kMaxNameLength);
        for (const std::string& name : list) {
            names_file::AppendNameLine(chunk, name.data(), name.size(), names_file::kPlatformLineEnd);
            if (chunk.size() >= kChunkSize) {
                if (!file.Write(chunk.data(), chunk.size())) {
                    return;
                }
                chunk.clear();
            }
        }
        if (file.Write(chunk.data(), chunk.size())) {
            file.Commit();
        }
    } catch (...) {
    }
}

void NamesUtility::LoadNames(std::string path) {
    if (ip == nullptr) {
        return;
    }
    try {
        std::FILE* opened = std::fopen(path.c_str(), "rb");
        if (opened == nullptr) {
            return;
        }
        std::vector<std::string> list;
        {
            const FileCloser closer{opened};
            if (!ReadNames(opened, list)) {
                return;
            }
        }
        if (!list.empty()) {
            std::uint32_t position = 0;
            ApplyNames(ip->RootNode(), list, position);
        }
    } catch (...) {
    }
}
