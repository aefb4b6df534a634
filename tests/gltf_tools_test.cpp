// morvane-host with the real plug-ins on generated glTF and GLB files, read
// back with glTF's own arithmetic: after Align a node stands where its
// namesake stands, after a pivot edit the object stays where it was, names
// load onto the file. Every file written is checked against the file it
// came from by the Khronos glTF Validator and by three.js
// (tools/gltf-validator/compare.mjs).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <sstream>

#ifdef MORVANE_HAVE_MESHOPTIMIZER
#  include <meshoptimizer.h>

#  include <cstring>

#  include "scene/gltf/gltf_data_uri.h"
#endif
#include "gltf_motion_scene.h"
#include "gltf_skin_scene.h"
#include "gltf_test_scene.h"
#include "scene/gltf/gltf_data_uri.h"

using gltftest::Json;

namespace {

namespace fs = std::filesystem;

std::string Quote(const std::string& text) { return "'" + text + "'"; }

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A glTF file's JSON, from a .gltf or a .glb file.
Json JsonOf(const std::string& bytes) {
    if (bytes.rfind("glTF", 0) != 0) {
        return Json::parse(bytes);
    }
    const auto length = static_cast<unsigned char>(bytes[12]) | static_cast<unsigned char>(bytes[13]) << 8;
    return Json::parse(bytes.substr(20, length));
}

// The world placement of every node of the default scene, in pre-order
// (the root, which is no glTF node, left out), as glTF tools compute it.
struct Placements {
    std::vector<std::size_t> order;
    std::vector<NodeMatrix> world;  // by pre-order
    std::vector<std::string> names;
};

Placements PlacementsOf(const Json& gltf) {
    Placements placements;
    placements.order = gltftest::GltfPreOrder(gltf);
    const auto worlds = gltftest::GltfWorlds(gltf);
    for (const std::size_t node : placements.order) {
        placements.world.push_back(gltftest::AsNodeMatrix(worlds[node]));
        placements.names.push_back(gltf["nodes"][node].value("name", ""));
    }
    return placements;
}

class GltfTools : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::path(MORVANE_GLTF_WORK_DIR) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }

    // Every file written is validated against its input (where the build
    // has the validator: not under the sanitizers).
    void TearDown() override {
        if (written_.empty() || std::string(MORVANE_GLTF_VALIDATOR).empty()) {
            return;
        }
        std::string command = "cd " + Quote(folder_.string()) + " && " + Quote(MORVANE_NODE) + " " +
                              Quote(MORVANE_GLTF_VALIDATOR) + " --host=" + Quote(MORVANE_HOST);
        for (const Written& file : written_) {
            command += " " + file.options + " " + Quote(file.input) + " " + Quote(file.output);
        }
        EXPECT_EQ(Shell(command + " > validator.txt 2>&1"), 0) << Slurp(folder_ / "validator.txt");
    }

    std::string Save(const std::string& name, const std::string& bytes) {
        std::ofstream(folder_ / name, std::ios::binary) << bytes;
        return name;
    }

    // morvane-host run in the test's folder; a written -o file is checked,
    // with the compare.mjs options that say what the run moved.
    int Host(const std::string& arguments, const std::string& input = "", const std::string& output = "",
             const std::string& options = "") {
        const int status = Shell("cd " + Quote(folder_.string()) + " && " + Quote(MORVANE_HOST) + " " + arguments +
                                 " > stdout.txt 2> stderr.txt");
        errors_ = Slurp(folder_ / "stderr.txt");
        if (status == 0 && !output.empty()) {
            written_.push_back({input, output, options});
        }
        return status;
    }

    // A random scene as .gltf or (every third seed) as .glb.
    std::string RandomScene(unsigned seed, Json& gltf, const gltftest::SceneShape& shape = {}) {
        std::mt19937 random(seed);
        gltf = gltftest::RandomGltf(random, shape);
        return seed % 3 == 0 ? Save("in" + std::to_string(seed) + ".glb", gltftest::GlbFile(gltf.dump()))
                             : Save("in" + std::to_string(seed) + ".gltf", gltf.dump(2));
    }

    Json ReadJson(const std::string& name) { return JsonOf(Slurp(folder_ / name)); }

    fs::path folder_;
    std::string errors_;
    struct Written {
        std::string input, output, options;
    };
    std::vector<Written> written_;
};

// Whether an animation turns glTF node `node` or a child of it, by a
// channel or a KHR_animation_pointer: an edit of the node that moves its
// pivot may be refused then.
bool TurnsNodeOrChild(const Json& gltf, std::size_t node) {
    std::set<std::size_t> near{node};
    for (const Json& child : gltf["nodes"][node].value("children", Json::array())) {
        near.insert(child.get<std::size_t>());
    }
    for (const Json& animation : gltf.value("animations", Json::array())) {
        for (const Json& channel : animation["channels"]) {
            const Json& target = channel["target"];
            const std::string pointer =
                target.contains("extensions") ? target["extensions"]["KHR_animation_pointer"]["pointer"] : "";
            for (const std::size_t n : near) {
                if ((target.value("node", -1) == static_cast<int>(n) && target["path"] == "rotation") ||
                    pointer == "/nodes/" + std::to_string(n) + "/rotation") {
                    return true;
                }
            }
        }
    }
    return false;
}

