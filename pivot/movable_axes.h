#pragma once

#include "node_matrix.h"

// What the host needs of a node's transform before the pivot tool moves,
// turns or scales it.
namespace pivot_tool {

// Why the host cannot move, turn and scale a node whose transform is `m`,
// phrased to follow "its" (as in "its axes are coplanar"), or null when
// it can: every row finite, and axis rows that span space with a volume
// that single precision can invert without moving the node's object.
// Measured at double precision, so rows of any finite, non-zero length count.
const char* AxesFault(const NodeMatrix& m);

// The determinant of the three axis rows at double precision, which no
// single-precision row can overflow: negative for a mirrored node.
double AxesDeterminant(const NodeMatrix& m);

// True when the world vector v, measured along the axes of `m` (v = c.x X
// + c.y Y + c.z Z), has coordinates c that single precision holds. The
// host keeps an object's offset from its pivot in these coordinates.
// `m` must pass AxesFault.
bool FitsAlongAxes(const NodeMatrix& m, const Point3& v);

// Turns, and scales along a node's own axes, keep the angles between its
// axes; a negative scale reverses an axis, and with it the angles to that
// axis and the handedness. True when such steps can take the axes of
// `from` to those of `to`: `signs` then gives, per axis, the sign of the
// scale that does it (all +1 for axes at right angles of one handedness,
// Z reversed for a mirror). Both must pass AxesFault.
bool ReachableAxes(const NodeMatrix& from, const NodeMatrix& to, Point3& signs);

// True when the axes of `m` are at right angles to each other, to the
// slack that ReachableAxes allows.
bool AxesAtRightAngles(const NodeMatrix& m);

}  // namespace pivot_tool
