#pragma once

// A stand-in host with a scene and an open pivot tool, for the tests of
// Align. The animation range starts at a time other than the current time,
// so that a call at the wrong time shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module_state.h"
#include "pivot_utility.h"
#include "standin/standin_interface.h"
#include "standin/standin_scene.h"
#include "test_windows.h"

class AlignTest : public ::testing::Test {
protected:
    static constexpr TimeValue kEditTime = 160;
    static constexpr TimeValue kCurrentTime = 480;

    // The panel that Align runs from is made from the Tarvel resources.
    static void SetUpTestSuite() {
        HINSTANCE module = testwin::LoadToolModule(TARVEL_RES_PATH);
        ASSERT_NE(module, nullptr);
        SetModuleHandle(module);
    }

    AlignTest() {
        host.SetAnimationRange({kEditTime, 3200});
        host.SetCurrentTime(kCurrentTime);
        tool.BeginEditParams(&host, nullptr);
    }
    ~AlignTest() override { tool.EndEditParams(&host, nullptr); }

    standin::StandinNode& Add(const std::string& name, const NodeMatrix& placement = NodeMatrix()) {
        return scene.AddNode(scene.Root(), name, placement);
    }
    void Select(std::vector<standin::StandinNode*> nodes) { host.SetSelection(std::move(nodes)); }
    // Runs Align with a fresh journal.
    void Align() {
        scene.Journal().Clear();
        tool.AlignSelected();
        EXPECT_TRUE(scene.Violations().empty()) << scene.Violations().front();
        EXPECT_EQ(host.SuspendDepth(), 0);
    }
    std::vector<std::string> Operations() { return scene.Journal().Operations(); }

    standin::StandinScene scene{"Scene Root"};
    standin::StandinInterface host{scene};
    PivotUtility tool;
};
