// The session language: the docs' table of verbs is the verb table, every
// action reads back from the line it is echoed as, and lines are read as
// editors write them.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "session/session.h"
#include "session/verb_table.h"
#include "text/name_text.h"

namespace {

std::vector<driver::Action> Parse(const std::string& text) { return driver::ParseSession(text, "t.session"); }

std::string Refusal(const std::string& text) {
    try {
        Parse(text);
    } catch (const driver::SessionError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

#if defined(MORVANE_SOURCE_DIR)
TEST(SessionLanguage, TheDocsTableOfVerbsIsTheVerbTable) {
    std::ifstream docs(MORVANE_SOURCE_DIR "/docs/sessions.md");
    std::stringstream text;
    text << docs.rdbuf();
    const std::string table = driver::VerbTableMarkdown();
    EXPECT_NE(text.str().find("\n\n" + table + "\n"), std::string::npos)
        << "docs/sessions.md should hold this table of verbs, whole:\n"
        << table;
}
#endif

// Random actions of every verb, echoed and read back, echo the same.
TEST(SessionLanguage, EveryActionReadsBackFromItsEcho) {
    std::mt19937 random(5);
    auto word = [&random] {
        std::string text(1 + random() % 6, 'a');
        for (char& c : text) {
            c = "aZ9./-_\"\\*?\x01\xc3\xa9"[random() % 14];
        }
        return text;
    };
    const std::vector<std::string> lines = {"open",   "close", "select", "select-name", "select-path",
                                            "press",  "radio", "click",  "rightclick",  "endpick",
                                            "answer", "save",  "print"};
    for (int i = 0; i < 3000; ++i) {
        const std::string verb = lines[random() % lines.size()];
        std::string line = verb;
        if (verb == "select") {
            for (std::size_t k = 1 + random() % 5; k > 0; --k) line += " " + std::to_string(k * 7 + random() % 7);
        } else if (verb == "select-name" || verb == "select-path") {
            line += " " + driver::Quoted(word()) + " x" + word();
        } else if (verb == "click") {
            line += " " + std::to_string(random() % 100) + ".5 -1e-3 " + std::to_string(random());
        } else if (verb == "open" || verb == "press" || verb == "radio" || verb == "answer" || verb == "save") {
            line += " x" + word();
        }
        const std::vector<driver::Action> first = Parse(line);
        ASSERT_EQ(first.size(), 1u) << line;
        const std::string echo = driver::ActionText(first[0].what);
        EXPECT_EQ(driver::VerbOf(first[0].what).name, verb);
        if (echo.find("\\x") == std::string::npos) {  // control bytes are shown, not given back
            const std::vector<driver::Action> again = Parse(echo);
            ASSERT_EQ(again.size(), 1u) << echo;
            EXPECT_EQ(driver::ActionText(again[0].what), echo) << line;
        }
    }
}

// Texts that come from a command line or the viewer may hold line feeds;
// the echo of their actions stays one line.
TEST(SessionLanguage, AnEchoIsOneLineWhateverItsTexts) {
    const std::string text = "a\nb\r\n";
    const driver::ActionValue actions[] = {driver::OpenTool{text},   driver::PressButton{text},
                                           driver::ClickRadio{text}, driver::AnswerDialog{false, text},
                                           driver::KeepScene{text},  driver::SelectNamed{{text}, {}}};
    for (const driver::ActionValue& action : actions) {
        const std::string echo = driver::ActionText(action);
        EXPECT_EQ(echo.find_first_of("\r\n"), std::string::npos) << echo;
        EXPECT_NE(echo.find("a\\x0ab"), std::string::npos) << echo;
    }
}

// A session's memory grows with its actions, not its lines.
TEST(SessionLanguage, BlankLinesAndCommentsCostNothing) {
    const std::string lines = std::string(1 << 20, '\n') + "# note\n\n" + "close\n";
    const std::vector<driver::Action> actions = Parse(lines);
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_LE(actions.capacity(), 16u);
    EXPECT_EQ(actions[0].origin.line, (1 << 20) + 3);
}

// A line of any length is read in a few times its bytes: a selection that
// repeats a node is refused where the node comes again, a name given again
// is dropped, and a message quotes at most 80 columns of what it was given.
TEST(SessionLanguage, LongLinesAreReadInBoundedMemoryAndQuotedShort) {
    std::string fives = "select";
    std::string names = "select-name";
    for (int i = 0; i < (1 << 20); ++i) {
        fives += " 5";
        names += i % 2 == 0 ? " a" : " \"b c\"";
    }
    EXPECT_EQ(Refusal(fives), "t.session:1: node 5 is selected twice");
    EXPECT_EQ(Refusal("select 5 00000000000000000000000000000000000000000000000000000000000000000000000000000005"),
              "t.session:1: node 5 is selected twice");
    const std::vector<driver::Action> read = Parse(names);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(std::get<driver::SelectNamed>(read[0].what).patterns, (std::vector<std::string>{"a", "b c"}));
    for (const std::string& line :
         {"click 1" + std::string(100000, '0') + " 0 0", "select 9" + std::string(100000, '9'),
          "open " + std::string(100000, 'x') + "\x01"}) {
        const std::string refusal = Refusal(line);
        EXPECT_LT(refusal.size(), 200u) << refusal.substr(0, 200);
    }
}

TEST(SessionLanguage, LinesAreReadAsEditorsWriteThem) {
    const std::string script = "open Tarvel\nselect 5 6\n# note\n\npress Align\nclose\n";
    std::string crlf;
    for (const char c : script) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::string echoes;
    for (const std::string& text : {script, "\xEF\xBB\xBF" + script, crlf, "\xEF\xBB\xBF" + crlf,
                                    std::string("open Tarvel\f\nselect\v5\t6 \npress Align\t\r\n close\f")}) {
        std::string echo;
        for (const driver::Action& action : Parse(text)) echo += driver::ActionText(action.what) + ";";
        EXPECT_EQ(echo, "open Tarvel;select 5 6;press Align;close;") << text;
    }
    for (const std::string& text : {std::string("open Tarvel\rselect 5 6\rclose\r"), std::string("# a\rclose\r")}) {
        EXPECT_EQ(Refusal(text),
                  "t.session:1: a line ends in a carriage return alone; a session's lines end in LF "
                  "or CR LF");
    }
    EXPECT_EQ(Refusal("select 3 4 3"), "t.session:1: node 3 is selected twice");
}

// A transcript's line has a control byte wherever it lies, among any
// others, and none where there is none: every byte at every place of lines
// long and short, on backgrounds of bytes next to the controls' bounds.
TEST(SessionLanguage, ControlsAreFoundWhereverTheyLie) {
    const unsigned char bytes[] = {0x00, 0x01, 0x09, 0x0a, 0x1f, 0x20, 0x21, 0x7e, 0x7f, 0x80, 0x9f, 0xa0, 0xff};
    for (const unsigned char background : {'a', ' ', '\n', '\x21', '\x7e', '\x80', '\xff'}) {
        for (std::size_t length = 1; length <= 20; ++length) {
            for (std::size_t at = 0; at < length; ++at) {
                for (const unsigned char byte : bytes) {
                    std::string line(length, static_cast<char>(background));
                    line[at] = static_cast<char>(byte);
                    const bool control = (byte < 0x20 && byte != '\n') || byte == 0x7f;
                    EXPECT_EQ(driver::HasControls(line), control)
                        << "byte " << int(byte) << " at " << at << " of " << length << " on " << int(background);
                }
            }
        }
    }
}
