#pragma once

#include <cstddef>

namespace driver {

// The bytes [begin, end) of a text.
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
};

}  // namespace driver
