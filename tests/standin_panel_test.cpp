// The stand-in host's command panel, custom buttons and utilities, with a
// small utility that opens a page from the pivot tool's template.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "color_manager.h"
#include "custom_button.h"
#include "module_state.h"
#include "panel_frame.h"
#include "standin/standin_color_manager.h"
#include "standin/standin_custom_button.h"
#include "standin/standin_interface.h"
#include "utility_plugin.h"
#include "win32_test_support.h"

using namespace standin;

namespace {

constexpr int kPick = 1099;
constexpr int kAlign = 1100;

// Opens template 101 through the panel frame with both buttons and counts
// the commands it receives; command 0 fails.
class ProbeUtility final : public PanelFrame {
public:
    void SelectionChanged(Interface* host, UtilityHandle*) override {
        selectionSeen.push_back(host->SelectedNodeCount());
    }
    void DeleteSelf() override {}

    ICustButton* Align() const { return Button(kAlign); }
    ICustButton* Pick() const { return Button(kPick); }

    std::vector<int> commands;
    std::vector<int> selectionSeen;

private:
    void PanelOpened(Interface&) override {
        AddButton(kAlign, CBT_PUSH);
        AddButton(kPick, CBT_CHECK);
    }
    void Command(int item) override {
        commands.push_back(item);
        if (item == 0) {
            throw std::runtime_error("probe failure");
        }
    }
};

class PanelTest : public Win32Test {
protected:
    void SetUp() override {
        Win32Test::SetUp();
        SetModuleHandle(TarvelModule());
        buttonsAtStart_ = OpenCustButtonCount();
    }
    void TearDown() override {
        EXPECT_EQ(OpenCustButtonCount(), buttonsAtStart_) << "custom buttons not released";
        SetModuleHandle(nullptr);
        Win32Test::TearDown();
    }
    std::vector<std::string> Violations(StandinScene& scene) { return scene.Violations(); }

    int buttonsAtStart_ = 0;
};

}  // namespace

TEST_F(PanelTest, OpeningAddsOnePageFromTheTemplateAndClosingRemovesIt) {
    StandinScene scene;
    {
        StandinInterface host(scene);
        ProbeUtility utility;
        host.OpenUtility(&utility);
        ASSERT_EQ(host.PanelPages().size(), 1u);
        const PanelPage& page = host.PanelPages()[0];
        EXPECT_EQ(page.window, utility.Panel());
        EXPECT_EQ(page.module, TarvelModule());
        EXPECT_EQ(page.templateId, 101);
        EXPECT_TRUE(page.hasTitle);
        EXPECT_EQ(page.title, "Parameters");
        EXPECT_EQ(page.param, reinterpret_cast<LPARAM>(&utility));
        EXPECT_EQ(page.flags, 0u);
        EXPECT_EQ(page.category, 4000);
        EXPECT_EQ(GetParent(utility.Panel()), host.CommandPanelWindow());
        EXPECT_EQ(GetWindowLongA(utility.Panel(), GWL_USERDATA), reinterpret_cast<LONG_PTR>(&utility));
        EXPECT_EQ(utility.StoredInterface(), &host);
        EXPECT_EQ(host.OpenedUtility(), &utility);

        host.CloseUtility();
        EXPECT_TRUE(host.PanelPages().empty());
        EXPECT_EQ(utility.Panel(), nullptr);
        EXPECT_EQ(host.OpenedUtility(), nullptr);

        host.OpenUtility(&utility);
        host.OpenUtility(&utility);
        EXPECT_EQ(host.PanelPages().size(), 1u) << "opening again closes first";
        host.CloseUtility();
    }
    EXPECT_TRUE(Violations(scene).empty()) << Violations(scene).front();
}

