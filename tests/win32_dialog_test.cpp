// Dialogs made from the tools' templates, and the messages between them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32/standin_extensions.h"
#include "win32/win_api.h"
#include "win32_test_support.h"

using namespace win32standin;

namespace {

class DialogTest : public Win32Test {
protected:
    HWND MakePivotPanel(LPARAM param = 0x1234) {
        host_ = CreateWindowExA(0, "Static", "host", WS_POPUP, 0, 0, 200, 600, nullptr, nullptr, nullptr, nullptr);
        return CreateDialogParamA(TarvelModule(), MAKEINTRESOURCEA(101), host_, RecordingProc, param);
    }
    void TearDown() override {
        if (host_ != nullptr && IsWindow(host_)) {
            DestroyWindow(host_);
        }
        Win32Test::TearDown();
    }
    std::vector<UINT> ReceivedMessages() const {
        std::vector<UINT> messages;
        for (const ReceivedMessage& m : Received()) {
            messages.push_back(m.message);
        }
        return messages;
    }

    HWND host_ = nullptr;
};

}  // namespace

TEST_F(DialogTest, CreatesTheControlsInTemplateOrderAndThenInitialises) {
    HWND panel = MakePivotPanel(0x5678);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(GetParent(panel), host_);
    EXPECT_EQ(ClassNameOf(panel), "#32770");
    EXPECT_EQ(StyleOf(panel), WS_CHILD | WS_VISIBLE | DS_SETFONT);
    DialogFont font;
    ASSERT_TRUE(DialogFontOf(panel, font));
    EXPECT_EQ(font.typeface, "MS Sans Serif");
    EXPECT_EQ(font.pointSize, 8);

    const std::vector<HWND> children = Children(panel);
    ASSERT_EQ(children.size(), 8u);
    const int ids[] = {-1, -1, 1099, 1002, 1003, 1004, -1, 1100};
    for (std::size_t i = 0; i < children.size(); ++i) {
        EXPECT_EQ(GetDlgCtrlID(children[i]), ids[i]) << i;
        EXPECT_EQ(GetParent(children[i]), panel);
    }
    EXPECT_EQ(GetDlgItem(panel, 1099), children[2]);
    EXPECT_EQ(GetDlgItem(panel, 1004), children[5]);
    EXPECT_EQ(GetDlgItem(panel, 4242), nullptr);
    char name[16];
    ASSERT_GT(GetClassNameA(children[7], name, sizeof name), 0);
    EXPECT_STRCASEEQ(name, "CustButton");
    const TemplateRect rect = TemplateRectOf(children[3]);
    EXPECT_EQ(rect.x, 17);
    EXPECT_EQ(rect.y, 41);
    EXPECT_EQ(rect.cx, 21);
    EXPECT_EQ(rect.cy, 10);
    EXPECT_EQ(TextOf(children[0]), "Tarvel\nver. 1.0\n20.08.2001");

    ASSERT_EQ(ReceivedMessages(), std::vector<UINT>{WM_INITDIALOG});
    EXPECT_EQ(Received()[0].window, panel);
    EXPECT_EQ(Received()[0].lParam, 0x5678);
    EXPECT_TRUE(DestroyWindow(panel));
}

TEST_F(DialogTest, DestroyingSendsDestroyAndTakesTheChildren) {
    HWND panel = MakePivotPanel();
    HWND pick = GetDlgItem(panel, 1099);
    const std::size_t before = LiveWindowCount();
    Received().clear();
    EXPECT_TRUE(DestroyWindow(panel));
    EXPECT_EQ(ReceivedMessages(), std::vector<UINT>{WM_DESTROY});
    EXPECT_EQ(LiveWindowCount(), before - 9);
    EXPECT_FALSE(IsWindow(panel));
    EXPECT_FALSE(IsWindow(pick));
    EXPECT_TRUE(Children(host_).empty());
}

