// A shortcut of the command line is the session of its tool's row: the
// command line's values in its lines, the captions and dialogs from the
// tool's own resources, every value reaching its action exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>

#include "cli/command_line.h"
#include "hosting/plugin_directory.h"
#include "hosting/session_host.h"
#include "scratch_folder.h"
#include "session/session.h"
#include "session/session_check.h"
#include "session/verb_table.h"
#include "text/number_text.h"
#include "tools/shortcut_session.h"
#include "tools/tool_row.h"

namespace {

std::unique_ptr<driver::SceneFile> TwoChairs() {
    const std::string identity = "[[1,0,0],[0,1,0],[0,0,1],[0,0,0]]";
    auto node = [&](const char* name) {
        return std::string("{\"name\": \"") + name + "\", \"transform\": " + identity + "}";
    };
    return driver::ParseScene("{\"root\": {\"name\": \"R\", \"transform\": " + identity + ", \"children\": [" +
                                  node("Chair") + ", " + node("Chair") + ", " + node("Lamp") + "]}}",
                              "scene.json");
}

// The session of a command line, an action a line: "ORIGIN: ACTION".
std::string SessionText(const driver::ShortcutSession& session) {
    std::string text;
    for (const driver::Action& action : session.actions) {
        text += action.origin.Text() + ": " + driver::ActionText(action.what) + "\n";
    }
    return text;
}

driver::ShortcutSession Built(const std::vector<std::string>& arguments, driver::SessionHost& host) {
    const driver::Invocation invocation = driver::ParseCommandLine(arguments);
    return driver::BuildShortcutSession(*invocation.shortcut, host);
}

}  // namespace

TEST(ToolRows, AShortcutIsItsRowsSessionWithTheCommandLinesValues) {
    struct Case {
        std::vector<std::string> arguments;
        std::string session;
    };
    const std::vector<Case> cases = {
        {{"align", "s.json", "--select", "2,1"},
         "align: open Tarvel\n--select: select 2 1\nalign: press Align\nalign: close\n"},
        {{"align", "s.json", "--copies-of", "Chair"},
         "align: open Tarvel\n--copies-of: select\nalign: press Align\nalign: close\n"},
        {{"align", "s.json", "--select-name", "Ch*"},
         "align: open Tarvel\n--select-name: select-name \"Ch*\"\nalign: press Align\nalign: close\n"},
        {{"pivot", "s.json", "--select-path", "Chair", "--axis", "Y", "--from", "1,2,3", "--to", "1,2,4.5"},
         "pivot: open Tarvel\n--select-path: select-path \"Chair\"\n--axis: radio Y\npivot: press Pick\n"
         "--from: click 1 2 3\n--to: click 1 2 4.5\npivot: close\n"},
        {{"pivot", "s.json", "--select", "3", "--from", "-1,0,0.25"},
         "pivot: open Tarvel\n--select: select 3\npivot: press Pick\n--from: click -1 0 0.25\npivot: endpick\n"
         "pivot: close\n"},
        {{"save-names", "s.json", "out"},
         "save-names: open Velkora\nNAMES: answer out\nsave-names: press Save Names To File\nsave-names: close\n"},
        {{"load-names", "s.json", "in.txt", "--partial"},
         "load-names: open Velkora\nNAMES: answer in.txt\nload-names: press Load Names Form File\n"
         "load-names: close\n"},
    };
    const std::unique_ptr<driver::SceneFile> file = TwoChairs();
    driver::SessionHost host(*file, driver::PluginDirectory());
    for (const Case& c : cases) {
        EXPECT_EQ(SessionText(Built(c.arguments, host)), c.session) << c.arguments[0];
    }
}

// The dialog of the press, as the tool's string table describes it, gives
// the file for NAMES; a NAMES of "cancel" is a file of that name, and one
// of standard output or input goes through no file of the dialog's.
TEST(ToolRows, TheDialogOfThePressIsLearntOnceFromTheToolsResources) {
    struct Case {
        std::vector<std::string> arguments;
        std::optional<bool> saving;
        std::optional<std::string> chosen;
    };
    const std::vector<Case> cases = {
        {{"save-names", "s.json", "cancel"}, true, "cancel.txt"},
        {{"load-names", "s.json", "names.list"}, false, "names.list"},
        {{"save-names", "s.json", "-"}, true, std::nullopt},
        {{"load-names", "s.json", "-"}, false, std::nullopt},
        {{"align", "s.json", "--select", "1"}, std::nullopt, std::nullopt},
    };
    const std::unique_ptr<driver::SceneFile> file = TwoChairs();
    driver::SessionHost host(*file, driver::PluginDirectory());
    for (const Case& c : cases) {
        const driver::Invocation invocation = driver::ParseCommandLine(c.arguments);
        const driver::ShortcutSession session = driver::BuildShortcutSession(*invocation.shortcut, host);
        ASSERT_EQ(session.dialog.has_value(), c.saving.has_value()) << c.arguments[2];
        EXPECT_EQ(session.ChosenFile(*invocation.shortcut), c.chosen) << c.arguments[2];
        if (c.saving) {
            EXPECT_EQ(session.dialog->saving, *c.saving);
            const auto& answer = std::get<driver::AnswerDialog>(session.actions[1].what);
            EXPECT_FALSE(answer.cancel);
            EXPECT_EQ(answer.path, c.arguments[2]);
        }
    }
}

