// The .res reader on hand-made input: layout rules and malformed files.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "win32/dialog_template.h"
#include "win32/res_file.h"
#include "win32/string_table.h"
#include "win32/win_api.h"

using namespace win32standin;

namespace {

class Bytes {
public:
    Bytes& Word(std::uint16_t w) {
        data.push_back(static_cast<std::uint8_t>(w & 0xFF));
        data.push_back(static_cast<std::uint8_t>(w >> 8));
        return *this;
    }
    Bytes& Dword(std::uint32_t d) {
        return Word(static_cast<std::uint16_t>(d & 0xFFFF)).Word(static_cast<std::uint16_t>(d >> 16));
    }
    Bytes& Text(const std::string& text) {
        for (char c : text) {
            Word(static_cast<std::uint8_t>(c));
        }
        return Word(0);
    }
    Bytes& Align() {
        while (data.size() % 4 != 0) {
            data.push_back(0);
        }
        return *this;
    }
    std::vector<std::uint8_t> data;
};

// One .res entry with a numeric type, a text or numeric name and its data.
void AddEntry(Bytes& file, std::uint16_t type, const std::string& name, std::uint16_t number, std::uint16_t language,
              const std::vector<std::uint8_t>& data) {
    Bytes header;
    header.Word(0xFFFF).Word(type);
    if (name.empty()) {
        header.Word(0xFFFF).Word(number);
    } else {
        header.Text(name);
    }
    header.Align().Dword(0).Word(0x30).Word(language).Dword(0).Dword(0);
    file.Dword(static_cast<std::uint32_t>(data.size())).Dword(static_cast<std::uint32_t>(header.data.size() + 8));
    file.data.insert(file.data.end(), header.data.begin(), header.data.end());
    file.data.insert(file.data.end(), data.begin(), data.end());
    file.Align();
}

Bytes EmptyFile() {
    Bytes file;
    AddEntry(file, 0, "", 0, 0, {});
    return file;
}

std::vector<std::uint8_t> StringBlock(std::uint16_t position, const std::string& text) {
    Bytes block;
    for (std::uint16_t i = 0; i < 16; ++i) {
        if (i == position) {
            block.Word(static_cast<std::uint16_t>(text.size()));
            for (char c : text) {
                block.Word(static_cast<std::uint8_t>(c));
            }
        } else {
            block.Word(0);
        }
    }
    return block.data;
}

}  // namespace

TEST(ResFormat, SkipsTheLeadingEmptyEntryAndReadsTextNames) {
    Bytes file = EmptyFile();
    AddEntry(file, kResourceDialog, "PANEL", 0, 1033, {1, 2, 3});
    std::vector<ResourceEntry> entries;
    std::string error;
    ASSERT_TRUE(ParseResFile(file.data.data(), file.data.size(), entries, error)) << error;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].type.IsNumber(kResourceDialog));
    EXPECT_EQ(entries[0].name.kind, ResourceId::Kind::Text);
    EXPECT_EQ(entries[0].name.text, "PANEL");
    EXPECT_EQ(entries[0].memoryFlags, 0x30);
    EXPECT_EQ(entries[0].data, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_NE(FindResource(entries, ResourceId::Number(kResourceDialog), ResourceId::Text("panel")), nullptr);
}

TEST(ResFormat, RefusesTruncatedFiles) {
    Bytes file = EmptyFile();
    AddEntry(file, kResourceString, "", 1, 1033, StringBlock(1, "Hello"));
    std::vector<ResourceEntry> entries;
    std::string error;
    for (std::size_t cut : {file.data.size() - 40, std::size_t{36}, std::size_t{6}}) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(ParseResFile(file.data.data(), cut, entries, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(ResFormat, PrefersTheAskedLanguageThenNeutral) {
    Bytes file = EmptyFile();
    AddEntry(file, kResourceString, "", 1, 1031, StringBlock(2, "Hallo"));
    AddEntry(file, kResourceString, "", 1, 0, StringBlock(2, "Neutral"));
    AddEntry(file, kResourceString, "", 1, 1033, StringBlock(2, "Hello"));
    std::vector<ResourceEntry> entries;
    std::string error;
    ASSERT_TRUE(ParseResFile(file.data.data(), file.data.size(), entries, error)) << error;
    std::u16string text;
    ASSERT_TRUE(FindString(entries, 2, text, 1033));
    EXPECT_EQ(text, u"Hello");
    ASSERT_TRUE(FindString(entries, 2, text, 1036));
    EXPECT_EQ(text, u"Neutral");
    EXPECT_FALSE(FindString(entries, 3, text, 1033));
    EXPECT_FALSE(FindString(entries, 18, text, 1033));
}

TEST(ResFormat, StringsLiveInBlocksOfSixteen) {
    EXPECT_EQ(StringBlockName(0), 1);
    EXPECT_EQ(StringBlockName(15), 1);
    EXPECT_EQ(StringBlockName(16), 2);
    Bytes file = EmptyFile();
    AddEntry(file, kResourceString, "", StringBlockName(37), 1033, StringBlock(37 % 16, "thirty-seven"));
    std::vector<ResourceEntry> entries;
    std::string error;
    ASSERT_TRUE(ParseResFile(file.data.data(), file.data.size(), entries, error)) << error;
    std::u16string text;
    ASSERT_TRUE(FindString(entries, 37, text));
    EXPECT_EQ(text, u"thirty-seven");
    EXPECT_FALSE(FindString(entries, 5, text));
}

TEST(DialogFormat, RefusesTheOldTemplateFormatAndTruncation) {
    Bytes old;
    old.Dword(WS_CHILD).Dword(0).Word(0).Word(0).Word(0).Word(10).Word(10).Word(0).Word(0).Word(0);
    DialogTemplate dialog;
    std::string error;
    EXPECT_FALSE(ParseDialogTemplate(old.data.data(), old.data.size(), dialog, error));

    Bytes ex;
    ex.Word(1).Word(0xFFFF).Dword(0).Dword(0).Dword(WS_CHILD).Word(1).Word(0).Word(0).Word(50).Word(20);
    ex.Word(0).Word(0).Text("Title").Align();
    ex.Dword(0).Dword(0).Dword(WS_CHILD).Word(1).Word(2).Word(3).Word(4).Dword(7).Word(0xFFFF).Word(kAtomEdit);
    ex.Text("text").Word(0);
    ASSERT_TRUE(ParseDialogTemplate(ex.data.data(), ex.data.size(), dialog, error)) << error;
    EXPECT_FALSE(dialog.hasFont);
    EXPECT_EQ(dialog.title, "Title");
    ASSERT_EQ(dialog.items.size(), 1u);
    EXPECT_EQ(dialog.items[0].className, "Edit");
    EXPECT_EQ(dialog.items[0].id, 7);
    EXPECT_EQ(dialog.items[0].cy, 4);
    EXPECT_FALSE(ParseDialogTemplate(ex.data.data(), ex.data.size() - 3, dialog, error));
}
