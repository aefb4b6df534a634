// The history of a run tells exactly the nodes that differ from a moment,
// whatever mix of renames, moves and direct sets made them differ: it keeps
// a renamed node's name alone, and its placement only once that is edited.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "scene/node_state.h"
#include "scene/scene_history.h"
#include "standin/standin_scene.h"

namespace {

using standin::StandinNode;

// What the history reports, as (index, aspects) pairs in its order.
std::vector<std::pair<std::size_t, std::vector<driver::Aspect>>> Reported(const driver::SceneHistory& history,
                                                                          bool sinceStart) {
    std::vector<std::pair<std::size_t, std::vector<driver::Aspect>>> out;
    auto add = [&out](const driver::NodeChange& change) {
        out.emplace_back(change.index, std::vector<driver::Aspect>(change.aspects.begin(), change.aspects.end()));
    };
    if (sinceStart) {
        for (const driver::NodeChange& change : history.ChangesSinceStart()) {
            add(change);
        }
    } else {
        history.VisitChangesSinceMark(add);
    }
    return out;
}

// The same found by comparing whole snapshots.
std::vector<std::pair<std::size_t, std::vector<driver::Aspect>>> Differences(const driver::SceneSnapshot& before,
                                                                             standin::StandinScene& scene) {
    const driver::SceneSnapshot after = driver::TakeSnapshot(scene);
    std::vector<std::pair<std::size_t, std::vector<driver::Aspect>>> out;
    for (std::size_t i = 0; i < after.size(); ++i) {
        const driver::AspectList aspects = driver::CompareStates(i, before[i], after[i], false).aspects;
        if (!aspects.empty()) {
            out.emplace_back(i, std::vector<driver::Aspect>(aspects.begin(), aspects.end()));
        }
    }
    return out;
}

void EditAtRandom(std::mt19937& random, const std::vector<StandinNode*>& order) {
    const NodeMatrix world;
    const std::size_t pick = 1 + random() % (order.size() - 1);
    StandinNode& node = *order[pick];
    const float step = static_cast<float>(random() % 3);  // a step of 0 edits without changing
    switch (random() % 5) {
        case 0:
            node.SetNodeName(random() % 2 == 0 ? node.Name().c_str() : ("N" + std::to_string(random() % 4)).c_str());
            break;
        case 1:
            node.MoveNode(0, world, {step, 0, 1}, false, random() % 2 == 0, PIVOT_MODE_NODE, false);
            break;
        case 2:
            node.MoveNode(0, world, {0, step, 0}, false, false, PIVOT_MODE_PIVOT, false);
            break;
        case 3:
            node.SetName("D" + std::to_string(random() % 3));
            break;
        default: {
            NodeMatrix moved = node.Transform();
            moved.row[3].z += step;
            node.SetTransform(moved);
        }
    }
}

}  // namespace

TEST(SceneHistory, ReportsExactlyTheNodesThatDifferFromTheMarkAndTheStart) {
    for (unsigned seed = 1; seed <= 60; ++seed) {
        std::mt19937 random(seed);
        standin::StandinScene scene;
        std::vector<StandinNode*> made{&scene.Root()};
        for (int i = 0; i < 12; ++i) {
            StandinNode& parent = *made[random() % made.size()];
            made.push_back(&scene.AddNode(parent, "N" + std::to_string(i % 4)));
        }
        const std::vector<StandinNode*> order = scene.PreOrder();
        driver::SceneHistory history(scene, order, true);
        const driver::SceneSnapshot start = driver::TakeSnapshot(scene);
        for (int action = 0; action < 4; ++action) {
            history.Mark();
            const driver::SceneSnapshot mark = driver::TakeSnapshot(scene);
            for (auto edit = random() % 6; edit > 0; --edit) {
                EditAtRandom(random, order);
            }
            ASSERT_EQ(Reported(history, false), Differences(mark, scene)) << "seed " << seed << ", action " << action;
            for (std::size_t i = 0; i < order.size(); ++i) {
                ASSERT_EQ(history.ChangedSinceMark(i),
                          !driver::CompareStates(i, mark[i], driver::StateOf(*order[i])).Empty())
                    << "seed " << seed << ", node " << i;
            }
        }
        ASSERT_EQ(Reported(history, true), Differences(start, scene)) << "seed " << seed;
        const driver::SceneSnapshot kept = history.StartSnapshot();
        for (std::size_t i = 0; i < start.size(); ++i) {
            ASSERT_TRUE(driver::CompareStates(i, start[i], kept[i]).Empty()) << "seed " << seed << ", node " << i;
        }
    }
}

// Past the history's first blocks (1024 states, then 2048, ...): renaming
// and moving every node of a large scene is told node by node, each with
// the state it had.
TEST(SceneHistory, KeepsEveryNodeOfALargeChange) {
    for (const std::size_t size : {std::size_t{1023}, std::size_t{1025}, std::size_t{3073}}) {
        standin::StandinScene scene;
        for (std::size_t i = 0; i < size; ++i) {
            scene.AddNode(scene.Root(), "N" + std::to_string(i));
        }
        const std::vector<StandinNode*> order = scene.PreOrder();
        driver::SceneHistory history(scene, order, true);
        const driver::SceneSnapshot start = driver::TakeSnapshot(scene);
        history.Mark();
        for (std::size_t i = order.size() - 1; i > 0; --i) {  // in another order than the scene's
            order[i]->SetNodeName(("R" + std::to_string(i)).c_str());
            if (i % 3 == 0) {
                order[i]->MoveNode(0, NodeMatrix(), {1, 2, 3}, false, false, PIVOT_MODE_NODE, false);
            }
        }
        ASSERT_EQ(Reported(history, false), Differences(start, scene)) << size << " nodes";
        ASSERT_EQ(Reported(history, true), Differences(start, scene)) << size << " nodes";
        const driver::SceneSnapshot kept = history.StartSnapshot();
        for (std::size_t i = 0; i < start.size(); ++i) {
            ASSERT_TRUE(driver::CompareStates(i, start[i], kept[i]).Empty()) << size << " nodes, node " << i;
        }
    }
}
