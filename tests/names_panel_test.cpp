// The names tool's panel: the page and its buttons, the messages of its
// dialog procedure, and the file dialogs of its two commands.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "module_state.h"
#include "names_test_support.h"
#include "names_utility.h"
#include "standin/standin_custom_button.h"
#include "standin/standin_interface.h"
#include "win32_test_support.h"
#if defined(_WIN32)
#  include "win32/file_dialog_robot.h"
#else
#  include <sys/stat.h>
#endif

using names_test::NamesOf;
using names_test::ReadBytes;
using names_test::SameBytes;
using names_test::WriteBytes;
using standin::StandinInterface;
using standin::StandinScene;
#if !defined(_WIN32)
using win32standin::FileDialogAnswer;
using win32standin::FileDialogKind;
using win32standin::ScriptedFileDialog;
#endif

namespace {

using Names = std::vector<std::string>;

constexpr int kSave = 1099;
constexpr int kLoad = 1100;

class NamesPanelTest : public Win32Test {
protected:
    void SetUp() override {
        Win32Test::SetUp();
        SetModuleHandle(VelkoraModule());
        buttonsAtStart_ = standin::OpenCustButtonCount();
        scene_.Root().SetName("Root");
        scene_.AddNode(scene_.Root(), "Box");
        scene_.AddNode(scene_.Root(), "Ball");
        host_ = std::make_unique<StandinInterface>(scene_);
#if !defined(_WIN32)
        win32standin::SetFileDialogResponder([this](const win32standin::FileDialogRequest& r) { return script_(r); });
#endif
        host_->OpenUtility(&tool_);
        scene_.Journal().Clear();
    }
    void TearDown() override {
        if (tool_.Panel() != nullptr) {
            host_->CloseUtility();
        }
        host_.reset();
#if !defined(_WIN32)
        win32standin::SetFileDialogResponder(nullptr);
#endif
        EXPECT_EQ(standin::OpenCustButtonCount(), buttonsAtStart_) << "custom buttons not released";
        EXPECT_TRUE(scene_.Violations().empty()) << scene_.Violations().front();
        SetModuleHandle(nullptr);
        Win32Test::TearDown();
    }

    // The panel's answer to a message, as its dialog procedure gives it.
    INT_PTR Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return testwin::CallDialogProc(tool_.Panel(), message, wParam, lParam);
    }
    INT_PTR Press(int control, int notification = 0) {
        return Send(WM_COMMAND, static_cast<WPARAM>(notification) << 16 | static_cast<WPARAM>(control));
    }
    // The log entries made so far, as "TYPE TITLE: TEXT", none shown to the user.
    Names Logged() const {
        Names lines;
        for (const standin::LogRecord& record : host_->LogRecords()) {
            EXPECT_FALSE(record.dialogue);
            lines.push_back(std::to_string(record.type) + " " + record.title + ": " + record.text);
        }
        return lines;
    }

    names_test::ScratchFolder folder_;
    StandinScene scene_;
    std::unique_ptr<StandinInterface> host_;  // its command panel is a window
    NamesUtility tool_;
#if !defined(_WIN32)
    ScriptedFileDialog script_;
#endif
    int buttonsAtStart_ = 0;
};

}  // namespace

TEST_F(NamesPanelTest, OpeningAddsThePageAndMakesBothButtonsPushButtons) {
    host_->CloseUtility();
    scene_.Journal().Clear();
    host_->OpenUtility(&tool_);
    ASSERT_EQ(host_->PanelPages().size(), 1u);
    const standin::PanelPage& page = host_->PanelPages()[0];
    EXPECT_EQ(page.window, tool_.Panel());
    EXPECT_EQ(page.module, VelkoraModule());
    EXPECT_EQ(page.templateId, 101);
    EXPECT_EQ(page.title, "Parameters");
    EXPECT_EQ(page.param, reinterpret_cast<LPARAM>(&tool_));
    EXPECT_EQ(page.flags, 0u);
    EXPECT_EQ(page.category, 4000);
    EXPECT_EQ(tool_.StoredInterface(), host_.get());
    EXPECT_EQ(GetWindowLongA(tool_.Panel(), GWL_USERDATA), reinterpret_cast<LONG_PTR>(&tool_));

    // The load button first, then the save button; nothing else is set.
    std::vector<std::pair<std::string, int>> calls;
    for (const standin::HostCall& call : scene_.Journal().Calls()) {
        calls.emplace_back(call.operation, call.index);
    }
    EXPECT_EQ(calls, (std::vector<std::pair<std::string, int>>{
                         {"AddPanelPage", 101}, {"SetButtonType", kLoad}, {"SetButtonType", kSave}}));
    for (const int id : {kSave, kLoad}) {
        const standin::CustomButtonState state = standin::CustomButtonStateOf(GetDlgItem(tool_.Panel(), id));
        EXPECT_TRUE(state.known);
        EXPECT_EQ(state.type, CBT_PUSH);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(tool_.Panel(), id)));
    }
}

