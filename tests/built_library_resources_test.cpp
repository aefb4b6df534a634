// The resources of the built libraries, read back from the files with the
// Windows calls: dialog template 101 (every control), the US English
// strings and the version resource, against the expected values.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

namespace {

struct Control {
    std::string windowClass;
    int id;
    DWORD style;
    int x, y, cx, cy;
    std::string text;
    bool operator==(const Control& o) const {
        // Window class names ignore case (the resource compiler writes them in capitals).
        return _stricmp(windowClass.c_str(), o.windowClass.c_str()) == 0 && id == o.id && style == o.style &&
               x == o.x && y == o.y && cx == o.cx && cy == o.cy && text == o.text;
    }
};
std::ostream& operator<<(std::ostream& out, const Control& c) {
    return out << c.windowClass << " id " << c.id << " style 0x" << std::hex << c.style << std::dec << " at " << c.x
               << "," << c.y << " " << c.cx << "x" << c.cy << " \"" << c.text << "\"";
}

struct Dialog {
    DWORD style = 0;
    int cx = 0, cy = 0;
    int pointSize = 0;
    std::string font, caption, menu;
    std::vector<Control> controls;
};

// Reads a UTF-16 text (ASCII only here) or an ordinal at `p`.
std::string ReadText(const std::uint16_t*& p, bool* ordinal = nullptr, int* value = nullptr) {
    if (*p == 0xFFFF) {
        if (ordinal != nullptr) *ordinal = true;
        if (value != nullptr) *value = p[1];
        p += 2;
        return {};
    }
    std::string text;
    for (; *p != 0; ++p) {
        text += *p < 0x80 ? static_cast<char>(*p) : '?';
    }
    ++p;
    return text;
}

const std::uint16_t* Align4(const std::uint16_t* p, const void* base) {
    const auto offset = reinterpret_cast<const std::uint8_t*>(p) - static_cast<const std::uint8_t*>(base);
    return reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(base) + ((offset + 3) & ~3));
}

Dialog ReadDialog(HMODULE library) {
    Dialog dialog;
    HRSRC found = FindResourceExA(library, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(101),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (found == nullptr) {
        ADD_FAILURE() << "no dialog 101 in language 1033";
        return dialog;
    }
    const void* base = LockResource(LoadResource(library, found));
    const auto* p = static_cast<const std::uint16_t*>(base);
    if (p[0] != 1 || p[1] != 0xFFFF) {
        ADD_FAILURE() << "not an extended dialog template";
        return dialog;
    }
    DWORD value;
    std::memcpy(&value, p + 6, 4);
    dialog.style = value;
    const int items = p[8];
    dialog.cx = static_cast<std::int16_t>(p[11]);
    dialog.cy = static_cast<std::int16_t>(p[12]);
    p += 13;
    dialog.menu = ReadText(p);
    bool ordinal = false;
    ReadText(p, &ordinal);  // class
    dialog.caption = ReadText(p);
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = p[0];
        p += 3;  // point size, weight, italic + charset
        dialog.font = ReadText(p);
    }
    for (int i = 0; i < items; ++i) {
        p = Align4(p, base);
        Control control;
        std::memcpy(&value, p + 4, 4);
        control.style = value;
        control.x = static_cast<std::int16_t>(p[6]);
        control.y = static_cast<std::int16_t>(p[7]);
        control.cx = static_cast<std::int16_t>(p[8]);
        control.cy = static_cast<std::int16_t>(p[9]);
        std::int32_t id;
        std::memcpy(&id, p + 10, 4);
        control.id = id;
        p += 12;
        bool atom = false;
        int atomValue = 0;
        control.windowClass = ReadText(p, &atom, &atomValue);
        if (atom) {
            control.windowClass = atomValue == 0x80   ? "BUTTON"
                                  : atomValue == 0x82 ? "STATIC"
                                                      : "#" + std::to_string(atomValue);
        }
        control.text = ReadText(p);
        const std::uint16_t extra = *p++;
        p = reinterpret_cast<const std::uint16_t*>(reinterpret_cast<const std::uint8_t*>(p) + extra);
        dialog.controls.push_back(control);
    }
    return dialog;
}

std::string StringOf(HMODULE library, int id) {
    char text[256] = {};
    return LoadStringA(library, id, text, sizeof text) > 0 ? text : "(none)";
}