TEST_F(PanelTest, PressingAButtonSendsItsIdToThePage) {
    StandinScene scene;
    StandinInterface host(scene);
    ProbeUtility utility;
    host.OpenUtility(&utility);
    EXPECT_TRUE(PressCustomButton(GetDlgItem(utility.Panel(), kAlign)));
    EXPECT_TRUE(PressCustomButton(GetDlgItem(utility.Panel(), kPick)));
    EXPECT_EQ(utility.commands, (std::vector<int>{kAlign, kPick}));
    host.CloseUtility();
    EXPECT_TRUE(Violations(scene).empty());
}

TEST_F(PanelTest, ADisabledButtonReportsThePressAndSendsNothing) {
    StandinScene scene;
    StandinInterface host(scene);
    ProbeUtility utility;
    host.OpenUtility(&utility);
    HWND alignWindow = GetDlgItem(utility.Panel(), kAlign);
    utility.Align()->EnableButton(0);
    EXPECT_FALSE(IsWindowEnabled(alignWindow));
    EXPECT_FALSE(PressCustomButton(alignWindow));
    EXPECT_TRUE(utility.commands.empty());
    const auto presses = scene.Journal().CallsOf("PressCustomButton");
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].index, kAlign);
    EXPECT_EQ(presses[0].text, "disabled");
    utility.Align()->EnableButton(1);
    EXPECT_TRUE(PressCustomButton(alignWindow));
    EXPECT_EQ(utility.commands, std::vector<int>{kAlign});
    host.CloseUtility();
}

TEST_F(PanelTest, ButtonStateIsKeptPerWindowAndACheckButtonTogglesOnPress) {
    StandinScene scene;
    StandinInterface host(scene);
    ProbeUtility utility;
    host.OpenUtility(&utility);
    HWND pickWindow = GetDlgItem(utility.Panel(), kPick);
    HWND alignWindow = GetDlgItem(utility.Panel(), kAlign);
    utility.Pick()->SetButtonHighlight(GetColorManager()->ColorOf(COLOR_PICK_HIGHLIGHT));
    EXPECT_EQ(CustomButtonStateOf(pickWindow).type, CBT_CHECK);
    EXPECT_TRUE(CustomButtonStateOf(pickWindow).highlightSet);
    EXPECT_EQ(CustomButtonStateOf(pickWindow).highlight, kPickHighlightColour);
    EXPECT_FALSE(CustomButtonStateOf(alignWindow).highlightSet);

    PressCustomButton(pickWindow);
    EXPECT_EQ(utility.Pick()->IsChecked(), 1);
    PressCustomButton(alignWindow);
    EXPECT_EQ(utility.Align()->IsChecked(), 0) << "a push button does not stay checked";
    PressCustomButton(pickWindow);
    EXPECT_EQ(utility.Pick()->IsChecked(), 0);

    ICustButton* second = GetICustButton(pickWindow);
    ASSERT_NE(second, utility.Pick()) << "a fresh interface on every call";
    second->SetButtonChecked(1);
    EXPECT_EQ(utility.Pick()->IsChecked(), 1) << "both interfaces show the one window's state";
    ReleaseICustButton(second);
    host.CloseUtility();
    EXPECT_TRUE(Violations(scene).empty());
}

