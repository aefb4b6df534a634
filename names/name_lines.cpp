#include "name_lines.h"

#include <cstring>

namespace names_tool {

std::string LineFault(const char* name, std::size_t length, bool first) {
    if (std::memchr(name, '\n', length) != nullptr) {
        return "its name holds a line feed (LF), which would end its line in the file";
    }
    if (std::memchr(name, '\r', length) != nullptr) {
        return "its name holds a carriage return (CR), which editors take for a line break";
    }
    if (length > kMaxNameLength) {
        return "its name is " + std::to_string(length) + " bytes long, more than the " +
               std::to_string(kMaxNameLength) + " of a line that loading reads";
    }
    if (first && std::strncmp(name, kByteOrderMark, 3) == 0) {
        return "its name begins with a UTF-8 byte-order mark, which loading passes over";
    }
    return "";
}

void AppendNameLine(std::string& out, const char* name, std::size_t length, const char* lineEnd) {
    const bool plainLf = lineEnd[0] == '\n' && lineEnd[1] == '\0';
    const char* end = name + length;
    while (!plainLf && name != end) {
        const void* lf = std::memchr(name, '\n', static_cast<std::size_t>(end - name));
        if (lf == nullptr) {
            break;
        }
        const char* at = static_cast<const char*>(lf);
        out.append(name, at);
        out.append(lineEnd);
        name = at + 1;
    }
    out.append(name, end);
    out.append(lineEnd);
}

}  // namespace names_tool
