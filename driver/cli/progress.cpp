#include "cli/progress.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "cli/terminal.h"
#include "files/display_path.h"
#include "files/native_path.h"
#include "text/name_text.h"

namespace driver {

void Progress::Stage(const std::string& what) const {
    if (shown_) {
        err_ << "morvane-host: " << what << "\n";
        err_.flush();
    }
}

Progress ProgressOfScene(const std::string& scenePath) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(NativePath(scenePath), error);
    const Progress progress(std::cerr, !error && Progress::ShownFor(size, StandardErrorIsTerminal()));
    progress.Stage("reading " + EscapedControls(DisplayPath(scenePath)) + " (" + SizeText(size) + ")");
    return progress;
}

std::string SizeText(std::uint64_t bytes) {
    const char* const units[] = {"bytes", "KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1000 && unit < 4) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 || value >= 9.95 ? "%.0f %s" : "%.1f %s", value, units[unit]);
    return text;
}

}  // namespace driver
