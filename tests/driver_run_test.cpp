// The driver's run of a session on the built tools: a scene of any depth
// runs, and the transcript reports what changed by the values themselves,
// in numbers that read back exactly.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#if !defined(_WIN32)
#  include <fcntl.h>
#  include <unistd.h>
#endif

#include "files/output_file.h"
#include "files/proxy_files.h"
#include "files/run_files.h"
#include "gltf_test_scene.h"
#include "hosting/file_dialog_user.h"
#include "hosting/live_panel.h"
#include "hosting/plugin_directory.h"
#include "hosting/session_host.h"
#include "json/json_reader.h"
#include "scene/node_state.h"
#include "scene/scene_format.h"
#include "scratch_folder.h"
#include "session/name_pattern.h"
#include "session/session.h"
#include "session/session_check.h"
#include "session/session_replay.h"
#include "standin/file_dialog_calls.h"
#include "standin/standin_custom_button.h"
#include "text/name_text.h"
#include "text/number_text.h"

namespace {

NodeMatrix Scaled(float factor, const Point3& position) {
    NodeMatrix matrix;
    for (int r = 0; r < 3; ++r) {
        matrix.row[r] = matrix.row[r] * factor;
    }
    matrix.row[3] = position;
    return matrix;
}

using driver::Aspect;

std::vector<Aspect> Aspects(const driver::NodeState& before, const driver::NodeState& after) {
    const driver::AspectList aspects = driver::CompareStates(0, before, after).aspects;
    return {aspects.begin(), aspects.end()};
}

}  // namespace

TEST(DriverRun, NumbersAreShownInTheShortestFormThatReadsBackExactly) {
    EXPECT_EQ(driver::NumberText(-1e30f), "-1e+30");
    EXPECT_EQ(driver::NumberText(-0.0f), "-0");
    EXPECT_EQ(driver::NumberText(0.1f), "0.1");
    EXPECT_EQ(driver::NumberText(3.4028235e38f), "3.4028235e+38");
    // Beyond the range: too large is refused, too small is a zero of its sign,
    // however far beyond, in single and in double precision.
    for (const char* large : {"1e39", "1e400", "-123456789e305", "0.001e99999999999"}) {
        float single = 0;
        double wide = 0;
        EXPECT_EQ(driver::ReadNumber(large, single), driver::NumberProblem::NotFinite) << large;
        EXPECT_EQ(driver::ReadNumber(large, wide),
                  std::string(large) == "1e39" ? driver::NumberProblem::None : driver::NumberProblem::NotFinite)
            << large;
    }
    for (const char* small : {"-1e-50", "-1e-400", "-0.000001e-99999999999"}) {
        float single = 1;
        double wide = 1;
        EXPECT_EQ(driver::ReadNumber(small, single), driver::NumberProblem::None) << small;
        EXPECT_TRUE(single == 0 && std::signbit(single)) << small;
        EXPECT_EQ(driver::ReadNumber(small, wide), driver::NumberProblem::None) << small;
        EXPECT_TRUE(std::string(small) == "-1e-50" ? wide == -1e-50 : wide == 0 && std::signbit(wide)) << small;
    }
    std::mt19937 random(7);
    for (int i = 0; i < 100000; ++i) {
        const auto bits = static_cast<std::uint32_t>(random());
        float value = 0.0f;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) {
            continue;
        }
        float read = 1.0f;
        ASSERT_EQ(driver::ReadNumber(driver::NumberText(value), read), driver::NumberProblem::None);
        ASSERT_EQ(std::memcmp(&read, &value, sizeof value), 0) << driver::NumberText(value);
    }
    // Decimals short enough to be read with one division, and some longer,
    // read in double precision as from_chars reads them, alone and by the
    // JSON reader, which gathers their digits as it reads.
    for (int i = 0; i < 100000; ++i) {
        std::string text = random() % 2 == 0 ? "-" : "";
        text += std::to_string(random() % 4 == 0 ? 0 : random() % 1000000000);
        if (random() % 4 != 0) {
            text += '.' + std::to_string(random() % 100000000);
        }
        double expected = 0, read = 1, tokenised = 1;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        ASSERT_EQ(driver::ReadNumber(text, read), driver::NumberProblem::None) << text;
        driver::JsonReader reader(text);
        ASSERT_EQ(reader.Next(), driver::JsonReader::Token::Number) << text;
        if (!reader.ShortNumber(tokenised)) {
            tokenised = expected;
        }
        ASSERT_EQ(std::memcmp(&read, &expected, sizeof read), 0) << text;
        ASSERT_EQ(std::memcmp(&tokenised, &expected, sizeof read), 0) << text;
        std::size_t whole = 0;
        ASSERT_EQ(reader.WholeNumber(whole), text.find_first_of("-.") == std::string::npos) << text;
        ASSERT_TRUE(text.find_first_of("-.") != std::string::npos || static_cast<double>(whole) == expected) << text;
    }
}

