#pragma once

#include <cstdint>

#include "file_calls.h"

namespace safewrite {

class Content;

// Writes `content` at the file's position; `sync` puts it on the disk too.
// Small pieces are gathered into larger writes.
Error WriteAll(File& file, const Content& content, bool sync);

// Writes and closes: the first error of either.
Error WriteAndClose(File& file, const Content& content);

// Copies `size` bytes of `from` at `fromOffset` over those of `to` at
// `toOffset`, in pieces of CopyPieceSize(); Other where `from` ends first.
Error CopyOver(File& from, std::uint64_t fromOffset, File& to, std::uint64_t toOffset, std::uint64_t size);

}  // namespace safewrite
