#pragma once

// The descriptor inside a File, for this folder's system calls alone.
#include <cstdint>

#include "file_calls.h"

namespace safewrite {

struct Access {
    static std::intptr_t& Handle(File& file) { return file.handle_; }
    static int Descriptor(const File& file) { return static_cast<int>(file.handle_); }
};

}  // namespace safewrite