// Names as a session gives them: a name in double quotes reads back as the
// transcript shows it, and patterns fit names by their characters.
TEST(DriverRun, NamesReadBackAsTheTranscriptShowsThemAndPatternsFitThem) {
    std::mt19937 random(11);
    for (int i = 0; i < 2000; ++i) {
        std::string name(random() % 8, ' ');
        for (char& c : name) {
            c = static_cast<char>(random() % 2 == 0 ? "aZ \"\\*?\xc3\xa9"[random() % 9] : random() % 256);
        }
        const std::string quoted = driver::Quoted(name);
        const driver::QuotedName read = driver::ReadQuotedName(quoted, 0);
        ASSERT_EQ(read.problem, std::nullopt) << quoted;
        ASSERT_EQ(read.name, name) << quoted;
        ASSERT_EQ(read.end, quoted.size()) << quoted;
        ASSERT_TRUE(driver::NameMatches(name, name) && driver::NameMatches("*", name)) << quoted;
    }
    const struct {
        const char* pattern;
        const char* name;
        bool fits;
    } cases[] = {
        {"Ch*", "Chair", true},
        {"C?air", "Chair", true},
        {"*a*r", "Chair", true},
        {"Chair?", "Chair", false},
        {"chair", "Chair", false},
        {"*.*", "Door.001", true},
        {"?", "\xc3\xa9", true},
        {"??", "\xc3\xa9", false},
        {"?", "\xe9", true},
        {"Caf?", "Caf\xc3\xa9", true},
        {"", "", true},
        {"", "a", false},
        {"*b*b*b", "abababab", true},
        {"*b*b*c", "abababab", false},
        {"a*", "", false},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(driver::NameMatches(entry.pattern, entry.name), entry.fits) << entry.pattern << " " << entry.name;
    }
    EXPECT_EQ(driver::ReadQuotedName("\"Door", 0).problem, "a name in double quotes has no closing double quote");
}

TEST(DriverRun, ChangesAreFoundByTheValuesThemselves) {
    const driver::NodeState huge{"Huge", Scaled(3e19f, {1, 2, 3}), Scaled(3e19f, {1, 2, 3})};
    EXPECT_TRUE(Aspects(huge, huge).empty()) << "rows of length 3e19 are unchanged";

    driver::NodeState moved = huge;
    moved.transform.row[3].x = 1.0000001f;
    EXPECT_EQ(Aspects(huge, moved), std::vector<Aspect>{Aspect::Position}) << "the smallest step counts";

    driver::NodeState doubled = huge;
    doubled.transform = Scaled(6e19f, {1, 2, 3});
    EXPECT_EQ(Aspects(huge, doubled), std::vector<Aspect>{Aspect::Scale});

    driver::NodeState turnedObject = huge;
    std::swap(turnedObject.objectWorld.row[0], turnedObject.objectWorld.row[1]);
    EXPECT_EQ(Aspects(huge, turnedObject), std::vector<Aspect>{Aspect::Object}) << "not only the object's position";

    driver::NodeState renamed = huge;
    renamed.name = "Huge ";
    EXPECT_EQ(Aspects(huge, renamed), std::vector<Aspect>{Aspect::Name});
}

