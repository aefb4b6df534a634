#pragma once

// How the system's file dialogs read a typed name, shared by the stand-in
// dialogs and by whoever foretells which file a dialog will give: the
// extension is what follows the last dot of the name's last part (a
// leading dot too: ".names" has the extension "names"), and a name
// without one gets the first three characters of the default extension.
// And the title that a dialog has when its caller names none.
#include <cstddef>
#include <string>
#include <string_view>

namespace file_name_rules {

// Offset of the name's last part; both slashes separate.
inline std::size_t NameOffset(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// Offset of the extension after its dot, or 0 when the name has none.
inline std::size_t ExtensionOffset(std::string_view path) {
    const std::size_t dot = path.find_last_of('.');
    return dot == std::string_view::npos || dot < NameOffset(path) ? 0 : dot + 1;
}

inline std::string WithDefaultExtension(std::string path, std::string_view defaultExtension) {
    if (!defaultExtension.empty() && ExtensionOffset(path) == 0) {
        path += '.';
        path += defaultExtension.substr(0, 3);
    }
    return path;
}

inline const char* SystemTitle(bool saving) { return saving ? "Save As" : "Open"; }

}  // namespace file_name_rules
