// The names file as the names tool writes and reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "name_lines.h"
#include "name_reader.h"
#include "names_test_support.h"
#include "names_utility.h"
#include "standin/standin_interface.h"

using names_test::BuildScene;
using names_test::NamesOf;
using names_test::ReadBytes;
using names_test::SameBytes;
using names_test::WriteBytes;
using standin::StandinInterface;
using standin::StandinScene;

namespace {

using Names = std::vector<std::string>;

// Five nodes: the root with children A (children A1, A2) and B.
const Names kFiveNames{"Scene Root", "A", "A1", "A2", "B"};
const std::vector<int> kFiveParents{-1, 0, 1, 1, 0};

class NamesFileTest : public ::testing::Test {
protected:
    NamesFileTest() : host_(scene_) { tool_.SetInterface(&host_); }

    void MakeScene(const Names& names, const std::vector<int>& parents) { BuildScene(scene_, names, parents); }
    void MakeFiveNodes() { MakeScene(kFiveNames, kFiveParents); }

    // Writes `bytes` to a file, loads it, and returns the scene's names.
    Names LoadBytes(const std::string& bytes) {
        WriteBytes(path_, bytes);
        tool_.LoadNames(path_);
        return NamesOf(scene_);
    }
    std::string SavedBytes() {
        tool_.SaveNames(path_);
        return ReadBytes(path_);
    }

    names_test::ScratchFolder folder_;
    std::string path_ = folder_.File("names.txt");
    StandinScene scene_;
    StandinInterface host_;
    NamesUtility tool_;
};

}  // namespace

TEST_F(NamesFileTest, SavedFileHoldsOneLinePerNodeInPreOrder) {
    MakeFiveNodes();
    EXPECT_TRUE(SameBytes(SavedBytes(), names_test::TextModeBytes("Scene Root\nA\nA1\nA2\nB\n")));

    StandinScene lone("Root only");
    StandinInterface loneHost(lone);
    tool_.SetInterface(&loneHost);
    EXPECT_TRUE(SameBytes(SavedBytes(), names_test::TextModeBytes("Root only\n")));
}

TEST_F(NamesFileTest, RoundTripKeepsNamesAndBytes) {
    const std::string longest(names_tool::kMaxNameLength, 'x');
    MakeScene({"", "  spaced  ", "\xe9t\xe9\x80\xff", "", "tab\there", longest, "\xEF\xBB\xBF"},
              {-1, 0, 0, 2, 3, 0, 5});
    const Names before = NamesOf(scene_);
    const std::string first = SavedBytes();
    tool_.LoadNames(path_);
    EXPECT_EQ(NamesOf(scene_), before);
    EXPECT_TRUE(SameBytes(SavedBytes(), first));
}

TEST_F(NamesFileTest, EmptyNamesAreBlankLinesAndLoadBack) {
    MakeScene({"", "", "C"}, {-1, 0, 0});
    EXPECT_TRUE(SameBytes(SavedBytes(), names_test::TextModeBytes("\n\nC\n")));
    EXPECT_EQ(LoadBytes("X\n\nZ\n"), (Names{"X", "", "Z"}));
}

TEST_F(NamesFileTest, SaveReplacesTheWholeOldContent) {
    MakeScene({"R", "S"}, {-1, 0});
    WriteBytes(path_, std::string(5000, 'o') + "\nold\n");
    EXPECT_TRUE(SameBytes(SavedBytes(), names_test::TextModeBytes("R\nS\n")));
}

