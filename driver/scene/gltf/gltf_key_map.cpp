#include "scene/gltf/gltf_key_map.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace driver::gltf {

namespace {

// A change counts as a uniform scale times a turn while, divided by its
// factor, it stays this close to the turn (relative): above what single-
// precision world matrices, inverted and multiplied in double precision,
// make of one (1e-6), at what a viewer could tell apart.
constexpr double kSimilarTolerance = 1e-5;
// A change turns the node's axes where its quaternion's axis part is
// longer than this (2e-6 radians), far below what can be seen, above the
// rounding of single-precision matrices.
constexpr double kTurnTolerance = 1e-6;

// A uniform scale and a turn, without mirror: the map's 3x3 is factor x turn.
struct Similarity {
    double turn[4];
    double factor;
};

std::optional<Similarity> SimilarityOf(const standin::Affine& map) {
    Trs trs;
    if (!TrsOfAffine(map, Trs(), trs)) {
        return std::nullopt;
    }
    const double factor = trs.scale[0];
    for (const double s : trs.scale) {
        if (!(s > 0) || std::fabs(s - factor) > kSimilarTolerance * factor) {
            return std::nullopt;
        }
    }
    Trs similar = trs;
    std::fill(std::begin(similar.scale), std::end(similar.scale), factor);
    const standin::Affine rebuilt = AffineOfTrs(similar);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            if (std::fabs(rebuilt.m[i][j] - map.m[i][j]) > kSimilarTolerance * factor) {
                return std::nullopt;
            }
        }
    }
    Similarity similarity{{}, factor};
    std::copy(std::begin(trs.rotation), std::end(trs.rotation), similarity.turn);
    return similarity;
}

bool Turns(const double (&q)[4]) { return std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]) > kTurnTolerance; }

bool UniformScale(const standin::Affine& rest, const Trs& like) {
    Trs trs;
    if (!TrsOfAffine(rest, like, trs)) {
        return false;
    }
    const double size = std::max({std::fabs(trs.scale[0]), std::fabs(trs.scale[1]), std::fabs(trs.scale[2])});
    return std::fabs(trs.scale[0] - trs.scale[1]) <= kSimilarTolerance * size &&
           std::fabs(trs.scale[0] - trs.scale[2]) <= kSimilarTolerance * size;
}

// The quaternion product a b: the turn b, then a.
void Product(const double* a, const double* b, double* out) {
    const double x = a[3] * b[0] + b[3] * a[0] + a[1] * b[2] - a[2] * b[1];
    const double y = a[3] * b[1] + b[3] * a[1] + a[2] * b[0] - a[0] * b[2];
    const double z = a[3] * b[2] + b[3] * a[2] + a[0] * b[1] - a[1] * b[0];
    const double w = a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2];
    out[0] = x;
    out[1] = y;
    out[2] = z;
    out[3] = w;
}

// The translation keys' map: the parent's inverse change, and the offset
// that gives the rest translation its new value.
void TranslationMap(const standin::Affine& before, const NodeChange& change, KeyMap& map) {
    const standin::Affine rest = standin::FirstThen(standin::FirstThen(change.own, change.rest), before);
    for (int i = 0; i < 3; ++i) {
        map.offset[i] = rest.t[i];
        for (int j = 0; j < 3; ++j) {
            map.linear[i][j] = before.m[j][i];  // our rows are glTF's columns
            map.offset[i] -= before.m[j][i] * change.rest.t[j];
        }
    }
}

}  // namespace

std::optional<KeyFault> KeyMapOf(const NodeChange& change, const AnimatedParts& driven, KeyMap& map) {
    standin::Affine before;
    if (!standin::Invert(change.parent, before)) {
        return KeyFault{"translation", "its parent's change cannot be inverted"};
    }
    map = KeyMap();
    TranslationMap(before, change, map);
    if (!driven.rotation && !driven.scale) {
        return std::nullopt;  // translation keys map affinely whatever the changes
    }
    const char* part = driven.rotation ? "rotation" : "scale";
    const std::string keys = driven.rotation ? "no rotation keys turn it" : "no scale keys scale it";
    if (!change.pivotStays && !change.shiftCarried) {
        // Of rotation keys that never change, the scale keys are what varies.
        const bool turns = driven.rotation && !(change.constantRotation && driven.scale);
        return KeyFault{turns ? "rotation" : "scale",
                        std::string("its pivot moved off the point that its keys ") + (turns ? "turn" : "scale") +
                            " it about, and " + (turns ? "no rotation keys turn it" : "no scale keys scale it") +
                            " about another point as they did"};
    }
    const std::optional<Similarity> parent = SimilarityOf(before);
    if (!parent) {
        return KeyFault{part,
                        "its parent's change mirrors it or stretches it more along some axes than along "
                        "others, which " +
                            keys + " as they did"};
    }
    const std::optional<Similarity> own = SimilarityOf(change.own);
    if (!own) {
        return KeyFault{part,
                        "its own change mirrors it or stretches it more along some axes than along others, "
                        "which " +
                            keys + " as they did"};
    }
    // A uniform scale commutes with the turn.
    const bool uniformKeys = driven.scale && change.uniformScaleKeys;
    if (Turns(own->turn) && driven.scale && !uniformKeys) {
        return KeyFault{"scale", "its axes turned, and no scale keys scale it along other axes as they did"};
    }
    if (Turns(own->turn) && !uniformKeys && !UniformScale(change.rest, change.like)) {
        return KeyFault{"rotation",
                        "its axes turned, and it is scaled by different factors along them, which no "
                        "rotation keys turn as they did"};
    }
    std::copy(std::begin(parent->turn), std::end(parent->turn), map.left);
    std::copy(std::begin(own->turn), std::end(own->turn), map.right);
    map.factor = parent->factor * own->factor;
    return std::nullopt;
}

void TranslationOffset(const NodeChange& change, double (&offset)[3]) {
    standin::Affine before;
    KeyMap map;
    if (standin::Invert(change.parent, before)) {
        TranslationMap(before, change, map);
    }
    std::copy(std::begin(map.offset), std::end(map.offset), std::begin(offset));
}

void MapKeys(const KeyMap& map, const std::string& part, bool cubic, double* values, std::size_t count) {
    const std::size_t size = part == "rotation" ? 4 : 3;
    for (std::size_t k = 0; k < count; ++k) {
        double* v = values + size * k;
        const bool tangent = cubic && k % 3 != 1;
        if (part == "rotation") {
            double turned[4];
            Product(map.left, v, turned);
            Product(turned, map.right, v);
        } else if (part == "scale") {
            for (std::size_t i = 0; i < 3; ++i) {
                v[i] *= map.factor;
            }
        } else {
            const double t[3] = {v[0], v[1], v[2]};
            const std::size_t key = cubic ? k / 3 : k;
            const double* offset = map.offsets.size() >= 3 * (key + 1) ? &map.offsets[3 * key] : map.offset;
            for (int i = 0; i < 3; ++i) {
                v[i] = (tangent ? 0 : offset[i]) + map.linear[i][0] * t[0] + map.linear[i][1] * t[1] +
                       map.linear[i][2] * t[2];
            }
        }
    }
}

}  // namespace driver::gltf
