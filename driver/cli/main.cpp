// morvane-host: runs the plug-ins on a scene file, through their panels.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_arguments.h"
#include "cli/command_line.h"
#include "cli/list_command.h"
#include "cli/missing_files.h"
#include "files/console_output.h"
#include "files/display_path.h"
#include "files/input_file.h"
#include "files/output_file.h"
#include "files/scratch_folder.h"
#include "files/standard_input.h"
#include "files/standard_output.h"
#include "files/system_reason.h"
#include "hosting/plugin_directory.h"
#include "hosting/session_host.h"
#include "scene/scene_format.h"
#include "scene/svg/scene_svg.h"
#include "session/session.h"
#include "session/session_check.h"
#include "session/session_replay.h"
#include "session/shortcut.h"
#include "session/transcript.h"
#include "temporary_files.h"
#include "text/count_text.h"
#include "text/name_text.h"
#include "text/refusal.h"
#include "view/view_command.h"

#if defined(__GLIBC__)
#  include <malloc.h>
#endif

namespace {

// A scene is written in the format it was read in; which that is, the
// file's content can tell as well as its name.
void CheckOutputFormat(const driver::Invocation& invocation, const driver::SceneFile& sceneFile) {
    if (!invocation.outputPath.empty() && invocation.outputPath != "-") {
        if (const std::optional<driver::Refusal> wrong = sceneFile.WrongName(invocation.outputPath)) {
            throw driver::UsageError("-o: " + driver::QuotedExcerpt(invocation.outputPath) + ": " + wrong->message);
        }
    }
}

// The viewer's Save writes -o in the scene's format too; a wrong name is a
// mistake of the command line, found before the viewer starts.
void CheckViewOutputFormat(const driver::Invocation& invocation) {
    if (!invocation.outputPath.empty()) {
        if (const std::optional<driver::Refusal> wrong =
                driver::WrongOutputName(invocation.scenePath, invocation.outputPath)) {
            throw driver::UsageError("-o: " + driver::QuotedExcerpt(invocation.outputPath) + ": " + wrong->message);
        }
    }
}

void CheckOutputsWritable(const driver::Invocation& invocation) {
    for (const auto& [path, option] :
         {std::pair{invocation.outputPath, "-o"}, std::pair{invocation.svgPath, "--svg"}}) {
        if (!path.empty() && path != "-") {
            driver::CheckWritable(path, option);
        }
    }
}

// What -o, --svg and "save" write once the run is done.
std::vector<driver::OutputFile> FilesOfDoneRun(const driver::Invocation& invocation, driver::SceneFile& sceneFile,
                                               driver::SessionHost& host, driver::SessionReplay& replay) {
    std::vector<driver::OutputFile> files = replay.TakeKeptScenes();
    if (!invocation.outputPath.empty()) {
        files.push_back({invocation.outputPath, sceneFile.Content(invocation.outputPath, host.SelectionIndices())});
    }
    if (!invocation.svgPath.empty()) {
        files.push_back(
            {invocation.svgPath, driver::DrawSceneSvg(replay.History().StartSnapshot(),
                                                      driver::TakeSnapshot(host.Host().Scene()), sceneFile.Up())});
    }
    return files;
}

// The status of a run whose files were all written, but whose transcript's
// last lines could not be.
constexpr int kWrittenWithoutTranscript = 3;

// Says that the files were written but not the transcript's last lines,
// unless the reader has gone, which hears nothing more.
void ReportUnwrittenTranscript(const driver::OutputFileError& e) {
    if (e.Code() != driver::RefusalCode::ReaderGone) {
        std::cerr << "morvane-host: every file was written, but " << driver::EscapedControls(e.what()) << "\n";
    }
}

// Says that an interrupt came while the files were put in place, and was
// held until they were, and reported.
void ReportHeldInterrupt(std::optional<safewrite::InterruptsHeld>& held) {
    if (const int signal = held ? held->Take() : 0; signal != 0) {
        std::cerr << "morvane-host: signal " << signal
                  << " came while the files were being put in place; they were written whole first\n";
    }
}

// Writes the files, then their lines of the transcript; gives the run's
// status. An interrupt that comes once the files begin to change waits
// until they are written, and then ends nothing: the status and the
// `written:` lines say what was done.
int WriteFilesOfRun(const std::vector<driver::OutputFile>& files, driver::Transcript& transcript) {
    // A transcript that cannot be written fails the run before its files are.
    driver::FlushStandardOutput();
    std::optional<safewrite::InterruptsHeld> held;
    const std::vector<driver::InPlaceReason> inPlace = driver::WriteOutputFiles(files, &held);
    if (held) {
        held->KeepUntilExit();
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (inPlace[i]) {
            std::cerr << "morvane-host: " << driver::QuotedExcerpt(files[i].path) << " was written in place ("
                      << *inPlace[i] << ")\n";
        }
    }
    try {
        for (const driver::OutputFile& file : files) {
            if (file.path != "-") {
                transcript.Written(file.path);
            }
        }
        driver::FlushStandardOutput();
    } catch (const driver::OutputFileError& e) {
        ReportUnwrittenTranscript(e);
        ReportHeldInterrupt(held);
        return kWrittenWithoutTranscript;
    }
    ReportHeldInterrupt(held);
    return 0;
}

constexpr const char* kSceneNotWritten = "the scene was not written (a shortcut writes it only with -o OUT)";

// What a quiet run wrote, for its summary line: "written out.gltf, out.svg",
// the files that the tools saved first.
std::string WrittenSummary(const std::vector<std::string>& toolWritten, const std::vector<driver::OutputFile>& files,
                           bool sceneNotWritten) {
    std::vector<std::string> paths = toolWritten;
    for (const driver::OutputFile& file : files) {
        paths.push_back(file.path);
    }
    std::string written;
    for (const std::string& path : paths) {
        written +=
            (written.empty() ? "written " : ", ") +
            (path == "-" ? std::string("to standard output") : driver::EscapedControls(driver::DisplayPath(path)));
    }
    if (sceneNotWritten) {
        written += (written.empty() ? "" : "; ") + std::string(kSceneNotWritten);
    }
    return written.empty() ? "nothing written" : written;
}

// The last line of a quiet run: "changed 3 nodes; written out.gltf". Gives
// the run's status, its files being written.
int PrintSummary(std::ostream& out, std::size_t changed, const std::string& written) {
    try {
        out << "changed " << driver::Counted(changed, "node") << "; " << written << "\n";
        if (&out == &std::cout) {
            driver::FlushStandardOutput();
        }
    } catch (const driver::OutputFileError& e) {
        ReportUnwrittenTranscript(e);
        return kWrittenWithoutTranscript;
    }
    return 0;
}

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
std::unique_ptr<driver::SceneFile> ReadSceneOfRun(const driver::Invocation& invocation, driver::SceneUse use) {
    try {
        return driver::ReadScene(invocation.scenePath, use);
    } catch (const driver::SceneFileError& e) {
        if (invocation.shortcut || !driver::NamedAsScene(invocation.sessionPath)) {
            throw;
        }
        throw driver::SceneFileError(std::string(e.what()) + "; a session takes SCENE SESSION, in that order");
    }
}

// A shortcut's message about what its run found in the scene, led by the
// scene's path as the user gave it, so that a loop over many scenes says
// which (a session's messages lead with the session's file and line).
std::string AboutScene(const driver::Invocation& invocation, const std::string& message) {
    return invocation.shortcut ? invocation.scenePath + ": " + message : message;
}

// Names for standard output are saved to a file of the run's own first,
// and handed on once the run is done; its path, none where they are not.
std::optional<std::string> NamesForStandardOutput(std::optional<driver::Shortcut>& shortcut,
                                                  std::optional<driver::ScratchFolder>& scratch,
                                                  driver::RunFiles& runFiles) {
    if (!shortcut || !shortcut->namesToStandardOutput) {
        return std::nullopt;
    }
    std::string namesFile = scratch.emplace().PathOf("names.txt");
    shortcut->names = "-";
    runFiles.Proxies().Add({"-", namesFile, "standard output"});
    return namesFile;
}

bool AnswersStandardInput(const std::vector<driver::Action>& actions) {
    return std::any_of(actions.begin(), actions.end(), [](const driver::Action& action) {
        const auto* answer = std::get_if<driver::AnswerDialog>(&action.what);
        return answer != nullptr && !answer->cancel && answer->path == "-";
    });
}

// Names loaded from standard input ("-") are read whole first, into a file
// of the run's own that the open dialog gives the tool, and that no save
// dialog may be given.
void CopyStandardInput(std::optional<driver::ScratchFolder>& scratch, driver::RunFiles& runFiles) {
    const std::string copy = (scratch ? *scratch : scratch.emplace()).PathOf("standard-input.txt");
    driver::WriteOutputFiles({{copy, driver::ReadStandardInput()}});
    runFiles.Proxies().Add({"-", copy, "standard input"});
    if (const std::optional<driver::Refusal> clash =
            runFiles.Add(copy, driver::RunFiles::Use::OnlyRead, "read, never written (a save dialog needs a file)")) {
        throw driver::RunFilesError(clash->message);
    }
}

// The file that the names tool's dialog gives for a shortcut's NAMES; a
// tool that cannot be loaded is left to the check, which says why.
std::optional<std::string> NamesChosen(const std::optional<driver::Shortcut>& shortcut, driver::SessionHost& host) {
    if (!shortcut || shortcut->namesToStandardOutput || shortcut->namesFromStandardInput) {
        return std::nullopt;
    }
    try {
        return driver::ShortcutNamesFile(*shortcut, host);
    } catch (const driver::ToolLibraryError&) {
        return std::nullopt;
    }
}

// A run: build the actions, check them with everything else that can be
// checked, replay them, report them. The files of -o, --svg and "save"
// are written only when the run was done.
int Run(const driver::Invocation& invocation) {
    std::ostream& out = invocation.WritesToStandardOutput() ? std::cerr : std::cout;
    // A shortcut's actions save no scene: without -o, the scene is only
    // looked at.
    const bool written = !invocation.outputPath.empty() || !invocation.shortcut;
    if (invocation.shortcut) {
        driver::TryShortcutToolAhead(*invocation.shortcut);  // while this process is small
    }
    driver::SceneFile& sceneFile =
        KeptUntilExit(ReadSceneOfRun(invocation, written ? driver::SceneUse::Written : driver::SceneUse::LookedAt));
    CheckOutputFormat(invocation, sceneFile);
    driver::WarnOfMissingFiles(invocation.scenePath, sceneFile, std::cerr);
    driver::SessionHost host(sceneFile, driver::PluginDirectory());
    driver::RunFiles runFiles =
        driver::FilesOfRun(invocation, sceneFile.ReferencedFiles(), NamesChosen(invocation.shortcut, host));
    std::optional<driver::Shortcut> shortcut = invocation.shortcut;
    std::optional<driver::ScratchFolder> scratch;
    const std::optional<std::string> namesFile = NamesForStandardOutput(shortcut, scratch, runFiles);
    std::vector<driver::Action> actions = shortcut ? driver::ShortcutActions(*shortcut)
                                                   : driver::ReadSession(invocation.sessionPath);
    if (!namesFile && AnswersStandardInput(actions)) {
        CopyStandardInput(scratch, runFiles);
    }
    CheckOutputsWritable(invocation);

    try {
        driver::CheckSession(actions, host, runFiles);
        if (invocation.shortcut) {
            driver::CheckShortcutJob(*shortcut, actions, host, runFiles.Proxies());
        }
    } catch (const driver::CodedError& e) {
        throw driver::CodedError(e.Code(), AboutScene(invocation, e.what()));
    }
    driver::Transcript transcript(out, invocation.quiet);
    driver::SessionReplay& replay =
        KeptUntilExit(std::make_unique<driver::SessionReplay>(host, transcript, invocation.shortcut.has_value(),
                                                              invocation.diff || !invocation.svgPath.empty()));
    replay.UseProxies(runFiles.Proxies());
    const bool done = replay.Run(actions);
    const bool sceneNotWritten = invocation.shortcut && invocation.outputPath.empty();
    if (done && sceneNotWritten && !invocation.quiet) {
        transcript.End(kSceneNotWritten);
    }
    if (invocation.diff) {
        transcript.Changes(replay.History().ChangesSinceStart());
    }
    if (!done) {
        out.flush();
        std::cerr << "morvane-host: " << driver::EscapedControls(AboutScene(invocation, replay.Failure()->message))
                  << "\n";
        return driver::ExitStatusOf(replay.Failure()->code);
    }
    // What the actions freed (the states a large change kept, the tools'
    // own) goes back to the system before the files' bytes are made.
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
    std::vector<driver::OutputFile> files = FilesOfDoneRun(invocation, sceneFile, host, replay);
    if (namesFile) {
        files.push_back({"-", driver::ReadInputFile(*namesFile)});
    }
    const int status = WriteFilesOfRun(files, transcript);
    if (status == 0 && invocation.quiet) {
        return PrintSummary(out, replay.ChangedCount(), WrittenSummary(replay.ToolWritten(), files, sceneNotWritten));
    }
    return status;
}

// The text of --help or --version; a reader that stopped reading early
// (`| head -1`) had what it wanted.
int PrintJobText(const std::string& text) {
    std::cout << text;
    try {
        driver::FlushStandardOutput();
    } catch (const driver::OutputFileError& e) {
        if (e.Code() == driver::RefusalCode::ReaderGone) {
            return 0;
        }
        throw;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    driver::KeepStandardOutputErrors();
    driver::ShowTextOnConsoles();
#if defined(SIGPIPE)
    // A reader of standard output that has gone is an error of writing,
    // reported like any other; it must not end the run once its files
    // are written, nor the viewer's server when a browser goes.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // An interrupted run leaves every file it writes as it was.
    safewrite::ExitOnInterrupt();
#if defined(SIGXFSZ)
    // A write beyond the file size limit then fails with EFBIG, which the
    // tools report (and a save cleans up after), instead of ending the run.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    try {
        const driver::Invocation invocation = driver::ParseCommandLine(driver::CommandArguments(argc, argv));
        switch (invocation.job) {
            case driver::Invocation::Job::Help:
                return PrintJobText(driver::UsageText());
            case driver::Invocation::Job::Version:
                return PrintJobText(driver::VersionText());
            case driver::Invocation::Job::Run:
                break;
        }
        if (invocation.command == driver::Command::List) {
            return driver::RunList(invocation.scenePath, invocation.json);
        }
        if (invocation.command == driver::Command::View) {
            CheckViewOutputFormat(invocation);
            return driver::RunView({invocation.scenePath, invocation.outputPath, invocation.port,
                                    invocation.openBrowser, invocation.allowedFolders});
        }
        return Run(invocation);
    } catch (const std::exception& e) {
        // The one boundary of a run: every refusal ends it with the status
        // that the table gives its code.
        const driver::Refusal refusal = driver::RefusalOf(e);
        if (refusal.code != driver::RefusalCode::ReaderGone) {
            std::cerr << "morvane-host: " << driver::EscapedControls(refusal.message)
                      << (refusal.code == driver::RefusalCode::Usage ? "; try morvane-host --help\n" : "\n");
        }
        return driver::ExitStatusOf(refusal.code);
    } catch (...) {
        std::cerr << "morvane-host: unexpected failure\n";
        return 1;
    }
}
