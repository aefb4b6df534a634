// Scene files: what is written reads back the same, bad files are refused
// with one notation that names the place and the node, a scene of any
// depth reads and writes, and no format writes a number it cannot read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>

#include "scene/project/scene_file.h"
#include "scene/scene_format.h"
#include "scratch_folder.h"

using driver::ParseSceneFile;
using driver::SceneFileError;
using driver::WriteSceneFile;

namespace {

std::string RoundTrip(const std::string& text) {
    driver::SceneDocument document = ParseSceneFile(text, "scene.json");
    return WriteSceneFile(*document.scene, document.selection, document.animationRange, document.currentTime);
}

std::string ErrorOf(const std::string& text) {
    try {
        ParseSceneFile(text, "scene.json");
    } catch (const SceneFileError& e) {
        return e.what();
    }
    return "no error";
}

const std::string kIdentity = "[[1,0,0],[0,1,0],[0,0,1],[0,0,0]]";

std::string Node(const std::string& name, const std::string& rest = "") {
    return "{\"name\": \"" + name + "\", \"transform\": " + kIdentity + rest + "}";
}

}  // namespace

TEST(SceneFile, WrittenScenesReadBackToTheSameBytesAndValues) {
    standin::StandinScene scene("Scene Root");
    NodeMatrix awkward;
    awkward.row[0] = {0.1f, 1.0f / 3.0f, -2.5e-7f};
    awkward.row[1] = {3.4028235e38f, -1.17549435e-38f, 1e-45f};
    awkward.row[3] = {123456.789f, -0.0f, 7.0f};
    standin::StandinNode& box = scene.AddNode(scene.Root(), "Box01", awkward);
    box.SetObjectOffset(awkward);
    box.GetObject().superClass = 0x40;
    box.GetObject().objectTest = false;
    scene.AddNode(box, std::string("caf\xc3\xa9 \xff\xfe raw", 12));
    scene.AddNode(scene.Root(), "");
    scene.AddNode(scene.Root(), "caf\xc3\xa9 \"q\"\t\x01");

    const std::string first = WriteSceneFile(scene, {2, 1, 4}, {-10, 90}, 30);
    driver::SceneDocument read = ParseSceneFile(first, "first");
    const auto original = scene.PreOrder();
    const auto copy = read.scene->PreOrder();
    ASSERT_EQ(copy.size(), original.size());
    for (std::size_t i = 0; i < copy.size(); ++i) {
        EXPECT_EQ(copy[i]->Name(), original[i]->Name());
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 3; ++c) {
                EXPECT_EQ(std::signbit(copy[i]->Transform().row[r][c]),
                          std::signbit(original[i]->Transform().row[r][c]));
            }
            EXPECT_EQ(copy[i]->Transform().row[r], original[i]->Transform().row[r]);
            EXPECT_EQ(copy[i]->ObjectOffset().row[r], original[i]->ObjectOffset().row[r]);
        }
        EXPECT_EQ(copy[i]->GetObject().superClass, original[i]->GetObject().superClass);
        EXPECT_EQ(copy[i]->GetObject().objectTest, original[i]->GetObject().objectTest);
    }
    EXPECT_EQ(read.selection, (std::vector<std::size_t>{2, 1, 4}));
    EXPECT_EQ(read.animationRange.start, -10);
    EXPECT_EQ(read.currentTime, 30);
    EXPECT_EQ(RoundTrip(first), first);
    EXPECT_NE(first.find("\"nameHex\""), std::string::npos);
    EXPECT_NE(first.find("\"name\": \"caf"), std::string::npos) << "valid UTF-8 stays readable";
}

TEST(SceneFile, OptionalPartsTakeTheirDefaults) {
    driver::SceneDocument document = ParseSceneFile("{\"root\": " + Node("root") + "}", "s");
    EXPECT_EQ(document.scene->NodeCount(), 1u);
    EXPECT_TRUE(document.selection.empty());
    EXPECT_EQ(document.scene->Root().GetObject().superClass, GEOMOBJECT_CLASS_ID);
    EXPECT_TRUE(document.scene->Root().GetObject().objectTest);
}

