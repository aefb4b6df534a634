#pragma once

namespace driver {

// Standard output and standard error that go to a console window show the
// UTF-8 text sent to them as the characters it stands for, whatever the
// console's code page: on Windows such a stream writes to the console in
// UTF-16; a file or a pipe gets the bytes as they are. Elsewhere a console
// takes UTF-8 as it is. Called once, after KeepStandardOutputErrors.
#if defined(_WIN32)
void ShowTextOnConsoles();
#else
inline void ShowTextOnConsoles() {}
#endif

}  // namespace driver
