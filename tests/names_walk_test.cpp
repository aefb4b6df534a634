// The scene walks of the names tool: the host calls they make, in order,
// and trees too deep for a recursive walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "names_test_support.h"
#include "names_utility.h"
#include "standin/standin_interface.h"

using names_test::BuildScene;
using names_test::NamesOf;
using standin::StandinInterface;
using standin::StandinNode;
using standin::StandinScene;

namespace {

using Names = std::vector<std::string>;

// The recursive pre-order walks, making the host calls the tool must make.
void RecursiveCollect(SceneNode* node, Names& list) {
    list.emplace_back(node->NodeName());
    for (int i = 0; i < node->ChildCount(); ++i) {
        RecursiveCollect(node->ChildNode(i), list);
    }
}

bool RecursiveApply(SceneNode* node, const Names& list, std::uint32_t& position) {
    if (position == list.size()) {
        return false;
    }
    node->SetNodeName(list[position++].c_str());
    for (int i = 0; i < node->ChildCount(); ++i) {
        if (!RecursiveApply(node->ChildNode(i), list, position)) {
            return false;
        }
    }
    return true;
}

// The node count of a load: the recursive walk, each node asked its child
// count once.
std::size_t RecursiveCount(SceneNode* node) {
    std::size_t count = 1;
    for (int i = 0, children = node->ChildCount(); i < children; ++i) {
        count += RecursiveCount(node->ChildNode(i));
    }
    return count;
}

// A host call: operation, node asked, index and text argument.
using Call = std::tuple<std::string, const StandinNode*, int, std::string>;

std::vector<Call> Calls(const standin::HostJournal& journal) {
    std::vector<Call> calls;
    for (const standin::HostCall& call : journal.Calls()) {
        calls.emplace_back(call.operation, call.node, call.index, call.text);
    }
    return calls;
}

// The lines that `names` make in a names file, as NameLines holds them.
std::string LinesOf(const Names& names) {
    std::string text;
    for (const std::string& name : names) {
        text += name + names_tool::kPlatformLineEnd;
    }
    return text;
}

// The names as a load reads them from a file.
names_tool::NameList ListOf(const Names& names) {
    names_tool::NameList list;
    names_tool::NameLineReader reader(list);
    const std::string text = LinesOf(names);
    reader.Feed(text.data(), text.size());
    reader.Finish();
    return list;
}

class NamesWalkTest : public ::testing::Test {
protected:
    // Root(a(a1(a11), a2), b, c(c1)): subtrees, a leaf between, a last branch.
    NamesWalkTest() : host_(scene_) {
        BuildScene(scene_, {"root", "a", "a1", "a11", "a2", "b", "c", "c1"}, {-1, 0, 1, 2, 1, 0, 0, 6});
        tool_.SetInterface(&host_);
        host_.Journal().Clear();
    }

    // The host calls that `walk` makes.
    template <typename Walk>
    std::vector<Call> Journal(Walk walk) {
        host_.Journal().Clear();
        walk();
        std::vector<Call> calls = Calls(host_.Journal());
        host_.Journal().Clear();
        return calls;
    }

    names_test::ScratchFolder folder_;
    StandinScene scene_;
    StandinInterface host_;
    NamesUtility tool_;
};

}  // namespace

TEST_F(NamesWalkTest, CollectMakesTheCallsOfTheRecursiveWalk) {
    Names expectedList;
    const auto expected = Journal([&] { RecursiveCollect(&scene_.Root(), expectedList); });
    names_tool::NameLines lines;
    std::string refusal;
    bool collected = false;
    EXPECT_EQ(Journal([&] { collected = tool_.CollectNames(&scene_.Root(), lines, refusal); }), expected);
    EXPECT_TRUE(collected) << refusal;
    std::string text;
    for (const std::string& block : lines.Blocks()) {
        text += block;
    }
    EXPECT_EQ(text, LinesOf(expectedList));
    EXPECT_EQ(expectedList, NamesOf(scene_));
    EXPECT_TRUE(scene_.Violations().empty());
}

