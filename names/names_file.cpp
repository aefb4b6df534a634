#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "name_lines.h"
#include "names_utility.h"
#include "replacement_file.h"
#include "scene_order.h"

// The commands never let an exception out: a failed allocation ends the
// command where it happened, and the previous file stays in place.

namespace {

constexpr std::size_t kReadChunk = 1 << 16;
constexpr std::size_t kBlockSize = 1 << 20;

// The content of a names file, as it is built: lines in blocks of about
// kBlockSize bytes, so that a large content is never copied to grow.
class ContentBlocks {
public:
    void AppendLine(const char* name) {
        const std::size_t length = std::strlen(name);
        // A name's line at its longest: every character a line end.
        const std::size_t longest = (length + 1) * std::strlen(names_file::kPlatformLineEnd);
        if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < longest) {
            blocks_.emplace_back().reserve(std::max(kBlockSize, longest));
        }
        names_file::AppendNameLine(blocks_.back(), name, length, names_file::kPlatformLineEnd);
    }
    bool WriteTo(ReplacementFile& file) const {
        for (const std::string& block : blocks_) {
            if (!file.Write(block.data(), block.size())) {
                return false;
            }
        }
        return true;
    }

private:
    std::vector<std::string> blocks_;
};

// The number of line ends in the rest of a file that can seek, which is
// then read again from its start; 0 when it cannot seek.
std::size_t CountLineEnds(std::FILE* file, char* chunk) {
    if (std::fseek(file, 0, SEEK_SET) != 0) {
        return 0;
    }
    std::size_t count = 0;
    std::size_t got = 0;
    do {
        got = std::fread(chunk, 1, kReadChunk, file);
        for (const char* at = chunk;
             (at = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(chunk + got - at))));
             ++at) {
            ++count;
        }
    } while (got == kReadChunk);
    return std::fseek(file, 0, SEEK_SET) == 0 ? count : 0;
}

// The names of a file, or false on any read error other than the end of
// the file; the list is then incomplete and must not be used.
bool ReadNames(std::FILE* file, std::vector<std::string>& list) {
    const std::unique_ptr<char[]> chunk(new char[kReadChunk]);
    // Counted first, the list is allocated once.
    list.reserve(CountLineEnds(file, chunk.get()) + 1);
    names_file::NameLineReader reader(list);
    std::size_t got = 0;
    do {
        got = std::fread(chunk.get(), 1, kReadChunk, file);
        reader.Feed(chunk.get(), got);
    } while (got == kReadChunk);
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

// The scene is walked as CollectNames walks it, and each name is kept as
// the line it becomes: the whole content is built before it is written.
SaveResult NamesUtility::SaveNames(std::string path) {
    SaveResult result;
    if (ip == nullptr) {
        result.reason = "the tool is not open";
        return result;
    }
    ReplacementFile file;
    try {
        if (!file.Open(path)) {
            result.outcome = file.TargetExisted() ? SaveOutcome::NotReplaced : SaveOutcome::NotWritten;
            result.reason = file.FailureReason();
            return result;
        }
        ContentBlocks content;
        std::size_t count = 0;
        VisitPreOrder(ip->RootNode(), [&content, &count](SceneNode* node) {
            content.AppendLine(node->NodeName());
            ++count;
            return true;
        });
        if (content.WriteTo(file) && file.Commit()) {
            result.outcome = file.TargetExisted() ? SaveOutcome::Replaced : SaveOutcome::Written;
            result.names = count;
            return result;
        }
        result.reason = file.FailureReason();
    } catch (...) {
        result.reason = "out of memory";
    }
    result.outcome = file.TargetExisted() ? SaveOutcome::NotReplaced : SaveOutcome::NotWritten;
    return result;
}

LoadResult NamesUtility::LoadNames(std::string path) {
    LoadResult result;
    if (ip == nullptr) {
        result.reason = "the tool is not open";
        return result;
    }
    try {
        std::FILE* opened = std::fopen(path.c_str(), "rb");
        if (opened == nullptr) {
            result.reason = "cannot open";
            return result;
        }
        std::vector<std::string> list;
        {
            const FileCloser closer{opened};
            if (!ReadNames(opened, list)) {
                result.reason = "a read error";
                return result;
            }
        }
        std::uint32_t position = 0;
        if (!list.empty()) {
            ApplyNames(ip->RootNode(), list, position);
        }
        result.loaded = true;
        result.names = position;
    } catch (...) {
        result.reason = "out of memory";
    }
    return result;
}
