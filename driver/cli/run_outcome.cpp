#include "cli/run_outcome.h"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "hosting/tool_library.h"
#include "text/name_text.h"

namespace driver {

namespace {

void PutNumber(std::string& bytes, std::uint64_t number) {
    bytes.append(reinterpret_cast<const char*>(&number), sizeof number);
}

void PutText(std::string& bytes, const std::string& text) {
    PutNumber(bytes, text.size());
    bytes += text;
}

class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    std::uint64_t Number() {
        std::uint64_t number = 0;
        Need(sizeof number);
        std::memcpy(&number, bytes_.data() + at_, sizeof number);
        at_ += sizeof number;
        return number;
    }
    std::string Text() {
        const std::uint64_t size = Number();
        Need(size);
        std::string text = bytes_.substr(at_, static_cast<std::size_t>(size));
        at_ += static_cast<std::size_t>(size);
        return text;
    }
    // The next text as where it lies: its first byte and its size.
    std::pair<std::size_t, std::size_t> Place() {
        const std::uint64_t size = Number();
        Need(size);
        const std::size_t from = at_;
        at_ += static_cast<std::size_t>(size);
        return {from, static_cast<std::size_t>(size)};
    }
    // A count of items that each take at least one number.
    std::size_t Count() {
        const std::uint64_t count = Number();
        if (count > (bytes_.size() - at_) / sizeof count) {
            Damaged();
        }
        return static_cast<std::size_t>(count);
    }
    void End() const {
        if (at_ != bytes_.size()) {
            Damaged();
        }
    }

private:
    void Need(std::uint64_t size) const {
        if (size > bytes_.size() - at_) {
            Damaged();
        }
    }
    [[noreturn]] static void Damaged() {
        throw ToolLibraryError("the plug-ins' process gave a damaged account of the run; nothing was written");
    }
    const std::string& bytes_;
    std::size_t at_ = 0;
};

}  // namespace

std::string Encode(const RunOutcome& outcome) {
    std::size_t size = 16 * sizeof(std::uint64_t) + static_cast<std::size_t>(outcome.out.Size()) + outcome.err.size();
    for (const OutputFile& file : outcome.files) {
        size += 6 * sizeof(std::uint64_t) + file.path.size() + static_cast<std::size_t>(file.content.Size()) +
                (file.staged ? file.staged->temporary.size() : 0);
    }
    for (const std::string& path : outcome.toolWritten) {
        size += sizeof(std::uint64_t) + path.size();
    }
    std::string bytes;
    bytes.reserve(size + (outcome.refusal ? outcome.refusal->message.size() : 0));
    PutNumber(bytes, outcome.refusal ? 1 : 0);
    if (outcome.refusal) {
        PutNumber(bytes, static_cast<std::uint64_t>(outcome.refusal->code));
        PutText(bytes, outcome.refusal->message);
    }
    PutNumber(bytes, outcome.out.Size());
    outcome.out.EachPiece([&bytes](std::string_view piece) {
        bytes.append(piece);
        return safewrite::Error::None;
    });
    PutText(bytes, outcome.err);
    PutNumber(bytes, outcome.done ? 1 : 0);
    PutNumber(bytes, static_cast<std::uint64_t>(static_cast<std::int64_t>(outcome.status)));
    PutNumber(bytes, outcome.files.size());
    for (const OutputFile& file : outcome.files) {
        PutText(bytes, file.path);
        PutNumber(bytes, file.staged ? 1 : 0);
        if (file.staged) {
            PutText(bytes, file.staged->temporary);
            PutNumber(bytes, file.staged->identity.device);
            PutNumber(bytes, file.staged->identity.file);
            PutNumber(bytes, file.staged->identity.born);
            PutNumber(bytes, file.staged->size);
            continue;
        }
        PutNumber(bytes, file.content.Size());
        const safewrite::Error error = file.content.EachPiece([&bytes](std::string_view piece) {
            bytes.append(piece);
            return safewrite::Error::None;
        });
        if (error != safewrite::Error::None) {
            throw OutputFileError(
                (file.path == "-" ? std::string("standard output") : Excerpt(file.path)) +
                ": cannot be made: a file that it copies from cannot be read: " + safewrite::ReasonOf(error));
        }
    }
    PutNumber(bytes, outcome.changed);
    PutNumber(bytes, outcome.toolWritten.size());
    for (const std::string& path : outcome.toolWritten) {
        PutText(bytes, path);
    }
    return bytes;
}

RunOutcome Decode(const std::shared_ptr<const std::string>& bytes) {
    Reader reader(*bytes);
    RunOutcome outcome;
    if (reader.Number() != 0) {
        const std::uint64_t code = reader.Number();
        const std::string message = reader.Text();
        const bool known = code <= static_cast<std::uint64_t>(RefusalCode::Failed);
        outcome.refusal = Refusal{known ? static_cast<RefusalCode>(code) : RefusalCode::Failed, message};
    }
    const auto [outFrom, outSize] = reader.Place();
    outcome.out.Add(bytes, outFrom, outSize);
    outcome.err = reader.Text();
    outcome.done = reader.Number() != 0;
    outcome.status = static_cast<int>(static_cast<std::int64_t>(reader.Number()));
    for (std::size_t i = 0, count = reader.Count(); i < count; ++i) {
        OutputFile file{reader.Text(), {}, {}};
        if (reader.Number() != 0) {
            file.staged = safewrite::Handed{reader.Text(), {}, 0};
            file.staged->identity.device = reader.Number();
            file.staged->identity.file = reader.Number();
            file.staged->identity.born = reader.Number();
            file.staged->size = reader.Number();
        } else {
            const auto [from, size] = reader.Place();
            file.content.Add(bytes, from, size);
        }
        outcome.files.push_back(std::move(file));
    }
    outcome.changed = static_cast<std::size_t>(reader.Number());
    for (std::size_t i = 0, count = reader.Count(); i < count; ++i) {
        outcome.toolWritten.push_back(reader.Text());
    }
    reader.End();
    return outcome;
}

}  // namespace driver