// Random names, some with LF, CR, more than 511 bytes, or a byte-order mark
// at the start of the root's: a save loads back as the same names byte for
// byte, also with a byte-order mark before the file, or is refused, naming
// the first such node, with the old file untouched.
TEST_F(NamesFileTest, SaveRoundTripsOrRefusesNamesThatTheFileCannotHold) {
    std::mt19937 rng(31);
    const std::string pieces[] = {"a", "Z", " ", "\t", "\xc3\xa9", "\x7f", "\x01", "\n", "\r", "\xEF\xBB\xBF"};
    int refused = 0;
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Names names(1 + rng() % 5);
        for (std::string& name : names) {
            for (std::size_t count = rng() % 4; count > 0; --count) {
                name += pieces[rng() % (rng() % 3 == 0 ? 10 : 7)];
            }
            if (rng() % 8 == 0) {
                name += std::string(500 + rng() % 12, 'x');
            }
        }
        int bad = -1;
        for (std::size_t i = 0; i < names.size() && bad < 0; ++i) {
            const bool mark = i == 0 && names[i].compare(0, 3, "\xEF\xBB\xBF") == 0;
            if (names[i].find_first_of("\r\n") != std::string::npos || names[i].size() > 511 || mark) {
                bad = int(i);
            }
        }
        StandinScene scene;
        BuildScene(scene, names, std::vector<int>(names.size(), 0));
        StandinInterface host(scene);
        tool_.SetInterface(&host);
        const std::string old = "old\n";
        WriteBytes(path_, old);
        const names_tool::SaveResult saved = tool_.SaveNames(path_);
        if (bad >= 0) {
            ++refused;
            EXPECT_EQ(saved.outcome, names_tool::SaveOutcome::NotReplaced);
            EXPECT_EQ(saved.reason.rfind("node " + std::to_string(bad) + " \"", 0), 0u) << saved.reason;
            // One short line, however long the name or whatever it holds.
            EXPECT_EQ(saved.reason.find_first_of("\r\n"), std::string::npos);
            EXPECT_LT(saved.reason.size(), 250u);
            EXPECT_TRUE(SameBytes(ReadBytes(path_), old));
            EXPECT_EQ(folder_.Entries(), (Names{"names.txt"}));
            continue;
        }
        const std::string bytes = ReadBytes(path_);
        for (const std::string& prefix : {std::string(), std::string("\xEF\xBB\xBF")}) {
            for (standin::StandinNode* node : scene.PreOrder()) {
                node->SetName("?");
            }
            WriteBytes(path_, prefix + bytes);
            tool_.LoadNames(path_);
            EXPECT_EQ(NamesOf(scene), names);
        }
    }
    EXPECT_GT(refused, 12);
    EXPECT_LT(refused, 38);
}

TEST_F(NamesFileTest, LinesGoToNodesByPosition) {
    MakeFiveNodes();
    EXPECT_EQ(LoadBytes("r\na\nb\n"), (Names{"r", "a", "b", "A2", "B"}));
    EXPECT_EQ(LoadBytes("1\n2\n3\n4\n5\n6\n7\n"), (Names{"1", "2", "3", "4", "5"}));
}

TEST_F(NamesFileTest, EmptyFileGivesNoNames) {
    MakeFiveNodes();
    host_.Journal().Clear();
    EXPECT_EQ(LoadBytes(""), kFiveNames);
    EXPECT_TRUE(host_.Journal().CallsOf("SetNodeName").empty());
}

TEST_F(NamesFileTest, LineEndsCrLfLfAndNoneReadAlike) {
    MakeScene({"n0", "n1", "n2", "n3"}, {-1, 0, 0, 0});
    const Names expected{"a", "b", "", "d"};
    EXPECT_EQ(LoadBytes("a\r\nb\r\n\r\nd\r\n"), expected);
    EXPECT_EQ(LoadBytes("a\nb\n\nd\n"), expected);
    EXPECT_EQ(LoadBytes("a\r\nb\n\r\nd"), expected);
    // A final line end adds no empty name.
    EXPECT_EQ(LoadBytes("w\nx\n"), (Names{"w", "x", "", "d"}));
}

TEST_F(NamesFileTest, CrNotBeforeLineFeedBelongsToTheName) {
    MakeScene({"n0", "n1", "n2", "n3"}, {-1, 0, 0, 0});
    EXPECT_EQ(LoadBytes("a\rb\n\r\r\nc\r\r\nend\r"), (Names{"a\rb", "\r", "c\r", "end\r"}));
}

TEST_F(NamesFileTest, LineLimitIs511Characters) {
    MakeScene({"n0", "n1", "n2", "n3"}, {-1, 0, 0, 0});
    const std::string exact(511, 'e');
    const std::string longer = std::string(511, 'L') + "overflow";
    const std::string huge = std::string(100000, 'H');
    const Names loaded = LoadBytes(exact + "\r\n" + longer + "\n" + huge + "\r\nafter\n");
    EXPECT_EQ(loaded, (Names{exact, std::string(511, 'L'), std::string(511, 'H'), "after"}));
    // The 512th character being the CR of a lone CR still counts as content.
    EXPECT_EQ(LoadBytes(exact + "\rX\nnext"), (Names{exact, "next", std::string(511, 'H'), "after"}));
    // Around the limit, a CR before the LF is the line end's, never the name's.
    for (std::size_t length = 505; length <= 515; ++length) {
        const std::string line(length, 'c');
        const std::string kept(std::min<std::size_t>(length, 511), 'c');
        EXPECT_EQ(LoadBytes(line + "\r\n" + line + "\n"), (Names{kept, kept, std::string(511, 'H'), "after"}))
            << length << " characters";
    }
}

