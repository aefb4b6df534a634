// Selecting nodes by where they stand: the tree of a scene in pre-order,
// paths from the root, and the namesake pairs that make Align depend on
// the order of a selection. Random trees, each property checked against
// the scene's own parent links.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "scene/node_tree.h"
#include "session/name_pattern.h"
#include "session/namesake_pairs.h"
#include "session/node_path.h"

namespace {

using standin::StandinNode;

// A scene of `count` nodes below the root, each under a random earlier one,
// named from a few names that repeat and hold the path's own characters.
struct RandomScene {
    standin::StandinScene scene;
    std::vector<StandinNode*> order;  // pre-order

    RandomScene(std::mt19937& random, std::size_t count) {
        static const char* const kNames[] = {"Chair", "Lamp", "", "a/b", "c\\", "\\/", "Chair"};
        std::vector<StandinNode*> made{&scene.Root()};
        for (std::size_t i = 0; i < count; ++i) {
            StandinNode& parent = *made[random() % made.size()];
            made.push_back(&scene.AddNode(parent, kNames[random() % 7]));
        }
        std::vector<StandinNode*> pending{&scene.Root()};
        while (!pending.empty()) {
            StandinNode* node = pending.back();
            pending.pop_back();
            order.push_back(node);
            for (int c = node->ChildCount(); c-- > 0;) {
                pending.push_back(static_cast<StandinNode*>(node->ChildNode(c)));
            }
        }
    }
};

// The names from below the root down to the node, from its parent links.
std::vector<std::string> NamesAbove(const StandinNode* node) {
    std::vector<std::string> names;
    for (; node->Parent() != nullptr; node = node->Parent()) {
        names.insert(names.begin(), node->Name());
    }
    return names;
}

// Whether `names` fits `steps`, "**" standing for any run of names: a
// table of which prefixes of the one fit which of the other.
bool FitsSteps(const std::vector<std::string>& steps, const std::vector<std::string>& names) {
    std::vector<std::vector<bool>> fits(steps.size() + 1, std::vector<bool>(names.size() + 1, false));
    fits[0][0] = true;
    for (std::size_t s = 1; s <= steps.size(); ++s) {
        for (std::size_t n = 0; n <= names.size(); ++n) {
            fits[s][n] = steps[s - 1] == "**"
                             ? fits[s - 1][n] || (n > 0 && fits[s][n - 1])
                             : n > 0 && fits[s - 1][n - 1] && driver::NameMatches(steps[s - 1], names[n - 1]);
        }
    }
    return fits[steps.size()][names.size()];
}

}  // namespace

TEST(NodeSelection, AnyDepthStepsFitWhatTheirNamesFit) {
    std::mt19937 random(41);
    static const char* const kSteps[] = {"**", "**", "Chair", "*", "L?mp", ""};
    for (int round = 0; round < 300; ++round) {
        RandomScene made(random, 1 + random() % 40);
        const driver::NodeTree tree = driver::TreeOf(made.order);
        std::vector<std::string> steps(1 + random() % 4);
        for (std::string& step : steps) {
            step = kSteps[random() % 6];
        }
        std::vector<std::size_t> expected;
        for (std::size_t k = 1; k < made.order.size(); ++k) {
            if (FitsSteps(steps, NamesAbove(made.order[k]))) {
                expected.push_back(k);
            }
        }
        EXPECT_EQ(driver::NodesOnPath(steps, made.order, tree), expected);
    }
}

TEST(NodeSelection, TreeAndPathsAgreeWithTheParentLinks) {
    std::mt19937 random(33);
    for (int round = 0; round < 40; ++round) {
        RandomScene made(random, 1 + random() % 60);
        const driver::NodeTree tree = driver::TreeOf(made.order);
        for (std::size_t k = 1; k < made.order.size(); ++k) {
            EXPECT_EQ(made.order[tree.parent[k]], made.order[k]->Parent());
            EXPECT_EQ(tree.depth[k], tree.depth[tree.parent[k]] + 1);
            // A node's own path finds it, and only nodes of the same names.
            const std::vector<std::size_t> found =
                driver::NodesOnPath(driver::PathSteps(driver::PathOf(k, made.order, tree)), made.order, tree);
            EXPECT_NE(std::find(found.begin(), found.end(), k), found.end()) << driver::PathOf(k, made.order, tree);
            for (const std::size_t other : found) {
                EXPECT_EQ(NamesAbove(made.order[other]), NamesAbove(made.order[k]));
            }
        }
    }
}

TEST(NodeSelection, WildcardStepsAndDeepChains) {
    standin::StandinScene scene;
    std::vector<StandinNode*> order{&scene.Root()};
    // A chain deeper than any call stack would take.
    for (int i = 0; i < 100000; ++i) {
        order.push_back(&scene.AddNode(*order.back(), i % 2 == 0 ? "Even" : "Odd"));
    }
    const driver::NodeTree tree = driver::TreeOf(order);
    EXPECT_EQ(tree.depth.back(), 100000u);
    std::vector<std::string> steps(100000, "*");
    EXPECT_EQ(driver::NodesOnPath(steps, order, tree), std::vector<std::size_t>{100000});
    steps.back() = "Even";  // the last node is odd
    EXPECT_TRUE(driver::NodesOnPath(steps, order, tree).empty());
    EXPECT_EQ(driver::NodesOnPath({"E?en", "*d"}, order, tree), std::vector<std::size_t>{2});
    EXPECT_EQ(driver::NodesOnPath({"**", "Odd", "**", "Even"}, order, tree).size(), 49999u);
    EXPECT_EQ(driver::PathSteps("a\\/b/\\\\/c\\d/"), (std::vector<std::string>{"a/b", "\\", "c\\d", ""}));
}

TEST(NodeSelection, NamesakePairsAreThoseAlignMeets) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        RandomScene made(random, 2 + random() % 20);
        std::vector<std::size_t> selection;
        for (std::size_t k = 1; k < made.order.size(); ++k) {
            if (random() % 2 == 0) {
                selection.insert(selection.begin() + random() % (selection.size() + 1), k);
            }
        }
        // Align's namesake: the first other node of the same name in pre-order.
        std::vector<driver::NamesakePair> expected;
        for (std::size_t i = 0; i < selection.size(); ++i) {
            const std::size_t node = selection[i];
            for (std::size_t k = 0; k < made.order.size(); ++k) {
                if (k != node && made.order[k]->Name() == made.order[node]->Name()) {
                    const auto at = std::find(selection.begin(), selection.end(), k);
                    if (at != selection.end()) {
                        expected.push_back({node, k, static_cast<std::size_t>(at - selection.begin()) < i});
                    }
                    break;
                }
            }
        }
        const std::vector<driver::NamesakePair> pairs = driver::SelectedNamesakePairs(selection, made.order);
        ASSERT_EQ(pairs.size(), expected.size());
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            EXPECT_EQ(pairs[i].node, expected[i].node);
            EXPECT_EQ(pairs[i].namesake, expected[i].namesake);
            EXPECT_EQ(pairs[i].namesakeFirst, expected[i].namesakeFirst);
        }
    }
}
