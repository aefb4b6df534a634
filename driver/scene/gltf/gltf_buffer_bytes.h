#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "files/source_bytes.h"
#include "text/refusal.h"

// The one way the tools read bytes of a glTF buffer (the inverse bind
// matrices of a skin whose joint's pivot moved, the keys of a node whose
// frame moved): just the bytes asked for, never the whole buffer, through
// the file held open since the scene was read (a GLB file's binary chunk,
// or the buffer's own file), so that they are the bytes of the file that
// was read.
namespace driver::gltf {

// Where a buffer's bytes are: `size` bytes of `file` from `at` (a GLB
// file's binary chunk, or the buffer's own file), else a data: URI, else
// nowhere, `missing` saying why.
struct BufferPlace {
    const SourceBytes* file = nullptr;
    std::uint64_t at = 0;
    std::uint64_t size = 0;
    std::string dataUri;
    std::string missing;
};

// `size` bytes of buffer view `view` from `offset` in it: ReadBufferBytes
// at the place of its buffer, or its compressed bytes decoded. Every
// reader of an accessor's numbers reads them so.
using ViewReader = std::function<std::string(std::size_t view, std::uint64_t offset, std::size_t size)>;

// A buffer's bytes that cannot be read; what() says why.
class BufferReadError : public CodedError {
public:
    explicit BufferReadError(const std::string& why) : CodedError(RefusalCode::BadScene, why) {}
};

// `size` bytes of the buffer at `place` from `offset`: for a file, a
// positioned read of just those bytes; for a data: URI, decoded. Throws
// BufferReadError where they are not there.
std::string ReadBufferBytes(const BufferPlace& place, std::uint64_t offset, std::size_t size);

}  // namespace driver::gltf