TEST_F(NamesPanelTest, ClosingReleasesTheButtonsAndRemovesThePage) {
    host_->CloseUtility();
    EXPECT_TRUE(host_->PanelPages().empty());
    EXPECT_EQ(tool_.Panel(), nullptr);
    EXPECT_EQ(tool_.StoredInterface(), nullptr);
    EXPECT_EQ(standin::OpenCustButtonCount(), buttonsAtStart_);
    const std::vector<std::string> operations = scene_.Journal().Operations();
    EXPECT_EQ(operations, std::vector<std::string>{"RemovePanelPage"});
}

TEST_F(NamesPanelTest, APanelWhoseButtonsTheHostCannotGiveOpensAndClosesAllTheSame) {
    host_->CloseUtility();
    standin::SetCustButtonsUnavailable(true);
    host_->OpenUtility(&tool_);
    standin::SetCustButtonsUnavailable(false);
    EXPECT_EQ(host_->PanelPages().size(), 1u);
    EXPECT_EQ(scene_.Journal().Operations(), (std::vector<std::string>{"RemovePanelPage", "AddPanelPage"}));
    host_->CloseUtility();  // releases nothing it was not given
    EXPECT_TRUE(host_->PanelPages().empty());
}

TEST_F(NamesPanelTest, MessagesOutsideTheTableAnswerZero) {
    // WM_INITDIALOG binds the page to the object it carries.
    EXPECT_EQ(Send(WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&tool_)), 1);
    EXPECT_EQ(Send(WM_DESTROY), 1);
    EXPECT_EQ(Press(1002), 1);
    EXPECT_EQ(Send(WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(Send(WM_RBUTTONDOWN), 0);
    EXPECT_EQ(Send(WM_SETFONT), 0);
#if !defined(_WIN32)
    EXPECT_EQ(win32standin::FileDialogCount(), 0);
#endif
    EXPECT_TRUE(scene_.Journal().Calls().empty());
}

TEST_F(NamesPanelTest, MouseMessagesReachTheHost) {
    for (const UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}) {
        EXPECT_EQ(Send(message, 1, 0x00200010), 1);
    }
    const auto forwarded = scene_.Journal().CallsOf("ForwardPanelMouse");
    ASSERT_EQ(forwarded.size(), 3u);
    EXPECT_EQ(forwarded[0].index, static_cast<int>(WM_MOUSEMOVE));
    EXPECT_EQ(forwarded[1].index, static_cast<int>(WM_LBUTTONDOWN));
    EXPECT_EQ(forwarded[2].index, static_cast<int>(WM_LBUTTONUP));
    EXPECT_EQ(forwarded[0].text, "wParam=1 lParam=2097168");
}

#if !defined(_WIN32)
// The dialogs as the stand-in Windows records them.
TEST_F(NamesPanelTest, SaveDialogRecordIsFilledAsTheToolNeedsIt) {
    script_.Then(FileDialogAnswer::Cancel());
    EXPECT_EQ(Press(kSave), 1);
    const win32standin::RecordedFileDialog* seen = win32standin::LastFileDialog();
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->kind, FileDialogKind::Save);
    EXPECT_EQ(seen->record.lStructSize, OPENFILENAME_SIZE_VERSION_400A);
    EXPECT_EQ(seen->record.hwndOwner, nullptr);
    EXPECT_EQ(seen->record.hInstance, nullptr);
    EXPECT_EQ(seen->filter, (Names{"Text Files", "*.txt"}));
    EXPECT_EQ(seen->record.lpstrCustomFilter, nullptr);
    EXPECT_EQ(seen->record.nFilterIndex, 0u);
    EXPECT_EQ(seen->record.nMaxFile, 1024u);
    EXPECT_EQ(seen->initialFile, "");
    EXPECT_EQ(seen->record.lpstrFileTitle, nullptr);
    EXPECT_FALSE(seen->hasInitialDir);
    EXPECT_FALSE(seen->hasTitle);
    EXPECT_EQ(seen->record.Flags, 6u);
    EXPECT_EQ(seen->defExt, "txt");
    EXPECT_EQ(seen->record.lCustData, 0);
    EXPECT_EQ(seen->record.lpfnHook, nullptr);
    EXPECT_EQ(seen->record.lpTemplateName, nullptr);

    script_.Then(FileDialogAnswer::Cancel());
    EXPECT_EQ(Press(kLoad), 1);
    ASSERT_NE(win32standin::LastFileDialog(), nullptr);
    EXPECT_EQ(win32standin::LastFileDialog()->kind, FileDialogKind::Open);
    EXPECT_EQ(win32standin::LastFileDialog()->record.Flags, 0x1804u);
    EXPECT_EQ(win32standin::LastFileDialog()->defExt, "txt");
    EXPECT_EQ(win32standin::FileDialogCount(), 2);
}

