#include "movable_axes.h"

#include <cmath>

namespace tarvel {

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
    return AxesDeterminant(m) != 0.0 ? nullptr : "axes are coplanar";
}

}  // namespace tarvel
