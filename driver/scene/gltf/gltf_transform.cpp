#include "scene/gltf/gltf_transform.h"

#include <cmath>

namespace driver::gltf {

namespace {

// Axes count as at right angles while the cosine of the angle between them
// stays below this (0.006 degrees): well above what single-precision world
// transforms, multiplied and inverted in double precision, can make of a
// right angle, well below any shear that can be seen.
constexpr double kRightAngleTolerance = 1e-4;
// How far from 0 or 1 the components of a rotation's columns may lie and
// still be read as a turn by right angles only: a few steps of single
// precision, the noise a world transform held in floats leaves.
constexpr double kRightAngleTurnNoise = 1e-6;

using Vector = double[3];

double Dot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Cross(const double* a, const double* b, double* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

void Normalize(double* v) {
    const double length = std::sqrt(Dot(v, v));
    for (int i = 0; i < 3; ++i) {
        v[i] /= length;
    }
}

// `v` made unit and at right angles to the unit vector `axis`.
void Orthonormalize(double* v, const double* axis) {
    const double along = Dot(v, axis);
    for (int i = 0; i < 3; ++i) {
        v[i] -= along * axis[i];
    }
    Normalize(v);
}

double Determinant(const double (&m)[3][3]) {
    Vector cross;
    Cross(m[1], m[2], cross);
    return Dot(m[0], cross);
}

// The scale signs: `like`'s where they fit the determinant's sign.
void SignsFor(double determinant, const Trs& like, double (&signs)[3]) {
    double product = 1;
    for (int i = 0; i < 3; ++i) {
        signs[i] = like.scale[i] < 0 ? -1 : 1;
        product *= signs[i];
    }
    if (determinant != 0 && (product < 0) != (determinant < 0)) {
        signs[0] = signs[1] = 1;
        signs[2] = determinant < 0 ? -1 : 1;
    }
}

// The unit quaternion of the rotation whose matrix (for column vectors)
// has the columns c[0], c[1], c[2].
void QuaternionOf(const double (&c)[3][3], double (&q)[4]) {
    auto r = [&](int row, int column) { return c[column][row]; };
    auto set = [&](double x, double y, double z, double w) {
        q[0] = x;
        q[1] = y;
        q[2] = z;
        q[3] = w;
    };
    const double trace = r(0, 0) + r(1, 1) + r(2, 2);
    if (trace > 0) {
        const double s = std::sqrt(trace + 1) * 2;
        set((r(2, 1) - r(1, 2)) / s, (r(0, 2) - r(2, 0)) / s, (r(1, 0) - r(0, 1)) / s, s / 4);
    } else if (r(0, 0) > r(1, 1) && r(0, 0) > r(2, 2)) {
        const double s = std::sqrt(1 + r(0, 0) - r(1, 1) - r(2, 2)) * 2;
        set(s / 4, (r(0, 1) + r(1, 0)) / s, (r(0, 2) + r(2, 0)) / s, (r(2, 1) - r(1, 2)) / s);
    } else if (r(1, 1) > r(2, 2)) {
        const double s = std::sqrt(1 + r(1, 1) - r(0, 0) - r(2, 2)) * 2;
        set((r(0, 1) + r(1, 0)) / s, s / 4, (r(1, 2) + r(2, 1)) / s, (r(0, 2) - r(2, 0)) / s);
    } else {
        const double s = std::sqrt(1 + r(2, 2) - r(0, 0) - r(1, 1)) * 2;
        set((r(0, 2) + r(2, 0)) / s, (r(1, 2) + r(2, 1)) / s, s / 4, (r(1, 0) - r(0, 1)) / s);
    }
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    const double sign = q[3] < 0 ? -1 : 1;
    for (double& part : q) {
        part *= sign / length;
    }
}

bool IsFinite(const standin::Affine& affine) {
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            if (!std::isfinite(affine.m[i][j])) {
                return false;
            }
        }
        if (!std::isfinite(affine.t[i])) {
            return false;
        }
    }
    return true;
}

// The rows of a matrix as signed lengths times unit axes; a zero row has
// a zero axis.
struct SignedAxes {
    double signs[3];
    double lengths[3];
    bool zero[3];
    double axes[3][3];
};

SignedAxes AxesOf(const double (&m)[3][3], const Trs& like) {
    SignedAxes split;
    SignsFor(Determinant(m), like, split.signs);
    for (int i = 0; i < 3; ++i) {
        split.lengths[i] = std::sqrt(Dot(m[i], m[i]));
        split.zero[i] = split.lengths[i] == 0;
        for (int j = 0; j < 3; ++j) {
            split.axes[i][j] = split.zero[i] ? 0 : split.signs[i] * m[i][j] / split.lengths[i];
        }
    }
    return split;
}

bool AtRightAngles(const double (&axes)[3][3]) {
    for (int i = 0; i < 3; ++i) {
        for (int j = i + 1; j < 3; ++j) {
            if (std::fabs(Dot(axes[i], axes[j])) > kRightAngleTolerance) {
                return false;
            }
        }
    }
    return true;
}

// The rotation's columns: the axes made exactly orthonormal, a zero axis
// completed from the others.
void RotationColumns(const SignedAxes& split, double (&columns)[3][3]) {
    const bool(&zero)[3] = split.zero;
    const double(&axes)[3][3] = split.axes;
    const int nonZero = !zero[0] + !zero[1] + !zero[2];
    if (nonZero >= 2) {
        const int k = zero[0] ? 0 : (zero[1] ? 1 : 2);  // the axis made from the other two
        const int i = (k + 1) % 3, j = (k + 2) % 3;
        for (int c = 0; c < 3; ++c) {
            columns[i][c] = axes[i][c];
            columns[j][c] = axes[j][c];
        }
        Orthonormalize(columns[j], columns[i]);
        Cross(columns[i], columns[j], columns[k]);
    } else if (nonZero == 1) {
        const int a = !zero[0] ? 0 : (!zero[1] ? 1 : 2);
        const int b = (a + 1) % 3, k = (a + 2) % 3;
        for (int c = 0; c < 3; ++c) {
            columns[a][c] = axes[a][c];
        }
        // The world axis least along the one axis there is.
        int least = 0;
        for (int c = 1; c < 3; ++c) {
            least = std::fabs(axes[a][c]) < std::fabs(axes[a][least]) ? c : least;
        }
        for (int c = 0; c < 3; ++c) {
            columns[b][c] = c == least ? 1 : 0;
        }
        Orthonormalize(columns[b], columns[a]);
        Cross(columns[a], columns[b], columns[k]);
    }
}

// A rotation that turns each axis onto a world axis, up to the noise of
// single precision, is made exactly that turn: its quaternion then holds
// exact zeros, halves or square roots of a half, and no residue.
void SnapRightAngleTurn(double (&columns)[3][3]) {
    for (const auto& column : columns) {
        for (const double c : column) {
            if (std::fabs(c) > kRightAngleTurnNoise && std::fabs(std::fabs(c) - 1) > kRightAngleTurnNoise) {
                return;
            }
        }
    }
    for (auto& column : columns) {
        for (double& c : column) {
            c = std::fabs(c) > 0.5 ? std::copysign(1.0, c) : 0.0;
        }
    }
}

}  // namespace