void ExpectUnmovedBut(const Placements& before, const Placements& after, std::size_t moved) {
    ASSERT_EQ(after.world.size(), before.world.size());
    EXPECT_EQ(after.names, before.names);
    for (std::size_t k = 0; k < before.world.size(); ++k) {
        if (k != moved) {
            EXPECT_LT(gltftest::Distance(after.world[k], before.world[k]), 1e-4) << "node " << k + 1 << " stays";
        }
    }
}

}  // namespace

TEST_F(GltfTools, AfterAlignTheNodeStandsWhereItsNamesakeStands) {
    int aligned = 0;
    for (unsigned seed = 0; seed < 15; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Json gltf;
        const std::string input = RandomScene(seed, gltf, {12, false, seed % 2 == 1});
        const Placements before = PlacementsOf(gltf);
        // The first node with a namesake, and its namesake: the first other
        // node of that name in pre-order.
        std::size_t node = 0, namesake = 0;
        for (std::size_t k = 0; k < before.names.size() && node == namesake; ++k) {
            for (std::size_t j = 0; j < before.names.size(); ++j) {
                if (j != k && before.names[j] == before.names[k]) {
                    node = k;
                    namesake = j;
                    break;
                }
            }
        }
        if (node == namesake) {
            continue;
        }
        const std::string output = "aligned" + std::to_string(seed) + input.substr(input.find('.'));
        const std::string select = std::to_string(node + 1);
        const int status =
            Host("align " + input + " --select " + select + " -o " + output, input, output, "--moved=" + select);
        if (status == 1 && TurnsNodeOrChild(gltf, before.order[node])) {
            EXPECT_NE(errors_.find("refused: animation 0, channel "), std::string::npos) << errors_;
            EXPECT_FALSE(fs::exists(folder_ / output)) << "nothing is written";
            continue;
        }
        ASSERT_EQ(status, 0) << errors_;
        const Placements after = PlacementsOf(ReadJson(output));
        ExpectUnmovedBut(before, after, node);
        EXPECT_LT(gltftest::Distance(after.world[node], before.world[namesake]), 1e-4);
        ++aligned;
    }
    EXPECT_GT(aligned, 5);
}

// A node, by pre-order, that holds a plain mesh (kind 0), a morphed one
// (1), an instanced one (2), a skinned one (3), a camera (4), a light (5)
// or nothing (6); none where the scene has no node of that kind.
std::optional<std::size_t> NodeOfKind(const Json& gltf, const std::vector<std::size_t>& order, unsigned kind,
                                      std::mt19937& random) {
    const std::size_t start = std::uniform_int_distribution<std::size_t>(0, order.size() - 1)(random);
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Json& node = gltf["nodes"][order[(start + i) % order.size()]];
        const unsigned held = node.contains("skin")         ? 3
                              : node.value("mesh", -1) == 1 ? 1
                              : node.contains("mesh")       ? (node.contains("extensions") ? 2 : 0)
                              : node.contains("camera")     ? 4
                              : node.contains("extensions") ? 5
                                                            : 6;
        if (held == kind) {
            return (start + i) % order.size();
        }
    }
    return std::nullopt;
}

// Whatever a node holds (a mesh with morph targets, instances or a skin, a
// camera, a light, nothing), and mirrored or not.
TEST_F(GltfTools, AfterAPivotEditTheObjectStaysWhereItWas) {
    std::uniform_real_distribution<float> place(-8, 8);
    // Three scenes for each kind of node.
    for (unsigned seed = 0, runs = 0; runs < 21 && seed < 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Json gltf;
        const std::string input = RandomScene(seed, gltf, {12, false, seed % 2 == 1});
        const Placements before = PlacementsOf(gltf);
        std::mt19937 random(seed);
        const std::optional<std::size_t> found = NodeOfKind(gltf, before.order, runs % 7, random);
        if (!found) {
            continue;
        }
        ++runs;
        const std::size_t node = *found;
        const int axis = static_cast<int>(seed % 3);
        const Point3 from(place(random), place(random), place(random));
        const Point3 to = from + Point3(place(random), place(random), place(random) + 20);
        auto point = [](const Point3& p) {
            return std::to_string(p.x) + "," + std::to_string(p.y) + "," + std::to_string(p.z);
        };
        const std::string output = "pivoted" + std::to_string(seed) + input.substr(input.find('.'));
        const std::string select = std::to_string(node + 1);
        const int status = Host("pivot " + input + " --select " + select + " --axis " + "XYZ"[axis] + " --from " +
                                    point(from) + " --to " + point(to) + " -o " + output,
                                input, output, "--pivoted=" + select);
        if (status == 1 && TurnsNodeOrChild(gltf, before.order[node])) {
            EXPECT_NE(errors_.find("refused: animation 0, channel "), std::string::npos) << errors_;
            EXPECT_FALSE(fs::exists(folder_ / output)) << "nothing is written";
            continue;
        }
        ASSERT_EQ(status, 0) << errors_;
        const Json written = ReadJson(output);
        const Placements after = PlacementsOf(written);
        ExpectUnmovedBut(before, after, node);
        const NodeMatrix& pivot = after.world[node];
        EXPECT_LT(Length(pivot.GetTrans() - from), 1e-4f * Length(from));
        EXPECT_LT(Length(Normalize(pivot.GetRow(axis)) - Normalize(to - from)), 1e-4f);

        // An object, unless its mesh is skinned, is on a new node, a child
        // marked as holding it, where it was; nothing else gets a new node.
        const Json& edited = gltf["nodes"][after.order[node]];
        const bool holds = !edited.contains("skin") &&
                           (edited.contains("mesh") || edited.contains("camera") || edited.contains("extensions"));
        ASSERT_EQ(written["nodes"].size(), gltf["nodes"].size() + (holds ? 1 : 0));
        if (holds) {
            const std::size_t holder = written["nodes"][after.order[node]]["children"].back().get<std::size_t>();
            EXPECT_EQ(holder, gltf["nodes"].size()) << "appended at the end";
            EXPECT_EQ(written["nodes"][holder]["extras"]["morvaneObjectOf"], after.order[node]);
            EXPECT_LT(gltftest::Distance(gltftest::AsNodeMatrix(gltftest::GltfWorlds(written)[holder]),
                                         before.world[node]),
                      1e-4);
        }
    }
}

