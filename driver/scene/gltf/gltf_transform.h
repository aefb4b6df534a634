#pragma once

#include "standin/transform_math.h"

// glTF's local transforms and ours. glTF maps column vectors, p' = M p with
// M = T * R * S; we map row vectors, p' = p * L + t. The two are transposes:
// glTF's column-major 16 numbers are, four at a time, the rows of our
// matrix (X axis, Y axis, Z axis, translation), each followed by the 0 or 1
// of glTF's last row.
namespace driver::gltf {

// A local transform as glTF's translation, rotation and scale: the rotation
// a unit quaternion (x, y, z, w).
struct Trs {
    double translation[3] = {0, 0, 0};
    double rotation[4] = {0, 0, 0, 1};
    double scale[3] = {1, 1, 1};
};

standin::Affine AffineOfTrs(const Trs& trs);
// `m` column-major, with a last row of 0, 0, 0, 1.
standin::Affine AffineOfMatrix(const double (&m)[16]);
void MatrixOfAffine(const standin::Affine& affine, double (&m)[16]);

// The translation, rotation and scale of `local`, or false for a map that
// glTF cannot hold: axes not at right angles (shear), or numbers that are
// not finite. Where the map mirrors, the axes that `like` scales by a
// negative factor are the ones mirrored when that fits, else Z. The
// quaternion has w >= 0. `exact`, if given, receives the map of the
// result before the rotation became a quaternion: `local` with its axes
// made exactly orthogonal. A rotation that lies within single precision's
// noise of a turn by right angles (each axis onto a world axis) is that
// turn exactly.
bool TrsOfAffine(const standin::Affine& local, const Trs& like, Trs& trs, standin::Affine* exact = nullptr);

}  // namespace driver::gltf
