#pragma once

// The handle inside a File, for this folder's system calls alone.
#include <windows.h>

#include <cstdint>

#include "file_calls.h"

namespace safewrite {

struct Access {
    static std::intptr_t& Handle(File& file) { return file.handle_; }
    static HANDLE Of(const File& file) { return reinterpret_cast<HANDLE>(file.handle_); }
    static void Set(File& file, HANDLE handle) {
        file = File();
        file.handle_ = reinterpret_cast<std::intptr_t>(handle);
    }
};

}  // namespace safewrite
