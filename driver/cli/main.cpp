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
#include "cli/output_format.h"
#include "cli/progress.h"
#include "cli/replayed_run.h"
#include "cli/run_ending.h"
#include "cli/run_outcome.h"
#include "cli/run_request.h"
#include "files/console_output.h"
#include "files/display_path.h"
#include "files/input_file.h"
#include "files/output_file.h"
#include "files/scratch_folder.h"
#include "files/standard_input.h"
#include "files/standard_output.h"
#include "files/system_reason.h"
#include "handed_temporaries.h"
#include "hosting/plugin_directory.h"
#include "hosting/supervised_run.h"
#include "journal.h"
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
        written += (written.empty() ? "" : "; ") + std::string(driver::kSceneNotWritten);
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
        driver::ReportUnwrittenTranscript(e);
        return driver::kWrittenWithoutTranscript;
    }
    return 0;
}

// A run: the scene is read, and the plug-ins run on it, in a process of
// their own (replayed_run.h); what they did is reported here, and the
// files of -o, --svg and "save" are written here, only when the run was
// done and that process ended cleanly.
int Run(const driver::Invocation& invocation, const std::vector<std::string>& arguments) {
    std::ostream& out = invocation.WritesToStandardOutput() ? std::cerr : std::cout;
    // A write in place that a killed run left in part is put back before anything is read.
    safewrite::RecoverJournalsBeside({invocation.scenePath, invocation.sessionPath, invocation.outputPath}, "morvane");
    std::optional<driver::ScratchFolder> scratch;
    if (driver::NeedsScratchFolder(invocation)) {
        scratch.emplace();
    }
    const driver::Progress progress = driver::ProgressOfScene(invocation.scenePath);
    // An interrupt while the plug-ins run ends the run once they have
    // ended, where no tool saved a file; else it is told at the end.
    safewrite::TellInterruptsAtRunEnd();
    // The plug-ins' process stages the files; what it leaves is removed whatever becomes of it.
    const safewrite::ChildTemporaries staged;
    const driver::RunOutcome outcome = driver::Decode(std::make_shared<const std::string>(driver::RunSupervised(
        driver::EncodeRunRequest({arguments, scratch ? scratch->Folder() : std::string()}), driver::ReplayRequest)));
    if (outcome.toolWritten.empty()) {
        safewrite::EndIfInterrupted();
    }
    outcome.out.EachPiece([](std::string_view piece) {
        std::cout.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        return safewrite::Error::None;
    });
    std::cerr << outcome.err;
    if (outcome.refusal) {
        throw driver::CodedError(outcome.refusal->code, outcome.refusal->message);
    }
    if (!outcome.done) {
        driver::TellHeldInterrupt(safewrite::TakeInterrupt());
        return outcome.status;
    }
    const std::vector<driver::OutputFile>& files = outcome.files;
    driver::Transcript transcript(out, invocation.quiet);
    progress.Stage("writing");
    const int status = driver::WriteFilesOfRun(files, transcript);
    driver::TellHeldInterrupt(safewrite::TakeInterrupt());
    if (status == 0 && invocation.quiet) {
        const bool sceneNotWritten = invocation.shortcut && invocation.outputPath.empty();
        return PrintSummary(out, outcome.changed, WrittenSummary(outcome.toolWritten, files, sceneNotWritten));
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
        const std::vector<std::string> arguments = driver::CommandArguments(argc, argv);
        if (const std::optional<int> served = driver::ServeSupervisor(arguments, driver::ReplayRequest)) {
            return *served;
        }
        const driver::Invocation invocation = driver::ParseCommandLine(arguments);
        switch (invocation.job) {
            case driver::Invocation::Job::Help:
                return PrintJobText(invocation.helpOf ? driver::CommandUsageText(*invocation.helpOf)
                                                      : driver::UsageText());
            case driver::Invocation::Job::Version:
                return PrintJobText(driver::VersionText());
            case driver::Invocation::Job::Run:
                break;
        }
        if (invocation.command == driver::Command::List) {
            return driver::RunList(invocation.scenePath, invocation.json);
        }
        if (invocation.command == driver::Command::View) {
            driver::CheckViewOutputFormat(invocation);
            return driver::RunView({invocation.scenePath, invocation.outputPath, invocation.port,
                                    invocation.openBrowser, invocation.allowedFolders});
        }
        return Run(invocation, arguments);
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
