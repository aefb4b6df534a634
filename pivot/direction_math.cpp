#include "direction_math.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pivot_tool {

namespace {

// A direction at double precision.
struct Vec {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

double Dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vec Cross(const Vec& a, const Vec& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

// Unit vector along v at double precision; false for a vector without a
// direction. Scaling by the largest component first keeps the squares
// within range.
bool Unit(const Vec& v, Vec& unit) {
    const double largest = std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
    if (!std::isfinite(largest) || largest == 0.0) {
        return false;
    }
    const Vec scaled{v.x / largest, v.y / largest, v.z / largest};
    const double length = std::sqrt(Dot(scaled, scaled));
    unit = {scaled.x / length, scaled.y / length, scaled.z / length};
    return true;
}

Vec ToVec(const Point3& p) { return {p.x, p.y, p.z}; }

Point3 ToPoint(const Vec& v) { return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)}; }

// The RotateNode form of the turn by `angle` about the unit `axis`.
Quat TurnQuat(const Vec& axis, double angle) {
    const double s = std::sin(angle * 0.5);
    return Quat(static_cast<float>(axis.x * s), static_cast<float>(axis.y * s), static_cast<float>(axis.z * s),
                static_cast<float>(std::cos(angle * 0.5)))
        .Conjugate();
}

// How far a unit vector may miss length 1 and still count as the host's
// unit vector: a few units in the last place of single precision.
constexpr double kUnitSlack = 1e-6;

// Single-precision unit vectors leave a cosine uncertain by a few 1e-7;
// once 1 + c is this small, that uncertainty is a large part of it and the
// half-angle formulas lose the angle.
constexpr double kOppositeSlack = 1.0 / 65536.0;

// Below this length the sum of two opposite unit vectors carries no
// direction of its own at double precision.
constexpr double kBisectorFloor = 1e-12;

// How many units in the last place of the largest coordinate two points
// may differ by and still count as one: a move in single precision puts a
// pivot onto a point only to about one unit of the coordinates involved.
constexpr float kSamePointUlps = 4.0f;

float Largest(const Point3& v) { return std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)}); }

}  // namespace

bool UnitDirection(const Point3& v, Point3& unit) {
    if (!IsFinite(v)) {
        return false;
    }
    const Point3 host = Normalize(v);
    const Vec h = ToVec(host);
    if (IsFinite(host) && std::fabs(Dot(h, h) - 1.0) <= kUnitSlack) {
        unit = host;
        return true;
    }
    Vec precise;
    if (!Unit(ToVec(v), precise)) {
        return false;
    }
    unit = ToPoint(precise);
    return true;
}

float RowLength(const Point3& v) { return static_cast<float>(std::sqrt(Dot(ToVec(v), ToVec(v)))); }

bool AreSameUpToRounding(const Point3& a, const Point3& b) {
    const float slack = kSamePointUlps * std::numeric_limits<float>::epsilon() * std::max(Largest(a), Largest(b));
    return Largest(a - b) <= slack;
}

double CosineBetween(const Point3& a, const Point3& b) { return Dot(ToVec(a), ToVec(b)); }

bool AreOpposite(double c) { return 1.0 + c <= kOppositeSlack; }

Quat HalfTurnBetween(const Point3& from, const Point3& to) {
    Vec u1, u2;
    if (!Unit(ToVec(from), u1) || !Unit(ToVec(to), u2)) {
        return Quat();
    }
    const Vec sum{u1.x + u2.x, u1.y + u2.y, u1.z + u2.z};
    Vec axis;
    if (std::sqrt(Dot(sum, sum)) <= kBisectorFloor || !Unit(sum, axis)) {
        // Perpendicular to `from`: its cross product with the world axis
        // along which `from` is shortest.
        const double ax = std::fabs(u1.x), ay = std::fabs(u1.y), az = std::fabs(u1.z);
        const Vec world = (ax <= ay && ax <= az) ? Vec{1, 0, 0} : (ay <= az ? Vec{0, 1, 0} : Vec{0, 0, 1});
        Unit(Cross(u1, world), axis);
    }
    const Point3 v = ToPoint(axis);
    return Quat(-v.x, -v.y, -v.z, 0.0f);
}

Quat TurnAbout(const Point3& axis, const Point3& from, const Point3& to) {
    Vec a;
    if (!Unit(ToVec(axis), a) || !IsFinite(from) || !IsFinite(to)) {
        return Quat();
    }
    const Vec f = ToVec(from), g = ToVec(to);
    const double fa = Dot(f, a), ga = Dot(g, a);
    Vec fp, gp;
    if (!Unit({f.x - fa * a.x, f.y - fa * a.y, f.z - fa * a.z}, fp) ||
        !Unit({g.x - ga * a.x, g.y - ga * a.y, g.z - ga * a.z}, gp)) {
        return Quat();
    }
    return TurnQuat(a, std::atan2(Dot(Cross(fp, gp), a), Dot(fp, gp)));
}

// The conjugate of the turn by the angle between the directions about the
// axis from × to, which RotateNode applies to bring `from` onto `to`.
// Precision is part of the contract: the cosine stays at double precision,
// s and h are narrowed to single precision before use, w when stored.
Quat RotationBetween(const Point3& from, const Point3& to) {
    Point3 d1, d2;
    if (!UnitDirection(from, d1) || !UnitDirection(to, d2)) {
        return Quat();
    }
    const double c = CosineBetween(d1, d2);
    if (AreOpposite(c)) {
        return HalfTurnBetween(from, to);
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

}  // namespace pivot_tool