TEST_F(DialogTest, ADestroyedWindowIsRefusedLoudly) {
    ExpectViolations();
    HWND panel = MakePivotPanel();
    HWND pick = GetDlgItem(panel, 1099);
    DestroyWindow(panel);
    EXPECT_TRUE(Violations().empty());
    EXPECT_EQ(GetDlgItem(panel, 1099), nullptr);
    EXPECT_FALSE(EnableWindow(pick, TRUE));
    EXPECT_EQ(SendMessageA(panel, WM_COMMAND, 1099, 0), 0);
    EXPECT_FALSE(DestroyWindow(panel));
    const std::vector<std::string> refused = TakeViolations();
    ASSERT_EQ(refused.size(), 4u);
    for (const std::string& what : refused) {
        EXPECT_NE(what.find("destroyed"), std::string::npos) << what;
    }
    EXPECT_TRUE(ReceivedMessages().size() == 2);  // WM_INITDIALOG and WM_DESTROY only
}

TEST_F(DialogTest, ClickingARadioButtonChecksItAloneInItsGroupAndNotifies) {
    HWND panel = MakePivotPanel();
    CheckDlgButton(panel, 1002, BST_CHECKED);
    CheckDlgButton(panel, 1004, BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(panel, 1002), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(panel, 1004), BST_CHECKED) << "BM_SETCHECK leaves the others alone";
    Received().clear();

    HWND y = GetDlgItem(panel, 1003);
    SendMessageA(y, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(panel, 1002), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(panel, 1003), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(panel, 1004), BST_UNCHECKED);
    ASSERT_EQ(ReceivedMessages(), std::vector<UINT>{WM_COMMAND});
    EXPECT_EQ(LOWORD(Received()[0].wParam), 1003);
    EXPECT_EQ(HIWORD(Received()[0].wParam), BN_CLICKED);
    EXPECT_EQ(Received()[0].lParam, reinterpret_cast<LPARAM>(y));
    DestroyWindow(panel);
}

TEST_F(DialogTest, TheRadioGroupEndsAtTheNextGroupStyle) {
    HWND panel = MakePivotPanel();
    HWND x = GetDlgItem(panel, 1002);
    HWND z = GetDlgItem(panel, 1004);
    SetWindowLongA(z, GWL_STYLE, static_cast<LONG>(StyleOf(z) | WS_GROUP));
    CheckDlgButton(panel, 1004, BST_CHECKED);
    SendMessageA(x, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(panel, 1002), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(panel, 1004), BST_CHECKED) << "Z starts a group of its own";
    DestroyWindow(panel);
}

TEST_F(DialogTest, ADisabledButtonIgnoresClicks) {
    HWND panel = MakePivotPanel();
    HWND z = GetDlgItem(panel, 1004);
    EXPECT_FALSE(EnableWindow(z, FALSE)) << "was enabled";
    EXPECT_FALSE(IsWindowEnabled(z));
    EXPECT_NE(StyleOf(z) & WS_DISABLED, 0u);
    Received().clear();
    SendMessageA(z, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(panel, 1004), BST_UNCHECKED);
    EXPECT_TRUE(Received().empty());
    EXPECT_TRUE(EnableWindow(z, TRUE)) << "was disabled";
    EXPECT_TRUE(IsWindowEnabled(z));
    DestroyWindow(panel);
}

TEST_F(DialogTest, UserDataStyleAndIdThroughWindowLongs) {
    HWND panel = MakePivotPanel();
    int object = 0;
    const LONG pointer = static_cast<LONG>(reinterpret_cast<LONG_PTR>(&object));
    EXPECT_EQ(GetWindowLongA(panel, GWL_USERDATA), 0);
    EXPECT_EQ(SetWindowLongA(panel, GWL_USERDATA, pointer), 0);
    EXPECT_EQ(GetWindowLongA(panel, GWL_USERDATA), pointer);
    EXPECT_EQ(GetWindowLongA(GetDlgItem(panel, 1100), GWL_ID), 1100);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(panel, GWL_STYLE)), WS_CHILD | WS_VISIBLE | DS_SETFONT);
    DestroyWindow(panel);
}

