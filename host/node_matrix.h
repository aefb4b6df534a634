#pragma once

#include <cstdint>

#include "point3.h"

// A node's world transform as the host returns it: rows X, Y, Z (the axes,
// whose lengths are the axis scales) and the translation row (the pivot's
// world position). A point p maps to p.x*X + p.y*Y + p.z*Z + translation.
struct NodeMatrix {
    Point3 row[4] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};
    std::uint32_t flags = 0;

    Point3& GetRow(int i) { return row[i]; }
    const Point3& GetRow(int i) const { return row[i]; }
    const Point3& GetTrans() const { return row[3]; }
    void SetTrans(const Point3& t) { row[3] = t; }

    // p * M for a point (the translation applies).
    Point3 PointTransform(const Point3& p) const { return row[0] * p.x + row[1] * p.y + row[2] * p.z + row[3]; }
    // p * M for a direction (the translation does not apply).
    Point3 VectorTransform(const Point3& v) const { return row[0] * v.x + row[1] * v.y + row[2] * v.z; }
};
