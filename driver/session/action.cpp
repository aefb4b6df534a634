#include "session/action.h"

#include "text/hex_digits.h"
#include "text/name_text.h"
#include "text/number_text.h"

namespace driver {

namespace {

std::string Printable(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            shown += "\\x";
            AppendHexByte(shown, byte);
        } else {
            shown += c;
        }
    }
    return shown;
}

struct Writer {
    std::string operator()(const OpenTool& open) const { return "open " + Printable(open.plugin); }
    std::string operator()(const CloseTool&) const { return "close"; }
    std::string operator()(const SelectNodes& select) const {
        std::string text = "select";
        for (const std::size_t index : select.indices) {
            text += " " + std::to_string(index);
        }
        return text;
    }
    std::string operator()(const SelectNamed& select) const {
        std::string text = "select-name";
        for (const std::string& pattern : select.patterns) {
            text += " " + Quoted(pattern);
        }
        return text;
    }
    std::string operator()(const PressButton& press) const { return "press " + Printable(press.caption); }
    std::string operator()(const ClickRadio& radio) const { return "radio " + Printable(radio.caption); }
    std::string operator()(const ClickViewport& click) const {
        return "click " + NumberText(click.point.x) + " " + NumberText(click.point.y) + " " +
               NumberText(click.point.z);
    }
    std::string operator()(const RightClickPanel&) const { return "rightclick"; }
    std::string operator()(const EndPickMode&) const { return "endpick"; }
    std::string operator()(const AnswerDialog& answer) const {
        return answer.cancel ? "answer cancel" : "answer " + Printable(answer.path);
    }
    std::string operator()(const KeepScene& keep) const { return "save " + Printable(keep.path); }
    std::string operator()(const PrintNodes&) const { return "print"; }
};

}  // namespace

std::string ActionText(const ActionValue& action) { return std::visit(Writer{}, action); }

}  // namespace driver