// A chain a hundred thousand nodes deep, with a namesake of its deepest
// node under the root: Align moves the deepest node there, and the scene
// written afterwards reads back with the node in its new place.
TEST(DriverRun, ADeepChainRunsAndWrites) {
    constexpr int kDepth = 100000;
    const std::string identity = "[[1,0,0],[0,1,0],[0,0,1],[0,0,0]]";
    std::string text = "{\"root\": {\"name\": \"Scene Root\", \"transform\": " + identity +
                       ", \"children\": [{\"name\": \"Deepest\", \"transform\": [[1,0,0],[0,1,0],[0,0,1],[7,8,9]]}";
    for (int i = 1; i < kDepth - 1; ++i) {
        text += i == 1 ? ", " : ", \"children\": [";
        text += "{\"name\": \"" + std::string(i == kDepth - 2 ? "Deepest" : "Link") + "\", \"transform\": " + identity;
    }
    text += "}";
    for (int i = 2; i < kDepth - 1; ++i) {
        text += "]}";
    }
    text += "]}, \"selection\": [" + std::to_string(kDepth - 1) + "]}";

    const std::unique_ptr<driver::SceneFile> file = driver::ParseScene(text, "chain.json");
    ASSERT_EQ(file->Document().scene->NodeCount(), static_cast<std::size_t>(kDepth));
    std::ostringstream out;
    {
        driver::SessionHost host(*file, driver::PluginDirectory());
        std::vector<driver::Action> actions = {
            {driver::OpenTool{"Tarvel"}, {"test", 1}},
            {driver::PressButton{"Align"}, {"test", 2}},
            {driver::CloseTool{}, {"test", 3}},
        };
        driver::RunFiles files;
        driver::CheckSession(actions, host, files);
        driver::Transcript transcript(out);
        driver::SessionReplay replay(host, transcript, true, false);
        ASSERT_TRUE(replay.Run(actions)) << replay.Failure().value_or(driver::Refusal{}).message;
    }
    EXPECT_NE(out.str().find("changed node " + std::to_string(kDepth - 1) + " \"Deepest\": position"),
              std::string::npos)
        << out.str();
    const std::unique_ptr<driver::SceneFile> read =
        driver::ParseScene(file->Content("out.json", {}).Joined(), "out.json");
    EXPECT_EQ(read->Document().scene->PreOrder().back()->Transform().GetTrans(), Point3(7, 8, 9));
}

#if !defined(_WIN32)  // symbolic links need a privilege there
namespace {

// The role of the file that a refused one clashes with; "" where it was added.
std::string ClashOf(const std::optional<driver::Refusal>& clash) {
    EXPECT_TRUE(!clash || clash->code == driver::RefusalCode::FileClash);
    return clash ? clash->message : "";
}

}  // namespace

// The files of a run are one through hard and symbolic links and other
// spellings of a path, existing or not; files at other places never are.
TEST(DriverRun, FilesOfARunAreOneThroughLinksAndSpellings) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("morvane-run-files-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "sub");
    std::ofstream(folder / "a.json") << "{}";
    std::ofstream(folder / "b.json") << "{}";
    fs::create_hard_link(folder / "a.json", folder / "hard.json");
    fs::create_symlink(folder / "b.json", folder / "soft.json");
    const std::string at = folder.string() + "/";
    using Use = driver::RunFiles::Use;
    driver::RunFiles files;
    for (const char* name : {"a.json", "b.json", "new.json", "sub/other.json"}) {
        ASSERT_FALSE(files.Add(at + name, Use::Written, name));
    }
    EXPECT_EQ(ClashOf(files.Add(at + "hard.json", Use::OnlyRead, "hard")), "a.json");
    EXPECT_EQ(ClashOf(files.Add(at + "soft.json", Use::OnlyRead, "soft")), "b.json");
    EXPECT_EQ(ClashOf(files.Add(at + "sub/../new.json", Use::OnlyRead, "new")), "new.json");
    EXPECT_EQ(ClashOf(files.Add(at + "./sub/other.json", Use::ToolWrites, "other")), "sub/other.json");
    EXPECT_EQ(ClashOf(files.Add(at + "sub/new.json", Use::Written, "elsewhere")), "");
    EXPECT_EQ(ClashOf(files.Add(at + "hard.json", Use::ToolReads, "names")), "a.json");
    // A file that clashes with several names the first of them.
    ASSERT_FALSE(files.Add(at + "read.json", Use::OnlyRead, "read"));
    ASSERT_FALSE(files.Add(at + "./read.json", Use::ToolReads, "read by the tool"));
    EXPECT_EQ(ClashOf(files.Add(at + "read.json", Use::Written, "written")), "read");

    // Standard output that is a file of the run, however it was opened
    // (`>> scene.json`), is refused.
    for (const int flags : {O_WRONLY | O_APPEND, O_RDWR}) {
        const int saved = ::dup(1);
        const int opened = ::open((folder / "a.json").c_str(), flags);
        ::dup2(opened, 1);
        std::string refusal;
        try {
            driver::FilesOfRun({at + "hard.json", "", "", false, "-", ""}, {});
        } catch (const driver::RunFilesError& e) {
            refusal = e.what();
        }
        ::dup2(saved, 1);
        ::close(saved);
        ::close(opened);
        EXPECT_EQ(refusal, "standard output is " + driver::QuotedExcerpt(at + "hard.json") +
                               ", the scene file, which is only read");
    }
    fs::remove_all(folder);
}
#endif

