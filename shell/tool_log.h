#pragma once

#include "interface.h"

// Adds an entry of `type` (a SYSLOG_ value) to the host's system log under
// this library's name, resource string IDS_LIBDESCRIPTION, without showing
// the user anything. Does nothing without an interface or a log.
void LogToolEntry(Interface* ip, DWORD type, const char* text);
