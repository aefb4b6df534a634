// The keys that follow a change of a node's placement: for random changes
// that TRS keys can follow, the node's transform made of the mapped keys,
// interpolated linearly, by steps or by cubic spline at any time between
// them, is the old one between the changes; changes that keys cannot
// follow are refused by the part that cannot.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "affine_distance.h"
#include "scene/gltf/gltf_key_map.h"

using driver::AnimatedParts;
using driver::gltf::KeyMap;
using driver::gltf::NodeChange;
using driver::gltf::Trs;
using standin::Affine;

namespace {

Trs RandomTrs(std::mt19937& random, bool uniform) {
    std::uniform_real_distribution<double> place(-5, 5), factor(0.5, 2);
    std::normal_distribution<double> normal;
    Trs trs;
    double length = 0;
    for (double& q : trs.rotation) {
        q = normal(random);
        length += q * q;
    }
    for (int i = 0; i < 3; ++i) {
        trs.translation[i] = place(random);
        trs.rotation[i] /= std::sqrt(length);
        trs.scale[i] = factor(random);
    }
    trs.rotation[3] /= std::sqrt(length);
    if (uniform) {
        trs.scale[1] = trs.scale[2] = trs.scale[0];
    }
    return trs;
}

Affine Turn(std::mt19937& random, double factor = 1) {
    Trs trs = RandomTrs(random, true);
    std::fill(std::begin(trs.translation), std::end(trs.translation), 0.0);
    std::fill(std::begin(trs.scale), std::end(trs.scale), factor);
    return AffineOfTrs(trs);
}

// `count` numbers of a key a fraction `s` of the way from `a` to `b`:
// linearly (a rotation along the shorter great circle), by step, or by the
// cubic Hermite spline over the keys' interval of length 1 with the
// out-tangent of `a` and the in-tangent of `b`.
void Between(const double* a, const double* b, const double* out, const double* in, int count, bool rotation,
             const std::string& interpolation, double s, double* v) {
    const double s2 = s * s, s3 = s2 * s;
    double dot = 0;
    for (int i = 0; i < count; ++i) {
        dot += a[i] * b[i];
    }
    const double sign = dot < 0 ? -1 : 1;
    const double angle = std::acos(std::min(1.0, std::fabs(dot)));
    for (int i = 0; i < count; ++i) {
        if (interpolation == "STEP") {
            v[i] = a[i];
        } else if (interpolation == "CUBICSPLINE") {
            v[i] = (2 * s3 - 3 * s2 + 1) * a[i] + (s3 - 2 * s2 + s) * out[i] + (-2 * s3 + 3 * s2) * b[i] +
                   (s3 - s2) * in[i];
        } else if (rotation && angle > 1e-9) {
            v[i] = (std::sin((1 - s) * angle) * a[i] + sign * std::sin(s * angle) * b[i]) / std::sin(angle);
        } else {
            v[i] = (1 - s) * a[i] + s * b[i];
        }
    }
    if (rotation) {
        const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2] + v[3] * v[3]);
        for (int i = 0; i < 4; ++i) {
            v[i] /= length;
        }
    }
}

}  // namespace

TEST(GltfKeyMap, MappedKeysGiveTheOldTransformBetweenTheChangesAtEveryTime) {
    std::mt19937 random(41);
    const char* const interpolations[] = {"LINEAR", "STEP", "CUBICSPLINE"};
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // A child's change (its parent's turns, shifts and scales it
        // uniformly) or the node's own: an only translated node under a
        // parent that stretches it and with its pivot moved; a turn in place
        // of a rotating node of uniform scale.
        const int kind = round % 4;
        const AnimatedParts driven{kind != 2, kind == 1 || kind == 2, kind == 3};
        Trs rest = RandomTrs(random, kind == 2);
        NodeChange change;
        change.pivotStays = kind != 0;
        change.parent = Turn(random, kind == 3 ? 1.5 : 1);
        change.own = kind == 2 ? Turn(random) : Affine();
        if (kind == 0) {  // no turn, so that the stretch leaves no shear
            rest.rotation[0] = rest.rotation[1] = rest.rotation[2] = 0;
            rest.rotation[3] = 1;
            change.parent = standin::ScaleOf(0.5, 2, -1.5);
            change.own = standin::Translation(1, -2, 0.5);
        }
        change.parent.t[0] = kind == 2 ? 0 : 3;
        change.rest = AffineOfTrs(rest);
        KeyMap map;
        ASSERT_FALSE(KeyMapOf(change, driven, map)) << "kind " << kind;
        Affine parentInverse;
        ASSERT_TRUE(standin::Invert(change.parent, parentInverse));
        const Affine newRest = standin::FirstThen(standin::FirstThen(change.own, change.rest), parentInverse);
        Trs restAfter;
        ASSERT_TRUE(TrsOfAffine(newRest, rest, restAfter));

        // Two keys of each driven part, with tangents, mapped as the file's.
        const std::string interpolation = interpolations[round % 3];
        Trs keys[2] = {RandomTrs(random, false), RandomTrs(random, false)};
        const Trs tangents[2] = {RandomTrs(random, false), RandomTrs(random, false)};  // out of 0, into 1
        for (const double s : {0.0, 0.3, 0.7, 1.0}) {
            Trs before = rest, after = restAfter;
            auto part = [&](auto member, std::size_t count, bool rotation, bool drives, const std::string& name) {
                if (!drives) {
                    return;
                }
                // Each key as the file holds it for a cubic spline: in-tangent,
                // value, out-tangent; the key before's out-tangent and the key
                // after's in-tangent are the ones the interval uses.
                double mapped[2][3 * 4];
                for (std::size_t k = 0; k < 2; ++k) {
                    const double* parts[3] = {tangents[1].*member, keys[k].*member, tangents[0].*member};
                    for (std::size_t e = 0; e < 3; ++e) {
                        std::copy(parts[e], parts[e] + count, mapped[k] + e * count);
                    }
                    MapKeys(map, name, true, mapped[k], 3);
                }
                Between(keys[0].*member, keys[1].*member, tangents[0].*member, tangents[1].*member,
                        static_cast<int>(count), rotation, interpolation, s, before.*member);
                Between(mapped[0] + count, mapped[1] + count, mapped[0] + 2 * count, mapped[1], static_cast<int>(count),
                        rotation, interpolation, s, after.*member);
            };
            part(&Trs::translation, 3, false, driven.translation, "translation");
            part(&Trs::rotation, 4, true, driven.rotation, "rotation");
            part(&Trs::scale, 3, false, driven.scale, "scale");
            const Affine expected =
                standin::FirstThen(standin::FirstThen(change.own, AffineOfTrs(before)), parentInverse);
            EXPECT_LT(AffineDistance(AffineOfTrs(after), expected), 1e-9) << interpolation << " at " << s;
        }
    }
}

