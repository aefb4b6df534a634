#include "movable_axes.h"

#include <cfloat>
#include <cmath>

namespace pivot_tool {

namespace {

double LengthOf(const Point3& v) { return std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z); }

// The cosines of the angles between the axes X and Y, X and Z, Y and Z.
void AxisCosines(const NodeMatrix& m, double (&cosines)[3]) {
    double unit[3][3];
    for (int k = 0; k < 3; ++k) {
        const double length = LengthOf(m.row[k]);
        for (int c = 0; c < 3; ++c) {
            unit[k][c] = m.row[k][c] / length;
        }
    }
    const int pairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    for (int p = 0; p < 3; ++p) {
        const double* a = unit[pairs[p][0]];
        const double* b = unit[pairs[p][1]];
        cosines[p] = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    }
}

// How far the cosines of two placements' axis angles may differ and still
// count as the same angles: single-precision axes, made in turns and
// multiplied through a hierarchy, hold a right angle to about 1e-6.
constexpr double kAngleSlack = 1e-5;

}  // namespace

double AxesDeterminant(const NodeMatrix& m) {
    const Point3& x = m.row[0];
    const Point3& y = m.row[1];
    const Point3& z = m.row[2];
    return double(x.x) * (double(y.y) * z.z - double(y.z) * z.y) -
           double(x.y) * (double(y.x) * z.z - double(y.z) * z.x) +
           double(x.z) * (double(y.x) * z.y - double(y.y) * z.x);
}

bool ReachableAxes(const NodeMatrix& from, const NodeMatrix& to, Point3& signs) {
    // Per handedness, the four sign choices: each reverses a different set
    // of axis angles. The first one that fits is taken.
    static const float kSame[4][3] = {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
    static const float kMirror[4][3] = {{1, 1, -1}, {1, -1, 1}, {-1, 1, 1}, {-1, -1, -1}};
    const bool mirror = (AxesDeterminant(from) < 0.0) != (AxesDeterminant(to) < 0.0);
    double fromCosines[3], toCosines[3];
    AxisCosines(from, fromCosines);
    AxisCosines(to, toCosines);
    const int pairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    for (const auto& choice : mirror ? kMirror : kSame) {
        bool fits = true;
        for (int p = 0; p < 3; ++p) {
            const double sign = double(choice[pairs[p][0]]) * choice[pairs[p][1]];
            fits = fits && std::fabs(toCosines[p] - sign * fromCosines[p]) <= kAngleSlack;
        }
        if (fits) {
            signs = Point3(choice[0], choice[1], choice[2]);
            return true;
        }
    }
    return false;
}

bool FitsAlongAxes(const NodeMatrix& m, const Point3& v) {
    // Cramer's rule: c.k is the volume with row k replaced by v, over the
    // volume of the axes.
    const double volume = AxesDeterminant(m);
    for (int k = 0; k < 3; ++k) {
        NodeMatrix replaced = m;
        replaced.row[k] = v;
        const double c = AxesDeterminant(replaced) / volume;
        if (!std::isfinite(c) || std::fabs(c) > double(FLT_MAX)) {
            return false;
        }
    }
    return true;
}

bool AxesAtRightAngles(const NodeMatrix& m) {
    double cosines[3];
    AxisCosines(m, cosines);
    return std::fabs(cosines[0]) <= kAngleSlack && std::fabs(cosines[1]) <= kAngleSlack &&
           std::fabs(cosines[2]) <= kAngleSlack;
}

const char* AxesFault(const NodeMatrix& m) {
    for (const Point3& row : m.row) {
        if (!IsFinite(row)) {
            return "transform is not finite";
        }
    }
    static const char* const kWithoutLength[3] = {"X axis has no length", "Y axis has no length",
                                                  "Z axis has no length"};
    for (int k = 0; k < 3; ++k) {
        if (m.row[k] == Point3(0, 0, 0)) {
            return kWithoutLength[k];
        }
    }
    // The host keeps an object in place under a moved or turned pivot by an
    // offset formed through the inverse of the axes and stored in single
    // precision. Its rounding moves the object by up to about FLT_EPSILON
    // times the ratio of the product of the row lengths to the axes'
    // volume, in units of its coordinates; a volume of at least 1/64 of
    // that product keeps the drift within kMostDrift, the rounding of a few
    // single-precision steps, as for any other node.
    constexpr double kMostDrift = 64 * double(FLT_EPSILON);
    constexpr double kLeastVolume = double(FLT_EPSILON) / kMostDrift;
    const double volume = std::fabs(AxesDeterminant(m));
    const double box = LengthOf(m.row[0]) * LengthOf(m.row[1]) * LengthOf(m.row[2]);
    return volume >= kLeastVolume * box ? nullptr : "axes are coplanar";
}

}  // namespace pivot_tool