#if defined(_WIN32)
// The "CustButton" window itself, as a user works it.
TEST_F(PanelTest, TheButtonWindowAnswersClicksOnlyWhenEnabled) {
    StandinScene scene;
    StandinInterface host(scene);
    ProbeUtility utility;
    host.OpenUtility(&utility);
    HWND alignWindow = GetDlgItem(utility.Panel(), kAlign);
    HWND pickWindow = GetDlgItem(utility.Panel(), kPick);
    EXPECT_EQ(testwin::ClassNameOf(alignWindow), "CustButton");

    SendMessageA(alignWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    EXPECT_TRUE(utility.commands.empty()) << "a press is complete only when the button is let go";
    SendMessageA(alignWindow, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(utility.commands, std::vector<int>{kAlign});
    SendMessageA(alignWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(alignWindow, WM_LBUTTONUP, 0, MAKELPARAM(-20, 3));
    EXPECT_EQ(utility.commands, std::vector<int>{kAlign}) << "let go outside the button";

    SendMessageA(pickWindow, BM_CLICK, 0, 0);
    EXPECT_EQ(utility.commands, (std::vector<int>{kAlign, kPick}));
    EXPECT_EQ(utility.Pick()->IsChecked(), 1);
    EXPECT_EQ(SendMessageA(pickWindow, BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageA(pickWindow, BM_CLICK, 0, 0);
    EXPECT_EQ(utility.Pick()->IsChecked(), 0);
    SendMessageA(alignWindow, BM_CLICK, 0, 0);
    EXPECT_EQ(utility.Align()->IsChecked(), 0) << "a push button does not stay checked";

    utility.Pick()->EnableButton(0);
    SendMessageA(pickWindow, BM_CLICK, 0, 0);
    SendMessageA(pickWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(pickWindow, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(utility.commands, (std::vector<int>{kAlign, kPick, kPick, kAlign}));
    EXPECT_EQ(utility.Pick()->IsChecked(), 0);
    host.CloseUtility();
    EXPECT_TRUE(Violations(scene).empty());
}

namespace {

// The pixels of `text`'s colour in what the button draws of itself.
int TextPixels(HWND button, COLORREF text) {
    RECT client;
    GetClientRect(button, &client);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (dc == nullptr || bitmap == nullptr || bits == nullptr) {
        ADD_FAILURE() << "no bitmap to draw into";
        return -1;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageA(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    int count = 0;
    const auto* pixel = static_cast<const unsigned char*>(bits);
    for (int i = 0; i < client.right * client.bottom; ++i, pixel += 4) {
        count += RGB(pixel[2], pixel[1], pixel[0]) == text ? 1 : 0;
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return count;
}

}  // namespace

TEST_F(PanelTest, TheButtonWindowDrawsItsTextGreyedWhenDisabled) {
    StandinScene scene;
    StandinInterface host(scene);
    ProbeUtility utility;
    host.OpenUtility(&utility);
    HWND alignWindow = GetDlgItem(utility.Panel(), kAlign);
    const COLORREF normal = GetSysColor(COLOR_BTNTEXT);
    const COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
    ASSERT_NE(normal, grey);
    EXPECT_GT(TextPixels(alignWindow, normal), 10);
    utility.Align()->EnableButton(0);
    EXPECT_EQ(TextPixels(alignWindow, normal), 0);
    EXPECT_GT(TextPixels(alignWindow, grey), 10);
    utility.Align()->EnableButton(1);
    SetWindowTextA(alignWindow, "");
    EXPECT_EQ(TextPixels(alignWindow, normal), 0) << "no text, nothing in the text colour";
    host.CloseUtility();
}
#endif

TEST_F(PanelTest, AReleasedInterfaceIsRefused) {
    StandinScene scene;
    StandinInterface host(scene);
    ProbeUtility utility;
    host.OpenUtility(&utility);
    ICustButton* stale = utility.Pick();
    host.CloseUtility();
    ASSERT_TRUE(scene.Violations().empty());
    stale->SetButtonChecked(1);
    EXPECT_EQ(stale->IsChecked(), 0);
    ReleaseICustButton(stale);
    ASSERT_EQ(scene.Violations().size(), 3u);
    EXPECT_NE(scene.Violations()[0].find("after ReleaseICustButton"), std::string::npos);
    EXPECT_NE(scene.Violations()[2].find("released twice"), std::string::npos);
}

TEST_F(PanelTest, OnlyCustButtonWindowsHaveButtonInterfaces) {
    StandinScene scene;
    StandinInterface host(scene);
    ProbeUtility utility;
    host.OpenUtility(&utility);
    EXPECT_EQ(GetICustButton(GetDlgItem(utility.Panel(), 1002)), nullptr);
    EXPECT_EQ(GetICustButton(nullptr), nullptr);
    EXPECT_EQ(scene.Violations().size(), 2u);
    host.CloseUtility();
}

TEST_F(PanelTest, SelectionChangesReachTheOpenUtility) {
    StandinScene scene;
    StandinNode& box = scene.AddNode(scene.Root(), "Box");
    StandinNode& ball = scene.AddNode(scene.Root(), "Ball");
    StandinInterface host(scene);
    ProbeUtility utility;
    host.ChangeSelection({&box});
    host.OpenUtility(&utility);
    host.ChangeSelection({&box, &ball});
    host.ChangeSelection({});
    host.CloseUtility();
    host.ChangeSelection({&ball});
    EXPECT_EQ(utility.selectionSeen, (std::vector<int>{2, 0}));
    EXPECT_EQ(host.Selection().size(), 1u);
}

TEST_F(PanelTest, PanelMouseMessagesAreJournalled) {
    StandinScene scene;
    StandinInterface host(scene);
    ProbeUtility utility;
    host.OpenUtility(&utility);
    SendMessageA(utility.Panel(), WM_LBUTTONDOWN, 1, 0);
    const auto forwarded = scene.Journal().CallsOf("ForwardPanelMouse");
    ASSERT_EQ(forwarded.size(), 1u);
    EXPECT_EQ(forwarded[0].index, static_cast<int>(WM_LBUTTONDOWN));
    host.ForwardPanelMouse(host.CommandPanelWindow(), WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(scene.Violations().size(), 1u) << "only pages forward their mouse";
    host.CloseUtility();
}

TEST_F(PanelTest, RemovingAPageTwiceIsRefused) {
    StandinScene scene;
    StandinInterface host(scene);
    ProbeUtility utility;
    host.OpenUtility(&utility);
    HWND page = utility.Panel();
    host.CloseUtility();
    host.RemovePanelPage(page);
    ASSERT_EQ(scene.Violations().size(), 1u);
    EXPECT_TRUE(testwin::Violations().empty()) << "the host refused before the window was touched";
}

TEST_F(PanelTest, AHostClosedWithTheUtilityOpenClosesItAndSaysSo) {
    StandinScene scene;
    ProbeUtility utility;
    {
        StandinInterface host(scene);
        host.OpenUtility(&utility);
    }
    EXPECT_EQ(utility.Panel(), nullptr);
    EXPECT_EQ(scene.Violations().size(), 1u);
}

TEST_F(PanelTest, ColoursAreFixed) {
    EXPECT_EQ(GetColorManager()->ColorOf(COLOR_PICK_HIGHLIGHT), RGB(255, 230, 0));
    EXPECT_EQ(GetColorManager()->ColorOf(999), kUnknownColour);
    EXPECT_EQ(GetColorManager(), GetColorManager());
}

TEST_F(PanelTest, InitCustomControlsIsCounted) {
    const int before = InitCustomControlsCalls();
    InitCustomControls(TarvelModule());
    EXPECT_EQ(InitCustomControlsCalls(), before + 1);
}

TEST_F(PanelTest, AFailingCommandIsLoggedAndThePanelGoesOn) {
    StandinScene scene;
    StandinInterface host(scene);
    ProbeUtility utility;
    host.OpenUtility(&utility);
    SendMessageA(utility.Panel(), WM_COMMAND, 0, 0);
    ASSERT_EQ(host.LogRecords().size(), 1u);
    const LogRecord& record = host.LogRecords()[0];
    EXPECT_EQ(record.type, SYSLOG_ERROR);
    EXPECT_FALSE(record.dialogue);
    EXPECT_NE(record.text.find("probe failure"), std::string::npos) << record.text;
    EXPECT_TRUE(PressCustomButton(GetDlgItem(utility.Panel(), kAlign)));
    EXPECT_EQ(utility.commands, (std::vector<int>{0, kAlign}));
    host.CloseUtility();
}
