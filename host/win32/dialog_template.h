#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "win32/res_file.h"

namespace win32standin {

// Predefined control classes of dialog templates, given by atom.
constexpr std::uint16_t kAtomButton = 0x80;
constexpr std::uint16_t kAtomEdit = 0x81;
constexpr std::uint16_t kAtomStatic = 0x82;
constexpr std::uint16_t kAtomListBox = 0x83;
constexpr std::uint16_t kAtomScrollBar = 0x84;
constexpr std::uint16_t kAtomComboBox = 0x85;

// The class name of a template's class field: the name of a predefined
// atom ("Button", "Static", ...), the text as written, or "" when unknown.
std::string ControlClassName(const ResourceId& windowClass);

// The font of a dialog with DS_SETFONT (or DS_SHELLFONT).
struct DialogFont {
    std::uint16_t pointSize = 0;
    std::uint16_t weight = 0;
    std::uint8_t italic = 0;
    std::uint8_t charset = 0;
    std::string typeface;
};

// One control of a DIALOGEX template. Position and size in dialog units.
struct DialogItemTemplate {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::int32_t id = 0;     // -1 for the usual "no id"
    ResourceId windowClass;  // atom or name as compiled
    std::string className;   // ControlClassName(windowClass)
    ResourceId title;        // text, or a resource number (icons)
    std::vector<std::uint8_t> creationData;
};

// A DIALOGEX template (version 1, signature 0xFFFF).
struct DialogTemplate {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    ResourceId menu;         // None: no menu
    ResourceId windowClass;  // None: the dialog class
    std::string title;
    bool hasFont = false;  // style has DS_SETFONT
    DialogFont font;
    std::vector<DialogItemTemplate> items;
};

// Parses the data of an RT_DIALOG resource. Only the extended format is
// accepted; false with a reason otherwise.
bool ParseDialogTemplate(const std::uint8_t* data, std::size_t size, DialogTemplate& dialog, std::string& error);

}  // namespace win32standin
