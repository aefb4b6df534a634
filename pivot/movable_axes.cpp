#include "movable_axes.h"

#include <cfloat>
#include <cmath>

namespace tarvel {

namespace {

double LengthOf(const Point3& v) { return std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z); }

}  // namespace

double AxesDeterminant(const NodeMatrix& m) {
    const Point3& x = m.row[0];
    const Point3& y = m.row[1];
    const Point3& z = m.row[2];
    return double(x.x) * (double(y.y) * z.z - double(y.z) * z.y) -
           double(x.y) * (double(y.x) * z.z - double(y.z) * z.x) +
           double(x.z) * (double(y.x) * z.y - double(y.y) * z.x);
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

}  // namespace tarvel
