#pragma once

#include <string>

namespace driver {

// A path as the transcript shows it: relative to the working folder when it
// lies inside it, so that transcripts hold nothing machine-specific.
std::string DisplayPath(const std::string& path);

// `text` with every mention of the working folder (as "FOLDER/") removed,
// for messages of the host and the tools that name full paths; a path in
// double quotes is then shown with '/' as DisplayPath shows it.
std::string HideWorkingFolder(std::string text);

}  // namespace driver
