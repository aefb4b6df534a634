#include "pivot_utility.h"

// Placeholder: the rotation is built in its own change.
Quat PivotUtility::RotationBetween(const Point3&, const Point3&) { return Quat(); }