// Names of any bytes a names file holds (TAB and other control bytes, DEL,
// quotes, backslashes, UTF-8 of up to four bytes) are written as JSON
// strings and read back byte for byte.
TEST_F(GltfTools, NamesSaveAndLoadOntoTheFileAndANameThatIsNotUtf8IsRefused) {
    Json gltf;
    const std::string input = RandomScene(7, gltf);
    const Placements before = PlacementsOf(gltf);
    ASSERT_EQ(Host("save-names " + input + " names.txt"), 0) << errors_;
    std::string expected = gltf["scenes"][gltf.value("scene", 0)].value("name", "Scene Root") + "\n";
    const std::string pieces[] = {"\t",   "\x01",    "\x1f",     "\x7f",         "\"",
                                  "\\",   "\\u0041", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80",
                                  "Lamp", " "};
    std::mt19937 random(7);
    std::vector<std::string> names;
    std::string renamed = "Hall \"\x7f\"\n";
    for (std::size_t k = 0; k < before.names.size(); ++k) {
        expected += before.names[k] + "\n";
        names.emplace_back();
        for (int n = k % 2 == 0 ? 0 : 4; n > 0; --n) {
            names.back() += pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(random)];
        }
        renamed += names.back() + "\n";
    }
    EXPECT_EQ(Slurp(folder_ / "names.txt"), expected);

    Save("renamed.txt", renamed);
    ASSERT_EQ(Host("load-names " + input + " renamed.txt -o renamed.gltf", input, "renamed.gltf"), 0) << errors_;
    const Json written = ReadJson("renamed.gltf");
    EXPECT_EQ(written["scenes"][gltf.value("scene", 0)]["name"], "Hall \"\x7f\"");
    for (std::size_t k = 0; k < before.names.size(); ++k) {
        EXPECT_EQ(written["nodes"][before.order[k]].value("name", "(none)"), k % 2 == 0 ? "(none)" : names[k])
            << "an empty line leaves a node without a name";
    }
    ASSERT_EQ(Host("save-names renamed.gltf again.txt"), 0) << errors_;
    EXPECT_EQ(Slurp(folder_ / "again.txt"), renamed);

    Save("latin1.txt", "Hall\nCaf\xe9\n");
    EXPECT_EQ(Host("load-names " + input + " latin1.txt -o latin1.gltf"), 1);
    EXPECT_NE(errors_.find("latin1.gltf: node 1 \"Caf\\xe9\" (nodes[" + std::to_string(before.order[0]) +
                           "]): the name is not UTF-8, as glTF names must be (line 2 of a names file)"),
              std::string::npos)
        << errors_;
    EXPECT_FALSE(fs::exists(folder_ / "latin1.gltf")) << "nothing is written";
}

