#pragma once

// An open pivot tool over a stand-in scene: the Tarvel resources (the built
// library on Windows) loaded as the library's module, the panel opened through the stand-in host, and
// the panel's controls read back through the Windows calls.
#include <gtest/gtest.h>

#include <vector>

#include "custom_button.h"
#include "module_state.h"
#include "pivot_utility.h"
#include "resource.h"
#include "standin/standin_interface.h"
#include "standin/standin_scene.h"
#include "test_windows.h"

namespace pivot_test {

constexpr int kRadioX = IDC_AXIS_X;
constexpr int kRadioY = IDC_AXIS_Y;
constexpr int kRadioZ = IDC_AXIS_Z;
constexpr int kPick = IDC_PICK;
constexpr int kAlign = IDC_ALIGN;

class PivotToolTest : public ::testing::Test {
protected:
    static constexpr TimeValue kEditTime = 40;  // start of the animation range
    static constexpr TimeValue kNow = 7;        // the current time, on purpose different

    static void SetUpTestSuite() {
        HINSTANCE module = testwin::LoadToolModule(TARVEL_RES_PATH);
        ASSERT_NE(module, nullptr);
        SetModuleHandle(module);
    }

    PivotToolTest() {
        host.SetAnimationRange({kEditTime, 200});
        host.SetCurrentTime(kNow);
    }
    ~PivotToolTest() override {
        if (tool.Panel() != nullptr) {
            tool.EndEditParams(&host, nullptr);
        }
    }

    void Open(std::vector<standin::StandinNode*> selection) {
        host.SetSelection(std::move(selection));
        tool.BeginEditParams(&host, nullptr);
        ASSERT_NE(tool.Panel(), nullptr);
    }
    void Close() { tool.EndEditParams(&host, nullptr); }
    void Select(std::vector<standin::StandinNode*> selection) {
        host.SetSelection(std::move(selection));
        tool.SelectionChanged(&host, nullptr);
    }

    INT_PTR Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return testwin::CallDialogProc(tool.Panel(), message, wParam, lParam);
    }
    INT_PTR Command(int item) {
        return Send(WM_COMMAND, MAKEWPARAM(item, BN_CLICKED), reinterpret_cast<LPARAM>(Item(item)));
    }
    INT_PTR PressPick() { return Command(kPick); }

    HWND Item(int id) { return GetDlgItem(tool.Panel(), id); }
    bool Enabled(int id) { return IsWindowEnabled(Item(id)) != 0; }
    bool Checked(int radio) { return IsDlgButtonChecked(tool.Panel(), radio) == BST_CHECKED; }
    bool PickChecked() {
        ICustButton* button = GetICustButton(Item(kPick));
        const bool checked = button->IsChecked() != 0;
        ReleaseICustButton(button);
        return checked;
    }
    // Leaves exactly `radio` checked, or none for 0.
    void ChooseAxis(int radio) {
        for (int id : {kRadioX, kRadioY, kRadioZ}) {
            CheckDlgButton(tool.Panel(), id, id == radio ? BST_CHECKED : BST_UNCHECKED);
        }
    }

    standin::StandinScene scene;
    standin::StandinInterface host{scene};
    PivotUtility tool;  // after the host: it leaves its mode while the host still runs
};

}  // namespace pivot_test
