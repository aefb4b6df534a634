#include "session/verb_table.h"

#include <algorithm>
#include <type_traits>
#include <unordered_set>

#include "scene/node_index.h"
#include "text/name_text.h"
#include "text/number_text.h"

namespace driver {

namespace {

template <class A>
A ParseNone(const SessionLine& line) {
    line.NoArgument();
    return A{};
}
template <class A>
std::string WriteNone(const A&) {
    return "";
}

OpenTool ParseOpen(const SessionLine& line) { return {line.NeededArgument()}; }
std::string WriteOpen(const OpenTool& open) { return OnOneLine(open.plugin); }

// Each index once. Duplicates are found as the words are read, in a set
// of one bit an index for the indices below eight times the line's length
// (so that the bits cost at most the line's bytes) and a hash set for the
// larger ones, whose many digits each cost as much: a long selection reads
// in linear time and in memory of a few times its line.
SelectNodes ParseSelect(const SessionLine& line) {
    SelectNodes select;
    const std::size_t bitLimit = 8 * line.Argument().size();
    std::vector<bool> seenBelow;
    std::unordered_set<std::size_t> seenAbove;
    line.EachWord([&](std::string_view word) {
        std::size_t index = 0;
        if (!ReadNodeIndex(word, index)) {
            // A word that is no number at all is most likely a name.
            const bool number = word.find_first_not_of("+-0123456789.eE") == std::string_view::npos;
            line.Refuse(QuotedExcerpt(std::string(word)) + " is not a node index" +
                        (number ? "" : " (select-name NAME selects nodes by name, select-path PATH by path)"));
        }
        if (index == 0) {
            line.Refuse(kRootNotSelectable);
        }
        bool seen = false;
        if (index < bitLimit) {
            if (index >= seenBelow.size()) {
                seenBelow.resize(std::min(bitLimit, std::max(index + 1, 2 * seenBelow.size())));
            }
            seen = seenBelow[index];
            seenBelow[index] = true;
        } else {
            seen = !seenAbove.insert(index).second;
        }
        if (seen) {
            line.Refuse("node " + std::to_string(index) + " is selected twice");
        }
        select.indices.push_back(index);
    });
    return select;
}
std::string WriteSelect(const SelectNodes& select) {
    std::string text;
    for (const std::size_t index : select.indices) {
        text += (text.empty() ? "" : " ") + std::to_string(index);
    }
    return text;
}

SelectNamed ParseSelectNamed(const SessionLine& line) {
    SelectNamed select{line.Names(), {}};
    if (select.patterns.empty()) {
        line.Refuse("\"select-name\" needs a name");
    }
    return select;
}
std::string WriteSelectNamed(const SelectNamed& select) {
    std::string text;
    for (const std::string& pattern : select.patterns) {
        text += (text.empty() ? "" : " ") + Quoted(pattern);
    }
    return text;
}

SelectPath ParseSelectPath(const SessionLine& line) {
    SelectPath select{line.Names(), {}};
    if (select.paths.empty()) {
        line.Refuse("\"select-path\" needs a path");
    }
    return select;
}
std::string WriteSelectPath(const SelectPath& select) { return WriteSelectNamed({select.paths, {}}); }

PressButton ParsePress(const SessionLine& line) { return {line.NeededArgument()}; }
std::string WritePress(const PressButton& press) { return OnOneLine(press.caption); }

ClickRadio ParseRadio(const SessionLine& line) { return {line.NeededArgument()}; }
std::string WriteRadio(const ClickRadio& radio) { return OnOneLine(radio.caption); }

ClickViewport ParseClick(const SessionLine& line) {
    const std::vector<std::string> words = line.Words();
    if (words.size() != 3) {
        line.Refuse("\"click\" needs three numbers: X Y Z");
    }
    ClickViewport click;
    for (int i = 0; i < 3; ++i) {
        const std::string& word = words[static_cast<std::size_t>(i)];
        const NumberProblem problem = ReadNumber(word, click.point[i]);
        if (problem != NumberProblem::None) {
            line.Refuse(NumberProblemText(word, problem));
        }
    }
    return click;
}
std::string WriteClick(const ClickViewport& click) {
    return NumberText(click.point.x) + " " + NumberText(click.point.y) + " " + NumberText(click.point.z);
}

AnswerDialog ParseAnswer(const SessionLine& line) {
    if (line.Argument().empty()) {
        line.Refuse("\"answer\" needs a path or \"cancel\"");
    }
    return line.Argument() == "cancel" ? AnswerDialog{true, ""} : AnswerDialog{false, line.Argument()};
}
std::string WriteAnswer(const AnswerDialog& answer) { return answer.cancel ? "cancel" : OnOneLine(answer.path); }

KeepScene ParseSave(const SessionLine& line) { return {line.NeededArgument()}; }
std::string WriteSave(const KeepScene& keep) { return OnOneLine(keep.path); }

template <class A, class Variant>
struct AlternativeIndex;
template <class A, class... Alternatives>
struct AlternativeIndex<A, std::variant<Alternatives...>> {
    static constexpr std::size_t Find() {
        constexpr bool same[] = {std::is_same_v<A, Alternatives>...};
        for (std::size_t i = 0; i < sizeof...(Alternatives); ++i) {
            if (same[i]) {
                return i;
            }
        }
        return sizeof...(Alternatives);
    }
};

template <class A, A (*Parse)(const SessionLine&), std::string (*Write)(const A&)>
constexpr Verb Row(const char* name, const char* arguments, const char* meaning) {
    return {name,
            arguments,
            meaning,
            [](const SessionLine& line) -> ActionValue { return Parse(line); },
            AlternativeIndex<A, ActionValue>::Find(),
            [](const ActionValue& action) { return Write(std::get<A>(action)); }};
}

template <class A>
constexpr Verb Bare(const char* name, const char* meaning) {
    return Row<A, ParseNone<A>, WriteNone<A>>(name, "", meaning);
}

constexpr Verb kVerbs[] = {
    Row<OpenTool, ParseOpen, WriteOpen>(
        "open", "PLUGIN",
        "opens a tool. PLUGIN is a bare name (`Tarvel`, `Velkora`: the library `PLUGIN.dlu` beside `morvane-host`; "
        "names are matched as the file system matches them) or a path to a library (`./x.dlu`, `build/x.dlu`; a name "
        "with a dot and no folder is taken in the working folder). One tool is open at a time."),
    Bare<CloseTool>("close", "closes the open tool."),
    Row<SelectNodes, ParseSelect, WriteSelect>(
        "select", "I J …",
        "selects the nodes with these pre-order indices, in this order, each at most once; `select` alone clears the "
        "selection. Node 0, the scene root, cannot be selected, as in the host. An open tool hears of the change."),
    Row<SelectNamed, ParseSelectNamed, WriteSelectNamed>(
        "select-name", "NAME …",
        "selects the nodes whose names fit the NAMEs (below): each NAME's nodes in pre-order, the NAMEs in their "
        "order, each node once. The root is left out (a NAME that fits the root alone is an error), and a NAME that "
        "fits no node is an error. The names are those the scene had when it was read, so that this is checked "
        "before the run, like `select`: a renaming by the names tool during the session does not change what it "
        "finds."),
    Row<SelectPath, ParseSelectPath, WriteSelectPath>(
        "select-path", "PATH …",
        "selects the nodes whose paths fit the PATHs, found as those of `select-name` are. A PATH is the names "
        "from a child of the root down to the node, `/` between them (`Props/Chair`; the root's own name is not "
        "part of it), each name a NAME with its wildcards (`*/Chair`: every Chair one level down); a step that is "
        "`**` alone stands for any number of levels, none too (`**/Chair`: every Chair at any depth; "
        "`Props/**/Chair`: every Chair below Props). Within a name, `\\/` stands for a `/` and `\\\\` for a "
        "backslash (`Shelf\\/Rack/Box`)."),
    Row<PressButton, ParsePress, WritePress>(
        "press", "CAPTION",
        "presses the custom button with this caption on the open tool's panel: `press Pick`, `press Align`, `press "
        "Save Names To File`, `press Load Names Form File` (the caption as the tool has it). The caption is the rest "
        "of the line, exactly."),
    Row<ClickRadio, ParseRadio, WriteRadio>(
        "radio", "CAPTION", "clicks the radio button with this caption: `radio X`, `radio Y`, `radio Z`."),
    Row<ClickViewport, ParseClick, WriteClick>(
        "click", "X Y Z",
        "clicks in the viewport on the world point (X, Y, Z), three finite numbers, each rounded once to single "
        "precision. Without an active pick mode the click does nothing."),
    Bare<RightClickPanel>("rightclick", "presses and releases the right mouse button on the open tool's panel."),
    Bare<EndPickMode>("endpick",
                      "the host ends the active pick mode on its own (as when the user starts another command)."),
    Row<AnswerDialog, ParseAnswer, WriteAnswer>(
        "answer", "PATH",
        "the next file dialog that asks for a file gets PATH, typed as a user types it (relative to the working "
        "folder). The tools' dialogs add the default extension \".txt\" to a name typed without an extension. A "
        "dialog that refuses an answer (an open dialog given a file that does not exist) takes the next answer. "
        "`answer cancel` cancels the next file dialog instead; a dialog with no answer left is cancelled as well. (A "
        "file named `cancel` is answered as `./cancel`.)"),
    Row<KeepScene, ParseSave, WriteSave>(
        "save", "FILE",
        "keeps the scene as it is at this point, to be written to FILE when the run is done, in the format FILE is "
        "named for, as `-o` writes it."),
    Bare<PrintNodes>("print", "prints a table of all nodes: index, name, position, axis directions, scales."),
};

constexpr bool EveryActionHasOneVerb() {
    for (std::size_t action = 0; action < std::variant_size_v<ActionValue>; ++action) {
        int verbs = 0;
        for (const Verb& verb : kVerbs) {
            verbs += verb.action == action ? 1 : 0;
        }
        if (verbs != 1) {
            return false;
        }
    }
    return true;
}
static_assert(EveryActionHasOneVerb(), "every kind of action needs exactly one row in kVerbs");

}  // namespace

const Verb* FindVerb(std::string_view name) {
    for (const Verb& verb : kVerbs) {
        if (name == verb.name) {
            return &verb;
        }
    }
    return nullptr;
}

std::vector<const char*> VerbNames() {
    std::vector<const char*> names;
    for (const Verb& verb : kVerbs) {
        names.push_back(verb.name);
    }
    return names;
}

const Verb& VerbOf(const ActionValue& action) {
    for (const Verb& verb : kVerbs) {
        if (verb.action == action.index()) {
            return verb;
        }
    }
    return kVerbs[0];  // not reached: every action has a verb
}

std::string ActionText(const ActionValue& action) {
    const Verb& verb = VerbOf(action);
    const std::string argument = verb.argumentText(action);
    return argument.empty() ? verb.name : verb.name + (" " + argument);
}

std::string VerbTableMarkdown() {
    std::string table = "| Action | What the user does |\n|---|---|\n";
    for (const Verb& verb : kVerbs) {
        table += std::string("| `") + verb.name + (*verb.arguments != '\0' ? " " : "") + verb.arguments + "` | " +
                 verb.meaning + " |\n";
    }
    return table;
}

}  // namespace driver