// A skinned chain under pivot edits of each of its joints (with and without
// inverse bind matrices, glTF and GLB), of the un-animated parent of an
// animated joint, and edits beside it: the skin's vertices stay where they
// were, at rest and in play (compare.mjs plays the animations); an edit
// whose motion keys cannot keep is refused, naming the animation, the
// channel and the node; Align of a joint says which skinned mesh moves.
TEST_F(GltfTools, SkinnedVerticesStayAndEditsThatWouldChangeTheMotionAreRefused) {
    struct Case {
        std::string name;
        gltftest::SkinShape shape;
        std::string job;
        int status;
        std::string says;
        std::size_t movedJoint = 3;  // of the skin's joints: none
    };
    std::mt19937 random(29);
    std::uniform_real_distribution<float> place(-3, 3);
    auto point = [&] {
        return std::to_string(place(random)) + "," + std::to_string(place(random)) + "," +
               std::to_string(place(random));
    };
    std::vector<Case> cases;
    for (int k = 0; k < 6; ++k) {
        const std::string joint = std::to_string(gltftest::kFirstJoint + k % 3);
        cases.push_back(
            {"joint" + std::to_string(k),
             {k % 3 != 1, k % 3 == 2, false, k == 3},
             "pivot --select " + joint + " --axis " + "XYZ"[k % 3] + " --from " + point() + " --to " + point(),
             0,
             ""});
    }
    for (const bool glb : {true, false}) {
        cases.push_back({glb ? "parent-of-animated-joint-glb" : "parent-of-animated-joint",
                         {true, glb, true},
                         "pivot --select 2 --axis Y --from " + point() + " --to " + point(),
                         0,
                         ""});
    }
    const std::string refused = "refused: animation 0 \"Wave\", channel ";
    cases.push_back({"animated-joint",
                     {true, false, true},
                     "pivot --select 3 --axis Z --from 0,0,0 --to 1,1,1",
                     1,
                     refused + "2, drives the rotation of node 3 \"Joint 1\" (nodes[2]): its pivot moved"});
    cases.push_back({"door",
                     {},
                     "pivot --select 5 --axis X --from 4,0,0 --to 5,0,0",
                     1,
                     refused + "0, drives the rotation of node 5 \"Door\" (nodes[4]): its pivot moved"});
    cases.push_back({"pulse",
                     {},
                     "pivot --select 6 --axis X --from 0,4,0 --to 1,4,0",
                     1,
                     refused + "1, drives the scale of node 6 \"Pulse\" (nodes[5]): its pivot moved"});
    cases.push_back({"align",
                     {},
                     "align --select 1",
                     0,
                     "warning: node 1 \"Body\": its mesh is skinned, and glTF places a skinned mesh by its joints"});
    cases.push_back({"align-joint",
                     {},
                     "align --select 4",
                     0,
                     "node 4 \"Joint 2\" is a joint: the vertices it weighs of skinned mesh node 1 \"Body\" (skin 0 "
                     "\"Skin\") moved with it",
                     2});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string extension = c.shape.glb ? ".glb" : ".gltf";
        std::string buffer;
        const std::string input = Save(c.name + extension, gltftest::SkinnedScene(random, c.shape, buffer));
        if (c.shape.external) {
            Save("skin.bin", buffer);
        }
        const std::string output = c.name + "-out" + extension;
        const std::string selected = c.job.substr(c.job.find("--select ") + 9, 1);
        const std::string options = (c.job.rfind("align", 0) == 0 ? "--moved=" : "--pivoted=") + selected;
        ASSERT_EQ(Host(c.job.substr(0, c.job.find(' ')) + " " + input + c.job.substr(c.job.find(' ')) + " -o " + output,
                       input, output, options),
                  c.status)
            << errors_;
        const std::string said = Slurp(folder_ / "stdout.txt") + errors_;
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        if (c.status != 0) {
            EXPECT_FALSE(fs::exists(folder_ / output)) << "nothing is written";
            continue;
        }
        const auto before = gltftest::SkinningMatrices(Slurp(folder_ / input), folder_.string());
        const auto after = gltftest::SkinningMatrices(Slurp(folder_ / output), folder_.string());
        for (std::size_t j = 0; j < before.size(); ++j) {
            if (j != c.movedJoint) {
                EXPECT_LT(gltftest::Distance(gltftest::AsNodeMatrix(after[j]), gltftest::AsNodeMatrix(before[j])), 1e-5)
                    << "the vertices that joint " << j << " weighs stay";
            }
        }
    }
}

// Edits of a scene whose animations drive nodes in every way
// (gltf_motion_scene.h), as .gltf and as .glb: what keys can follow is
// written, and compare.mjs plays every animation of the written file
// against the input's; what they cannot is refused, naming the
// animation, the channel and the node, and nothing is written.
TEST_F(GltfTools, EditsKeepEveryAnimationAsItPlaysOrAreRefused) {
    std::mt19937 random(42);
    std::uniform_real_distribution<float> place(-3, 3);
    auto point = [&] {
        return std::to_string(place(random)) + "," + std::to_string(place(random)) + "," +
               std::to_string(place(random));
    };
    auto pivot = [&](int node, const std::string& from) {
        return "pivot --select " + std::to_string(node) + " --axis " + "XYZ"[node % 3] + " --from " + from + " --to " +
               point();
    };
    const std::string play = "refused: animation 0 \"Play\", channel ";
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"frame", pivot(gltftest::kFrame, point()), ""},
        {"mover", pivot(gltftest::kMover, point()), ""},
        {"spinner-turned", pivot(gltftest::kSpinner, gltftest::kSpinnerAt), ""},
        {"bone", pivot(gltftest::kBone, point()), ""},
        {"align-mover", "align --select " + std::to_string(gltftest::kMover), ""},
        {"spinner-moved", pivot(gltftest::kSpinner, point()),
         play + "10, drives the rotation of node 12 \"Spinner\" (nodes[11]): its pivot moved"},
        {"tip", pivot(gltftest::kTip, point()), ""},  // its STEP rotation keys get STEP translation keys
        {"align-frame", "align --select " + std::to_string(gltftest::kFrame),
         play + "3, drives the rotation of node 5 \"Spin\" (nodes[4]): its parent's change mirrors it"},
    };
    for (const bool glb : {false, true}) {
        std::mt19937 scene(7);
        const std::string extension = glb ? ".glb" : ".gltf";
        const std::string input = Save("motion" + extension, gltftest::MotionScene(scene, glb));
        for (const auto& [name, job, says] : cases) {
            SCOPED_TRACE(name + extension);
            const std::string output = name + extension;
            const std::string selected =
                job.substr(job.find("--select ") + 9, job.find(' ', job.find("--select ") + 9));
            const std::string options =
                (job.rfind("align", 0) == 0 ? "--moved=" : "--pivoted=") + selected.substr(0, selected.find(' '));
            const int status =
                Host(job.substr(0, job.find(' ')) + " " + input + job.substr(job.find(' ')) + " -o " + output, input,
                     output, options);
            EXPECT_EQ(status, says.empty() ? 0 : 1) << errors_;
            EXPECT_NE(errors_.find(says), std::string::npos) << errors_;
            EXPECT_EQ(fs::exists(folder_ / output), says.empty()) << "written only where the keys follow";
        }
    }
}

