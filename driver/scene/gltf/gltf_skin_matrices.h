#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "scene/gltf/gltf_skins.h"
#include "standin/transform_math.h"
#include "text/text_edits.h"

// The inverse bind matrices of skins whose joints' pivots moved, written
// anew so that the skins' vertices stay where they are. The new matrices
// go into a new buffer (a data: URI); no byte that an accessor reads
// changes. A skin's accessor that nothing else uses is pointed at them,
// and its buffer view too where no other accessor or image uses it; else
// the skin gets a new accessor.
namespace driver::gltf {

// `size` bytes of buffer `buffer` from `offset`; throws what it must.
using BufferReader = std::function<std::string(std::size_t buffer, std::uint64_t offset, std::size_t size)>;

// A moved joint whose new matrix cannot be written.
struct JointMatrixError {
    std::size_t node;
    std::string reason;
};

// Adds to `edits`, edits of `json`, what gives every skin of `model` with
// a joint among `moved` its new matrices: by glTF node, the map that
// follows the joint's old matrix (new = old, then the map, as row-vector
// maps). Throws JointMatrixError.
void EditSkinMatrices(const std::string& json, const SkinModel& model,
                      const std::unordered_map<std::size_t, standin::Affine>& moved, const BufferReader& read,
                      TextEdits& edits);

}  // namespace driver::gltf
