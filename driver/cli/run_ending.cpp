#include "cli/run_ending.h"

#include <algorithm>
#include <csignal>
#include <iostream>

#include "files/display_path.h"
#include "files/output_file.h"
#include "text/name_text.h"

namespace driver {

// Says that the files were written but not the transcript's last lines,
// unless the reader has gone, which hears nothing more.
void ReportUnwrittenTranscript(const OutputFileError& e) {
    if (e.Code() != RefusalCode::ReaderGone) {
        std::cerr << "morvane-host: every file was written, but " << EscapedControls(e.what()) << "\n";
    }
}

// Says that an interrupt came while the files were put in place, and was
// held until they were, and reported.
void ReportHeldInterrupt(std::optional<safewrite::InterruptsHeld>& held) { TellHeldInterrupt(held ? held->Take() : 0); }

void TellHeldInterrupt(int signal) {
#if defined(SIGPIPE)
    // Ignored, though held: a reader that has gone is told nothing.
    if (signal == SIGPIPE) {
        return;
    }
#endif
    if (signal != 0) {
        std::cerr << "morvane-host: signal " << signal
                  << " came while the files were being put in place; they were written whole first\n";
    }
}

// Replays the actions. A tool that saves changes its file before the run
// is done: from the start of a run whose dialogs are answered, an
// interrupt waits, and ends the run once replayed only where no tool wrote
// a file; else it is held until the run's end, and told (`held` then
// stays, until the process ends).
bool ReplayHoldingToolSaves(SessionReplay& replay, const std::vector<Action>& actions,
                            std::optional<safewrite::InterruptsHeld>& held) {
    const bool answers = std::any_of(actions.begin(), actions.end(), [](const Action& action) {
        const auto* answer = std::get_if<AnswerDialog>(&action.what);
        return answer != nullptr && !answer->cancel;
    });
    if (answers) {
        held.emplace();
    }
    const bool done = replay.Run(actions);
    if (held && replay.ToolWritten().empty()) {
        held.reset();
    } else if (held) {
        held->KeepUntilExit();
    }
    return done;
}

// Writes the files, then their lines of the transcript; gives the run's
// status. An interrupt that comes once the files begin to change waits
// until they are written, and then ends nothing: the status and the
// `written:` lines say what was done.
int WriteFilesOfRun(const std::vector<OutputFile>& files, Transcript& transcript) {
    // A transcript that cannot be written fails the run before its files are.
    FlushStandardOutput();
    std::optional<safewrite::InterruptsHeld> held;
    const std::vector<InPlaceReason> inPlace = WriteOutputFiles(files, &held);
    if (held) {
        held->KeepUntilExit();
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (inPlace[i]) {
            std::cerr << "morvane-host: " << QuotedExcerpt(files[i].path) << " was written in place (" << *inPlace[i]
                      << ")\n";
        }
    }
    try {
        for (const OutputFile& file : files) {
            if (file.path != "-") {
                transcript.Written(file.path);
            }
        }
        FlushStandardOutput();
    } catch (const OutputFileError& e) {
        ReportUnwrittenTranscript(e);
        ReportHeldInterrupt(held);
        return kWrittenWithoutTranscript;
    }
    ReportHeldInterrupt(held);
    return 0;
}

}  // namespace driver
