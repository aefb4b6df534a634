#include "files/source_bytes.h"

#include "files/file_content.h"
#include "files/input_file.h"
#include "text/name_text.h"

namespace driver {

SourceBytes SourceBytes::OfFile(const std::string& path, bool keepWhatIsRead) {
    auto opened = std::make_shared<OpenedFile>();
    opened->path = path;
    OpenInputFile(opened->file, path);
    SourceBytes bytes;
    bytes.file_ = std::move(opened);
    bytes.readSinceCheck_ = std::make_shared<std::atomic<bool>>(false);
    if (keepWhatIsRead) {
        bytes.kept_ = std::make_shared<Kept>();
    }
    return bytes;
}

void SourceBytes::CheckUnchanged() const {
    if (readSinceCheck_ && readSinceCheck_->exchange(false)) {
        CheckInputUnchanged(file_->file, file_->path);
    }
}

std::uint64_t SourceBytes::Size() const { return held_ ? held_->size() : file_ ? file_->file.Size() : 0; }

std::shared_ptr<const std::string> SourceBytes::Read(std::uint64_t offset, std::size_t size) const {
    if (offset > Size() || size > Size() - offset) {
        throw InputFileError("bytes read beyond the end of the file");
    }
    if (held_) {
        return offset == 0 && size == held_->size()
                   ? held_
                   : std::make_shared<const std::string>(held_->substr(static_cast<std::size_t>(offset), size));
    }
    if (kept_) {
        const auto found = kept_->find({offset, size});
        if (found != kept_->end()) {
            return found->second;
        }
    }
    std::string bytes(size, '\0');
    std::size_t got = 0;
    *readSinceCheck_ = true;
    const safewrite::Error error = file_->file.ReadAt(offset, bytes.data(), size, got);
    if (error != safewrite::Error::None) {
        throw InputFileError(Excerpt(file_->path) + ": cannot be read: " + safewrite::ReasonOf(error));
    }
    if (got != size) {
        throw InputFileError(Excerpt(file_->path) + ": cannot be read: it changed while it was read");
    }
    auto read = std::make_shared<const std::string>(std::move(bytes));
    if (kept_) {
        (*kept_)[{offset, size}] = read;
    }
    return read;
}

std::shared_ptr<const std::string> SourceBytes::Whole() const {
    if (!held_ && Size() > kMaxInputBytes) {
        throw InputFileError(Excerpt(file_->path) + ": cannot be read: larger than " +
                                 std::to_string(kMaxInputBytes >> 20) + " MiB, the most that morvane-host reads",
                             RefusalCode::TooLarge);
    }
    return Read(0, static_cast<std::size_t>(Size()));
}

void SourceBytes::AddTo(FileContent& content, std::uint64_t offset, std::uint64_t size) const {
    if (held_) {
        content.Add(held_, static_cast<std::size_t>(offset), static_cast<std::size_t>(size));
    } else {
        content.Add(file_, offset, size);
    }
}

void SourceBytes::MadeInto(FileContent& content) const {
    if (file_) {
        content.MadeFrom(file_);
    }
}

}  // namespace driver
