// The part of a run that calls into the plug-ins, in their process.
#include "cli/replayed_run.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <streambuf>
#include <utility>

#include "cli/command_line.h"
#include "cli/missing_files.h"
#include "cli/output_format.h"
#include "cli/run_ending.h"
#include "files/input_file.h"
#include "files/output_file.h"
#include "files/standard_input.h"
#include "hosting/plugin_directory.h"
#include "hosting/session_host.h"
#include "scene/svg/scene_svg.h"
#include "session/session.h"
#include "session/session_check.h"
#include "session/session_replay.h"
#include "session/shortcut.h"
#include "session/transcript.h"
#include "text/name_text.h"
#include "tools/shortcut_session.h"

#if defined(__GLIBC__)
#  include <malloc.h>
#endif

namespace driver {

const char* const kSceneNotWritten = "the scene was not written (a shortcut writes it only with -o OUT)";

namespace {

// Keeps `object` until the process ends, reachable, so that a leak check
// does not count it: freeing a scene of a million nodes, and what a run
// learnt of it, would take longer than the exit that drops them.
template <typename T>
T& KeptUntilExit(std::unique_ptr<T> object) {
    static auto* const kept = new std::vector<std::unique_ptr<T>>();
    kept->push_back(std::move(object));
    return *kept->back();
}

// The scene of a run; a session run whose SESSION is named as a scene is
// told that its arguments may be the wrong way round.
std::unique_ptr<SceneFile> ReadSceneOfRun(const Invocation& invocation, SceneUse use) {
    try {
        return ReadScene(invocation.scenePath, use);
    } catch (const SceneFileError& e) {
        if (invocation.shortcut || !NamedAsScene(invocation.sessionPath)) {
            throw;
        }
        throw SceneFileError(std::string(e.what()) + "; a session takes SCENE SESSION, in that order");
    }
}

void CheckOutputsWritable(const Invocation& invocation, const std::vector<std::string>& outputBeside) {
    for (const auto& [path, option] :
         {std::pair{invocation.outputPath, "-o"}, std::pair{invocation.svgPath, "--svg"}}) {
        if (!path.empty() && path != "-") {
            CheckWritable(path, option);
        }
    }
    for (const std::string& path : outputBeside) {
        CheckWritable(path, "-o");
    }
}

// The files that -o writes beside its scene.
std::vector<std::string> OutputBeside(const Invocation& invocation, const SceneFile& sceneFile) {
    std::vector<std::string> paths;
    if (!invocation.outputPath.empty()) {
        for (const FileBeside& file : sceneFile.FilesBeside(invocation.outputPath)) {
            paths.push_back(file.path);
        }
    }
    return paths;
}

// What -o, --svg and "save" write once the run is done.
std::vector<OutputFile> FilesOfDoneRun(const Invocation& invocation, SceneFile& sceneFile, SessionHost& host,
                                       SessionReplay& replay) {
    std::vector<OutputFile> files = replay.TakeKeptScenes();
    if (!invocation.outputPath.empty()) {
        files.push_back({invocation.outputPath, sceneFile.Content(invocation.outputPath, host.SelectionIndices())});
        for (FileBeside& beside : sceneFile.FilesBeside(invocation.outputPath)) {
            files.push_back({std::move(beside.path), std::move(beside.content)});
        }
    }
    if (!invocation.svgPath.empty()) {
        files.push_back({invocation.svgPath, DrawSceneSvg(replay.History().StartSnapshot(),
                                                          TakeSnapshot(host.Host().Scene()), sceneFile.Up())});
    }
    return files;
}

// A shortcut's message about what its run found in the scene, led by the
// scene's path as the user gave it, so that a loop over many scenes says
// which (a session's messages lead with the session's file and line).
std::string AboutScene(const Invocation& invocation, const std::string& message) {
    return invocation.shortcut ? invocation.scenePath + ": " + message : message;
}

// Names for standard output are saved to a file of the run's own first,
// and handed on once the run is done; its path, none where they are not.
std::optional<std::string> NamesForStandardOutput(const std::optional<Shortcut>& shortcut,
                                                  std::optional<ScratchFolder>& scratch, RunFiles& runFiles) {
    if (!shortcut || !shortcut->namesToStandardOutput) {
        return std::nullopt;
    }
    std::string namesFile = (scratch ? *scratch : scratch.emplace()).PathOf("names.txt");
    runFiles.Proxies().Add({"-", namesFile, "standard output"});
    return namesFile;
}

bool AnswersStandardInput(const std::vector<Action>& actions) {
    return std::any_of(actions.begin(), actions.end(), [](const Action& action) {
        const auto* answer = std::get_if<AnswerDialog>(&action.what);
        return answer != nullptr && !answer->cancel && answer->path == "-";
    });
}

// Names loaded from standard input ("-") are read whole first, into a file
// of the run's own that the open dialog gives the tool, and that no save
// dialog may be given.
void CopyStandardInput(std::optional<ScratchFolder>& scratch, RunFiles& runFiles) {
    const std::string copy = (scratch ? *scratch : scratch.emplace()).PathOf("standard-input.txt");
    WriteOutputFiles({{copy, ReadStandardInput()}});
    runFiles.Proxies().Add({"-", copy, "standard input"});
    if (const std::optional<Refusal> clash =
            runFiles.Add(copy, RunFiles::Use::OnlyRead, "read, never written (a save dialog needs a file)")) {
        throw RunFilesError(clash->message);
    }
}

// The shortcut's session, built once, its NAMES "-" where it stands for
// standard output by any of its names.
std::optional<ShortcutSession> ShortcutSessionOf(std::optional<Shortcut>& shortcut, SessionHost& host) {
    if (!shortcut) {
        return std::nullopt;
    }
    if (shortcut->namesToStandardOutput) {
        shortcut->names = "-";
    }
    return BuildShortcutSession(*shortcut, host);
}

// The files, whose bytes are sent whole: a file whose content copies from
// a file that changed is refused here, as the writing would refuse it.
void TakeFiles(std::vector<OutputFile> files, RunOutcome& outcome) {
    for (const OutputFile& file : files) {
        if (const std::optional<std::string> changed = file.content.ChangedSource()) {
            throw OutputFileError((file.path == "-" ? std::string("standard output") : Excerpt(file.path)) +
                                  ": cannot be written: " + *changed);
        }
    }
    outcome.files = std::move(files);
}

// Checks the actions with the host's tools, as the run must before any runs.
void CheckActions(const Invocation& invocation, const std::optional<Shortcut>& shortcut,
                  std::optional<ShortcutSession>& built, std::vector<Action>& actions, SessionHost& host,
                  RunFiles& runFiles) {
    try {
        CheckSession(actions, host, runFiles);
        if (built) {
            CheckShortcutJob(*shortcut, *built, host, runFiles.Proxies());
        }
    } catch (const CodedError& e) {
        throw CodedError(e.Code(), AboutScene(invocation, e.what()));
    }
}

// The actions replayed, and what the run made of them; `host` is where
// they ran, unloaded by the caller.
void Replay(const Invocation& invocation, SceneFile& sceneFile, std::optional<ScratchFolder>& scratch,
            SessionHost& host, RunOutcome& outcome) {
    std::ostream& out = invocation.WritesToStandardOutput() ? std::cerr : std::cout;
    std::optional<Shortcut> shortcut = invocation.shortcut;
    std::optional<ShortcutSession> built = ShortcutSessionOf(shortcut, host);
    const std::vector<std::string> outputBeside = OutputBeside(invocation, sceneFile);
    RunFiles runFiles = FilesOfRun(invocation, sceneFile.ReferencedFiles(),
                                   built ? built->ChosenFile(*shortcut) : std::nullopt, outputBeside);
    const std::optional<std::string> namesFile = NamesForStandardOutput(shortcut, scratch, runFiles);
    std::vector<Action> sessionActions = built ? std::vector<Action>() : ReadSession(invocation.sessionPath);
    std::vector<Action>& actions = built ? built->actions : sessionActions;
    if (!namesFile && AnswersStandardInput(actions)) {
        CopyStandardInput(scratch, runFiles);
    }
    CheckOutputsWritable(invocation, outputBeside);
    CheckActions(invocation, shortcut, built, actions, host, runFiles);
    Transcript transcript(out, invocation.quiet);
    // Kept until the process ends: freeing what it learnt of a scene of a
    // million nodes would take longer than the exit that drops it.
    SessionReplay& replay = *new SessionReplay(host, transcript, invocation.shortcut.has_value(),
                                               invocation.diff || !invocation.svgPath.empty());
    replay.UseProxies(runFiles.Proxies());
    std::optional<safewrite::InterruptsHeld> toolSaves;
    const bool done = ReplayHoldingToolSaves(replay, actions, toolSaves);
    if (done && invocation.shortcut && invocation.outputPath.empty() && !invocation.quiet) {
        transcript.End(kSceneNotWritten);
    }
    if (invocation.diff) {
        transcript.Changes(replay.History().ChangesSinceStart());
    }
    if (!done) {
        out.flush();
        std::cerr << "morvane-host: " << EscapedControls(AboutScene(invocation, replay.Failure()->message)) << "\n";
        ReportHeldInterrupt(toolSaves);
        outcome.status = ExitStatusOf(replay.Failure()->code);
        return;
    }
    // What the actions freed (the states a large change kept, the tools'
    // own) goes back to the system before the files' bytes are made.
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
    std::vector<OutputFile> files;
    try {
        files = FilesOfDoneRun(invocation, sceneFile, host, replay);
    } catch (const SceneFileError& e) {
        // A scene that its format cannot hold as it now stands (a name with
        // a NUL, a number beyond JSON): the job, not the file, is refused.
        throw CodedError(RefusalCode::NotDone, e.what());
    }
    if (namesFile) {
        files.push_back({"-", ReadInputFile(*namesFile)});
    }
    TakeFiles(std::move(files), outcome);
    outcome.done = true;
    outcome.changed = replay.ChangedCount();
    outcome.toolWritten = replay.ToolWritten();
}

// What is written to `stream` while this lives, kept instead, in a string
// that is then taken whole (a transcript of a million lines is large).
class CapturedStream : private std::streambuf {
public:
    explicit CapturedStream(std::ostream& stream) : stream_(stream), before_(stream.rdbuf(this)) {}
    ~CapturedStream() override { stream_.rdbuf(before_); }
    CapturedStream(const CapturedStream&) = delete;
    CapturedStream& operator=(const CapturedStream&) = delete;
    std::string Take() { return std::move(text_); }

private:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            text_.push_back(traits_type::to_char_type(c));
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        text_.append(data, static_cast<std::size_t>(size));
        return size;
    }