// A name with a NUL is read: jobs that never hand it to the host run, and
// one that does (saving names, whose tool reads every name) is refused,
// naming the node, and writes nothing.
TEST_F(GltfTools, ANameWithANulIsReadAndRefusedOnlyWhereItCannotGo) {
    const std::string input = Save("nul.gltf", R"({"asset": {"version": "2.0"}, "scenes": [{"nodes": [0, 1]}],
        "nodes": [{"name": "Lamp\u0000Shade", "translation": [1, 2, 3]}, {"name": "Door"}]})");
    Save("names.txt", "Room\nLamp\nDoor\n");
    const struct {
        std::string job;
        std::string output;
        int status;
        std::string says;
    } cases[] = {
        {"pivot nul.gltf --select 2 --axis Z --from 1,1,1 --to 1,1,2 -o pivoted.gltf", "pivoted.gltf", 0, ""},
        {"load-names nul.gltf names.txt -o renamed.gltf", "renamed.gltf", 0, ""},
        {"save-names nul.gltf saved.txt", "saved.txt", 1,
         "its name holds a NUL character, which a names file cannot hold: nothing was saved"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.job);
        const bool gltf = c.output.find(".gltf") != std::string::npos;
        EXPECT_EQ(Host(c.job, input, gltf ? c.output : ""), c.status) << errors_;
        EXPECT_NE(errors_.find(c.says), std::string::npos) << errors_;
        EXPECT_EQ(fs::exists(folder_ / c.output), c.status == 0);
    }
    EXPECT_EQ(ReadJson("pivoted.gltf")["nodes"][0]["name"], std::string("Lamp\0Shade", 10)) << "kept as it was";
    EXPECT_EQ(ReadJson("renamed.gltf")["nodes"][0]["name"], "Lamp");
}

// A listing that standard output cannot take fails the run with why; one
// whose standard output is the scene itself (`>> scene`) is refused unread.
TEST_F(GltfTools, StandardOutputThatCannotTakeTheListingFails) {
    Json gltf;
    const std::string scene = RandomScene(4, gltf);
    const std::string before = Slurp(folder_ / scene);
    EXPECT_EQ(Shell("cd " + Quote(folder_.string()) + " && " + Quote(MORVANE_HOST) + " list " + scene +
                    " > /dev/full 2> stderr.txt"),
              4);
    EXPECT_EQ(Slurp(folder_ / "stderr.txt"),
              "morvane-host: standard output cannot be written: no space left on device\n");
    EXPECT_EQ(Shell("cd " + Quote(folder_.string()) + " && " + Quote(MORVANE_HOST) + " list " + scene + " >> " + scene +
                    " 2> stderr.txt"),
              2);
    EXPECT_EQ(Slurp(folder_ / scene), before);
}

#ifdef MORVANE_HAVE_MESHOPTIMIZER
constexpr const char* kMeshopt = "EXT_meshopt_compression";

// The file with every view of its animations' keys compressed by
// EXT_meshopt_compression (the translations' values through its
// EXPONENTIAL filter) into a buffer of their own, their own buffer a
// fallback without data, as gltfpack writes them.
std::string CompressedKeys(const std::string& text) {
    Json gltf = Json::parse(text);
    const std::string bytes = *driver::gltf::DataUriBytes(gltf["buffers"][0]["uri"].get<std::string>());
    gltf["buffers"].push_back({{"byteLength", bytes.size()}, {"extensions", {{kMeshopt, {{"fallback", true}}}}}});
    std::string compressed;
    for (const Json& animation : gltf["animations"]) {
        for (const Json& channel : animation["channels"]) {
            const Json& sampler = animation["samplers"][channel["sampler"].get<std::size_t>()];
            for (const std::string end : {"input", "output"}) {
                const Json& accessor = gltf["accessors"][sampler[end].get<std::size_t>()];
                Json& view = gltf["bufferViews"][accessor["bufferView"].get<std::size_t>()];
                const std::size_t count = accessor["count"], length = view["byteLength"], stride = length / count;
                if (view["buffer"] != 0 || stride * count != length || stride % 4 != 0) {
                    continue;
                }
                std::string elements = bytes.substr(view["byteOffset"].get<std::size_t>(), length);
                const bool exponential = end == "output" && channel["target"]["path"] == "translation";
                if (exponential) {
                    std::vector<float> values(length / 4);
                    std::memcpy(values.data(), elements.data(), length);
                    meshopt_encodeFilterExp(&elements[0], count, stride, 20, values.data());
                }
                std::string encoded(meshopt_encodeVertexBufferBound(count, stride), '\0');
                encoded.resize(meshopt_encodeVertexBuffer(reinterpret_cast<unsigned char*>(&encoded[0]), encoded.size(),
                                                          elements.data(), count, stride));
                view["extensions"][kMeshopt] = {{"buffer", 2},
                                                {"byteOffset", compressed.size()},
                                                {"byteLength", encoded.size()},
                                                {"byteStride", stride},
                                                {"mode", "ATTRIBUTES"},
                                                {"count", count}};
                if (exponential) {
                    view["extensions"][kMeshopt]["filter"] = "EXPONENTIAL";
                }
                view["buffer"] = 1;
                compressed += encoded + std::string((4 - encoded.size() % 4) % 4, '\0');
            }
        }
    }
    gltf["buffers"].push_back({{"byteLength", compressed.size()}, {"uri", driver::gltf::BufferDataUri(compressed)}});
    gltf["extensionsUsed"].push_back(kMeshopt);
    gltf["extensionsRequired"].push_back(kMeshopt);
    return gltf.dump();
}

