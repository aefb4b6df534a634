#include "standin/transform_math.h"

#include <cmath>

namespace standin {

Affine ToAffine(const NodeMatrix& matrix) {
    Affine a;
    for (int r = 0; r < 3; ++r) {
        a.m[r][0] = matrix.row[r].x;
        a.m[r][1] = matrix.row[r].y;
        a.m[r][2] = matrix.row[r].z;
    }
    a.t[0] = matrix.row[3].x;
    a.t[1] = matrix.row[3].y;
    a.t[2] = matrix.row[3].z;
    return a;
}

NodeMatrix ToNodeMatrix(const Affine& a, std::uint32_t flags) {
    NodeMatrix matrix;
    for (int r = 0; r < 3; ++r) {
        matrix.row[r] = {static_cast<float>(a.m[r][0]), static_cast<float>(a.m[r][1]), static_cast<float>(a.m[r][2])};
    }
    matrix.row[3] = {static_cast<float>(a.t[0]), static_cast<float>(a.t[1]), static_cast<float>(a.t[2])};
    matrix.flags = flags;
    return matrix;
}

Affine FirstThen(const Affine& a, const Affine& b) {
    Affine r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
        }
    }
    for (int j = 0; j < 3; ++j) {
        r.t[j] = a.t[0] * b.m[0][j] + a.t[1] * b.m[1][j] + a.t[2] * b.m[2][j] + b.t[j];
    }
    return r;
}

bool Invert(const Affine& a, Affine& inverse) {
    const auto& m = a.m;
    const double c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    const double c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    const double c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    const double det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
    if (!std::isfinite(det) || det == 0.0) {
        return false;
    }
    const double k = 1.0 / det;
    Affine r;
    r.m[0][0] = c00 * k;
    r.m[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * k;
    r.m[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * k;
    r.m[1][0] = c01 * k;
    r.m[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * k;
    r.m[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * k;
    r.m[2][0] = c02 * k;
    r.m[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * k;
    r.m[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * k;
    for (int j = 0; j < 3; ++j) {
        r.t[j] = -(a.t[0] * r.m[0][j] + a.t[1] * r.m[1][j] + a.t[2] * r.m[2][j]);
    }
    inverse = r;
    return true;
}

Affine Translation(double x, double y, double z) {
    Affine a;
    a.t[0] = x;
    a.t[1] = y;
    a.t[2] = z;
    return a;
}

bool RotationOf(const Quat& q, Affine& rotation) {
    const double len = std::sqrt(double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z + double(q.w) * q.w);
    if (!std::isfinite(len) || len == 0.0) {
        return false;
    }
    const double x = q.x / len, y = q.y / len, z = q.z / len, w = q.w / len;
    Affine r;
    r.m[0][0] = 1 - 2 * (y * y + z * z);
    r.m[0][1] = 2 * (x * y - w * z);
    r.m[0][2] = 2 * (x * z + w * y);
    r.m[1][0] = 2 * (x * y + w * z);
    r.m[1][1] = 1 - 2 * (x * x + z * z);
    r.m[1][2] = 2 * (y * z - w * x);
    r.m[2][0] = 2 * (x * z - w * y);
    r.m[2][1] = 2 * (y * z + w * x);
    r.m[2][2] = 1 - 2 * (x * x + y * y);
    rotation = r;
    return true;
}

Affine ScaleOf(double x, double y, double z) {
    Affine a;
    a.m[0][0] = x;
    a.m[1][1] = y;
    a.m[2][2] = z;
    return a;
}

bool InFrame(const NodeMatrix& axis, const Point3& origin, const Affine& op, WorldOp& world) {
    Affine frame;
    for (int r = 0; r < 3; ++r) {
        const Point3& row = axis.row[r];
        const double len = std::sqrt(double(row.x) * row.x + double(row.y) * row.y + double(row.z) * row.z);
        if (!std::isfinite(len) || len == 0.0) {
            return false;
        }
        frame.m[r][0] = row.x / len;
        frame.m[r][1] = row.y / len;
        frame.m[r][2] = row.z / len;
    }
    Affine frameInverse;
    if (!Invert(frame, frameInverse)) {
        return false;
    }
    world.about = FirstThen(FirstThen(frameInverse, op), frame);
    world.origin[0] = origin.x;
    world.origin[1] = origin.y;
    world.origin[2] = origin.z;
    return true;
}

Affine FirstThen(const Affine& a, const WorldOp& op) {
    Affine relative = a;
    for (int j = 0; j < 3; ++j) {
        relative.t[j] -= op.origin[j];
    }
    Affine r = FirstThen(relative, op.about);
    for (int j = 0; j < 3; ++j) {
        r.t[j] += op.origin[j];
    }
    return r;
}

bool IsFinite(const NodeMatrix& matrix) {
    for (const Point3& row : matrix.row) {
        if (!::IsFinite(row)) {
            return false;
        }
    }
    return true;
}

}  // namespace standin