std::string VersionValue(const std::string& file, const std::string& name) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
    std::vector<char> data(size);
    if (size == 0 || !GetFileVersionInfoA(file.c_str(), 0, size, data.data())) {
        return "(no version resource)";
    }
    struct Translation {
        WORD language, codePage;
    }* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length) ||
        length < sizeof(Translation)) {
        return "(no translation)";
    }
    char path[128];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translations[0].language,
                  translations[0].codePage, name.c_str());
    char* value = nullptr;
    if (!VerQueryValueA(data.data(), path, reinterpret_cast<void**>(&value), &length) || value == nullptr) {
        return "(no " + name + ")";
    }
    return value;
}

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

void CheckLibrary(const std::string& name, const Dialog& expected, const std::string& description) {
    const std::string file = name + ".dlu";
    HMODULE library = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(library, nullptr) << file;
    const Dialog dialog = ReadDialog(library);
    EXPECT_EQ(dialog.style, expected.style);
    EXPECT_EQ(dialog.cx, expected.cx);
    EXPECT_EQ(dialog.cy, expected.cy);
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.font, "MS Sans Serif");
    EXPECT_EQ(dialog.caption, "");
    EXPECT_EQ(dialog.menu, "");
    ASSERT_EQ(dialog.controls.size(), expected.controls.size());
    for (std::size_t i = 0; i < expected.controls.size(); ++i) {
        EXPECT_EQ(dialog.controls[i], expected.controls[i]) << "control " << i + 1;
    }
    EXPECT_EQ(StringOf(library, 1), description);
    EXPECT_EQ(StringOf(library, 2), "Programs for Morvane");
    EXPECT_EQ(StringOf(library, 3), description);
    EXPECT_EQ(StringOf(library, 4), "Parameters");
    FreeLibrary(library);

    EXPECT_EQ(VersionValue(file, "FileDescription"), name);
    EXPECT_EQ(VersionValue(file, "InternalName"), name);
    EXPECT_EQ(VersionValue(file, "OriginalFilename"), name + ".dlu");
    EXPECT_EQ(VersionValue(file, "ProductName"), "3ds max");
}

}  // namespace

TEST(BuiltLibraryResources, Tarvel) {
    Dialog expected;
    expected.style = WS_CHILD | WS_VISIBLE | DS_SETFONT;
    expected.cx = 108;
    expected.cy = 150;
    expected.controls = {
        {"STATIC", -1, kChild | SS_CENTER | WS_GROUP, 7, 7, 94, 25, "Tarvel\nver. 1.0\n20.08.2001"},
        {"BUTTON", -1, kChild | BS_GROUPBOX, 7, 31, 94, 46, "Pivot by axis"},
        {"CustButton", 1099, kChild, 38, 57, 30, 11, "Pick"},
        {"BUTTON", 1002, kChild | BS_AUTORADIOBUTTON, 17, 41, 21, 10, "X"},
        {"BUTTON", 1003, kChild | BS_AUTORADIOBUTTON, 43, 41, 21, 10, "Y"},
        {"BUTTON", 1004, kChild | BS_AUTORADIOBUTTON, 69, 41, 21, 10, "Z"},
        {"BUTTON", -1, kChild | BS_GROUPBOX, 7, 78, 94, 65, "Align selected"},
        {"CustButton", 1100, kChild, 38, 92, 30, 11, "Align"},
    };
    CheckLibrary("Tarvel", expected, "Tarvel");
}

TEST(BuiltLibraryResources, Velkora) {
    Dialog expected;
    expected.style = WS_CHILD | WS_VISIBLE | DS_SETFONT;
    expected.cx = 108;
    expected.cy = 84;
    expected.controls = {
        {"STATIC", -1, kChild | SS_CENTER | WS_GROUP, 7, 7, 94, 27, "Velkora\nver. 1.0\n22.08.2001"},
        {"BUTTON", -1, kChild | BS_GROUPBOX, 7, 33, 94, 44, "Static"},
        {"CustButton", 1099, kChild, 13, 44, 81, 11, "Save Names To File"},
        {"CustButton", 1100, kChild, 13, 59, 81, 11, "Load Names Form File"},
    };
    CheckLibrary("Velkora", expected, "Velkora");
}
