#pragma once

#include <cmath>

// Host vector type: three single-precision floats, used for points,
// directions and matrix rows. Points are row vectors (p' = p * M).
struct Point3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Point3() = default;
    constexpr Point3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    constexpr Point3 operator+(const Point3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    constexpr Point3 operator-(const Point3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    constexpr Point3 operator-() const { return {-x, -y, -z}; }
    constexpr Point3 operator*(float s) const { return {x * s, y * s, z * s}; }
    constexpr Point3 operator/(float s) const { return {x / s, y / s, z / s}; }
    constexpr bool operator==(const Point3& o) const { return x == o.x && y == o.y && z == o.z; }
    constexpr bool operator!=(const Point3& o) const { return !(*this == o); }
};

// Dot product, in single precision.
constexpr float DotProd(const Point3& a, const Point3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The right-handed cross product a x b.
constexpr Point3 CrossProd(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline float Length(const Point3& v) { return std::sqrt(DotProd(v, v)); }

// No component is infinite or not a number.
inline bool IsFinite(const Point3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// Unit vector along v. A zero-length vector is returned unchanged (the host
// does not divide by zero), so callers that need a direction must check.
inline Point3 Normalize(const Point3& v) {
    const float len = Length(v);
    if (len == 0.0f) {
        return v;
    }
    return {v.x / len, v.y / len, v.z / len};
}