standin::Affine AffineOfTrs(const Trs& trs) {
    const double x = trs.rotation[0], y = trs.rotation[1], z = trs.rotation[2], w = trs.rotation[3];
    const double rotation[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
                                   {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
                                   {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}};
    standin::Affine affine;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            affine.m[i][j] = trs.scale[i] * rotation[j][i];
        }
        affine.t[i] = trs.translation[i];
    }
    return affine;
}

standin::Affine AffineOfMatrix(const double (&m)[16]) {
    standin::Affine affine;
    for (int row = 0; row < 3; ++row) {
        for (int j = 0; j < 3; ++j) {
            affine.m[row][j] = m[4 * row + j];
        }
        affine.t[row] = m[12 + row];
    }
    return affine;
}

void MatrixOfAffine(const standin::Affine& affine, double (&m)[16]) {
    for (int row = 0; row < 3; ++row) {
        for (int j = 0; j < 3; ++j) {
            m[4 * row + j] = affine.m[row][j];
        }
        m[4 * row + 3] = 0;
        m[12 + row] = affine.t[row];
    }
    m[15] = 1;
}

bool TrsOfAffine(const standin::Affine& local, const Trs& like, Trs& trs, standin::Affine* exact) {
    if (!IsFinite(local)) {
        return false;
    }
    const SignedAxes split = AxesOf(local.m, like);
    if (!AtRightAngles(split.axes)) {
        return false;
    }
    double columns[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    RotationColumns(split, columns);
    SnapRightAngleTurn(columns);
    QuaternionOf(columns, trs.rotation);
    for (int i = 0; i < 3; ++i) {
        trs.scale[i] = split.zero[i] ? 0 : split.signs[i] * split.lengths[i];
        trs.translation[i] = local.t[i];
    }
    if (exact != nullptr) {
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                exact->m[i][j] = trs.scale[i] * columns[i][j];
            }
            exact->t[i] = local.t[i];
        }
    }
    return true;
}

}  // namespace driver::gltf
