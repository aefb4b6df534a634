// Align on large scenes: deep chains, a million nodes, and one walk of the
// scene for any number of selected nodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "align_test_fixture.h"
#include "placement_support.h"

using standin::StandinNode;
using test_support::MatricesNear;
using test_support::RandomPlacement;

TEST_F(AlignTest, AlignsAcrossAMillionDeepChain) {
    scene.Journal().SetEnabled(false);
    std::mt19937 rng(17);
    StandinNode* tip = &scene.Root();
    for (int i = 0; i < 1000000; ++i) {
        tip = &scene.AddNode(*tip, "link");
    }
    StandinNode& deep = scene.AddNode(*tip, "Deep", RandomPlacement(rng));
    StandinNode& shallow = Add("Deep", RandomPlacement(rng));
    StandinNode& other = scene.AddNode(*tip, "Other", RandomPlacement(rng));
    StandinNode& otherNamesake = Add("Other", RandomPlacement(rng));
    const NodeMatrix target = shallow.Transform();
    Select({&deep});
    Align();
    EXPECT_TRUE(MatricesNear(deep.Transform(), target));
    Select({&other, &otherNamesake});
    Align();
    EXPECT_TRUE(MatricesNear(other.Transform(), otherNamesake.Transform()));
}

TEST_F(AlignTest, AlignsAThousandPairsInAMillionNodeScene) {
    scene.Journal().SetEnabled(false);
    std::mt19937 rng(19);
    std::vector<StandinNode*> all{&scene.Root()};
    while (all.size() < 1000000) {
        StandinNode* parent = all[all.size() / 8];  // a tree eight children wide
        all.push_back(&scene.AddNode(*parent, "filler"));
    }
    std::uniform_int_distribution<std::size_t> anywhere(1, all.size() - 1);
    std::vector<StandinNode*> selected;
    std::vector<std::pair<StandinNode*, NodeMatrix>> pairs;
    for (int i = 0; i < 1000; ++i) {
        StandinNode* a = all[anywhere(rng)];
        StandinNode* b = all[anywhere(rng)];
        if (a == b || a->Name() != "filler" || b->Name() != "filler") {
            continue;
        }
        a->SetName("Pair" + std::to_string(i));
        b->SetName("Pair" + std::to_string(i));
        a->SetTransform(RandomPlacement(rng));
        b->SetTransform(RandomPlacement(rng));
        selected.push_back(b);
        pairs.emplace_back(b, a->Transform());
    }
    ASSERT_GT(selected.size(), 900u);
    Select(selected);
    Align();
    EXPECT_EQ(host.RedrawCount(), 1);
    int mismatches = 0;
    for (auto& [node, target] : pairs) {
        mismatches += MatricesNear(node->Transform(), target) ? 0 : 1;
    }
    EXPECT_EQ(mismatches, 0);
}

TEST_F(AlignTest, ManySelectedNodesAskEachNodeOfTheSceneForItsNameAtMostOnce) {
    std::mt19937 rng(23);
    std::vector<StandinNode*> all{&scene.Root()};
    std::vector<StandinNode*> selected;
    for (int i = 0; i < 2000; ++i) {
        StandinNode* parent = all[all.size() / 3];
        all.push_back(&scene.AddNode(*parent, "N" + std::to_string(i / 2), RandomPlacement(rng)));
        if (i % 4 == 0) {
            selected.push_back(all.back());
        }
    }
    Select(selected);
    Align();
    std::map<const standin::StandinNode*, int> asked;
    for (const auto& call : scene.Journal().CallsOf("NodeName")) {
        ++asked[call.node];
    }
    for (const StandinNode* node : all) {
        const bool isSelected = std::find(selected.begin(), selected.end(), node) != selected.end();
        EXPECT_LE(asked[node], isSelected ? 2 : 1) << node->Name();
    }
    EXPECT_EQ(scene.Journal().CallsOf("RotateNode").size(), 3 * selected.size());
}
