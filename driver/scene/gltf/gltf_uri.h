#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace driver::gltf {

// The folder that holds the file at `path`, absolute and normalised.
std::filesystem::path FolderOf(const std::string& path);

// The file that `uri` refers to from a file in `fromFolder` (from
// FolderOf), normalised, a file: URI of this machine's included; none for
// a data: URI, any other with a scheme, and "//host/..." (another host's).
std::optional<std::filesystem::path> UriFile(const std::string& uri, const std::filesystem::path& fromFolder);

// How a file in `toFolder` refers to what `uri` refers to from a file in
// `fromFolder` (both from FolderOf). None where the URI stays as it is: a
// data: URI or any other with a scheme, an absolute path, or the same
// folder. Otherwise the relative path from `toFolder`, with percent-escapes
// where a URI needs them (non-ASCII UTF-8 stays as it is, as IRIs allow).
// Throws SceneFileError, naming `where`, when no relative path leads there.
std::optional<std::string> RebasedUri(const std::string& uri, const std::filesystem::path& fromFolder,
                                      const std::filesystem::path& toFolder, const std::string& where);

// The relative URI of the file called `name` in the folder of the file
// that refers to it, with percent-escapes where a URI needs them. Throws
// SceneFileError, naming `where`, for a name that is not UTF-8.
std::string FileNameUri(const std::string& name, const std::string& where);

}  // namespace driver::gltf
