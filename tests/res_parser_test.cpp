// The compiled resources of both tools, read back through the .res parser.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32/dialog_template.h"
#include "win32/res_file.h"
#include "win32/standin_extensions.h"
#include "win32/string_table.h"
#include "win32/text_encoding.h"
#include "win32_test_support.h"

using namespace win32standin;

namespace {

constexpr std::uint32_t kChildVisible = WS_CHILD | WS_VISIBLE;

struct ExpectedControl {
    const char* className;
    bool predefined;  // given by atom
    int id;
    std::uint32_t style;
    int x, y, cx, cy;
    const char* text;
};

const std::vector<ResourceEntry>& Resources(HINSTANCE module) {
    const std::vector<ResourceEntry>* resources = ModuleResources(module);
    EXPECT_NE(resources, nullptr);
    static const std::vector<ResourceEntry> none;
    return resources != nullptr ? *resources : none;
}

DialogTemplate PanelTemplate(HINSTANCE module) {
    const ResourceEntry* entry =
        FindResource(Resources(module), ResourceId::Number(kResourceDialog), ResourceId::Number(101));
    DialogTemplate dialog;
    if (entry == nullptr) {
        ADD_FAILURE() << "no dialog 101";
        return dialog;
    }
    EXPECT_EQ(entry->language, kLanguageEnglishUs);
    std::string error;
    EXPECT_TRUE(ParseDialogTemplate(entry->data.data(), entry->data.size(), dialog, error)) << error;
    return dialog;
}

void ExpectPanel(const DialogTemplate& dialog, int cx, int cy, const std::vector<ExpectedControl>& controls) {
    EXPECT_EQ(dialog.style, WS_CHILD | WS_VISIBLE | DS_SETFONT);
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, cx);
    EXPECT_EQ(dialog.cy, cy);
    EXPECT_EQ(dialog.menu.kind, ResourceId::Kind::None);
    EXPECT_EQ(dialog.windowClass.kind, ResourceId::Kind::None);
    EXPECT_EQ(dialog.title, "");
    ASSERT_TRUE(dialog.hasFont);
    EXPECT_EQ(dialog.font.pointSize, 8);
    EXPECT_EQ(dialog.font.typeface, "MS Sans Serif");
    EXPECT_EQ(dialog.font.italic, 0);
    ASSERT_EQ(dialog.items.size(), controls.size());
    for (std::size_t i = 0; i < controls.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        const DialogItemTemplate& item = dialog.items[i];
        const ExpectedControl& want = controls[i];
        EXPECT_TRUE(SameNameIgnoringCase(item.className, want.className)) << item.className;
        EXPECT_EQ(item.windowClass.kind, want.predefined ? ResourceId::Kind::Number : ResourceId::Kind::Text);
        EXPECT_EQ(item.id, want.id);
        EXPECT_EQ(item.style, want.style);
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
        EXPECT_EQ(item.title.kind, ResourceId::Kind::Text);
        EXPECT_EQ(item.title.text, want.text);
        EXPECT_TRUE(item.creationData.empty());
    }
}

std::string String(HINSTANCE module, unsigned id) {
    std::u16string text;
    if (!FindString(Resources(module), id, text, kLanguageEnglishUs)) {
        return "(absent)";
    }
    return ToAnsi(text);
}

// True when the version resource holds `key` with the value `value`, as
// UTF-16 texts one after the other (with the padding between them).
bool VersionHas(HINSTANCE module, const std::string& key, const std::string& value) {
    const ResourceEntry* entry =
        FindResource(Resources(module), ResourceId::Number(kResourceVersion), ResourceId::Number(1));
    if (entry == nullptr) {
        return false;
    }
    auto utf16 = [](const std::string& text) {
        std::vector<std::uint8_t> bytes;
        for (char c : text) {
            bytes.push_back(static_cast<std::uint8_t>(c));
            bytes.push_back(0);
        }
        bytes.push_back(0);
        bytes.push_back(0);
        return bytes;
    };
    const std::vector<std::uint8_t> k = utf16(key);
    const std::vector<std::uint8_t> v = utf16(value);
    const auto& data = entry->data;
    for (std::size_t at = 0; at + k.size() <= data.size(); at += 2) {
        if (!std::equal(k.begin(), k.end(), data.begin() + static_cast<long>(at))) {
            continue;
        }
        std::size_t next = at + k.size();
        next += (4 - next % 4) % 4;
        return next + v.size() <= data.size() && std::equal(v.begin(), v.end(), data.begin() + static_cast<long>(next));
    }
    return false;
}

}  // namespace

