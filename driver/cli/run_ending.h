#pragma once

#include <optional>
#include <vector>

#include "files/output_file.h"
#include "session/session_replay.h"
#include "session/transcript.h"
#include "temporary_files.h"

namespace driver {

// How a run ends once its actions are replayed: its files written, the
// interrupts that came meanwhile told, its status.

// The status of a run whose files were all written, but whose transcript's
// last lines could not be.
constexpr int kWrittenWithoutTranscript = 3;

// Says that the files were written but not the transcript's last lines,
// unless the reader has gone, which hears nothing more.
void ReportUnwrittenTranscript(const OutputFileError& e);

// Says that an interrupt came while files were changing, and was held
// until they were whole (SIGPIPE, ignored, is not told).
void ReportHeldInterrupt(std::optional<safewrite::InterruptsHeld>& held);
// The same for `signal` (0: none came).
void TellHeldInterrupt(int signal);

// Replays the actions. A tool that saves changes its file before the run
// is done: in a run whose dialogs are answered, an interrupt waits until
// the replay ends; it then ends the run only where no tool wrote a file,
// and is otherwise held in `held` until the run's end, and told.
bool ReplayHoldingToolSaves(SessionReplay& replay, const std::vector<Action>& actions,
                            std::optional<safewrite::InterruptsHeld>& held);

// Writes the files, then their lines of the transcript; gives the run's
// status (0, or kWrittenWithoutTranscript).
int WriteFilesOfRun(const std::vector<OutputFile>& files, Transcript& transcript);

}  // namespace driver
