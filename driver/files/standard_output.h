#pragma once

namespace driver {

// Sends std::cout through a buffer that remembers why its first write to
// standard output failed, so that the report made long after can say so
// (errno has changed by then); on Windows it makes standard output binary
// too. Called once, before anything is written.
void KeepStandardOutputErrors();

// The error number of the first write to standard output that failed
// since KeepStandardOutputErrors, or 0.
int StandardOutputError();

// Whether standard output is a pipe (or socket) whose reader has gone:
// the first failed write said EPIPE, or the system says so now.
bool StandardOutputReaderGone();

}  // namespace driver
