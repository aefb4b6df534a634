#include "cli/output_format.h"

#include <filesystem>
#include <system_error>

#include "files/native_path.h"
#include "text/name_text.h"

namespace driver {

bool NamesDeviceOrPipe(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(NativePath(path), error);
    return !error && (std::filesystem::is_character_file(status) || std::filesystem::is_block_file(status) ||
                      std::filesystem::is_fifo(status));
}

void CheckOutputFormat(const Invocation& invocation, const SceneFile& sceneFile) {
    const std::string& path = invocation.outputPath;
    if (path.empty() || path == "-" || NamesDeviceOrPipe(path)) {
        return;
    }
    if (const std::optional<Refusal> wrong = sceneFile.WrongName(path)) {
        throw UsageError("-o: " + QuotedExcerpt(path) + ": " + wrong->message);
    }
}

void CheckViewOutputFormat(const Invocation& invocation) {
    const std::string& path = invocation.outputPath;
    if (path.empty() || NamesDeviceOrPipe(path)) {
        return;
    }
    if (const std::optional<Refusal> wrong = WrongOutputName(invocation.scenePath, path, FormatChange::Refused)) {
        throw UsageError("-o: " + QuotedExcerpt(path) + ": " + wrong->message);
    }
}

}  // namespace driver
