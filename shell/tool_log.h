#pragma once

#include <cstddef>
#include <string>

#include "interface.h"

// Adds an entry of `type` (a SYSLOG_ value) to the host's system log under
// this library's name, resource string IDS_LIBDESCRIPTION, without showing
// the user anything. Does nothing without an interface or a log.
void LogToolEntry(Interface* ip, DWORD type, const char* text);

// `text` in double quotes as a log entry shows it, on one line and short:
// '"' and '\\' escaped with a backslash, control bytes and DEL as \xHH,
// other bytes as they are; a text of more than kLogQuoteLength bytes is cut
// there (not inside a UTF-8 character) and followed by "..." and its length.
constexpr std::size_t kLogQuoteLength = 80;
std::string QuotedForLog(const char* text);