TEST_F(NamesPanelTest, CancelledDialogsChangeNothing) {
    const std::string path = folder_.File("names.txt");
    WriteBytes(path, "x\ny\nz\n");
    script_.Then(FileDialogAnswer::Cancel()).Then(FileDialogAnswer::Cancel());
    EXPECT_EQ(Press(kSave), 1);
    EXPECT_EQ(Press(kLoad), 1);
    EXPECT_EQ(NamesOf(scene_), (Names{"Root", "Box", "Ball"}));
    EXPECT_TRUE(SameBytes(ReadBytes(path), "x\ny\nz\n"));
    EXPECT_EQ(folder_.Entries(), Names{"names.txt"});
    EXPECT_TRUE(scene_.Journal().Calls().empty());
}

TEST_F(NamesPanelTest, CommandsThatFailLogWhyAndShowNothing) {
    const std::string missing = folder_.File("no-folder/names.txt");
    script_.Then(FileDialogAnswer::Choose(missing));
    EXPECT_EQ(Press(kSave), 1);
    const std::string pipe = folder_.File("pipe.txt");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    script_.Then(FileDialogAnswer::Choose(pipe));
    EXPECT_EQ(Press(kLoad), 1);
    EXPECT_EQ(Logged(), (Names{"1 Velkora: names not saved to \"" + missing + "\": not written (no such folder)",
                               "1 Velkora: names not loaded from \"" + pipe + "\": not a regular file"}));
    EXPECT_EQ(NamesOf(scene_), (Names{"Root", "Box", "Ball"}));
}

TEST_F(NamesPanelTest, SaveAndLoadRunOnTheChosenFileWithTheDefaultExtension) {
    const std::string typed = folder_.File("scene");
    const std::string chosen = typed + ".txt";
    script_.Then(FileDialogAnswer::Choose(typed));
    EXPECT_EQ(Press(kSave, BN_CLICKED), 1);
    EXPECT_TRUE(SameBytes(ReadBytes(chosen), "Root\nBox\nBall\n"));

    // An existing file is replaced only once the user confirms.
    WriteBytes(chosen, "one\ntwo\n");
    script_.Then(FileDialogAnswer::Choose(typed)).Then(FileDialogAnswer::Decline());
    EXPECT_EQ(Press(kSave), 1);
    EXPECT_TRUE(SameBytes(ReadBytes(chosen), "one\ntwo\n"));

    // Every notification of the button starts the command; the dialog
    // starts empty whatever was chosen before.
    script_.Then(FileDialogAnswer::Choose(typed));
    EXPECT_EQ(Press(kLoad, 5), 1);
    EXPECT_EQ(win32standin::LastFileDialog()->initialFile, "");
    EXPECT_EQ(NamesOf(scene_), (Names{"one", "two", "Ball"}));
    EXPECT_EQ(host_->RedrawCount(), 0);
    EXPECT_EQ(Logged(), (Names{"4 Velkora: saved 3 names to \"" + chosen + "\": written",
                               "4 Velkora: loaded 2 names from \"" + chosen + "\""}));
}

TEST_F(NamesPanelTest, OpenDialogAcceptsOnlyAnExistingFile) {
    script_.Then(FileDialogAnswer::Choose(folder_.File("missing.txt")))
        .Then(FileDialogAnswer::Choose(folder_.File("no-folder/names.txt")));
    EXPECT_EQ(Press(kLoad), 1);
    ASSERT_EQ(script_.Requests().size(), 3u);
    EXPECT_FALSE(script_.Requests()[1].refusal.empty());
    EXPECT_FALSE(script_.Requests()[2].refusal.empty());
    EXPECT_EQ(NamesOf(scene_), (Names{"Root", "Box", "Ball"}));
    EXPECT_TRUE(folder_.Entries().empty());
}
#endif

