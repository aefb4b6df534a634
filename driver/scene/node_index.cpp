#include "scene/node_index.h"

#include <charconv>

namespace driver {

bool ReadNodeIndex(std::string_view text, std::size_t& index) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return false;
    }
    const char* end = text.data() + text.size();
    const std::from_chars_result read = std::from_chars(text.data(), end, index);
    return read.ec == std::errc() && read.ptr == end;
}

}  // namespace driver