// A proxy is found by its place or by any spelling of its file, and a
// message names its place only where it quotes the file whole: a path that
// merely holds the file's path stays as it is.
TEST(DriverRun, AStandInIsNamedOnlyWhereItsFileIsQuotedWhole) {
    namespace fs = std::filesystem;
    const std::string file = (fs::path("scratch") / "names.txt").string();
    driver::ProxyFiles proxies;
    proxies.Add({"-", (fs::path("scratch") / "." / "names.txt").string(), "standard output"});
    ASSERT_NE(proxies.Of(file), nullptr);
    EXPECT_EQ(proxies.Of("-"), proxies.Of(file));
    EXPECT_EQ(proxies.Of("names.txt"), nullptr);
    const std::vector<std::pair<std::string, std::string>> mentions = {
        {'"' + file + '"', "standard output"},
        {'"' + file + ".bak\"", '"' + file + ".bak\""},
        {"\"old-" + file + '"', "\"old-" + file + '"'},
        {file, file},
    };
    for (const auto& first : mentions) {
        for (const auto& second : mentions) {
            EXPECT_EQ(proxies.InMessage("saved " + first.first + " and " + second.first + ": written"),
                      "saved " + first.second + " and " + second.second + ": written");
        }
    }
}

// A front end that checks and replays each action as it comes gets the
// transcript of the whole session run at once.
TEST(DriverRun, ActionsOneAtATimeRunAsTheWholeSession) {
    const std::string scene =
        "{\"root\": {\"name\": \"R\", \"transform\": [[1,0,0],[0,1,0],[0,0,1],[0,0,0]], "
        "\"children\": [{\"name\": \"A\", \"transform\": [[1,0,0],[0,1,0],[0,0,1],[1,2,3]]}, "
        "{\"name\": \"A\", \"transform\": [[0,1,0],[-1,0,0],[0,0,2],[4,5,6]]}]}}";
    const std::vector<driver::Action> session = driver::ParseSession(
        "open Tarvel\nselect 1\npress Align\nradio Y\npress Pick\nclick 0 0 0\nclick 0 1 0\nanswer x\nclose\n", "s");
    std::string transcripts[2];
    for (const bool oneAtATime : {false, true}) {
        const std::unique_ptr<driver::SceneFile> file = driver::ParseScene(scene, "scene.json");
        driver::SessionHost host(*file, driver::PluginDirectory());
        driver::RunFiles files;
        std::ostringstream out;
        driver::Transcript transcript(out);
        driver::SessionReplay replay(host, transcript, false, false);
        std::vector<driver::Action> actions = session;
        if (oneAtATime) {
            driver::SessionChecker checker(host, files);
            for (driver::Action& action : actions) {
                checker.Check(action);
                replay.Replay(action);
            }
            EXPECT_TRUE(replay.Finish());
        } else {
            driver::CheckSession(actions, host, files);
            EXPECT_TRUE(replay.Run(actions));
        }
        transcripts[oneAtATime ? 1 : 0] = out.str();
    }
    EXPECT_EQ(transcripts[1], transcripts[0]);
    EXPECT_NE(transcripts[0].find("changed node 1 \"A\": position, orientation, scale, object"), std::string::npos)
        << transcripts[0];
    EXPECT_NE(transcripts[0].find("end: the answer of line 8 was never asked for"), std::string::npos);
}

