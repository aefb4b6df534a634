#pragma once

// A panel button that asks the user for a file says which file dialog it
// opens in the string that has the button's own control id, as a command's
// prompt string does: lines of the dialog's kind ("save" or "open"), the
// extension given to a name typed without one, and the filter's
// description and pattern. The dialog has the system's own title. The
// tool opens its dialogs from these strings, and a host that drives the
// tool reads the same strings to know, before a press, which dialog the
// press opens.
//   IDC_SAVE_NAMES "save\ntxt\nText Files\n*.txt"
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ButtonDialog {
    bool saving = false;
    std::string defaultExtension;
    std::string filterName;
    std::string filterPattern;

    // The filter as the common dialogs take it: description and pattern,
    // then the empty string that ends the list (the NUL of c_str()).
    std::string Filter() const { return filterName + '\0' + filterPattern + '\0'; }
};

// The dialog that `text` describes; none for a string of another form.
inline std::optional<ButtonDialog> ParseButtonDialog(std::string_view text) {
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        fields.emplace_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    if (fields.size() != 4 || (fields[0] != "save" && fields[0] != "open")) {
        return std::nullopt;
    }
    return ButtonDialog{fields[0] == "save", fields[1], fields[2], fields[3]};
}
