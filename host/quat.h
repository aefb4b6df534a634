#pragma once

// Host quaternion: (x, y, z) is the vector part, w the scalar part.
// (0, 0, 0, 1) is the identity.
struct Quat {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;

    constexpr Quat() = default;
    constexpr Quat(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

    // Hamilton product with this quaternion as the left operand.
    constexpr Quat operator*(const Quat& q) const {
        return {w * q.x + x * q.w + y * q.z - z * q.y, w * q.y - x * q.z + y * q.w + z * q.x,
                w * q.z + x * q.y - y * q.x + z * q.w, w * q.w - x * q.x - y * q.y - z * q.z};
    }

    // The vector part negated, w unchanged.
    constexpr Quat Conjugate() const { return {-x, -y, -z, w}; }

    constexpr bool operator==(const Quat& o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
    constexpr bool operator!=(const Quat& o) const { return !(*this == o); }
};