namespace {

// Why the check of `session` on `file` refuses it; "" where it does not.
std::string CheckRefusal(driver::SceneFile& file, const std::string& session) {
    std::vector<driver::Action> actions = driver::ParseSession(session, "s");
    driver::SessionHost host(file, driver::PluginDirectory());
    driver::RunFiles files;
    try {
        driver::CheckSession(actions, host, files);
    } catch (const driver::SessionError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

// A run writes at most kMostFilesWritten files: one more is refused when
// the session is checked, before anything runs.
TEST(DriverRun, OneFileTooManyIsRefusedWhenTheSessionIsChecked) {
    const test_support::ScratchFolder folder("morvane-too-many");
    const std::unique_ptr<driver::SceneFile> file = driver::ParseScene(
        "{\"root\": {\"name\": \"R\", \"transform\": [[1,0,0],[0,1,0],[0,0,1],[0,0,0]], \"children\": []}}",
        "scene.json");
    std::string session;
    for (std::size_t i = 0; i <= driver::kMostFilesWritten; ++i) {
        session += "save " + folder.File("out" + std::to_string(i) + ".json") + "\n";
    }
    EXPECT_EQ(CheckRefusal(*file, session),
              "s:" + std::to_string(driver::kMostFilesWritten + 1) + ": save " +
                  driver::Excerpt(folder.File("out" + std::to_string(driver::kMostFilesWritten) + ".json")) +
                  ": one file too many: a run writes at most " + std::to_string(driver::kMostFilesWritten) +
                  " files (-o, --svg and save)");
}

// The file that a save writes beside its scene (a GLB saved as .gltf: its
// binary chunk as a .bin) is one of the run's files too.
TEST(DriverRun, AFileBesideOneTooManyIsRefusedWhenTheSessionIsChecked) {
    const test_support::ScratchFolder folder("morvane-too-many-beside");
    const std::unique_ptr<driver::SceneFile> file =
        driver::ParseScene(gltftest::GlbFile(R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], )"
                                             R"("nodes": [{"name": "A"}], "buffers": [{"byteLength": 4}]})",
                                             gltftest::Chunk("BIN", std::string(4, '\0'))),
                           "scene.glb");
    std::string session;
    for (std::size_t i = 1; i < driver::kMostFilesWritten; ++i) {
        session += "save " + folder.File("out" + std::to_string(i) + ".glb") + "\n";
    }
    session += "save " + folder.File("last.gltf") + "\n";
    const std::string refusal = CheckRefusal(*file, session);
    EXPECT_NE(refusal.find("last.bin\", the file it writes beside, is one file too many"), std::string::npos)
        << refusal;
}

// What the driver knows of a panel before a press it learns from the tool's
// resources alone: the captions that the open panel shows, and for each
// button exactly the file dialog that pressing it opens.
TEST(DriverRun, ThePanelModelForetellsTheControlsAndTheDialogEachPressOpens) {
    const std::string identity = "[[1,0,0],[0,1,0],[0,0,1],[0,0,0]]";
    const std::unique_ptr<driver::SceneFile> file =
        driver::ParseScene("{\"root\": {\"name\": \"R\", \"transform\": " + identity +
                               ", \"children\": [{\"name\": \"A\", \"transform\": " + identity +
                               "}]}, \"selection\": [1]}",
                           "scene.json");
    for (const char* plugin : {"Tarvel", "Velkora"}) {
        driver::SessionHost host(*file, driver::PluginDirectory());
        driver::ToolLibrary& tool = host.Library(plugin);
        const driver::PanelModel model = *host.Model(tool);
        driver::FileDialogUser dialogs([](bool, const std::optional<std::string>&) { return std::nullopt; });
        host.Host().OpenUtility(host.Utility(tool));
        std::vector<std::string> buttons, radios;
        for (const driver::PanelControl& control : driver::PanelControls(host.Panel())) {
            (control.customButton ? buttons : radios).push_back(control.caption);
        }
        EXPECT_EQ(buttons, model.Captions("button")) << plugin;
        EXPECT_EQ(radios, model.Captions("radio")) << plugin;
        int opened = 0;
        for (const std::string& caption : buttons) {
            HWND button = driver::FindPanelControl(host.Panel(), caption, true);
            ASSERT_TRUE(IsWindowEnabled(button)) << plugin << " " << caption;
            standin::PressCustomButton(button);
            const driver::FileDialogUser::Outcome outcome = dialogs.TakeOutcome();
            const driver::PanelDialog* dialog = model.DialogOf(caption);
            ASSERT_EQ(outcome.ran, dialog != nullptr) << plugin << " " << caption;
            if (dialog != nullptr) {
                ++opened;
                EXPECT_EQ(outcome.saving, dialog->saving) << caption;
                EXPECT_EQ(standin::LastFileDialogCall()->defaultExtension, dialog->defaultExtension) << caption;
            }
        }
        host.Host().CloseUtility();
        EXPECT_EQ(opened, std::string(plugin) == "Velkora" ? 2 : 0) << plugin;
        // The button of each kind of dialog is the one whose dialog is of that kind.
        for (const bool saving : {true, false}) {
            const driver::ModelControl* opener = model.OpeningDialog(saving);
            ASSERT_EQ(opener != nullptr, opened != 0) << plugin;
            if (opener != nullptr) {
                EXPECT_EQ(model.DialogOf(opener->caption)->saving, saving) << opener->caption;
            }
        }
    }
}
