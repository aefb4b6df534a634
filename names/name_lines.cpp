#include "name_lines.h"

#include <cstring>

namespace names_file {

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

}  // namespace names_file