TEST(SceneFile, BadFilesAreRefusedWithTheFileThePlaceAndTheNode) {
    const std::string child = "{\"root\": " + Node("a", ", \"children\": [\n  %]") + "}";
    auto withChild = [&child](const std::string& node) {
        std::string text = child;
        return text.replace(text.find('%'), 1, node);
    };
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"", "scene.json:1:1: malformed JSON: the text holds no value"},
        {"{\"root\": \n {\"name\": }", "scene.json:2:11: node 0: malformed JSON: expected a value, found '}'"},
        {"[1]", "scene.json:1:1: the file must hold one JSON object"},
        {"{}", "scene.json:1:2: the file needs a \"root\" node"},
        {"{\"root\": " + Node("a") + ", \"colour\": 1}", "scene.json:1:73: unknown key \"colour\""},
        {withChild(Node("c", ", \"colour\": 1")), "scene.json:2:65: node 1 \"c\": unknown key \"colour\""},
        {withChild("{\"transform\": [[1,0,0],[0,1,0],[0,0,1]]}"),
         "scene.json:2:41: node 1: \"transform\" must be four rows of three numbers"},
        {withChild("{\"name\": \"big\", \"transform\": [[1,0,0],[0,1,0],[0,0,1],[0,1e39,0]]}"),
         "scene.json:2:60: node 1 \"big\": \"transform\" holds 1e39, which is not finite in single precision"},
        {withChild("{\"name\": \"x\"}"), "scene.json:2:3: node 1 \"x\": the node needs a \"transform\""},
        {withChild("{\"name\": \"x\\u0000\"}"), "scene.json:2:12: node 1: a name cannot hold a NUL character"},
        {withChild("{\"name\": \"\xff\"}"),
         "scene.json:2:13: node 1: malformed JSON: a string holds byte 0xff, which is not UTF-8"},
        {"{\"root\": {\"name\": \"r\", \"transform\": [[2,0,0],[0,1,0],[0,0,1],[0,0,0]]}}",
         "scene.json:1:24: node 0 \"r\": the root's \"transform\" must be the identity (the host's root does not "
         "move)"},
        {"{\"root\": " + Node("a") + ", \"selection\": [1]}",
         "scene.json:1:87: selection: node 1 is not in the scene (its nodes are 0 to 0)"},
        {"{\"root\": " + Node("a") + ", \"selection\": [0]}",
         "scene.json:1:87: selection: node 0 is the scene root, which cannot be selected"},
    };
    for (const auto& bad : cases) {
        EXPECT_EQ(ErrorOf(bad.text), bad.message) << bad.text;
    }
}

// A chain of a hundred thousand nodes, each the only child of the one
// before: it reads and writes without the call stack growing, every node
// takes the same room however deep it lies, and it reads back the same.
TEST(SceneFile, ADeepChainReadsAndWritesInTheRoomOfAFlatOne) {
    constexpr int kDepth = 100000;
    std::string text = "{\"root\": {\"name\": \"Scene Root\", \"transform\": " + kIdentity;
    for (int i = 1; i < kDepth; ++i) {
        text += ", \"children\": [{\"name\": \"N" + std::to_string(i) + "\", \"transform\": " + kIdentity;
    }
    text += "}";
    for (int i = 1; i < kDepth; ++i) {
        text += "]}";
    }
    text += "}";
    driver::SceneDocument document = ParseSceneFile(text, "chain.json");
    ASSERT_EQ(document.scene->NodeCount(), static_cast<std::size_t>(kDepth));
    EXPECT_EQ(document.scene->PreOrder().back()->Name(), "N" + std::to_string(kDepth - 1));

    const std::string written = WriteSceneFile(*document.scene, {kDepth - 1}, {0, 100}, 0);
    EXPECT_LE(written.size(), static_cast<std::size_t>(kDepth) * 1024);
    std::size_t widestIndent = 0;
    for (std::size_t at = 0; at < written.size(); at = written.find('\n', at) + 1) {
        widestIndent = std::max(widestIndent, written.find_first_not_of(' ', at) - at);
    }
    EXPECT_LE(widestIndent, 40u);
    EXPECT_EQ(RoundTrip(written), written);
}

namespace {

// The same three nodes, "Scene Root" > "Chair" > "Leg", in each format.
const struct {
    std::string path;
    std::string bytes;
} kChairs[] = {
    {"chair.json",
     "{\"root\": " +
         Node("Scene Root", ", \"children\": [" + Node("Chair", ", \"children\": [" + Node("Leg") + "]") + "]") + "}"},
    {"chair.gltf", R"({"asset": {"version": "2.0"}, "scenes": [{"name": "Scene Root", "nodes": [0]}],
                       "nodes": [{"name": "Chair", "children": [1]}, {"name": "Leg"}]})"},
};

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(SceneWriters, RefuseANumberThatIsNotFiniteNamingTheNodeAlikeInEveryFormat) {
    for (const float bad : {NAN, INFINITY, -INFINITY}) {
        for (const bool offset : {false, true}) {
            std::vector<std::string> reasons;
            for (const auto& chair : kChairs) {
                const auto file = driver::ParseScene(chair.bytes, chair.path);
                standin::StandinNode& leg = *file->Document().scene->PreOrder()[2];
                NodeMatrix matrix;
                matrix.row[offset ? 3 : 1][offset ? 0 : 2] = bad;
                offset ? leg.SetObjectOffset(matrix) : leg.SetTransform(matrix);
                const std::string out = "out/" + chair.path;
                try {
                    file->Content(out, {}).Joined();
                    ADD_FAILURE() << chair.path << " written with " << bad;
                } catch (const driver::SceneFileError& e) {
                    const std::string message = e.what();
                    ASSERT_EQ(message.rfind(out + ": node 2 \"Leg\": its ", 0), 0u) << message;
                    reasons.push_back(message.substr(out.size()));
                }
            }
            ASSERT_EQ(reasons.size(), 2u);
            EXPECT_EQ(reasons[0], reasons[1]);
        }
    }
    // Finite places whose difference, a glTF node's local transform, is not.
    const auto file = driver::ParseScene(kChairs[1].bytes, kChairs[1].path);
    NodeMatrix place;
    for (const float x : {-3e38f, 3e38f}) {
        place.row[3].x = x;
        file->Document().scene->PreOrder()[x < 0 ? 1 : 2]->SetTransform(place);
    }
    try {
        file->Content("out.gltf", {}).Joined();
        ADD_FAILURE() << "written";
    } catch (const driver::SceneFileError& e) {
        EXPECT_EQ(
            std::string(e.what()),
            "out.gltf: node 2 \"Leg\" (nodes[1]): a number of its glTF transform is not finite in single precision");
    }
}