TEST_F(NamesFileTest, NulCutsItsLineOnly) {
    MakeScene({"n0", "n1", "n2", "n3"}, {-1, 0, 0, 0});
    const char raw[] = "ab\0cd\r\n\0\nx\0y\0z\nlast";
    const std::string bytes(raw, sizeof raw - 1);
    EXPECT_EQ(LoadBytes(bytes), (Names{"ab", "", "x", "last"}));
}

TEST_F(NamesFileTest, PathsThatDoNotOpenChangeNothing) {
    MakeFiveNodes();
    host_.Journal().Clear();
    tool_.LoadNames(folder_.File("missing.txt"));
    tool_.LoadNames(folder_.File("no-folder/names.txt"));
    tool_.LoadNames(folder_.Path().string());  // a folder: opens, but reading fails
    tool_.SaveNames(folder_.File("no-folder/names.txt"));
    EXPECT_EQ(NamesOf(scene_), kFiveNames);
    EXPECT_TRUE(host_.Journal().Calls().empty());
    EXPECT_TRUE(folder_.Entries().empty());
}

TEST_F(NamesFileTest, CommandsWithoutInterfaceDoNothing) {
    MakeFiveNodes();
    NamesUtility closed;
    WriteBytes(path_, "x\n");
    closed.LoadNames(path_);
    closed.SaveNames(folder_.File("other.txt"));
    EXPECT_EQ(NamesOf(scene_), kFiveNames);
    EXPECT_EQ(folder_.Entries(), (Names{"names.txt"}));
}

// The format below the commands: the Windows line end, and pieces of input
// split at every place, CR LF pairs included.
TEST(NameLines, WindowsLineEndTurnsEveryLineFeedIntoCrLf) {
    std::string out;
    const std::string name = "a\nb\r\n";
    names_tool::AppendNameLine(out, name.data(), name.size(), "\r\n");
    names_tool::AppendNameLine(out, "", 0, "\r\n");
    EXPECT_TRUE(SameBytes(out, "a\r\nb\r\r\n\r\n\r\n"));
    out.clear();
    names_tool::AppendNameLine(out, name.data(), name.size(), "\n");
    EXPECT_TRUE(SameBytes(out, "a\nb\r\n\n"));
}

TEST(NameLines, ReadingIsTheSameWhateverTheInputPieces) {
    const std::string bytes = std::string("\xEF\xBB\xBFx\r\n\r\r\n\ry\r") + std::string(600, 'q') + "\r\n" +
                              std::string("n\0ul\r\n", 6) + "tail\r";
    const auto read = [](const std::string& input, std::size_t split, std::size_t step) {
        names_tool::NameList list;
        names_tool::NameLineReader reader(list);
        reader.Feed(input.data(), split);
        for (std::size_t at = split; at < input.size(); at += step) {
            reader.Feed(input.data() + at, std::min(step, input.size() - at));
        }
        reader.Finish();
        Names names;
        for (std::size_t i = 0; i < list.size(); ++i) {
            names.emplace_back(list[i]);
        }
        return names;
    };
    const Names whole = read(bytes, bytes.size(), 1);
    ASSERT_EQ(whole.size(), 5u);
    EXPECT_EQ(whole[0], "x");
    EXPECT_EQ(whole[1], "\r");
    EXPECT_EQ(whole[2], "\ry\r" + std::string(508, 'q'));
    EXPECT_EQ(whole[3], "n");
    EXPECT_EQ(whole[4], "tail\r");
    for (std::size_t split = 0; split <= bytes.size(); ++split) {
        ASSERT_EQ(read(bytes, split, bytes.size()), whole) << "split at " << split;
    }
    EXPECT_EQ(read(bytes, 0, 1), whole);
    // Only a whole mark at the very start is passed over.
    for (const std::string& kept :
         {std::string("\xEF\xBB"), std::string("\xEF\xBBx\n"), std::string("a\xEF\xBB\xBF")}) {
        for (std::size_t split = 0; split <= kept.size(); ++split) {
            EXPECT_EQ(read(kept, split, 1), Names{kept.substr(0, kept.find('\n'))}) << split;
        }
    }
}
