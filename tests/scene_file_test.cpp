// Scene files: what is written reads back the same, and bad files are refused
// with a message that names the place.
#include <gtest/gtest.h>

#include "scene_file.h"

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

const char* const kIdentity = "[[1,0,0],[0,1,0],[0,0,1],[0,0,0]]";

std::string Scene(const std::string& root, const std::string& rest = "") {
    return "{\"root\": " + root + rest + "}";
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
    scene.AddNode(scene.Root(), "caf\xc3\xa9");

    const std::string first = WriteSceneFile(scene, {2, 1, 4}, {-10, 90}, 30);
    driver::SceneDocument read = ParseSceneFile(first, "first");
    const auto original = scene.PreOrder();
    const auto copy = read.scene->PreOrder();
    ASSERT_EQ(copy.size(), original.size());
    for (std::size_t i = 0; i < copy.size(); ++i) {
        EXPECT_EQ(copy[i]->Name(), original[i]->Name());
        for (int r = 0; r < 4; ++r) {
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
    driver::SceneDocument document =
        ParseSceneFile(Scene(std::string("{\"name\": \"root\", \"transform\": ") + kIdentity + "}"), "s");
    EXPECT_EQ(document.scene->NodeCount(), 1u);
    EXPECT_TRUE(document.selection.empty());
    EXPECT_EQ(document.scene->Root().GetObject().superClass, GEOMOBJECT_CLASS_ID);
    EXPECT_TRUE(document.scene->Root().GetObject().objectTest);
}

TEST(SceneFile, BadFilesAreRefusedWithTheirPlace) {
    EXPECT_NE(ErrorOf("{\"root\": \n {\"name\": }").find("line 2, column"), std::string::npos);
    EXPECT_NE(ErrorOf(Scene("{\"name\": \"a\", \"transform\": [[1,0,0],[0,1,0],[0,0,1]]}")).find("root.transform"),
              std::string::npos);
    EXPECT_NE(ErrorOf(Scene("{\"name\": \"a\", \"transform\": [[1,0,0],[0,1,0],[0,0,1],[0,1e39,0]]}"))
                  .find("not finite"),
              std::string::npos);
    EXPECT_NE(ErrorOf(Scene("{\"name\": \"a\", \"transform\": [[1,0,0],[0,1,0],[0,0,1],[0,\"x\",0]]}"))
                  .find("row 3"),
              std::string::npos);
    const std::string child = std::string("{\"name\": \"c\", \"transform\": ") + kIdentity + ", \"colour\": 1}";
    EXPECT_NE(ErrorOf(Scene(std::string("{\"name\": \"a\", \"transform\": ") + kIdentity + ", \"children\": [" +
                            child + "]}"))
                  .find("root.children[0]: unknown key \"colour\""),
              std::string::npos);
    EXPECT_NE(ErrorOf(Scene(std::string("{\"name\": \"a\", \"transform\": ") + kIdentity + "}", ", \"selection\": [1]"))
                  .find("index 1 is not a node index"),
              std::string::npos);
    EXPECT_NE(ErrorOf("[1, 2]").find("one JSON object"), std::string::npos);
}
