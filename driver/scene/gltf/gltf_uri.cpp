#include "scene/gltf/gltf_uri.h"

#include <algorithm>

#include "files/native_path.h"
#include "scene/scene_error.h"
#include "text/hex_digits.h"
#include "text/utf8.h"

namespace driver::gltf {

namespace fs = std::filesystem;

namespace {

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A scheme ("data:", "https:", "C:" alike) before the first "/".
bool HasScheme(const std::string& uri) {
    if (uri.empty() || !IsAlpha(uri[0])) {
        return false;
    }
    for (const char c : uri) {
        if (c == ':') {
            return true;
        }
        if (!IsAlpha(c) && !IsDigit(c) && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return false;
}

std::string PercentDecoded(const std::string& text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        if (low >= 0) {
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

// Escapes all but unreserved characters, sub-delimiters, ":", "@", "/"
// and non-ASCII bytes. A first segment that holds ":" is written after
// "./", so that it never reads as a scheme ("./c:d/mesh.bin").
std::string PercentEncoded(const std::string& path) {
    static const std::string kept = "-._~!$&'()*+,;=:@/";
    static const char digits[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsAlpha(c) || IsDigit(c) || byte >= 0x80 || kept.find(c) != std::string::npos) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += digits[byte >> 4];
            encoded += digits[byte & 0x0F];
        }
    }
    return encoded.substr(0, encoded.find('/')).find(':') == std::string::npos ? encoded : "./" + encoded;
}

// The file named by a relative URI, decoded, without its query or
// fragment. A backslash, which some writers put in URIs, counts as a slash
// on every system, so that every build reads and writes the same URI.
std::string FilePart(const std::string& uri) {
    std::string decoded = PercentDecoded(uri.substr(0, uri.find_first_of("?#")));
    std::replace(decoded.begin(), decoded.end(), '\\', '/');
    return decoded;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

// The scheme of `uri` in lower case, without its ":".
std::string SchemeOf(const std::string& uri) { return Lower(uri.substr(0, uri.find(':'))); }

// A network-path reference ("//host/path"): another host's, whatever follows.
bool NamesAHost(const std::string& uri) {
    return uri.size() >= 2 && (uri[0] == '/' || uri[0] == '\\') && (uri[1] == '/' || uri[1] == '\\');
}

// The file of a file: URI of this machine ("file:///d/x.bin",
// "file://localhost/d/x.bin", "file:/d/x.bin"); none for another host's.
std::optional<fs::path> FileUriFile(const std::string& uri) {
    std::string rest = uri.substr(uri.find(':') + 1);
    if (NamesAHost(rest)) {
        const std::size_t pathAt = rest.find_first_of("/\\", 2);
        const std::string host = rest.substr(2, pathAt == std::string::npos ? std::string::npos : pathAt - 2);
        if (!host.empty() && Lower(host) != "localhost") {
            return std::nullopt;
        }
        rest = pathAt == std::string::npos ? "/" : rest.substr(pathAt);
    }
    std::string path = FilePart(rest);
    // A drive on Windows: "/C:/d/x.bin".
    if (path.size() >= 3 && path[0] == '/' && IsAlpha(path[1]) && path[2] == ':') {
        path.erase(0, 1);
    }
    return fs::u8path(path).lexically_normal();
}

}  // namespace

fs::path FolderOf(const std::string& path) { return fs::absolute(NativePath(path)).lexically_normal().parent_path(); }

std::optional<fs::path> UriFile(const std::string& uri, const fs::path& fromFolder) {
    if (HasScheme(uri)) {
        return SchemeOf(uri) == "file" ? FileUriFile(uri) : std::nullopt;
    }
    if (uri.empty() || NamesAHost(uri)) {
        return std::nullopt;
    }
    return (fromFolder / fs::u8path(FilePart(uri))).lexically_normal();
}

std::optional<std::string> RebasedUri(const std::string& uri, const fs::path& fromFolder, const fs::path& toFolder,
                                      const std::string& where) {
    if (fromFolder == toFolder || HasScheme(uri) || uri.empty() || uri[0] == '/' || uri[0] == '\\') {
        return std::nullopt;
    }
    const std::size_t suffixAt = uri.find_first_of("?#");
    const std::string suffix = suffixAt == std::string::npos ? std::string() : uri.substr(suffixAt);
    const std::string decoded = FilePart(uri);
    // Escapes may spell any bytes, but a path is rebased, and written back
    // into the JSON text, only as UTF-8.
    if (!IsValidUtf8(decoded)) {
        throw SceneFileError(where +
                             ": the URI's escapes spell a file name that is not UTF-8, so it cannot be "
                             "rewritten for another folder");
    }
    const fs::path target = (fromFolder / fs::u8path(decoded)).lexically_normal();
    const fs::path relative = target.lexically_relative(toFolder);
    if (relative.empty()) {
        throw SceneFileError(where + ": no relative path leads from the written file's folder to " + target.u8string());
    }
    return PercentEncoded(relative.generic_u8string()) + suffix;
}

std::string FileNameUri(const std::string& name, const std::string& where) {
    if (!IsValidUtf8(name)) {
        throw SceneFileError(where + ": the file name is not UTF-8, so no URI can name it");
    }
    return PercentEncoded(name);
}

}  // namespace driver::gltf