TEST_F(NamesWalkTest, ApplyMakesTheCallsOfTheRecursiveWalkAndStopsWhenNamesRunOut) {
    // Every count of names: none, stopping inside a subtree, all, more.
    for (std::size_t count = 0; count <= 10; ++count) {
        SCOPED_TRACE("names: " + std::to_string(count));
        Names list;
        for (std::size_t i = 0; i < count; ++i) {
            list.push_back("n" + std::to_string(i));
        }
        std::uint32_t expectedPosition = 0;
        bool expectedResult = true;
        const auto expected = Journal([&] { expectedResult = RecursiveApply(&scene_.Root(), list, expectedPosition); });
        std::uint32_t position = 0;
        bool result = !expectedResult;
        const names_tool::NameList read = ListOf(list);
        EXPECT_EQ(Journal([&] { result = tool_.ApplyNames(&scene_.Root(), read, position); }), expected);
        EXPECT_EQ(result, expectedResult);
        EXPECT_EQ(position, expectedPosition);
    }
    EXPECT_TRUE(scene_.Violations().empty());
}

// A load counts the nodes first, so that it reads no line beyond the last
// node's; the walk that gives the names is the recursive one.
TEST_F(NamesWalkTest, CommandsAskTheRootOnceAndNothingBeyondTheirWalks) {
    const std::string path = folder_.File("names.txt");
    const Call root{"RootNode", nullptr, -1, ""};
    Names list;
    std::vector<Call> expected{root};
    for (const Call& call : Journal([&] { RecursiveCollect(&scene_.Root(), list); })) {
        expected.push_back(call);
    }
    EXPECT_EQ(Journal([&] { tool_.SaveNames(path); }), expected);

    const Names before = NamesOf(scene_);
    const Names three{"x", "y", "z"};
    std::uint32_t position = 0;
    expected = {root};
    for (const Call& call : Journal([&] { RecursiveCount(&scene_.Root()); })) {
        expected.push_back(call);
    }
    for (const Call& call : Journal([&] { RecursiveApply(&scene_.Root(), three, position); })) {
        expected.push_back(call);
    }
    const std::vector<StandinNode*> order = scene_.PreOrder();
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i]->SetName(before[i]);
    }
    names_test::WriteBytes(path, "x\ny\nz\n");
    EXPECT_EQ(Journal([&] { tool_.LoadNames(path); }), expected);
    EXPECT_EQ(NamesOf(scene_), (Names{"x", "y", "z", "a11", "a2", "b", "c", "c1"}));
    EXPECT_EQ(host_.RedrawCount(), 0);
}

TEST(NamesDeepScene, ChainOfAMillionNodesSavesAndLoads) {
    constexpr int kDepth = 1000000;
    StandinScene scene("n0");
    scene.Journal().SetEnabled(false);
    StandinNode* tip = &scene.Root();
    for (int i = 1; i < kDepth; ++i) {
        tip = &scene.AddNode(*tip, "n" + std::to_string(i));
    }
    StandinInterface host(scene);
    NamesUtility tool;
    tool.SetInterface(&host);
    names_test::ScratchFolder folder;
    const std::string path = folder.File("deep.txt");

    tool.SaveNames(path);
    const std::string bytes = names_test::ReadBytes(path);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), kDepth);
    const std::string last = names_test::TextModeBytes("n999999\n");
    EXPECT_EQ(bytes.substr(bytes.size() - last.size()), last);

    std::string renamed;
    for (int i = 0; i < kDepth; ++i) {
        renamed += "m" + std::to_string(i) + "\n";
    }
    names_test::WriteBytes(path, renamed);
    tool.LoadNames(path);
    EXPECT_EQ(scene.Root().Name(), "m0");
    EXPECT_EQ(tip->Name(), "m999999");
    EXPECT_EQ(tip->Parent()->Name(), "m999998");
}
