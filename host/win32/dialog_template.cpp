#include "win32/dialog_template.h"

#include "win32/byte_reader.h"
#include "win32/text_encoding.h"

namespace win32standin {

namespace {

constexpr std::uint32_t kSetFont = 0x40;  // DS_SETFONT; DS_SHELLFONT includes it

// A field that is absent (0), a number (0xFFFF, value) or a UTF-16 text.
ResourceId ReadField(ByteReader& reader) {
    const std::uint16_t first = reader.Word();
    if (first == 0) {
        return {};
    }
    if (first == 0xFFFF) {
        return ResourceId::Number(reader.Word());
    }
    std::u16string text(1, static_cast<char16_t>(first));
    text += reader.Text16();
    return ResourceId::Text(ToAnsi(text));
}

// The header after its version and signature, into `dialog`; answers the
// number of controls that follow.
std::uint16_t ReadHeader(ByteReader& reader, DialogTemplate& dialog) {
    dialog.helpId = reader.Dword();
    dialog.exStyle = reader.Dword();
    dialog.style = reader.Dword();
    const std::uint16_t count = reader.Word();
    dialog.x = reader.Short();
    dialog.y = reader.Short();
    dialog.cx = reader.Short();
    dialog.cy = reader.Short();
    dialog.menu = ReadField(reader);
    dialog.windowClass = ReadField(reader);
    dialog.title = ToAnsi(reader.Text16());
    if ((dialog.style & kSetFont) != 0) {
        dialog.hasFont = true;
        dialog.font.pointSize = reader.Word();
        dialog.font.weight = reader.Word();
        dialog.font.italic = reader.Byte();
        dialog.font.charset = reader.Byte();
        dialog.font.typeface = ToAnsi(reader.Text16());
    }
    return count;
}

// A control's fields up to its creation data.
DialogItemTemplate ReadItemFields(ByteReader& reader) {
    DialogItemTemplate item;
    item.helpId = reader.Dword();
    item.exStyle = reader.Dword();
    item.style = reader.Dword();
    item.x = reader.Short();
    item.y = reader.Short();
    item.cx = reader.Short();
    item.cy = reader.Short();
    item.id = static_cast<std::int32_t>(reader.Dword());
    item.windowClass = ReadField(reader);
    item.className = ControlClassName(item.windowClass);
    item.title = ReadField(reader);
    return item;
}

}  // namespace

std::string ControlClassName(const ResourceId& windowClass) {
    if (windowClass.kind == ResourceId::Kind::Text) {
        return windowClass.text;
    }
    if (windowClass.kind == ResourceId::Kind::Number) {
        switch (windowClass.number) {
            case kAtomButton:
                return "Button";
            case kAtomEdit:
                return "Edit";
            case kAtomStatic:
                return "Static";
            case kAtomListBox:
                return "ListBox";
            case kAtomScrollBar:
                return "ScrollBar";
            case kAtomComboBox:
                return "ComboBox";
            default:
                break;
        }
    }
    return "";
}

bool ParseDialogTemplate(const std::uint8_t* data, std::size_t size, DialogTemplate& dialog, std::string& error) {
    dialog = DialogTemplate();
    ByteReader reader(data, size);
    const std::uint16_t version = reader.Word();
    const std::uint16_t signature = reader.Word();
    if (reader.failed() || version != 1 || signature != 0xFFFF) {
        error = "not an extended dialog template (DIALOGEX)";
        return false;
    }
    const std::uint16_t count = ReadHeader(reader, dialog);
    if (reader.failed()) {
        error = "truncated dialog header";
        return false;
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        reader.Align(4);
        DialogItemTemplate item = ReadItemFields(reader);
        const std::uint16_t extra = reader.Word();
        if (extra > reader.Remaining()) {
            error = "creation data of control " + std::to_string(i + 1) + " runs past the end";
            return false;
        }
        item.creationData.assign(reader.Here(), reader.Here() + extra);
        reader.Skip(extra);
        if (reader.failed()) {
            error = "truncated control " + std::to_string(i + 1) + " of " + std::to_string(count);
            return false;
        }
        dialog.items.push_back(std::move(item));
    }
    return true;
}

}  // namespace win32standin
