#include "align_node.h"

#include <cmath>
#include <string>

#include "direction_math.h"
#include "movable_axes.h"
#include "pivot_utility.h"
#include "refusal_log.h"

namespace pivot_tool {

namespace {

TimeValue EditTime(Interface& ip) { return ip.AnimationRange().Start(); }

Point3 RowLengths(const NodeMatrix& m) { return {RowLength(m.row[0]), RowLength(m.row[1]), RowLength(m.row[2])}; }

// Exact: any difference from 1.0 counts; a value that is not a number does not.
bool AnyDiffersFromOne(const Point3& p) {
    return p.x < 1.0f || p.x > 1.0f || p.y < 1.0f || p.y > 1.0f || p.z < 1.0f || p.z > 1.0f;
}

// Why the node cannot go from `current` to `target`, empty when it can;
// `signs` receives the sign of each axis's final scale. Besides axes the
// host can move, the turns and scales must be able to give the namesake's
// angles between axes and its handedness, the scale to unit rows needs
// lengths whose inverses single precision holds, the scale to the
// namesake's lengths needs those lengths in single precision, and the move
// needs a finite way there.
std::string PlacementFault(const NodeMatrix& current, const NodeMatrix& target, const Point3& toPosition,
                           Point3& signs) {
    if (const char* fault = AxesFault(current)) {
        return std::string("its ") + fault;
    }
    if (const char* fault = AxesFault(target)) {
        return std::string("the namesake's ") + fault;
    }
    if (!ReachableAxes(current, target, signs)) {
        return "its axes meet at other angles than its namesake's, which no turn or scale along its axes gives";
    }
    const Point3 lengths = RowLengths(current);
    const Point3 targetLengths = RowLengths(target);
    static const char* const kAxisNames[3] = {"X", "Y", "Z"};
    for (int k = 0; k < 3; ++k) {
        if (!std::isfinite(lengths[k]) || !std::isfinite(1.0f / lengths[k])) {
            return std::string("its ") + kAxisNames[k] + " axis is too long or too short to scale";
        }
        if (!std::isfinite(targetLengths[k])) {
            return std::string("the namesake's ") + kAxisNames[k] + " axis is too long to scale";
        }
    }
    return IsFinite(toPosition) ? std::string() : "its namesake is too far away";
}

// The turn of row k of `current` onto `to`. Once X is aligned, a Y or Z
// row opposite to its target, or a Y row of axes not at right angles,
// turns about X, so that X stays.
Quat TurnRow(const NodeMatrix& current, const Point3& to, int k) {
    Point3 fromUnit, toUnit;
    if (k > 0 && UnitDirection(current.row[k], fromUnit) && UnitDirection(to, toUnit) &&
        (AreOpposite(CosineBetween(fromUnit, toUnit)) || (k == 1 && !AxesAtRightAngles(current)))) {
        return TurnAbout(current.row[0], current.row[k], to);
    }
    return RotationBetween(current.row[k], to);
}

}  // namespace

void AlignNodeTo(Interface& ip, SceneNode& node, SceneNode& namesake) {
    SceneNode* root = ip.RootNode();
    const NodeMatrix axes = root->NodeTransform(EditTime(ip));
    NodeMatrix current = node.NodeTransform(EditTime(ip));
    const NodeMatrix target = namesake.NodeTransform(EditTime(ip));
    const Point3 position = target.GetTrans();
    const Point3 toPosition = position - current.GetTrans();
    Point3 signs;
    const std::string fault = PlacementFault(current, target, toPosition, signs);
    if (!fault.empty()) {
        LogRefusal(ip, node, "the placement of its namesake", fault);
        return;
    }

    node.MoveNode(EditTime(ip), axes, toPosition, false, false, PIVOT_MODE_NODE, false);
    // The pivot now lies on the origin of the root's axes, so the turns
    // below change the axes only.
    node.MoveNode(EditTime(ip), axes, -position, false, false, PIVOT_MODE_NODE, false);
    // Each row turns onto the namesake's row as the final scale's sign
    // leaves it: a row that the scale reverses turns onto the opposite.
    for (int k = 0; k < 3; ++k) {
        current = node.NodeTransform(EditTime(ip));
        const Point3 to = target.row[k] * signs[k];
        node.RotateNode(EditTime(ip), axes, TurnRow(current, to, k), false, false, PIVOT_MODE_NODE, false);
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
    const Point3 targetScales(targetLengths.x * signs.x, targetLengths.y * signs.y, targetLengths.z * signs.z);
    if (AnyDiffersFromOne(targetScales)) {
        node.ScaleNode(EditTime(ip), current, targetScales, true, false, PIVOT_MODE_NODE, false);
    }
}

}  // namespace pivot_tool
