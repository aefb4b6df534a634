// The stand-in's common file dialogs and their responder.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "win32/standin_extensions.h"
#include "win32/win_api.h"
#include "win32_test_support.h"

using namespace win32standin;
namespace fs = std::filesystem;

namespace {

constexpr char kFilter[] = "Text Files\0*.txt\0";
constexpr DWORD kSaveFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
constexpr DWORD kOpenFlags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;

class FileDialogTest : public Win32Test {
protected:
    void SetUp() override {
        Win32Test::SetUp();
        folder_ =
            fs::temp_directory_path() /
            ("morvane_file_dialog_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        std::memset(buffer_, 0, sizeof buffer_);
    }
    void TearDown() override {
        SetFileDialogResponder(nullptr);
        fs::remove_all(folder_);
        Win32Test::TearDown();
    }

    OPENFILENAMEA Record(DWORD flags, DWORD capacity = 1024) {
        OPENFILENAMEA record{};
        record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
        record.lpstrFilter = kFilter;
        record.lpstrFile = buffer_;
        record.nMaxFile = capacity;
        record.lpstrDefExt = "txt";
        record.Flags = flags;
        return record;
    }
    std::string In(const std::string& name) const { return (folder_ / name).string(); }
    void MakeFile(const std::string& name) const { std::ofstream(folder_ / name) << "x\n"; }
    void Respond(ScriptedFileDialog& script) {
        SetFileDialogResponder([&script](const FileDialogRequest& r) { return script(r); });
    }

    fs::path folder_;
    char buffer_[1024];
};

}  // namespace

TEST_F(FileDialogTest, CancelFailsWithoutAnError) {
    ScriptedFileDialog script;
    script.Then(FileDialogAnswer::Cancel());
    Respond(script);
    OPENFILENAMEA record = Record(kSaveFlags);
    EXPECT_FALSE(GetSaveFileNameA(&record));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_STREQ(buffer_, "");
    ASSERT_EQ(script.Requests().size(), 1u);
    EXPECT_EQ(script.Requests()[0].kind, FileDialogKind::Save);
    EXPECT_EQ(script.Requests()[0].step, FileDialogStep::ChooseFile);
}

// A folder's name is refused, and is not made a file's by the extension.
TEST_F(FileDialogTest, ANameWithoutExtensionGetsTheDefaultOne) {
    fs::create_directories(folder_ / "sub");
    ScriptedFileDialog script;
    script.Then(FileDialogAnswer::Choose(In("sub")))
        .Then(FileDialogAnswer::Choose(In("names")))
        .Then(FileDialogAnswer::Choose(In("list.dat")));
    Respond(script);
    OPENFILENAMEA record = Record(kSaveFlags);
    ASSERT_TRUE(GetSaveFileNameA(&record));
    ASSERT_EQ(script.Requests().size(), 2u);
    EXPECT_EQ(script.Requests()[1].refusal, In("sub") + " is a folder");
    EXPECT_EQ(std::string(buffer_), In("names.txt"));
    EXPECT_EQ(std::string(buffer_ + record.nFileOffset), "names.txt");
    EXPECT_EQ(std::string(buffer_ + record.nFileExtension), "txt");
    EXPECT_EQ(record.Flags & OFN_EXTENSIONDIFFERENT, 0u);

    OPENFILENAMEA second = Record(kSaveFlags);
    ASSERT_TRUE(GetSaveFileNameA(&second));
    EXPECT_EQ(std::string(buffer_), In("list.dat"));
    EXPECT_NE(second.Flags & OFN_EXTENSIONDIFFERENT, 0u);
}

TEST_F(FileDialogTest, OnlyThreeCharactersOfTheDefaultExtensionAreAppended) {
    ScriptedFileDialog script;
    script.Then(FileDialogAnswer::Choose(In("names")));
    Respond(script);
    OPENFILENAMEA record = Record(kSaveFlags);
    record.lpstrDefExt = "text";
    ASSERT_TRUE(GetSaveFileNameA(&record));
    EXPECT_EQ(std::string(buffer_), In("names.tex"));
}

TEST_F(FileDialogTest, RelativeNamesAreTakenInTheInitialFolder) {
    ScriptedFileDialog script;
    script.Then(FileDialogAnswer::Choose("sub/../names"));
    Respond(script);
    OPENFILENAMEA record = Record(kSaveFlags);
    const std::string folder = folder_.string();
    record.lpstrInitialDir = folder.c_str();
    ASSERT_TRUE(GetSaveFileNameA(&record));
    EXPECT_EQ(std::string(buffer_), In("names.txt"));
}

TEST_F(FileDialogTest, AnExistingFileIsReplacedOnlyAfterConfirmation) {
    MakeFile("names.txt");
    ScriptedFileDialog script;
    script.Then(FileDialogAnswer::Choose(In("names")))
        .Then(FileDialogAnswer::Decline())
        .Then(FileDialogAnswer::Choose(In("names.txt")))
        .Then(FileDialogAnswer::Confirm());
    Respond(script);
    OPENFILENAMEA record = Record(kSaveFlags);
    ASSERT_TRUE(GetSaveFileNameA(&record));
    EXPECT_EQ(std::string(buffer_), In("names.txt"));
    const auto& asked = script.Requests();
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[1].step, FileDialogStep::ConfirmOverwrite);
    EXPECT_EQ(asked[1].path, In("names.txt"));
    EXPECT_EQ(asked[2].step, FileDialogStep::ChooseFile);
    EXPECT_EQ(asked[2].attempt, 1);
    EXPECT_NE(asked[2].refusal.find("declined"), std::string::npos);
    EXPECT_EQ(asked[3].step, FileDialogStep::ConfirmOverwrite);
}

