// The command line of morvane-host, in the conventions of a Unix tool: one
// table of arguments and what each must give, a usage error or a run.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/command_table.h"
#include "cli/progress.h"

#if !defined(_WIN32)
#  include <unistd.h>
#endif

namespace {

using Arguments = std::vector<std::string>;

// What ParseCommandLine made of the arguments, in one line: the error, or
// the job with its values.
std::string Outcome(const Arguments& arguments) {
    driver::Invocation invocation;
    try {
        invocation = driver::ParseCommandLine(arguments);
    } catch (const driver::UsageError& e) {
        return std::string("error: ") + e.what();
    }
    if (invocation.job != driver::Invocation::Job::Run) {
        for (const driver::CommandRow& row : driver::CommandTable()) {
            if (invocation.helpOf == &row) {
                return std::string("help ") + row.name;
            }
        }
        return invocation.job == driver::Invocation::Job::Help ? "help" : "version";
    }
    std::string text = invocation.shortcut                           ? driver::ShortcutName(*invocation.shortcut)
                       : invocation.command == driver::Command::View ? "view port=" + std::to_string(invocation.port)
                       : invocation.command == driver::Command::List
                           ? std::string(invocation.json ? "list json" : "list")
                           : "session " + invocation.sessionPath;
    text += " scene=" + invocation.scenePath;
    if (invocation.shortcut) {
        const driver::Shortcut& shortcut = *invocation.shortcut;
        for (const std::size_t index : shortcut.selection) {
            text += " select=" + std::to_string(index);
        }
        text += shortcut.selectName ? " select-name=[" + *shortcut.selectName + "]" : "";
        text += shortcut.selectPath ? " select-path=[" + *shortcut.selectPath + "]" : "";
        text += shortcut.copiesOf ? " copies-of=[" + *shortcut.copiesOf + "]" : "";
        text += shortcut.partial ? " partial" : "";
        if (shortcut.axis) {
            text += " axis=" + *shortcut.axis + " from=" + std::to_string(shortcut.from->z) +
                    " to=" + std::to_string(shortcut.to->z);
        } else if (shortcut.from) {
            text += " from=" + std::to_string(shortcut.from->z);
        }
        if (shortcut.names) {
            text += " names=" + *shortcut.names;
        }
    }
    text += invocation.outputPath.empty() ? "" : " out=" + invocation.outputPath;
    text += invocation.svgPath.empty() ? "" : " svg=" + invocation.svgPath;
    text += invocation.diff ? " diff" : "";
    text += invocation.quiet ? " quiet" : "";
    text += invocation.WritesToStandardOutput() ? " transcript-to-stderr" : "";
    return text;
}

}  // namespace

