#include "session/motion_reports.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "text/name_text.h"

namespace driver {

namespace {

bool Placed(const AspectList& aspects) {
    return std::any_of(aspects.begin(), aspects.end(), [](Aspect aspect) { return aspect != Aspect::Name; });
}

bool Has(const AspectList& aspects, Aspect aspect) {
    return std::find(aspects.begin(), aspects.end(), aspect) != aspects.end();
}

// Whether the node's object moved in the world (with the node, as Align
// moves it), beyond the rounding of single precision that a pivot edit,
// which keeps it in place, leaves.
bool ObjectMoved(const NodeState& before, const standin::StandinNode& now) {
    const NodeMatrix after = now.ObjectWorld();
    double size = 1, distance = 0;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            const double a = before.objectWorld.row[r][c], b = after.row[r][c];
            size = std::max({size, std::fabs(a), std::fabs(b)});
            distance = std::max(distance, std::fabs(a - b));
        }
    }
    return distance > 1e-5 * size;
}

}  // namespace

void MotionReports::After(const NodeChange& change, ActionReport& report) const {
    if (!Placed(change.aspects)) {
        return;  // a new name, which no animation plays
    }
    const standin::StandinNode& node = *order_[change.index];
    const std::string named = "node " + std::to_string(change.index) + " " + Quoted(node.Name());
    if (const std::optional<std::string> refusal = file_.MotionRefusal(node)) {
        report.Failed("refused: " + *refusal);
        return;  // nothing is written, so nothing moved with it
    }
    if (ObjectMoved(history_.StateAtMark(change.index), node)) {
        const std::vector<std::string> meshes = file_.MovedWith(node);
        for (const std::string& mesh : meshes) {
            report.Warning(named + " is a joint: the vertices it weighs of skinned mesh " + mesh + " moved with it");
        }
    }
    if (Has(change.aspects, Aspect::Object)) {
        if (const std::optional<std::string> reason = file_.ObjectPlacedElsewhere(node)) {
            report.Warning("warning: " + named + ": " + *reason +
                           ", so its new placement does not move the object (the node and its children still "
                           "change)");
        }
    }
}

}  // namespace driver
