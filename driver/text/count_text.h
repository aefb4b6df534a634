#pragma once

#include <cstddef>
#include <string>

namespace driver {

// A count with its noun in the number that agrees with it: "1 node",
// "0 nodes", "2 nodes". Nouns whose plural adds an "s" only.
inline std::string Counted(std::size_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace driver
