#pragma once

#include "point3.h"
#include "quat.h"

// Direction arithmetic of the pivot tool. Every quaternion here is in the
// form that RotateNode takes to turn one direction onto another (the form
// RotationBetween returns).
namespace pivot_tool {

// The unit vector along v: the host's Normalize, or, for vectors whose
// length single precision cannot form (very long or very short ones), the
// same direction formed at double precision. False when v has no
// direction: zero length, or a component that is not finite.
bool UnitDirection(const Point3& v, Point3& unit);

// The length of v, formed at double precision and then narrowed, so that
// no finite row counts as zero or infinite by squaring in single
// precision. Infinite only where the length itself exceeds single precision.
float RowLength(const Point3& v);

// True when a and b differ by no more than the rounding of their own
// coordinates. Not a number or an infinite difference never counts as same.
bool AreSameUpToRounding(const Point3& a, const Point3& b);

// a . b at double precision.
double CosineBetween(const Point3& a, const Point3& b);

// True when two unit directions with cosine c are opposite within what
// single-precision unit vectors can resolve. There the cosine alone no
// longer fixes the angle, and a turn must be formed without it.
bool AreOpposite(double c);

// A half turn (w = 0) that takes `from` onto `to`, which are opposite in
// the sense of AreOpposite: about the bisector of the two directions, or,
// where they are opposite within double precision, about an axis
// perpendicular to `from`. Both must have a direction (UnitDirection).
Quat HalfTurnBetween(const Point3& from, const Point3& to);

// The turn about `axis` that takes the part of `from` perpendicular to the
// axis onto the part of `to` perpendicular to it, at any angle up to a half
// turn. The identity when either part or the axis has no direction.
Quat TurnAbout(const Point3& axis, const Point3& from, const Point3& to);

// The rotation that RotateNode uses to turn direction `from` onto `to`;
// Quat() when either has no direction (UnitDirection).
Quat RotationBetween(const Point3& from, const Point3& to);

}  // namespace pivot_tool
