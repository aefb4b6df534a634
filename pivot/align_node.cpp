#include "align_node.h"

#include <cmath>

#include "direction_math.h"
#include "pivot_utility.h"

namespace tarvel {

namespace {

TimeValue EditTime(Interface& ip) { return ip.AnimationRange().Start(); }

bool IsFinite(const Point3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

double Determinant(const NodeMatrix& m) {
    const Point3& x = m.row[0];
    const Point3& y = m.row[1];
    const Point3& z = m.row[2];
    return double(x.x) * (double(y.y) * z.z - double(y.z) * z.y) -
           double(x.y) * (double(y.x) * z.z - double(y.z) * z.x) +
           double(x.z) * (double(y.x) * z.y - double(y.y) * z.x);
}

// Finite rows, each axis row with a length that single precision can
// form, and axes that span space.
bool HasUsableAxes(const NodeMatrix& m) {
    for (int k = 0; k < 4; ++k) {
        if (!IsFinite(m.row[k])) {
            return false;
        }
    }
    for (int k = 0; k < 3; ++k) {
        const float length = Length(m.row[k]);
        if (!std::isfinite(length) || length == 0.0f) {
            return false;
        }
    }
    return Determinant(m) != 0.0;
}

bool IsMirrored(const NodeMatrix& m) { return Determinant(m) < 0.0; }

Point3 RowLengths(const NodeMatrix& m) { return {Length(m.row[0]), Length(m.row[1]), Length(m.row[2])}; }

// Exact: any difference from 1.0 counts; a value that is not a number does not.
bool AnyDiffersFromOne(const Point3& p) {
    return p.x < 1.0f || p.x > 1.0f || p.y < 1.0f || p.y > 1.0f || p.z < 1.0f || p.z > 1.0f;
}

// The turn of row k of `current` onto row k of `target`. Once X is aligned,
// a Y or Z row opposite to its target turns about X, so that X stays.
Quat TurnRow(const NodeMatrix& current, const NodeMatrix& target, int k) {
    Point3 from, to;
    if (k > 0 && UnitDirection(current.row[k], from) && UnitDirection(target.row[k], to) &&
        AreOpposite(CosineBetween(from, to))) {
        return TurnAbout(current.row[0], current.row[k], target.row[k]);
    }
    return PivotUtility::RotationBetween(current.row[k], target.row[k]);
}

}  // namespace

void AlignNodeTo(Interface& ip, SceneNode& node, SceneNode& namesake) {
    SceneNode* root = ip.RootNode();
    const NodeMatrix axes = root->NodeTransform(EditTime(ip));
    NodeMatrix current = node.NodeTransform(EditTime(ip));
    const NodeMatrix target = namesake.NodeTransform(EditTime(ip));
    const Point3 position = target.GetTrans();
    const Point3 toPosition = position - current.GetTrans();
    if (!HasUsableAxes(axes) || !HasUsableAxes(current) || !HasUsableAxes(target) || !IsFinite(toPosition)) {
        return;
    }
    const bool turnZ = IsMirrored(current) == IsMirrored(target);

    node.MoveNode(EditTime(ip), axes, toPosition, false, false, PIVOT_MODE_NODE, false);
    // The pivot now lies on the origin of the root's axes, so the turns
    // below change the axes only.
    node.MoveNode(EditTime(ip), axes, -position, false, false, PIVOT_MODE_NODE, false);
    for (int k = 0; k < (turnZ ? 3 : 2); ++k) {
        current = node.NodeTransform(EditTime(ip));
        node.RotateNode(EditTime(ip), axes, TurnRow(current, target, k), false, false, PIVOT_MODE_NODE, false);
    }
    node.MoveNode(EditTime(ip), axes, position, false, false, PIVOT_MODE_NODE, false);

    current = node.NodeTransform(EditTime(ip));
    const Point3 lengths = RowLengths(current);
    if (AnyDiffersFromOne(lengths)) {
        const Point3 toUnit(1.0f / lengths.x, 1.0f / lengths.y, 1.0f / lengths.z);
        node.ScaleNode(EditTime(ip), current, toUnit, true, false, PIVOT_MODE_NODE, false);
    }
    current = node.NodeTransform(EditTime(ip));
    const Point3 targetLengths = RowLengths(target);
    if (AnyDiffersFromOne(targetLengths)) {
        node.ScaleNode(EditTime(ip), current, targetLengths, true, false, PIVOT_MODE_NODE, false);
    }
}

}  // namespace tarvel
