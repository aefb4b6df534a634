#pragma once

#include "host_api.h"
#include "node_matrix.h"
#include "quat.h"

// Affine arithmetic of the stand-in host. A NodeMatrix maps row vectors:
// p' = p * L + t, with L the 3x3 of rows X, Y, Z and t the translation row.
// Work is done in double precision and narrowed to single precision once.
namespace standin {

struct Affine {
    double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    double t[3] = {0, 0, 0};
};

HOST_API Affine ToAffine(const NodeMatrix& matrix);
HOST_API NodeMatrix ToNodeMatrix(const Affine& a, std::uint32_t flags = 0);

// The map that applies a first, then b.
HOST_API Affine FirstThen(const Affine& a, const Affine& b);
// False when the 3x3 part is singular or not finite.
HOST_API bool Invert(const Affine& a, Affine& inverse);

HOST_API Affine Translation(double x, double y, double z);
// The 3x3 that turns row vectors by q: the usual rotation matrix of q,
// (1-2(y^2+z^2), 2(xy-wz), 2(xz+wy)) as its first row, applied as p * M.
// q is normalised first; false for a zero or non-finite quaternion.
HOST_API bool RotationOf(const Quat& q, Affine& rotation);
HOST_API Affine ScaleOf(double x, double y, double z);

// A map of world space about a point: p -> (p - origin) * about + origin.
// The origin is kept apart rather than folded into one affine map, whose
// translation would add and subtract origin * about: for large factors
// that cancellation moves the origin itself. Kept apart, the origin maps
// exactly onto itself plus the translation of `about`.
struct WorldOp {
    Affine about;
    double origin[3] = {0, 0, 0};
};

// The operation `op`, given in the frame whose rows are the unit axes of
// `axis` and whose origin is `origin`, expressed in world coordinates:
// T(-origin) * F^-1 * op * F * T(origin). False when the axes are degenerate.
HOST_API bool InFrame(const NodeMatrix& axis, const Point3& origin, const Affine& op, WorldOp& world);
// The map that applies a first, then op.
HOST_API Affine FirstThen(const Affine& a, const WorldOp& op);

HOST_API bool IsFinite(const NodeMatrix& matrix);

}  // namespace standin
