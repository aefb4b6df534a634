#include "tool_log.h"

#include <cstring>

#include "module_state.h"
#include "shell_resource.h"

void LogToolEntry(Interface* ip, DWORD type, const char* text) {
    LogSys* log = ip != nullptr ? ip->Log() : nullptr;
    if (log == nullptr) {
        return;
    }
    const char* title = GetString(IDS_LIBDESCRIPTION);
    log->LogEntry(type, FALSE, title != nullptr ? title : "", text);
}

std::string QuotedForLog(const char* text) {
    static const char kHex[] = "0123456789abcdef";
    const std::size_t length = std::strlen(text);
    std::size_t shown = length;
    if (length > kLogQuoteLength) {
        shown = kLogQuoteLength;
        // A cut inside a UTF-8 character moves before it (at most three bytes).
        for (int back = 0; back < 3 && (static_cast<unsigned char>(text[shown]) & 0xC0) == 0x80; ++back) {
            --shown;
        }
    }
    std::string quoted = "\"";
    for (std::size_t i = 0; i < shown; ++i) {
        const auto code = static_cast<unsigned char>(text[i]);
        if (code == '"' || code == '\\') {
            quoted += '\\';
            quoted += text[i];
        } else if (code < 0x20 || code == 0x7F) {
            quoted += "\\x";
            quoted += kHex[code >> 4];
            quoted += kHex[code & 0xF];
        } else {
            quoted += text[i];
        }
    }
    quoted += shown < length ? "...\" (" + std::to_string(length) + " bytes)" : "\"";
    return quoted;
}
