// The pivot tool's panel: set-up, enabling by the selection, the message
// table and the Pick command.
#include <gtest/gtest.h>

#include "pivot_fixture.h"
#include "standin/standin_custom_button.h"

using namespace pivot_test;
using standin::StandinNode;

namespace {

class PivotPanelTest : public PivotToolTest {
protected:
    PivotPanelTest() : a(scene.AddNode(scene.Root(), "A")), b(scene.AddNode(scene.Root(), "B")) {}

    // Align, Pick and the three axis buttons, in this order.
    std::vector<bool> EnabledControls() {
        return {Enabled(kAlign), Enabled(kPick), Enabled(kRadioX), Enabled(kRadioY), Enabled(kRadioZ)};
    }

    StandinNode& a;
    StandinNode& b;
};

const std::vector<bool> kAllOn{true, true, true, true, true};
const std::vector<bool> kAllOff{false, false, false, false, false};
const std::vector<bool> kAlignOnly{true, false, false, false, false};

}  // namespace

TEST_F(PivotPanelTest, OpeningEnablesTheControlsByTheSelection) {
    Open({});
    EXPECT_EQ(EnabledControls(), kAllOff);
    EXPECT_TRUE(Checked(kRadioX));
    EXPECT_FALSE(Checked(kRadioY) || Checked(kRadioZ));
    EXPECT_FALSE(PickChecked());
    EXPECT_EQ(tool.Step(), PivotUtility::PickStep::kMovePivot);
    EXPECT_EQ(tool.StoredInterface(), &host);
    Close();

    Open({&a});
    EXPECT_EQ(EnabledControls(), kAllOn);
    Close();

    Open({&a, &b});  // as a change of the selection to two nodes would
    EXPECT_EQ(EnabledControls(), kAlignOnly);
}

TEST_F(PivotPanelTest, APanelWhoseButtonsTheHostCannotGiveWorksWithoutThem) {
    standin::SetCustButtonsUnavailable(true);
    Open({&a});
    standin::SetCustButtonsUnavailable(false);
    PressPick();
    EXPECT_TRUE(tool.IsActive());
    Select({&a, &b});
    Send(WM_RBUTTONDOWN);
    EXPECT_FALSE(tool.IsActive());
    const std::vector<bool> enabled = EnabledControls();
    EXPECT_EQ(std::vector<bool>(enabled.begin() + 2, enabled.end()), (std::vector<bool>{false, false, false}));
    Close();
    EXPECT_TRUE(scene.Violations().empty()) << scene.Violations().front();
}

TEST_F(PivotPanelTest, SelectionChangesEnableAndUncheckWithoutEndingTheMode) {
    Open({&a});
    PressPick();
    ASSERT_TRUE(PickChecked());
    Select({&a, &b});
    EXPECT_EQ(EnabledControls(), kAlignOnly);
    EXPECT_FALSE(PickChecked());
    EXPECT_TRUE(tool.IsActive());
    Select({});
    EXPECT_EQ(EnabledControls(), kAllOff);
    Select({&b});
    EXPECT_EQ(EnabledControls(), kAllOn);

    PressPick();  // the mode is still active: this press ends it
    EXPECT_FALSE(tool.IsActive());
    PressPick();
    EXPECT_TRUE(tool.IsActive());
    EXPECT_TRUE(PickChecked());
}

TEST_F(PivotPanelTest, PickStartsWithCrossCursorFromStepZeroAndStopsKeepingTheStep) {
    Open({&a});
    EXPECT_EQ(PressPick(), 1);
    EXPECT_TRUE(tool.IsActive());
    EXPECT_EQ(host.ActivePickMode(), static_cast<PickModeHandler*>(&tool));
    EXPECT_EQ(testwin::SystemCursorId(host.ShownCursor()), 32515);
    host.ClickViewport(Point3(1, 2, 3));
    ASSERT_EQ(tool.Step(), PivotUtility::PickStep::kTurnAxis);

    EXPECT_EQ(PressPick(), 1);
    EXPECT_FALSE(tool.IsActive());
    EXPECT_FALSE(PickChecked());
    EXPECT_EQ(tool.Step(), PivotUtility::PickStep::kTurnAxis);
    PressPick();
    EXPECT_EQ(tool.Step(), PivotUtility::PickStep::kMovePivot);
}

TEST_F(PivotPanelTest, RightButtonEndsTheModeAndUnchecksPick) {
    Open({&a});
    for (UINT message : {WM_RBUTTONDOWN, WM_RBUTTONUP}) {
        PressPick();
        ASSERT_TRUE(tool.IsActive());
        EXPECT_EQ(Send(message), 1);
        EXPECT_FALSE(tool.IsActive());
        EXPECT_FALSE(PickChecked());
    }
    // Without a mode it still unchecks the button.
    ICustButton* pick = GetICustButton(Item(kPick));
    pick->SetButtonChecked(TRUE);
    ReleaseICustButton(pick);
    scene.Journal().Clear();
    EXPECT_EQ(Send(WM_RBUTTONUP), 1);
    EXPECT_FALSE(PickChecked());
    EXPECT_TRUE(scene.Journal().CallsOf("TogglePickMode").empty());
}

TEST_F(PivotPanelTest, MessageTable) {
    Open({&a});
    scene.Journal().Clear();
    EXPECT_EQ(Send(WM_MOUSEMOVE), 1);
    EXPECT_EQ(Send(WM_LBUTTONDOWN), 1);
    EXPECT_EQ(Send(WM_LBUTTONUP), 1);
    EXPECT_EQ(scene.Journal().CallsOf("ForwardPanelMouse").size(), 3u);
    EXPECT_EQ(Send(WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(scene.Journal().CallsOf("ForwardPanelMouse").size(), 3u);
    EXPECT_EQ(Send(WM_SETTEXT), 0);

    scene.Journal().Clear();
    EXPECT_EQ(Command(kRadioY), 1);
    EXPECT_TRUE(scene.Journal().Calls().empty());
    EXPECT_FALSE(tool.IsActive());
    // The notification code is not examined.
    EXPECT_EQ(Send(WM_COMMAND, MAKEWPARAM(kPick, 5)), 1);
    EXPECT_TRUE(tool.IsActive());
}

TEST_F(PivotPanelTest, ReopeningShowsXCheckedAgain) {
    Open({&a});
    ChooseAxis(kRadioY);
    Close();
    EXPECT_EQ(tool.Panel(), nullptr);
    EXPECT_EQ(tool.StoredInterface(), nullptr);
    Open({&a});
    EXPECT_TRUE(Checked(kRadioX));
    EXPECT_FALSE(Checked(kRadioY));
}

TEST_F(PivotPanelTest, ClosingDuringThePickModeEndsItFirst) {
    Open({&a});
    PressPick();
    host.ClickViewport(Point3(1, 1, 1));
    scene.Journal().Clear();
    Close();
    EXPECT_FALSE(tool.IsActive());
    EXPECT_EQ(host.ActivePickMode(), nullptr);
    const auto operations = scene.Journal().Operations();
    ASSERT_FALSE(operations.empty());
    EXPECT_EQ(operations.front(), "TogglePickMode");
    EXPECT_EQ(operations.back(), "RemovePanelPage");
    EXPECT_FALSE(host.ClickViewport(Point3(2, 2, 2)).modeActive);
    EXPECT_TRUE(scene.Violations().empty());
    EXPECT_TRUE(testwin::Violations().empty());
}
