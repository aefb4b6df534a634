#pragma once

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "anim_range.h"
#include "host_api.h"
#include "node_matrix.h"
#include "quat.h"

namespace standin {

class StandinNode;

// One host call that a tool made, with its arguments.
struct HOST_API HostCall {
    static constexpr TimeValue kNoTime = INT_MIN;

    explicit HostCall(std::string op = {}) : operation(std::move(op)) {}

    std::string operation;              // e.g. "MoveNode", "SelectedNodeCount"
    const StandinNode* node = nullptr;  // the node asked, for node operations
    TimeValue time = kNoTime;           // the time argument, when there is one
    int index = -1;                     // an index argument (SelectedNode, ChildNode)
    NodeMatrix axis;                    // the axis matrix of a transform operation
    float value[4] = {0, 0, 0, 0};      // offset, factors or quaternion (x, y, z, w)
    bool localOrigin = false;
    bool affectChildren = false;
    int pivotMode = 0;
    bool ignoreLocks = false;
    std::string text;  // a text argument or other details

    // One readable line, e.g. "MoveNode(Box01, t=10, ...)".
    std::string ToString() const;
};

// The calls that the tools made to the stand-in host, in order.
class HOST_API HostJournal {
public:
    // Recording can be switched off for benchmarks.
    void SetEnabled(bool on) { enabled_ = on; }
    bool Enabled() const { return enabled_; }

    void Record(HostCall call) {
        if (enabled_) {
            calls_.push_back(std::move(call));
        }
    }
    const std::vector<HostCall>& Calls() const { return calls_; }
    void Clear() { calls_.clear(); }

    // The operation names, in order.
    std::vector<std::string> Operations() const;
    // The calls of one operation, in order.
    std::vector<HostCall> CallsOf(const std::string& operation) const;

private:
    bool enabled_ = true;
    std::vector<HostCall> calls_;
};

}  // namespace standin
