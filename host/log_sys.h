#pragma once

#include "win32/win_api.h"

// Entry types of the host's system log.
constexpr DWORD SYSLOG_ERROR = 0x00000001;
constexpr DWORD SYSLOG_WARN = 0x00000002;
constexpr DWORD SYSLOG_INFO = 0x00000004;
constexpr DWORD SYSLOG_DEBUG = 0x00000008;

// The host's system log: where a tool says what a command did without
// interrupting the user. Called on the user-interface thread; the host
// copies both texts before the call returns.
class LogSys {
public:
    // `type` is one SYSLOG_ value; with `dialogue` false nothing is shown
    // to the user. `title` names the tool, `text` says what happened. The
    // texts are taken as they are (no format string).
    virtual void LogEntry(DWORD type, BOOL dialogue, const char* title, const char* text) = 0;

protected:
    ~LogSys() = default;
};