// The compressed views of `input` are in `output` as they were, and its
// extension as required; every accessor of a key there that is not the
// input's is plain new data.
void ExpectCompressedLeftAsTheyWere(const Json& input, const Json& output) {
    EXPECT_EQ(output["extensionsUsed"], input["extensionsUsed"]);
    EXPECT_EQ(output["extensionsRequired"], input["extensionsRequired"]);
    for (std::size_t v = 0; v < input["bufferViews"].size(); ++v) {
        EXPECT_EQ(output["bufferViews"][v], input["bufferViews"][v]) << "bufferViews[" << v << "]";
    }
    std::size_t rewritten = 0;
    for (const Json& animation : output["animations"]) {
        for (const Json& sampler : animation["samplers"]) {
            const std::size_t a = sampler["output"];
            const Json& accessor = output["accessors"][a];
            if (a >= input["accessors"].size() || accessor != input["accessors"][a]) {
                ++rewritten;
                EXPECT_FALSE(output["bufferViews"][accessor["bufferView"].get<std::size_t>()].contains("extensions"));
            }
        }
    }
    EXPECT_GT(rewritten, 0u) << "the moved pivot rewrites keys";
}
#endif

// The ways exporters key a bone (gltf_motion_scene.h), under pivot edits
// of the bone (its pivot moved and its axes turned, or turned in place)
// and of the parent of a skinned mesh, and Align of a joint: what glTF
// can carry exactly is written, and compare.mjs plays the animation of
// the written file against the input's; the rest is refused, naming the
// channel, and says nothing moved; the skinned mesh node keeps the
// transform it had (none), which glTF ignores. Keys that meshopt
// compressed are decoded, the compressed views left as they were.
TEST_F(GltfTools, EveryMotionThatGltfCanCarryIsCarried) {
    const std::string moved = "pivot --select 2 --axis Y --from 0.5,1,-1 --to 1,2.5,-0.5";
    const std::string turned = std::string("pivot --select 2 --axis Z --from ") + gltftest::kBoneAt + " --to 4,0,-1";
    const std::string bone = "refused: animation 0 \"Pose\", channel ";
    const std::string pivot = " of node 2 \"Bone\" (nodes[1]): its pivot moved off the point";
    const struct {
        const char* name;
        gltftest::BoneMotion motion;
        std::string job;
        std::string says;  // empty where the edit is carried
    } cases[] = {
        {"keyed-in-all", {"constant", "LINEAR", "LINEAR", "unit"}, moved, ""},
        {"constant-cubic", {"constant", "CUBICSPLINE", "CUBICSPLINE", nullptr}, moved, ""},
        {"flipped", {"flipped", "LINEAR", "STEP", "unit"}, moved, ""},
        {"rest-without-translation", {"rest", "STEP", nullptr, nullptr}, moved, ""},
        {"step", {"varying", "STEP", "STEP", nullptr}, moved, ""},
        {"step-apart", {"varying", "STEP", "STEP apart", "unit"}, moved, ""},
        {"uniform-turned", {"varying", "LINEAR", "LINEAR", "uniform"}, turned, ""},
        {"unit-turned", {"varying", "CUBICSPLINE", nullptr, "unit"}, turned, ""},
        {"quantized-turned", {"flipped", "LINEAR", "LINEAR", "uniform", true}, turned, ""},
        {"quantized-constant", {"constant", "LINEAR", "LINEAR", nullptr, true}, moved, ""},
        {"arm-of-skin",
         {"varying", "LINEAR", "LINEAR", "stretch"},
         "pivot --select 1 --axis X --from 1,1,1 --to 2,1,3",
         ""},
        {"constant-without-translation", {"constant", "LINEAR", nullptr, "unit"}, moved, ""},
        {"step-without-translation", {"varying", "STEP", nullptr, nullptr}, moved, ""},
        {"step-linear", {"varying", "STEP", "LINEAR", nullptr}, moved, bone + "0, drives the rotation" + pivot},
        {"step-later", {"varying", "STEP", "STEP later", nullptr}, moved, bone + "0, drives the rotation" + pivot},
        {"bent", {"bent", "CUBICSPLINE", "CUBICSPLINE", nullptr}, moved, bone + "0, drives the rotation" + pivot},
        {"flipped-cubic",
         {"flipped", "CUBICSPLINE", "LINEAR", nullptr},
         moved,
         bone + "0, drives the rotation" + pivot},
        {"varying", {"varying", "LINEAR", "LINEAR", "unit"}, moved, bone + "0, drives the rotation" + pivot},
        {"uniform-moved", {"constant", "LINEAR", "LINEAR", "uniform"}, moved, bone + "2, drives the scale" + pivot},
        {"stretch-turned",
         {"varying", "LINEAR", "LINEAR", "stretch"},
         turned,
         bone + "2, drives the scale of node 2 \"Bone\" (nodes[1]): its axes turned"},
        {"align-joint",
         {"varying", "LINEAR", nullptr, nullptr},
         "align --select 3",
         bone + "1, drives the rotation of node 3 \"Tip\" (nodes[2]): its pivot moved"},
        {"compressed", {"constant", "LINEAR", "LINEAR", nullptr}, moved, ""},
        {"quantized-varying", {"varying", "LINEAR", "LINEAR", "uniform", true}, turned, ""},
        {"compressed-quantized-turned", {"flipped", "LINEAR", "LINEAR", "uniform", true}, turned, ""},
    };
    std::mt19937 random(53);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string scene = gltftest::CarriedMotionScene(random, c.motion);
        const bool compressed = std::string(c.name).rfind("compressed", 0) == 0;
#ifdef MORVANE_HAVE_MESHOPTIMIZER
        const std::string input = Save(c.name + std::string(".gltf"), compressed ? CompressedKeys(scene) : scene);
#else
        if (compressed) {
            continue;  // its scene drawn all the same, so that the cases after it draw theirs
        }
        const std::string input = Save(c.name + std::string(".gltf"), scene);
#endif
        const std::string output = c.name + std::string("-out.gltf");
        const std::size_t select = c.job.find("--select ") + 9;
        const std::string options =
            (c.job.rfind("align", 0) == 0 ? "--moved=" : "--pivoted=") + c.job.substr(select, 1);
        const std::string command = c.job.substr(0, c.job.find(' ')) + " " + input + c.job.substr(c.job.find(' '));
        EXPECT_EQ(Host(command + " -o " + output, input, output, options), c.says.empty() ? 0 : 1) << errors_;
        const std::string said = Slurp(folder_ / "stdout.txt") + errors_;
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        if (!c.says.empty()) {
            EXPECT_EQ(said.find("moved with it"), std::string::npos) << "nothing moved: " << said;
            EXPECT_FALSE(fs::exists(folder_ / output)) << "nothing is written";
            continue;
        }
        const Json skin = ReadJson(output)["nodes"][3];
        EXPECT_EQ(skin, JsonOf(Slurp(folder_ / input))["nodes"][3]) << "the skinned mesh node is as it was";
#ifdef MORVANE_HAVE_MESHOPTIMIZER
        if (compressed) {
            ExpectCompressedLeftAsTheyWere(JsonOf(Slurp(folder_ / input)), ReadJson(output));
        }
#endif
    }
}