TEST_F(Win32Test, PivotPanelTemplateMatchesItsLayout) {
    ExpectPanel(PanelTemplate(TarvelModule()), 108, 150,
                {
                    {"Static", true, -1, kChildVisible | SS_CENTER | WS_GROUP, 7, 7, 94, 25,
                     "Tarvel\nver. 1.0\n20.08.2001"},
                    {"Button", true, -1, kChildVisible | BS_GROUPBOX, 7, 31, 94, 46, "Pivot by axis"},
                    {"CustButton", false, 1099, kChildVisible, 38, 57, 30, 11, "Pick"},
                    {"Button", true, 1002, kChildVisible | BS_AUTORADIOBUTTON, 17, 41, 21, 10, "X"},
                    {"Button", true, 1003, kChildVisible | BS_AUTORADIOBUTTON, 43, 41, 21, 10, "Y"},
                    {"Button", true, 1004, kChildVisible | BS_AUTORADIOBUTTON, 69, 41, 21, 10, "Z"},
                    {"Button", true, -1, kChildVisible | BS_GROUPBOX, 7, 78, 94, 65, "Align selected"},
                    {"CustButton", false, 1100, kChildVisible, 38, 92, 30, 11, "Align"},
                });
}

TEST_F(Win32Test, NamesPanelTemplateMatchesItsLayout) {
    ExpectPanel(PanelTemplate(VelkoraModule()), 108, 84,
                {
                    {"Static", true, -1, kChildVisible | SS_CENTER | WS_GROUP, 7, 7, 94, 27,
                     "Velkora\nver. 1.0\n22.08.2001"},
                    {"Button", true, -1, kChildVisible | BS_GROUPBOX, 7, 33, 94, 44, "Static"},
                    {"CustButton", false, 1099, kChildVisible, 13, 44, 81, 11, "Save Names To File"},
                    {"CustButton", false, 1100, kChildVisible, 13, 59, 81, 11, "Load Names Form File"},
                });
}

TEST_F(Win32Test, PredefinedClassesAreGivenByAtom) {
    const DialogTemplate dialog = PanelTemplate(TarvelModule());
    ASSERT_EQ(dialog.items.size(), 8u);
    EXPECT_TRUE(dialog.items[0].windowClass.IsNumber(kAtomStatic));
    EXPECT_TRUE(dialog.items[1].windowClass.IsNumber(kAtomButton));
    EXPECT_TRUE(dialog.items[3].windowClass.IsNumber(kAtomButton));
}

TEST_F(Win32Test, StringTablesHoldTheFourStringsInUsEnglish) {
    EXPECT_EQ(String(TarvelModule(), 1), "Tarvel");
    EXPECT_EQ(String(TarvelModule(), 2), "Programs for Morvane");
    EXPECT_EQ(String(TarvelModule(), 3), "Tarvel");
    EXPECT_EQ(String(TarvelModule(), 4), "Parameters");
    EXPECT_EQ(String(TarvelModule(), 5), "(absent)");
    EXPECT_EQ(String(VelkoraModule(), 1), "Velkora");
    EXPECT_EQ(String(VelkoraModule(), 2), "Programs for Morvane");
    EXPECT_EQ(String(VelkoraModule(), 3), "Velkora");
    EXPECT_EQ(String(VelkoraModule(), 4), "Parameters");
    for (HINSTANCE module : {TarvelModule(), VelkoraModule()}) {
        const ResourceEntry* block = FindResource(Resources(module), ResourceId::Number(kResourceString),
                                                  ResourceId::Number(StringBlockName(1)), kLanguageNeutral);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(block->language, kLanguageEnglishUs);
    }
}

TEST_F(Win32Test, VersionResourcesNameTheDeliverables) {
    EXPECT_TRUE(VersionHas(TarvelModule(), "FileDescription", "Tarvel"));
    EXPECT_TRUE(VersionHas(TarvelModule(), "InternalName", "Tarvel"));
    EXPECT_TRUE(VersionHas(TarvelModule(), "OriginalFilename", "Tarvel.dlu"));
    EXPECT_TRUE(VersionHas(TarvelModule(), "ProductName", "3ds max"));
    EXPECT_TRUE(VersionHas(VelkoraModule(), "FileDescription", "Velkora"));
    EXPECT_TRUE(VersionHas(VelkoraModule(), "InternalName", "Velkora"));
    EXPECT_TRUE(VersionHas(VelkoraModule(), "OriginalFilename", "Velkora.dlu"));
    EXPECT_TRUE(VersionHas(VelkoraModule(), "ProductName", "3ds max"));
    EXPECT_FALSE(VersionHas(VelkoraModule(), "OriginalFilename", "Tarvel.dlu"));
}
