#pragma once

#include <string>
#include <thread>

// What the viewer's command needs of the system beyond files and sockets:
// view_platform_posix.cpp and view_platform_win32.cpp.
namespace driver {

class ViewServer;

// Makes a new folder that only the user can enter, and gives its path:
// on POSIX systems in $XDG_RUNTIME_DIR (else the temporary folder) with
// mode 0700; on Windows in the user's local application-data folder, with
// an access list that lets in the user alone, which the files made in it
// inherit. Throws OutputFileError when none can be made.
std::string MakePrivateFolder();
// Lets the user alone read or write the file `path` (on Windows an access
// list of the user alone, read back to check it; mode 0600 elsewhere).
// Throws OutputFileError when it cannot.
void KeepToUser(const std::string& path);

// Until EndSignalThread, an interruption (SIGINT, SIGTERM, SIGHUP or
// SIGQUIT; on Windows Ctrl+C, Ctrl+Break or the console's closing) stops
// `server` from a thread of its own instead of ending the program.
std::thread StopOnSignal(ViewServer& server);
void EndSignalThread(std::thread& waiter);

// Opens the file `page` in the user's browser ($BROWSER, else xdg-open;
// on Windows the default browser, through the shell); says on the
// standard error when it cannot.
void OpenBrowser(const std::string& page);

}  // namespace driver