TEST_F(FileDialogTest, WithoutThePromptFlagNoConfirmationIsAsked) {
    MakeFile("names.txt");
    ScriptedFileDialog script;
    script.Then(FileDialogAnswer::Choose(In("names.txt")));
    Respond(script);
    OPENFILENAMEA record = Record(OFN_HIDEREADONLY);
    ASSERT_TRUE(GetSaveFileNameA(&record));
    EXPECT_EQ(script.Requests().size(), 1u);
}

TEST_F(FileDialogTest, TheOpenDialogAcceptsOnlyExistingFilesInExistingFolders) {
    MakeFile("names.txt");
    ScriptedFileDialog script;
    script.Then(FileDialogAnswer::Choose(In("missing")))
        .Then(FileDialogAnswer::Choose(In("nofolder/names.txt")))
        .Then(FileDialogAnswer::Choose(In("names")));
    Respond(script);
    OPENFILENAMEA record = Record(kOpenFlags);
    ASSERT_TRUE(GetOpenFileNameA(&record));
    EXPECT_EQ(std::string(buffer_), In("names.txt"));
    const auto& asked = script.Requests();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_NE(asked[1].refusal.find("does not exist"), std::string::npos) << asked[1].refusal;
    EXPECT_NE(asked[2].refusal.find("folder"), std::string::npos) << asked[2].refusal;
}

TEST_F(FileDialogTest, PathMustExistAloneAcceptsANewFileInAnExistingFolder) {
    ScriptedFileDialog script;
    script.Then(FileDialogAnswer::Choose(In("nofolder/a"))).Then(FileDialogAnswer::Choose(In("new")));
    Respond(script);
    OPENFILENAMEA record = Record(OFN_PATHMUSTEXIST);
    ASSERT_TRUE(GetOpenFileNameA(&record));
    EXPECT_EQ(std::string(buffer_), In("new.txt"));
    EXPECT_EQ(script.Requests().size(), 2u);
}

TEST_F(FileDialogTest, EndlessRefusedAnswersEndTheDialog) {
    ExpectViolations();
    int asked = 0;
    SetFileDialogResponder([&](const FileDialogRequest&) {
        ++asked;
        return FileDialogAnswer::Choose(In("never-there.txt"));
    });
    OPENFILENAMEA record = Record(kOpenFlags);
    EXPECT_FALSE(GetOpenFileNameA(&record));
    EXPECT_EQ(asked, kMaxFileDialogChoices);
    EXPECT_EQ(TakeViolations().size(), 1u);
}

TEST_F(FileDialogTest, APathThatDoesNotFitFailsAsBufferTooSmall) {
    ScriptedFileDialog script;
    script.Then(FileDialogAnswer::Choose(In("names")));
    Respond(script);
    const std::string full = In("names.txt");
    OPENFILENAMEA record = Record(kSaveFlags, static_cast<DWORD>(full.size()));
    EXPECT_FALSE(GetSaveFileNameA(&record));
    EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
    WORD needed = 0;
    std::memcpy(&needed, buffer_, sizeof needed);
    EXPECT_EQ(needed, full.size() + 1);

    script.Then(FileDialogAnswer::Choose(In("names")));
    OPENFILENAMEA fits = Record(kSaveFlags, static_cast<DWORD>(full.size() + 1));
    EXPECT_TRUE(GetSaveFileNameA(&fits));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
}

TEST_F(FileDialogTest, TheLastRecordIsKeptForInspection) {
    ScriptedFileDialog script;
    script.Then(FileDialogAnswer::Cancel());
    Respond(script);
    OPENFILENAMEA record = Record(kOpenFlags);
    const int before = FileDialogCount();
    GetOpenFileNameA(&record);
    EXPECT_EQ(FileDialogCount(), before + 1);
    const RecordedFileDialog* last = LastFileDialog();
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->kind, FileDialogKind::Open);
    EXPECT_EQ(last->record.lStructSize, OPENFILENAME_SIZE_VERSION_400A);
    EXPECT_EQ(last->record.Flags, kOpenFlags);
    EXPECT_EQ(last->record.nMaxFile, 1024u);
    EXPECT_EQ(last->record.hwndOwner, nullptr);
    EXPECT_EQ(last->filter, (std::vector<std::string>{"Text Files", "*.txt"}));
    EXPECT_TRUE(last->hasDefExt);
    EXPECT_EQ(last->defExt, "txt");
    EXPECT_EQ(last->initialFile, "");
    EXPECT_FALSE(last->hasInitialDir);
    EXPECT_FALSE(last->hasTitle);
    EXPECT_FALSE(last->result);
}

TEST_F(FileDialogTest, MisusedRecordsAreRefused) {
    ExpectViolations();
    ScriptedFileDialog script;
    Respond(script);
    OPENFILENAMEA record = Record(kOpenFlags);
    record.lStructSize = 12;
    EXPECT_FALSE(GetOpenFileNameA(&record));
    EXPECT_EQ(CommDlgExtendedError(), CDERR_STRUCTSIZE);
    OPENFILENAMEA noBuffer = Record(kOpenFlags);
    noBuffer.lpstrFile = nullptr;
    EXPECT_FALSE(GetOpenFileNameA(&noBuffer));
    SetFileDialogResponder(nullptr);
    OPENFILENAMEA unanswered = Record(kOpenFlags);
    EXPECT_FALSE(GetOpenFileNameA(&unanswered));
    EXPECT_EQ(TakeViolations().size(), 3u);
    EXPECT_TRUE(script.Requests().empty());
}
