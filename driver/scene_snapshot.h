#pragma once

#include <string>
#include <vector>

#include "node_matrix.h"
#include "standin/standin_scene.h"

namespace driver {

// What a user sees of one node: its name, pivot, axis directions and axis
// scales, and where its object sits.
struct NodeView {
    std::string name;
    NodeMatrix transform;
    NodeMatrix objectWorld;

    Point3 Position() const { return transform.GetTrans(); }
    Point3 Direction(int axis) const;  // unit axis, or zero for a zero row
    Point3 Scales() const;             // the three row lengths
};

// The nodes of a scene in pre-order, captured at one moment.
struct SceneSnapshot {
    std::vector<NodeView> nodes;
};

SceneSnapshot TakeSnapshot(standin::StandinScene& scene);

// Changes of one node between two snapshots, as readable text lines.
struct NodeChange {
    std::size_t index = 0;
    std::string name;                 // the name after
    std::vector<std::string> aspects; // what changed: "name", "position", "orientation", "scale", "object"
    std::vector<std::string> lines;   // one per aspect: "position (..) -> (..)", ...
};

// Nodes whose name, position, orientation, scale or object placement
// changed. Differences below `tolerance` count as unchanged.
std::vector<NodeChange> CompareSnapshots(const SceneSnapshot& before, const SceneSnapshot& after,
                                         float tolerance = 1e-5f);

// A table of the nodes, indented by four spaces: index, name, pivot
// position, axis directions, scales.
std::string FormatNodeTable(const SceneSnapshot& snapshot);

// A name in double quotes as the transcript shows it: '"' and '\\' are
// escaped with a backslash, control bytes as \xHH, and so is every byte
// from 0x80 up in a name that is not UTF-8; other bytes unchanged.
std::string QuoteName(const std::string& name);

// A number or a point as the transcript shows them.
std::string FormatNumber(float value);
std::string FormatPoint(const Point3& p);

}  // namespace driver