TEST_F(DialogTest, TextsThroughSetTextAndGetText) {
    HWND panel = MakePivotPanel();
    HWND pick = GetDlgItem(panel, 1099);
    char text[8];
    EXPECT_EQ(GetWindowTextA(pick, text, sizeof text), 4);
    EXPECT_STREQ(text, "Pick");
    EXPECT_TRUE(SetWindowTextA(pick, "Picking now"));
    EXPECT_EQ(GetWindowTextA(pick, text, sizeof text), 7);
    EXPECT_STREQ(text, "Picking");
    Received().clear();
    SendMessageA(panel, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Page"));
    EXPECT_EQ(TextOf(panel), "Page") << "the procedure declined, the default handling set it";
    EXPECT_EQ(ReceivedMessages(), std::vector<UINT>{WM_SETTEXT});
    DestroyWindow(panel);
}

TEST_F(DialogTest, SendMessageHidesTheProcedureResultCallDialogProcShowsIt) {
    HWND panel = MakePivotPanel();
    EXPECT_EQ(SendMessageA(panel, WM_COMMAND, 1002, 0), 0) << "DWLP_MSGRESULT of a handled message";
    SetWindowLongA(panel, DWLP_MSGRESULT, 77);
    EXPECT_EQ(SendMessageA(panel, WM_COMMAND, 1002, 0), 77);
    EXPECT_EQ(CallDialogProc(panel, WM_COMMAND, 1002, 0), TRUE);
    EXPECT_EQ(CallDialogProc(panel, WM_LBUTTONDBLCLK, 0, 0), FALSE);
    const std::vector<LoggedMessage>& log = MessageLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().window, panel);
    EXPECT_EQ(log.back().message, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(log.back().toDialogProc);
    DestroyWindow(panel);
}

TEST_F(DialogTest, AChildDialogNeedsAParentAndAnExistingTemplate) {
    ExpectViolations();
    EXPECT_EQ(CreateDialogParamA(TarvelModule(), MAKEINTRESOURCEA(101), nullptr, RecordingProc, 0), nullptr);
    EXPECT_EQ(CreateDialogParamA(TarvelModule(), MAKEINTRESOURCEA(102), nullptr, RecordingProc, 0), nullptr);
    int notAModule = 0;
    EXPECT_EQ(CreateDialogParamA(reinterpret_cast<HINSTANCE>(&notAModule), MAKEINTRESOURCEA(101), nullptr,
                                 RecordingProc, 0),
              nullptr);
    EXPECT_EQ(TakeViolations().size(), 3u);
    EXPECT_TRUE(Received().empty());
}

TEST_F(DialogTest, ADialogThatDestroysItselfDuringInitIsNotReturned) {
    host_ = CreateWindowExA(0, "Static", "host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    auto selfDestroying = [](HWND window, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            DestroyWindow(window);
        }
        return TRUE;
    };
    EXPECT_EQ(CreateDialogParamA(VelkoraModule(), MAKEINTRESOURCEA(101), host_, selfDestroying, 0), nullptr);
}

TEST_F(DialogTest, AnExceptionInADialogProcedureIsContained) {
    ExpectViolations();
    host_ = CreateWindowExA(0, "Static", "host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    auto throwing = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_COMMAND) {
            throw 1;
        }
        return TRUE;
    };
    HWND panel = CreateDialogParamA(VelkoraModule(), MAKEINTRESOURCEA(101), host_, throwing, 0);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(CallDialogProc(panel, WM_COMMAND, 1099, 0), 0);
    EXPECT_EQ(TakeViolations().size(), 1u);
    DestroyWindow(panel);
}