TEST(GltfKeyMap, ChangesThatKeysCannotFollowAreRefusedByThePartThatCannot) {
    std::mt19937 random(42);
    Affine mirror, stretch = standin::ScaleOf(1, 2, 1), moved = standin::Translation(0, 1, 0);
    mirror.m[0][0] = -1;
    const struct {
        AnimatedParts driven;
        bool uniform;
        Affine parent, own;
        const char* part;  // null: the keys follow
        const char* says;
    } cases[] = {
        {{false, true, false}, true, Affine(), moved, "rotation", "its pivot moved off the point"},
        {{false, false, true}, true, Affine(), moved, "scale", "its pivot moved off the point"},
        {{false, true, false}, true, mirror, Affine(), "rotation", "its parent's change mirrors it"},
        {{false, false, true}, true, stretch, Affine(), "scale", "or stretches it"},
        {{false, false, true}, true, Affine(), Turn(random), "scale", "its axes turned"},
        {{false, true, false}, false, Affine(), Turn(random), "rotation", "scaled by different factors"},
        {{false, true, false}, false, Affine(), mirror, "rotation", "its own change mirrors it"},
        {{true, false, false}, false, mirror, moved, nullptr, ""},
        {{true, false, false}, false, stretch, Turn(random), nullptr, ""},
        {{true, true, true}, false, Turn(random, 2), standin::ScaleOf(3, 3, 3), nullptr, ""},
    };
    for (const auto& c : cases) {
        NodeChange change;
        change.rest = AffineOfTrs(RandomTrs(random, c.uniform));
        change.parent = c.parent;
        change.own = c.own;
        change.pivotStays = c.own.t[1] == 0;
        KeyMap map;
        const auto fault = KeyMapOf(change, c.driven, map);
        ASSERT_EQ(fault.has_value(), c.part != nullptr) << c.says;
        if (fault) {
            EXPECT_EQ(std::string(fault->part), c.part);
            EXPECT_NE(fault->reason.find(c.says), std::string::npos) << fault->reason;
        }
    }
}

// What the keys of one animation tell: scale keys all uniform follow a
// turn of the node's axes, and its rotation keys do whatever it rests at;
// a moved pivot is followed where the shift is carried, and otherwise
// refused by the part whose keys vary; translation keys that step take
// each key's own offset.
TEST(GltfKeyMap, UniformScaleKeysFollowATurnAndACarriedShiftAMovedPivot) {
    std::mt19937 random(43);
    const Affine moved = standin::Translation(0, 1, 0);
    const struct {
        AnimatedParts driven;
        bool uniformKeys, carried, constantRotation;
        Affine own;
        const char* part;  // null: the keys follow
    } cases[] = {
        {{false, false, true}, true, false, false, Turn(random), nullptr},
        {{false, true, true}, true, false, false, Turn(random), nullptr},
        {{false, false, true}, false, false, false, Turn(random), "scale"},
        {{false, true, false}, true, false, false, Turn(random), "rotation"},  // no scale keys: the rest's plays
        {{true, true, true}, true, true, true, moved, nullptr},
        {{true, true, true}, true, false, true, moved, "scale"},
        {{true, true, true}, true, false, false, moved, "rotation"},
    };
    for (const auto& c : cases) {
        NodeChange change;
        change.rest = AffineOfTrs(RandomTrs(random, false));
        change.own = c.own;
        change.pivotStays = c.own.t[1] == 0;
        change.uniformScaleKeys = c.uniformKeys;
        change.shiftCarried = c.carried;
        change.constantRotation = c.constantRotation;
        KeyMap map;
        const auto fault = KeyMapOf(change, c.driven, map);
        ASSERT_EQ(fault.has_value(), c.part != nullptr) << (fault ? fault->reason : "");
        if (fault) {
            EXPECT_EQ(std::string(fault->part), c.part) << fault->reason;
        }
    }
    KeyMap map;
    map.offsets = {1, 2, 3, -4, -5, -6};
    double keys[] = {0, 0, 0, 0, 0, 0, 7, 7, 7};  // the third key has no offset of its own
    MapKeys(map, "translation", false, keys, 3);
    EXPECT_EQ(std::vector<double>(keys, keys + 9), std::vector<double>({1, 2, 3, -4, -5, -6, 7, 7, 7}));
}
