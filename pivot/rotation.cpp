#include <cmath>

#include "direction_math.h"
#include "pivot_utility.h"

// The conjugate of the turn by the angle between the directions about the
// axis from × to, which RotateNode applies to bring `from` onto `to`.
// Precision is part of the contract: the cosine stays at double precision,
// s and h are narrowed to single precision before use, w when stored.
Quat PivotUtility::RotationBetween(const Point3& from, const Point3& to) {
    Point3 d1, d2;
    if (!tarvel::UnitDirection(from, d1) || !tarvel::UnitDirection(to, d2)) {
        return Quat();
    }
    const double c = tarvel::CosineBetween(d1, d2);
    if (tarvel::AreOpposite(c)) {
        return tarvel::HalfTurnBetween(from, to);
    }
    const Point3 axis = CrossProd(d1, d2);
    const float s = static_cast<float>(std::sqrt(1.0 - c * c));
    const float h = static_cast<float>(std::sqrt((1.0 - c) * 0.5));
    const double w = std::sqrt((c + 1.0) * 0.5);
    // Directions less than about 5e-4 radians apart can round c to 1 or
    // above it, and s to zero or not a number. The cross product then
    // stands scaled by 1/2, the limit of h / s as the angle shrinks;
    // unscaled, it would be the vector part of twice the angle.
    Point3 v = axis * 0.5f;
    if (s < 0.0f || s > 0.0f) {
        v = axis * h / s;
    }
    const Quat identity(0.0f, 0.0f, 0.0f, 1.0f);
    return (identity * Quat(v.x, v.y, v.z, static_cast<float>(w))).Conjugate();
}