TEST(CommandLine, FollowsTheConventionsOfAUnixTool) {
    struct Case {
        Arguments arguments;
        std::string outcome;
    };
    std::vector<Case> cases = {
        // Runs, and the forms of their options.
        {{"s.json", "demo.session", "--diff", "-o", "out.json"}, "session demo.session scene=s.json out=out.json diff"},
        {{"--svg=pic.svg", "s.json", "demo.session"}, "session demo.session scene=s.json svg=pic.svg"},
        {{"align", "s.json", "--select=5,6", "-oout.json"}, "align scene=s.json select=5 select=6 out=out.json"},
        {{"pivot", "s.json", "--select", "7", "--axis", "Z", "--from", "0,0,0", "--to=1,2,1e30"},
         "pivot scene=s.json select=7 axis=Z from=0.000000 to=1000000015047466219876688855040.000000"},
        {{"save-names", "s.json", "--", "-names.txt"}, "save-names scene=s.json names=-names.txt"},
        {{"load-names", "s.json", "cancel"}, "load-names scene=s.json names=cancel"},
        {{"save-names", "s.json", "-"}, "save-names scene=s.json names=- transcript-to-stderr"},
        {{"save-names", "s.json", "-", "--svg", "-"}, "error: NAMES and --svg cannot both write to standard output"},
        {{"--", "align", "s.json"}, "error: align needs --select, --select-name, --select-path or --copies-of"},
        {{"align", "s.json", "--select-path", "Props/*", "-q"}, "align scene=s.json select-path=[Props/*] quiet"},
        {{"load-names", "s.json", "n.txt", "--partial", "--quiet"},
         "load-names scene=s.json partial names=n.txt quiet"},
        {{"list", "s.json", "--json"}, "list json scene=s.json"},
        {{"list", "s.json", "-o", "x.json"},
         "error: -o is an option of a session, align, pivot, save-names, load-names and view only"},
        {{"align", "s.json", "--select", "5", "--partial"}, "error: --partial is an option of load-names only"},
        // Points as they are pasted, with spaces after the commas.
        {{"pivot", "s.json", "--select", "7", "--axis", "Z", "--from", "-0.5, -10, 0", "--to", " 0 ,0,\t2 "},
         "pivot scene=s.json select=7 axis=Z from=0.000000 to=2.000000"},
        {{"pivot", "s.json", "--select", "7", "--axis", "Z", "--from", "0, ,0", "--to", "0,0,2"},
         "error: --from: \"0, ,0\" has an empty item"},
        {{"align", "s.json", "--select-name", "Door Frame*"}, "align scene=s.json select-name=[Door Frame*]"},
        {{"pivot", "s.json", "--select-name=", "--axis=X", "--from=0,0,0", "--to=0,0,1"},
         "pivot scene=s.json select-name=[] axis=X from=0.000000 to=1.000000"},
        {{"align", "s.json", "--select", "7", "--select-name", "Door"},
         "error: --select, --select-name, --select-path or --copies-of: give only one of them"},
        {{"pivot", "s.json", "--select", "7", "--select-path", "Door", "--from", "0,0,0"},
         "error: --select, --select-name or --select-path: give only one of them"},
        // Every copy of a name onto the first.
        {{"align", "s.json", "--copies-of", "Chair"}, "align scene=s.json copies-of=[Chair]"},
        {{"align", "s.json", "--copies-of="}, "error: --copies-of: the name is empty"},
        {{"align", "s.json", "--copies-of", "A", "--select", "5"},
         "error: --select, --select-name, --select-path or --copies-of: give only one of them"},
        {{"pivot", "s.json", "--copies-of", "A", "--from", "0,0,0"}, "error: --copies-of is an option of align only"},
        // A pivot moved only, its axes kept.
        {{"pivot", "s.json", "--select", "7", "--from", "0,0,2"}, "pivot scene=s.json select=7 from=2.000000"},
        {{"pivot", "s.json", "--select", "7", "--axis", "Y", "--from", "0,0,2"},
         "error: --axis turns an axis towards --to, which is not given (without --to, pivot only moves the pivot "
         "to --from)"},
        {{"pivot", "s.json", "--select", "7", "--from", "0,0,2", "--to", "0,0,3"}, "error: pivot needs --axis"},
        // Short options grouped as getopt groups them.
        {{"align", "s.json", "--select", "5", "-qo", "out.json"}, "align scene=s.json select=5 out=out.json quiet"},
        {{"align", "s.json", "--select", "5", "-qoout.json"}, "align scene=s.json select=5 out=out.json quiet"},
        {{"align", "s.json", "--select", "5", "-oq"}, "align scene=s.json select=5 out=q"},
        {{"align", "s.json", "--select", "5", "-qq"}, "error: --quiet is given twice"},
        {{"align", "s.json", "--select", "5", "-qx"}, "error: unknown option \"-x\" in \"-qx\""},
        {{"align", "s.json", "--select", "5", "-qo"}, "error: -o needs a value"},
        // The help of one command.
        {{"help"}, "help"},
        {{"help", "pivot"}, "help pivot"},
        {{"pivot", "--help"}, "help pivot"},
        {{"list", "s.json", "-h"}, "help list"},
        {{"help", "pivt"}, "error: help: \"pivt\" is no command (did you mean pivot?)"},
        {{"help", "frobnicate"},
         "error: help: \"frobnicate\" is no command (the commands are align, pivot, save-names, load-names, list, "
         "view)"},
        {{"help", "pivot", "x"}, "error: unexpected argument \"x\" (help takes [COMMAND])"},
        {{"help", "-q"}, "error: help takes no options (help [COMMAND])"},
        {{"align", "s.json", "--select-name", "A", "--select-name", "B"}, "error: --select-name is given twice"},
        {{"s.json", "x.session", "--select-name", "Door"}, "error: --select-name is an option of align and pivot only"},
        {{"align", "s.json", "--select", "5", "-o", "-"}, "align scene=s.json select=5 out=- transcript-to-stderr"},
        {{"s.json", "x.session", "--diff", "--help"}, "help"},
        {{"view", "s.json", "--port=65535", "-o", "o.json"}, "view port=65535 scene=s.json out=o.json"},
        {{"view", "s.json", "--port", "65536"}, "error: --port: \"65536\" is not a port number (0 to 65535)"},
        {{"view", "s.json", "x"}, "error: unexpected argument \"x\" (view takes SCENE)"},
        {{"--version"}, "version"},
        {{"--version", "x", "y"}, "error: unexpected argument \"x\" after --version"},
        {{"-h", "--", "s.json"}, "error: unexpected argument \"--\" after --help"},
        // Usage errors name what is wrong.
        {{}, "error: missing SCENE (a session takes SCENE SESSION)"},
        {{"s.json"}, "error: missing SESSION (a session takes SCENE SESSION)"},
        {{"s.json", "x.session", "extra"}, "error: unexpected argument \"extra\" (a session takes SCENE SESSION)"},
        {{"align", "s.json", "--select", "7", "8"}, "error: unexpected argument \"8\" (align takes SCENE)"},
        {{"save-names", "s.json"}, "error: missing NAMES (save-names takes SCENE NAMES)"},
        {{"s.json", "x.session", "--dif"}, "error: unknown option \"--dif\" (did you mean --diff?)"},
        {{"align", "s.json", "--selct-nam=X"}, "error: unknown option \"--selct-nam\" (did you mean --select-name?)"},
        {{"s.json", "x.session", "--frobnicate"}, "error: unknown option \"--frobnicate\""},
        {{"s.json", "x.session", "-dif"}, "error: unknown option \"-d\" in \"-dif\""},
        // The picture is SVG, and named so.
        {{"s.json", "x.session", "--svg", "out/demo.png"},
         "error: --svg: \"out/demo.png\": the picture is SVG, which is written to a .svg file"},
        {{"s.json", "x.session", "--svg", "P.SVG"}, "session x.session scene=s.json svg=P.SVG"},
        {{"s.json", "x.session", "--diff=yes"}, "error: --diff takes no value"},
        {{"s.json", "x.session", "-o"}, "error: -o needs a value"},
        {{"s.json", "x.session", "-o", "a", "-o", "b"}, "error: -o is given twice"},
        {{"align", "s.json", "--select", "7", "--select", "8"}, "error: --select is given twice"},
        {{"s.json", "x.session", "--select", "7"}, "error: --select is an option of align and pivot only"},
        {{"align", "s.json", "--select", "7", "--axis", "X"}, "error: --axis is an option of pivot only"},
        {{"align", "s.json", "--select", "7,,8"}, "error: --select: \"7,,8\" has an empty item"},
        {{"align", "s.json", "--select", "7,"}, "error: --select: \"7,\" has an empty item"},
        {{"align", "s.json", "--select", "$'7\nopen Velkora'"},
         "error: --select: \"$'7\\x0aopen Velkora'\" is not a node index"},
        {{"align", "s.json", "--select", "0,5"}, "error: --select: node 0 is the scene root, which cannot be selected"},
        {{"align", "s.json", "--select", "5,5"}, "error: --select: node 5 is selected twice"},
        {{"pivot", "s.json", "--select", "1", "--axis", "X", "--from", "0,0", "--to", "0,0,1"},
         "error: --from: \"0,0\" is not a point x,y,z"},
        {{"pivot", "s.json", "--select", "1", "--axis", "X", "--from", "0,0,0", "--to", "3x,0,1"},
         "error: --to: \"3x\" is not a number"},
        {{"pivot", "s.json", "--select", "1", "--axis", "X", "--from", "0,0,0", "--to", "1e39,0,1"},
         "error: --to: \"1e39\" is not a finite number in single precision"},
        {{"pivot", "s.json", "--select", "1", "--axis", "X", "--from", "0,0,0", "--to", "1e400,0,1"},
         "error: --to: \"1e400\" is not a finite number in single precision"},
        {{"pivot", "s.json", "--select", "1", "--axis", "X", "--to", "0,0,1"}, "error: pivot needs --from"},
        {{"s.json", "x.session", "-o", "s.json"}, "error: -o: \"s.json\" is the scene file, which is only read"},
        {{"s.json", "x.session", "-o", "./x.session"}, "error: -o: \"./x.session\" is the session, which is only read"},
        {{"s.json", "x.session", "-o", "p.svg", "--svg", "./p.svg"},
         "error: --svg: \"./p.svg\" is the scene that -o writes"},
        // A written file is no file the run reads or writes else.
        {{"save-names", "s.json", "./s.json"}, "error: NAMES: \"./s.json\" is the scene file, which is only read"},
        {{"load-names", "s.json", "s.json"}, "load-names scene=s.json names=s.json"},
        {{"load-names", "s.json", "n.txt", "-o", "n.txt"}, "error: -o: \"n.txt\" is the names file the run reads"},
        {{"save-names", "s.json", "x.svg", "--svg", "x.svg"},
         "error: --svg: \"x.svg\" is the names file the run writes"},
        {{"s.json", "x.session", "-o", "-", "--svg", "-"}, "error: -o and --svg cannot both write to standard output"},
        {{"s.json", "x.session", "-o", ""}, "error: -o: the file name is empty"},
        // Commands as the table has them; SCENE and SESSION are files.
        {{"frobnicate", "x.json"},
         "error: unknown command \"frobnicate\" (the commands are align, pivot, save-names, load-names, list, view; a "
         "session "
         "takes SCENE SESSION)"},
        {{"alin", "room.gltf"}, "error: unknown command \"alin\" (did you mean align?)"},
        {{"lsit", "room.gltf"}, "error: unknown command \"lsit\" (did you mean list?)"},
        {{"ALIGN", "s.json", "--select", "5"},
         "error: unknown command \"ALIGN\" (commands are lower case: did you mean \"align\"?)"},
        {{"-", "x.session"},
         "error: SCENE: \"-\" would be standard input, which morvane-host does not read; name a file (./- for one "
         "named \"-\")"},
        {{"./-", "x.session"}, "session x.session scene=./-"},
        // A pivot needs one node and two points.
        {{"pivot", "s.json", "--select", "5,6", "--axis", "Z", "--from", "0,0,0", "--to", "0,0,1"},
         "error: --select: pivot works on one node, and 2 are given"},
        {{"pivot", "s.json", "--select", "5", "--axis", "Z", "--from", "0,0,1", "--to", "0,-0,1"},
         "error: --to: the same point as --from, so the two points give no direction"},
    };
#if !defined(_WIN32)
    // In a folder of links that point nowhere yet, and a cycle of links.
    namespace fs = std::filesystem;
    const fs::path before = fs::current_path();
    const fs::path scratch = fs::temp_directory_path() / ("command_line_test." + std::to_string(::getpid()));
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    fs::current_path(scratch);
    const std::pair<const char*, const char*> links[] = {
        {"l.svg", "a.json"}, {"l9.json", "n9.txt"}, {"c1", "c2.svg"}, {"c2.svg", "c1"}};
    for (const auto& [link, target] : links) {
        fs::create_symlink(target, link);
    }
    const std::vector<Case> onPosix = {
        // Through links that do not lead to a file yet; a cycle ends.
        {{"align", "s.json", "--select", "5", "-o", "a.json", "--svg", "l.svg"},
         "error: --svg: \"l.svg\" is the scene that -o writes"},
        {{"save-names", "s.json", "n9.txt", "-o", "l9.json"},
         "error: -o: \"l9.json\" is the names file the run writes"},
        {{"s.json", "x.session", "-o", "c1", "--svg", "c2.svg"}, "session x.session scene=s.json out=c1 svg=c2.svg"},
        {{"c1", "x.session"}, "session x.session scene=c1"},
        // Standard output by any of its names.
        {{"s.json", "x.session", "-o", "/dev/stdout"}, "session x.session scene=s.json out=- transcript-to-stderr"},
        {{"save-names", "s.json", "/dev/stdout", "-o", "-"},
         "error: NAMES and -o cannot both write to standard output"},
        {{"s.json", "x.session", "--svg", "/proc/self/fd/1", "-o", "-"},
         "error: -o and --svg cannot both write to standard output"},
    };
    cases.insert(cases.end(), onPosix.begin(), onPosix.end());
#endif
    for (const auto& entry : cases) {
        std::string joined;
        for (const std::string& argument : entry.arguments) {
            joined += " " + argument;
        }
        EXPECT_EQ(Outcome(entry.arguments), entry.outcome) << "morvane-host" << joined;
    }
#if !defined(_WIN32)
    fs::current_path(before);
    fs::remove_all(scratch);
#endif
}

// Progress is for a user watching a terminal while a large scene takes
// its time; a script reading standard error hears only what the run says.
TEST(CommandLine, ProgressOnlyOnATerminalForALargeScene) {
    const std::uint64_t large = driver::Progress::kLargeScene;
    const struct {
        std::uint64_t bytes;
        bool terminal;
        bool shown;
    } cases[] = {{large, true, true}, {large - 1, true, false}, {large * 40, false, false}, {0, true, false}};
    for (const auto& c : cases) {
        std::ostringstream err;
        driver::Progress(err, driver::Progress::ShownFor(c.bytes, c.terminal)).Stage("reading x");
        EXPECT_EQ(err.str(), c.shown ? "morvane-host: reading x\n" : "") << c.bytes << " " << c.terminal;
    }
    const std::pair<std::uint64_t, const char*> sizes[] = {
        {999, "999 bytes"}, {1000, "1.0 KB"}, {412'300'000, "412 MB"}, {1'250'000'000, "1.2 GB"}, {9'960, "10 KB"}};
    for (const auto& [bytes, text] : sizes) {
        EXPECT_EQ(driver::SizeText(bytes), text) << bytes;
    }
}