namespace {

// A 1x1 PNG of 69 bytes: an image in a buffer view whose length is no
// multiple of four, so that what follows it must be padded.
const std::string kPng(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00\x00\x01\x08\x02\x00"
    "\x00\x00\x90\x77\x53\xde\x00\x00\x00\x0c\x49\x44\x41\x54\x78\x9c\x63\xf8\xdf\xc0\x00\x00\x04\x01\x01\x80\xc5"
    "\x2a\x18\x5d\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
    69);

// The bytes that each accessor and each image in a buffer view may read
// (from its start to its view's end), as the file's buffers hold them:
// data: URIs, files in `folder`, a GLB file's binary chunk.
std::vector<std::string> ViewedBytes(const std::string& file, const fs::path& folder) {
    std::string binary;
    if (file.rfind("glTF", 0) == 0) {
        const std::size_t length = static_cast<unsigned char>(file[12]) | static_cast<unsigned char>(file[13]) << 8;
        binary = file.size() > 28 + length ? file.substr(28 + length) : "";
    }
    const Json gltf = JsonOf(file);
    std::vector<std::string> buffers;
    for (const Json& buffer : gltf.value("buffers", Json::array())) {
        const std::string uri = buffer.value("uri", "");
        const auto data = driver::gltf::DataUriBytes(uri);
        std::string name = uri;  // the URIs here escape nothing but spaces
        for (std::size_t at = name.find("%20"); at != std::string::npos; at = name.find("%20")) {
            name.replace(at, 3, " ");
        }
        buffers.push_back(uri.empty() ? binary : data ? *data : Slurp(folder / name));
        EXPECT_GE(buffers.back().size(), buffer["byteLength"].get<std::size_t>()) << uri;
    }
    std::vector<std::string> bytes;
    const auto viewed = [&](const Json& user, std::size_t offset) {
        const Json& view = gltf["bufferViews"][user["bufferView"].get<std::size_t>()];
        const std::size_t start = view.value("byteOffset", std::size_t{0});
        const std::string& buffer = buffers.at(view["buffer"].get<std::size_t>());
        EXPECT_LE(start + view["byteLength"].get<std::size_t>(), buffer.size());
        bytes.push_back(buffer.substr(start + offset, view["byteLength"].get<std::size_t>() - offset));
    };
    for (const Json& accessor : gltf.value("accessors", Json::array())) {
        viewed(accessor, accessor.value("byteOffset", std::size_t{0}));
    }
    for (const Json& image : gltf.value("images", Json::array())) {
        if (image.contains("bufferView")) {
            viewed(image, 0);
        }
    }
    return bytes;
}

// A random scene's buffers as `layout` says: as they are (two data: URIs),
// in files beside it, or after a first buffer that holds an image of an
// odd length, with an image file beside it too.
std::string WithBuffers(Json gltf, const std::string& layout,
                        const std::function<void(std::string, std::string)>& save) {
    if (layout == "files") {
        for (std::size_t i = 0; i < gltf["buffers"].size(); ++i) {
            const std::string name = "buffer " + std::to_string(i) + ".bin";
            save(name, *driver::gltf::DataUriBytes(gltf["buffers"][i]["uri"].get<std::string>()));
            gltf["buffers"][i]["uri"] = "buffer%20" + std::to_string(i) + ".bin";
        }
    } else if (layout == "image first") {
        for (Json& view : gltf["bufferViews"]) {
            view["buffer"] = view["buffer"].get<int>() + 1;
        }
        gltf["buffers"].insert(gltf["buffers"].begin(), Json{{"byteLength", 69}, {"uri", "image.bin"}});
        save("image.bin", kPng);
        save("image.png", kPng);
        gltf["bufferViews"].push_back(Json{{"buffer", 0}, {"byteLength", 69}});
        gltf["images"] = {{{"bufferView", gltf["bufferViews"].size() - 1}, {"mimeType", "image/png"}},
                          {{"uri", "image.png"}}};
    }
    return gltf.dump(2);
}

}  // namespace

