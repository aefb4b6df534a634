#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "node_matrix.h"
#include "standin/standin_scene.h"
#include "text/name_text.h"

namespace driver {

// What a user sees of one node: its name, its pivot (the node transform)
// and where its object sits in the world.
struct NodeState {
    std::string name;
    NodeMatrix transform;
    NodeMatrix objectWorld;

    Point3 Position() const { return transform.GetTrans(); }
    // The unit direction of an axis, computed in double precision and
    // rounded once; zero for a zero row.
    Point3 Direction(int axis) const;
};

NodeState StateOf(const standin::StandinNode& node);

// The nodes of a scene in pre-order, at one moment.
using SceneSnapshot = std::vector<NodeState>;
SceneSnapshot TakeSnapshot(standin::StandinScene& scene);

// A part of a node that a change can touch, in the order changes list them.
enum class Aspect {
    Name,
    Position,     // the pivot's position
    Orientation,  // the axes' directions
    Scale,        // the axes' lengths
    Axes,         // the axis rows, with the same shown directions and lengths
    Object,       // the object's whole world placement
};
// "name", "position", "orientation", "scale", "axes", "object".
const char* AspectName(Aspect aspect);

// The aspects of one change, in the order of the enumeration; each at
// most once, kept in place.
class AspectList {
public:
    void push_back(Aspect aspect) { items_[count_++] = aspect; }
    const Aspect* begin() const { return items_; }
    const Aspect* end() const { return items_ + count_; }
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }

private:
    Aspect items_[6] = {};
    unsigned char count_ = 0;
};

// What changed of one node, as readable text.
struct NodeChange {
    std::size_t index = 0;
    AspectList aspects;
    // Where the lines were asked for: the name after, and the lines
    // ("position (..) -> (..)", ...).
    std::string name;
    std::vector<std::string> lines;
    bool Empty() const { return aspects.empty(); }
};

// Compares the values themselves: any difference of the pivot's position,
// and any difference of its axes and of the object's placement beyond the
// rounding of single precision (a few units in the last place of the
// largest number in play), is a change. The axis rows count as turned (Orientation) or
// scaled (Scale) as their directions and lengths differ; rows that differ
// in neither are reported as they are (Axes). The name and the lines only
// `withLines`.
NodeChange CompareStates(std::size_t index, const NodeState& before, const NodeState& after, bool withLines = true);
// The comparison of the names alone, as CompareStates makes it.
NodeChange CompareNames(std::size_t index, const std::string& before, const std::string& after, bool withLines);
// The same with the node as it now is.
NodeChange CompareToNode(std::size_t index, const NodeState& before, const standin::StandinNode& after, bool withLines);

// A number or a point as the transcript shows them: exactly, in the
// shortest form that reads back.
std::string FormatPoint(const Point3& p);

// A table of the nodes, indented by four spaces: index, name, pivot
// position, axis directions, scales; columns as wide as their widest cell.
std::string FormatNodeTable(const SceneSnapshot& snapshot);

}  // namespace driver
