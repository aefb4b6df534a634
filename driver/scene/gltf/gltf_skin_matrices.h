#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "scene/gltf/gltf_buffer_bytes.h"
#include "scene/gltf/gltf_new_data.h"
#include "scene/gltf/gltf_skins.h"
#include "standin/transform_math.h"
#include "text/refusal.h"
#include "text/text_edits.h"

// The inverse bind matrices of skins whose joints' pivots moved, written
// anew so that the skins' vertices stay where they are, as new data of the
// file (gltf_new_data.h): a skin's accessor that nothing but skins that
// get the same matrices uses is pointed at them; else the skin gets a new
// accessor.
namespace driver::gltf {

// A moved joint (a glTF node) whose new matrix cannot be written; what()
// says why.
class JointMatrixError : public CodedError {
public:
    JointMatrixError(std::size_t joint, const std::string& why) : CodedError(RefusalCode::BadScene, why), node(joint) {}
    std::size_t node;
};

// Adds to `edits`, edits of `json`, and to `data` what gives every skin
// of `model` with a joint among `moved` its new matrices: by glTF node,
// the map that follows the joint's old matrix (new = old, then the map, as
// row-vector maps). Throws JointMatrixError.
void EditSkinMatrices(const std::string& json, const SkinModel& model, const BufferModel& buffers,
                      const std::unordered_map<std::size_t, standin::Affine>& moved, const ViewReader& read,
                      NewData& data, TextEdits& edits);

}  // namespace driver::gltf