// Any finite single-precision value, the largest, the smallest and
// subnormal ones included, set on a node is written by each format and
// read back bit for bit.
TEST(SceneWriters, WriteEveryFiniteFloatSoThatItReadsBackExactly) {
    std::mt19937 random(18);
    std::uniform_int_distribution<std::uint32_t> bits;
    std::vector<float> values = {FLT_MAX, -FLT_MAX, FLT_MIN, FLT_TRUE_MIN, -FLT_TRUE_MIN, 0.1f, -1e-40f};
    while (values.size() < 3000) {
        std::uint32_t word = bits(random);
        if (values.size() % 3 == 0) {
            word &= 0x807FFFFFu;  // a subnormal
        }
        float value = 0;
        std::memcpy(&value, &word, sizeof value);
        if (std::isfinite(value) && value != 0) {
            values.push_back(value);
        }
    }
    for (const auto& chair : kChairs) {
        for (std::size_t at = 0; at + 3 <= values.size(); at += 3) {
            const auto file = driver::ParseScene(chair.bytes, chair.path);
            NodeMatrix placed;
            placed.row[3] = {values[at], values[at + 1], values[at + 2]};
            file->Document().scene->PreOrder()[1]->SetTransform(placed);
            const auto reread = driver::ParseScene(file->Content(chair.path, {}).Joined(), chair.path);
            const Point3 back = reread->Document().scene->PreOrder()[1]->Transform().row[3];
            for (int i = 0; i < 3; ++i) {
                ASSERT_TRUE(SameBits(back[i], placed.row[3][i]))
                    << chair.path << ": " << values[at + i] << " read back as " << back[i];
            }
        }
    }
}

// Just below the halfway point between the largest float and the next power
// of two: single precision rounds it down to the largest float, although
// its nearest double is that halfway point, which would narrow to infinity.
TEST(SceneReaders, ReadANumberThatRoundsToTheLargestFloatAsThatFloatInEveryFormat) {
    const std::string largest = "340282356779733661637539395458142568447";
    const std::string texts[] = {
        "{\"root\": " +
            Node("Scene Root", ", \"children\": [{\"name\": \"Far\", \"transform\": [[1,0,0],[0,1,0],[0,0,1],[" +
                                   largest + ",0,0]]}]") +
            "}",
        R"({"asset": {"version": "2.0"}, "scenes": [{"nodes": [0]}], "nodes": [{"translation": [)" + largest +
            ", 0, 0]}]}",
    };
    for (const std::string path : {"far.json", "far.gltf"}) {
        const auto file = driver::ParseScene(texts[path == "far.gltf"], path);
        EXPECT_EQ(file->Document().scene->PreOrder()[1]->Transform().row[3].x, FLT_MAX) << path;
    }
}

// A UTF-8 byte order mark, as Windows editors write one, is passed over
// before a scene file's object, whatever the file's name.
TEST(SceneFile, AByteOrderMarkBeforeTheObjectIsPassedOver) {
    test_support::ScratchFolder folder;
    const std::string scene = "{\"root\": {\"name\": \"R\", \"transform\": [[1,0,0],[0,1,0],[0,0,1],[0,0,0]]}}";
    for (const char* name : {"scene.json", "scene", "scene.txt"}) {
        const std::string path = (folder.Path() / name).string();
        std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF \n" << scene;
        std::unique_ptr<driver::SceneFile> file;
        EXPECT_NO_THROW(file = driver::ReadScene(path)) << name;
        EXPECT_TRUE(file && file->FormatName() == "scene file") << name;
    }
}
