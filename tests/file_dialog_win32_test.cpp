// The real common file dialogs, worked through their windows as a user
// would: a name typed and OK pressed, Cancel pressed, a missing file
// refused, an existing file replaced only when the user says yes.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "names_test_support.h"
#include "win32/file_dialog_robot.h"

using names_test::ReadBytes;
using names_test::SameBytes;
using names_test::WriteBytes;
using winui::DialogAnswer;
using winui::DialogStep;
using winui::FileDialogRobot;

namespace {

using Names = std::vector<std::string>;

// Plays back answers in order; an exhausted script cancels.
class Script {
public:
    Script& Then(DialogAnswer answer) {
        answers_.push_back(std::move(answer));
        return *this;
    }
    DialogAnswer operator()(const DialogStep& step) {
        kinds_.push_back(step.kind);
        if (answers_.empty()) {
            return DialogAnswer::Cancel();
        }
        DialogAnswer next = answers_.front();
        answers_.pop_front();
        return next;
    }
    std::vector<DialogStep::Kind> kinds_;
    std::deque<DialogAnswer> answers_;
};

// A file dialog of text files, as the names tool asks for one.
struct Dialog {
    explicit Dialog(bool saving) {
        record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
        record.lpstrFilter = "Text Files\0*.txt\0";
        record.lpstrFile = buffer;
        record.nMaxFile = sizeof buffer;
        record.lpstrDefExt = "txt";
        record.Flags = saving ? OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY
                              : OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
        saving_ = saving;
    }
    BOOL Run() { return saving_ ? GetSaveFileNameA(&record) : GetOpenFileNameA(&record); }

    char buffer[1024] = {};
    OPENFILENAMEA record{};
    bool saving_;
};

class RealFileDialogTest : public ::testing::Test {
protected:
    names_test::ScratchFolder folder_;
    Script script_;
};

using Kind = DialogStep::Kind;

}  // namespace

TEST_F(RealFileDialogTest, ANameTypedWithoutExtensionGetsTxt) {
    const std::string typed = folder_.File("scene");
    script_.Then(DialogAnswer::Type(typed));
    Dialog save(true);
    {
        FileDialogRobot robot([this](const DialogStep& step) { return script_(step); });
        ASSERT_TRUE(save.Run());
        ASSERT_EQ(robot.Steps().size(), 1u);
        EXPECT_EQ(robot.Steps()[0].kind, Kind::FileName);
    }
    EXPECT_EQ(std::string(save.buffer), typed + ".txt");
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_TRUE(folder_.Entries().empty()) << "the dialog only chooses; nothing is written";

    const std::string withExtension = folder_.File("list.names");
    script_.Then(DialogAnswer::Type(withExtension));
    Dialog again(true);
    FileDialogRobot robot([this](const DialogStep& step) { return script_(step); });
    ASSERT_TRUE(again.Run());
    EXPECT_EQ(std::string(again.buffer), withExtension) << "a name with an extension keeps it";
}

TEST_F(RealFileDialogTest, CancelChangesNothing) {
    WriteBytes(folder_.File("names.txt"), "a\nb\n");
    for (const bool saving : {true, false}) {
        Dialog dialog(saving);
        std::snprintf(dialog.buffer, sizeof dialog.buffer, "%s", "unchanged");
        FileDialogRobot robot([this](const DialogStep& step) { return script_(step); });
        EXPECT_FALSE(dialog.Run());
        EXPECT_EQ(CommDlgExtendedError(), 0u) << "cancelled, not failed";
        EXPECT_EQ(std::string(dialog.buffer), "unchanged");
        ASSERT_EQ(robot.Steps().size(), 1u);
    }
    EXPECT_EQ(folder_.Entries(), Names{"names.txt"});
    EXPECT_TRUE(SameBytes(ReadBytes(folder_.File("names.txt")), "a\nb\n"));
}

TEST_F(RealFileDialogTest, OpenRefusesAMissingFileAndTakesTheNextName) {
    const std::string present = folder_.File("present.txt");
    WriteBytes(present, "x\n");
    script_.Then(DialogAnswer::Type(folder_.File("missing.txt")))
        .Then(DialogAnswer::Ok())
        .Then(DialogAnswer::Type(present));
    Dialog open(false);
    FileDialogRobot robot([this](const DialogStep& step) { return script_(step); });
    ASSERT_TRUE(open.Run());
    EXPECT_EQ(std::string(open.buffer), present);
    EXPECT_EQ(script_.kinds_, (std::vector<Kind>{Kind::FileName, Kind::Notice, Kind::FileName}));
    ASSERT_EQ(robot.Steps().size(), 3u);
    EXPECT_FALSE(robot.Steps()[1].text.empty()) << "the notice says why";
}

TEST_F(RealFileDialogTest, SaveReplacesAnExistingFileOnlyWhenTheUserSaysYes) {
    const std::string existing = folder_.File("names.txt");
    WriteBytes(existing, "old\n");
    script_.Then(DialogAnswer::Type(folder_.File("names"))).Then(DialogAnswer::No()).Then(DialogAnswer::Cancel());
    {
        Dialog save(true);
        FileDialogRobot robot([this](const DialogStep& step) { return script_(step); });
        EXPECT_FALSE(save.Run());
        EXPECT_EQ(script_.kinds_, (std::vector<Kind>{Kind::FileName, Kind::Question, Kind::FileName}));
    }
    script_.kinds_.clear();
    script_.Then(DialogAnswer::Type(existing)).Then(DialogAnswer::Yes());
    Dialog save(true);
    FileDialogRobot robot([this](const DialogStep& step) { return script_(step); });
    ASSERT_TRUE(save.Run());
    EXPECT_EQ(std::string(save.buffer), existing);
    EXPECT_EQ(script_.kinds_, (std::vector<Kind>{Kind::FileName, Kind::Question}));
    EXPECT_TRUE(SameBytes(ReadBytes(existing), "old\n"));
}

TEST_F(RealFileDialogTest, ADialogThatKeepsRefusingIsCancelledInTheEnd) {
    Dialog open(false);
    constexpr int kNames = 2;
    FileDialogRobot robot(
        [this](const DialogStep& step) {
        return step.kind == Kind::FileName ? DialogAnswer::Type(folder_.File("never.txt")) : DialogAnswer::Ok();
        },
        kNames);
    EXPECT_FALSE(open.Run());
    int names = 0;
    for (const DialogStep& step : robot.Steps()) {
        names += step.kind == Kind::FileName ? 1 : 0;
    }
    EXPECT_EQ(names, kNames + 1) << "the last one is the robot's cancel";
    EXPECT_EQ(robot.Steps().size(), 2u * kNames + 1);
}