// Every point of the command line reaches its click exactly.
TEST(ToolRows, PointsReachTheirClicksExactly) {
    const std::unique_ptr<driver::SceneFile> file = TwoChairs();
    driver::SessionHost host(*file, driver::PluginDirectory());
    std::mt19937 random(7);
    std::uniform_int_distribution<int> exponent(-40, 38);
    std::uniform_real_distribution<float> mantissa(-10.0f, 10.0f);
    for (int i = 0; i < 200; ++i) {
        float v[6];
        for (float& each : v) {
            each = std::ldexp(mantissa(random), exponent(random) / 4);
        }
        auto text = [](float a, float b, float c) {
            return driver::NumberText(a) + "," + driver::NumberText(b) + "," + driver::NumberText(c);
        };
        const driver::ShortcutSession session = Built({"pivot", "s.json", "--select", "1", "--axis", "Z", "--from",
                                                       text(v[0], v[1], v[2]), "--to", text(v[3], v[4], v[5])},
                                                      host);
        int clicks = 0;
        for (const driver::Action& action : session.actions) {
            if (const auto* click = std::get_if<driver::ClickViewport>(&action.what)) {
                for (int k = 0; k < 3; ++k) {
                    EXPECT_EQ(click->point[k], v[3 * clicks + k]) << driver::ActionText(action.what);
                }
                ++clicks;
            }
        }
        EXPECT_EQ(clicks, 2);
    }
}

// The axis is one of the panel's radio buttons, as the panel has them.
TEST(ToolRows, AnAxisIsOneOfThePanelsRadioButtons) {
    const std::unique_ptr<driver::SceneFile> file = TwoChairs();
    driver::SessionHost host(*file, driver::PluginDirectory());
    for (const char* axis : {"W", "x", "X ", "Pick", "XY"}) {
        try {
            Built({"pivot", "s.json", "--select", "1", "--axis", axis, "--from", "0,0,0", "--to", "0,0,1"}, host);
            ADD_FAILURE() << axis;
        } catch (const driver::UsageError& e) {
            EXPECT_EQ(std::string(e.what()), "--axis: \"" + std::string(axis) + "\" is not X, Y or Z");
        }
    }
}

// Without its tool, a shortcut's session still opens it, where the check
// says why it cannot be, and presses nothing.
TEST(ToolRows, AToolThatCannotBeLoadedIsReportedWhereItIsOpened) {
    const test_support::ScratchFolder empty("morvane-no-tools");
    const std::unique_ptr<driver::SceneFile> file = TwoChairs();
    driver::SessionHost host(*file, empty.Path().string());
    driver::ShortcutSession session = Built({"align", "s.json", "--select", "1"}, host);
    EXPECT_EQ(SessionText(session), "align: open Tarvel\n--select: select 1\nalign: close\n");
    driver::RunFiles files;
    try {
        driver::CheckSession(session.actions, host, files);
        ADD_FAILURE() << "checked";
    } catch (const driver::CodedError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("align: ", 0), 0u) << e.what();
    }
}

// A session that types a shortcut's name is told how a session does its job.
TEST(ToolRows, AShortcutTypedInASessionIsToldItsTool) {
    for (const driver::ToolRow& tool : driver::ToolTable()) {
        for (const driver::ShortcutRow& shortcut : tool.shortcuts) {
            try {
                driver::ParseSession(std::string(shortcut.command) + "\n", "s");
                ADD_FAILURE() << shortcut.command;
            } catch (const driver::SessionError& e) {
                const std::string hint = std::string("(did you mean ") + shortcut.command + "? in a session: open " +
                                         tool.plugin + ", then press its button)";
                EXPECT_EQ(std::string(e.what()).find(hint) != std::string::npos, tool.listed) << e.what();
            }
        }
    }
}

// The check keeps what it learns of each press that opens a file dialog,
// for the replay and the shortcuts' rules to read: the dialog, and the file
// its answer chooses.
TEST(ToolRows, TheCheckRecordsTheDialogAndTheFileOfEachPress) {
    struct Case {
        std::string session;
        std::optional<bool> saving;
        std::optional<std::string> chosen;
    };
    const std::vector<Case> cases = {
        {"open Velkora\nanswer a\npress Save Names To File\nclose\n", true, "a.txt"},
        {"open Velkora\nanswer b.names\npress Load Names Form File\nclose\n", false, "b.names"},
        {"open Velkora\nanswer cancel\npress Save Names To File\nclose\n", true, std::nullopt},
        {"open Velkora\npress Load Names Form File\nclose\n", false, std::nullopt},
        {"open Tarvel\nselect 1\npress Align\nclose\n", std::nullopt, std::nullopt},
    };
    const test_support::ScratchFolder folder("morvane-tool-rows");
    std::ofstream(folder.Path() / "b.names") << "R\nChair\nChair\nLamp\n";
    const std::unique_ptr<driver::SceneFile> file = TwoChairs();
    for (const Case& c : cases) {
        driver::SessionHost host(*file, driver::PluginDirectory());
        driver::RunFiles files;
        std::vector<driver::Action> actions = driver::ParseSession(c.session, "s");
        for (driver::Action& action : actions) {
            if (auto* answer = std::get_if<driver::AnswerDialog>(&action.what); answer != nullptr && !answer->cancel) {
                answer->path = (folder.Path() / answer->path).string();
            }
        }
        driver::CheckSession(actions, host, files);
        const driver::CheckedPress* press = actions[actions.size() - 2].press.get();
        ASSERT_EQ(press != nullptr, c.saving.has_value()) << c.session;
        if (press != nullptr) {
            EXPECT_EQ(press->dialog.saving, *c.saving) << c.session;
            EXPECT_EQ(press->chosen, c.chosen ? std::optional((folder.Path() / *c.chosen).string()) : std::nullopt)
                << c.session;
        }
    }
}
