#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "scene/gltf/gltf_transform.h"
#include "scene/scene_format.h"
#include "standin/transform_math.h"

// How an animated node's keys follow a constant change of its placement,
// exactly, or why TRS keys cannot. A node keeps what it shows in play when
// its frame at every time is the old one after a constant change (our row
// vectors: new world = change, then old world). Its local transform then
// is, in glTF's column vectors,
//
//     new(t) = before x old(t) x after
//
// with `before` the inverse of its parent's change and `after` its own.
// Translation keys map affinely under any `before` where nothing else of
// the node is animated; rotation and scale keys follow only a `before`
// that turns and scales uniformly, without mirror (multiplied on the left,
// a constant turn commutes with linear, step and cubic-spline
// interpolation: it maps the quaternions' great circles and tangents onto
// others), and an `after` that keeps the node's origin where it is and
// turns it at most (on the right, the turn moves nothing that rotation keys
// place, and commutes with the scale only where that is uniform).
namespace driver::gltf {

struct KeyMap {
    // Translation keys: t' = linear t + offset, column vectors; tangents by
    // `linear` alone.
    double linear[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    double offset[3] = {0, 0, 0};
    // Rotation keys and their tangents: q' = left q right, as quaternions
    // (x, y, z, w).
    double left[4] = {0, 0, 0, 1};
    double right[4] = {0, 0, 0, 1};
    // Scale keys and their tangents: s' = factor s.
    double factor = 1;
    // Where not empty, the offset of each translation key (3 numbers a
    // key, tangents' left out) in place of `offset`: keys that step with
    // rotation or scale keys whose shift of a moved pivot steps with them.
    std::vector<double> offsets;
};

// A node's change, as row-vector maps: its parent's (`parent`), its own
// (`own`), and its local transform as read (`rest`, its scale's signs
// those of `like`). `pivotStays`: `own` keeps the node's origin where it
// was, to the precision of the scene.
// For the keys of one animation, `rest` holds the rotation and scale that
// it plays where they are constant; `shiftCarried`: where the pivot moved,
// the shift that its rotation and scale give the origin is constant (or
// steps with the translation keys), so translation keys carry it;
// `uniformScaleKeys`: every scale key (tangents too) is uniform;
// `constantRotation`: the rotation keys never change.
struct NodeChange {
    standin::Affine parent;
    standin::Affine own;
    standin::Affine rest;
    Trs like;
    bool pivotStays = false;
    bool shiftCarried = false;
    bool uniformScaleKeys = false;
    bool constantRotation = false;
};

// Why no keys of one part of a node can follow its change exactly: the
// part ("rotation", "scale") and the reason ("its pivot moved off the
// point that its keys turn it about, ...").
struct KeyFault {
    const char* part;
    std::string reason;
};

// The map of the keys of a node whose `driven` parts of its placement an
// animation drives; or why no keys can follow the change exactly.
std::optional<KeyFault> KeyMapOf(const NodeChange& change, const AnimatedParts& driven, KeyMap& map);

// The offset of translation keys under `change` (its `rest` the local
// transform that plays with them): what KeyMapOf puts in `offset`.
void TranslationOffset(const NodeChange& change, double (&offset)[3]);

// The keys of a channel of `part` ("translation", "rotation" or "scale"):
// `count` values of 3 numbers (4 for a rotation), each key an in-tangent,
// a value and an out-tangent where `cubic`, mapped by `map`.
void MapKeys(const KeyMap& map, const std::string& part, bool cubic, double* values, std::size_t count);

}  // namespace driver::gltf