    std::string text_;
    std::ostream& stream_;
    std::streambuf* before_;
};

}  // namespace

bool NeedsScratchFolder(const Invocation& invocation) {
    return !invocation.shortcut || invocation.shortcut->namesToStandardOutput ||
           invocation.shortcut->namesFromStandardInput;
}

RunOutcome ReplayRun(const Invocation& invocation, std::optional<ScratchFolder>& scratch) {
    // What the run says is kept until it is known to have ended well.
    CapturedStream out(std::cout);
    CapturedStream err(std::cerr);
    RunOutcome outcome;
    try {
        // A shortcut's actions save no scene: without -o, the scene is only
        // looked at.
        const bool written = !invocation.outputPath.empty() || !invocation.shortcut;
        SceneFile& sceneFile =
            KeptUntilExit(ReadSceneOfRun(invocation, written ? SceneUse::Written : SceneUse::LookedAt));
        CheckOutputFormat(invocation, sceneFile);
        WarnOfMissingFiles(invocation.scenePath, sceneFile, std::cerr);
        SessionHost host(sceneFile, PluginDirectory());
        Replay(invocation, sceneFile, scratch, host, outcome);
    } catch (const std::exception& e) {
        outcome.refusal = RefusalOf(e);
    } catch (...) {
        outcome.refusal = Refusal{RefusalCode::Failed, "unexpected failure"};
    }
    outcome.out = FileContent(out.Take());
    outcome.err = err.Take();
    return outcome;
}

std::string EncodedReplayRun(const Invocation& invocation, std::optional<ScratchFolder>& scratch) {
    RunOutcome outcome = ReplayRun(invocation, scratch);
    try {
        // The files go to their temporaries here, and only their names to the driver.
        HandOverStagedFiles(outcome.files);
        return Encode(outcome);
    } catch (const std::exception& e) {
        outcome.files.clear();
        outcome.done = false;
        outcome.refusal = RefusalOf(e);
        return Encode(outcome);
    }
}

}  // namespace driver