// A scene written to the other format's name is written in that format:
// a .gltf file's buffers (data: URIs, files, several, an image's view)
// merged into one GLB binary chunk, a GLB file's chunk a .bin file beside
// a .gltf; there and back, every node and every viewed byte is as it was,
// and each file passes compare.mjs. An edit that adds new data writes the
// same bytes in either format.
TEST_F(GltfTools, AFileNamedForTheOtherFormatIsWrittenInIt) {
    Save("nothing.session", "# no actions\n");
    const auto save = [this](const std::string& name, const std::string& bytes) { Save(name, bytes); };
    std::mt19937 random(7);
    for (const std::string layout : {"data", "files", "image first"}) {
        SCOPED_TRACE(layout);
        const Json gltf = gltftest::RandomGltf(random);
        const std::string stem = layout.substr(0, 4);
        const std::string input = Save(stem + ".gltf", WithBuffers(gltf, layout, save));
        const std::string there = stem + "-there.glb", back = stem + "-back.gltf";
        const std::vector<std::string> bytes = ViewedBytes(Slurp(folder_ / input), folder_);
        ASSERT_EQ(Host(input + " nothing.session -o " + there, input, there), 0) << errors_;
        ASSERT_EQ(Host(there + " nothing.session -o " + back, there, back), 0) << errors_;
        for (const std::string& output : {there, back}) {
            SCOPED_TRACE(output);
            EXPECT_EQ(ReadJson(output)["nodes"], gltf["nodes"]);
            EXPECT_EQ(ViewedBytes(Slurp(folder_ / output), folder_), bytes);
        }
        EXPECT_EQ(ReadJson(there)["buffers"].size(), 1u);
        EXPECT_EQ(ReadJson(back)["buffers"][0]["uri"], stem + "-back.bin");
        EXPECT_EQ(ReadJson(back).value("images", Json()), ReadJson(input).value("images", Json()));
    }
    // New inverse bind matrices, in a data: URI, a file beside or a GLB chunk.
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE("skin " + std::to_string(k));
        std::string buffer;
        const std::string scene = gltftest::SkinnedScene(random, {true, k == 2, false, k == 1}, buffer);
        Save("skin.bin", buffer);
        const std::string input = Save("skin" + std::to_string(k) + (k == 2 ? ".glb" : ".gltf"), scene);
        const std::string edited = "edited" + std::to_string(k);
        const std::string job = "pivot " + input + " --select 3 --axis Y --from 1,2,3 --to 1,3,3 -o ";
        ASSERT_EQ(Host(job + edited + ".gltf", input, edited + ".gltf", "--pivoted=3"), 0) << errors_;
        ASSERT_EQ(Host(job + edited + ".glb", input, edited + ".glb", "--pivoted=3"), 0) << errors_;
        EXPECT_EQ(ViewedBytes(Slurp(folder_ / (edited + ".glb")), folder_),
                  ViewedBytes(Slurp(folder_ / (edited + ".gltf")), folder_));
        EXPECT_EQ(ReadJson(edited + ".glb")["nodes"], ReadJson(edited + ".gltf")["nodes"]);
    }
    // A buffer whose bytes cannot be had writes nothing.
    Json lost = gltftest::RandomGltf(random);
    lost["buffers"][1]["uri"] = "lost.bin";
    Save("lost.gltf", lost.dump());
    EXPECT_EQ(Host("lost.gltf nothing.session -o lost.glb"), 1);
    EXPECT_NE(errors_.find("lost.glb: buffers[1]: "), std::string::npos) << errors_;
    EXPECT_FALSE(fs::exists(folder_ / "lost.glb"));
}
