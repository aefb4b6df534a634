#pragma once

#include <optional>
#include <string>
#include <string_view>

// data: URIs, in which a glTF file may carry a buffer's bytes itself.
namespace driver::gltf {

// The bytes of a base64 data: URI ("data:application/octet-stream;base64,..."),
// or none for one that is not base64 or not well formed.
std::optional<std::string> DataUriBytes(std::string_view uri);

// A data: URI of glTF's buffer type that holds `bytes`, base64-encoded.
std::string BufferDataUri(std::string_view bytes);

}  // namespace driver::gltf