#if defined(_WIN32)
// The real file dialogs, worked through their windows by a robot.
namespace {

using winui::DialogAnswer;
using winui::DialogStep;

class RealDialogScript {
public:
    RealDialogScript& Then(DialogAnswer answer) {
        answers_.push_back(std::move(answer));
        return *this;
    }
    DialogAnswer operator()(const DialogStep& step) {
        kinds.push_back(step.kind);
        if (answers_.empty()) {
            return DialogAnswer::Cancel();
        }
        DialogAnswer next = answers_.front();
        answers_.erase(answers_.begin());
        return next;
    }
    std::vector<DialogStep::Kind> kinds;

private:
    std::vector<DialogAnswer> answers_;
};

using Kind = DialogStep::Kind;

}  // namespace

TEST_F(NamesPanelTest, CancelledRealDialogsChangeNothing) {
    const std::string path = folder_.File("names.txt");
    WriteBytes(path, "x\ny\nz\n");
    RealDialogScript script;
    winui::FileDialogRobot robot([&script](const DialogStep& step) { return script(step); });
    EXPECT_EQ(Press(kSave), 1);
    EXPECT_EQ(Press(kLoad), 1);
    EXPECT_EQ(script.kinds, (std::vector<Kind>{Kind::FileName, Kind::FileName}));
    EXPECT_EQ(NamesOf(scene_), (Names{"Root", "Box", "Ball"}));
    EXPECT_TRUE(SameBytes(ReadBytes(path), "x\ny\nz\n"));
    EXPECT_EQ(folder_.Entries(), Names{"names.txt"});
    EXPECT_TRUE(scene_.Journal().Calls().empty());
}

TEST_F(NamesPanelTest, RealDialogsSaveAndLoadTheTypedFileWithTheDefaultExtension) {
    const std::string typed = folder_.File("scene");
    RealDialogScript script;
    winui::FileDialogRobot robot([&script](const DialogStep& step) { return script(step); });
    script.Then(DialogAnswer::Type(typed));
    EXPECT_EQ(Press(kSave, BN_CLICKED), 1);
    EXPECT_TRUE(SameBytes(ReadBytes(typed + ".txt"), "Root\r\nBox\r\nBall\r\n")) << "Windows line ends";
    EXPECT_EQ(folder_.Entries(), Names{"scene.txt"});

    // An existing file is replaced only once the user confirms.
    WriteBytes(typed + ".txt", "one\ntwo\n");
    script.Then(DialogAnswer::Type(typed)).Then(DialogAnswer::No()).Then(DialogAnswer::Cancel());
    EXPECT_EQ(Press(kSave), 1);
    EXPECT_TRUE(SameBytes(ReadBytes(typed + ".txt"), "one\ntwo\n"));

    // Wine's open dialog looks for the name as typed only.
    script.kinds.clear();
    script.Then(DialogAnswer::Type(typed + ".txt"));
    EXPECT_EQ(Press(kLoad, 5), 1);
    EXPECT_EQ(script.kinds, std::vector<Kind>{Kind::FileName});
    EXPECT_EQ(NamesOf(scene_), (Names{"one", "two", "Ball"}));
    EXPECT_EQ(host_->RedrawCount(), 0);
    ASSERT_EQ(host_->LogRecords().size(), 2u);
    EXPECT_EQ(host_->LogRecords()[0].text.substr(0, 14), "saved 3 names ");
    EXPECT_EQ(host_->LogRecords()[1].text.substr(0, 15), "loaded 2 names ");
}

TEST_F(NamesPanelTest, TheRealOpenDialogAcceptsOnlyAnExistingFile) {
    RealDialogScript script;
    winui::FileDialogRobot robot([&script](const DialogStep& step) { return script(step); });
    script.Then(DialogAnswer::Type(folder_.File("missing.txt"))).Then(DialogAnswer::Ok());
    EXPECT_EQ(Press(kLoad), 1);
    EXPECT_EQ(script.kinds, (std::vector<Kind>{Kind::FileName, Kind::Notice, Kind::FileName}));
    EXPECT_EQ(NamesOf(scene_), (Names{"Root", "Box", "Ball"}));
    EXPECT_TRUE(folder_.Entries().empty());
}
#endif
