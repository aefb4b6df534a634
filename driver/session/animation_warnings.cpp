#include "session/animation_warnings.h"

#include <algorithm>
#include <cmath>

#include "standin/transform_math.h"
#include "text/name_text.h"

namespace driver {

namespace {

// The parts of a node's local placement that a change of its `aspects`
// gives new values.
AnimatedParts OwnParts(const AspectList& aspects) {
    AnimatedParts parts;
    for (const Aspect aspect : aspects) {
        switch (aspect) {
            case Aspect::Position:
                parts.translation = true;
                break;
            case Aspect::Orientation:
                parts.rotation = true;
                break;
            case Aspect::Scale:
                parts.scale = true;
                break;
            case Aspect::Axes:
                parts.rotation = parts.scale = true;
                break;
            case Aspect::Name:
            case Aspect::Object:
                break;
        }
    }
    return parts;
}

// The parts of a child's local placement that get new values when its
// parent changes by `aspects` and the child stays where it is.
AnimatedParts ChildParts(const AspectList& aspects) {
    AnimatedParts parts;
    for (const Aspect aspect : aspects) {
        switch (aspect) {
            case Aspect::Position:
                parts.translation = true;
                break;
            case Aspect::Orientation:
                parts.translation = parts.rotation = true;
                break;
            case Aspect::Scale:
            case Aspect::Axes:
                parts.translation = parts.rotation = parts.scale = true;
                break;
            case Aspect::Name:
            case Aspect::Object:
                break;
        }
    }
    return parts;
}

AnimatedParts Either(const AnimatedParts& a, const AnimatedParts& b) {
    return {a.translation || b.translation, a.rotation || b.rotation, a.scale || b.scale};
}

// "translation", "rotation and scale", "translation, rotation and scale".
std::string PartList(const AnimatedParts& parts) {
    std::vector<const char*> names;
    for (const auto& [part, name] : {std::pair{parts.translation, "translation"}, std::pair{parts.rotation, "rotation"},
                                     std::pair{parts.scale, "scale"}}) {
        if (part) {
            names.push_back(name);
        }
    }
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        list += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + std::string(names[i]);
    }
    return list;
}

// Where the object sits relative to the pivot: objectWorld * transform^-1.
bool OffsetOf(const NodeMatrix& transform, const NodeMatrix& objectWorld, standin::Affine& offset) {
    standin::Affine inverse;
    if (!standin::Invert(standin::ToAffine(transform), inverse)) {
        return false;
    }
    offset = standin::FirstThen(standin::ToAffine(objectWorld), inverse);
    return true;
}

// Offsets that differ by more than the rounding of single precision.
bool OffsetMoved(const NodeState& before, const standin::StandinNode& now) {
    standin::Affine was, is;
    if (!OffsetOf(before.transform, before.objectWorld, was) || !OffsetOf(now.Transform(), now.ObjectWorld(), is)) {
        return false;
    }
    double size = 1, distance = 0;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            const double a = r < 3 ? was.m[r][c] : was.t[c];
            const double b = r < 3 ? is.m[r][c] : is.t[c];
            size = std::max({size, std::fabs(a), std::fabs(b)});
            distance = std::max(distance, std::fabs(a - b));
        }
    }
    return distance > 1e-5 * size;
}

}  // namespace

void AnimationWarnings::After(const NodeChange& change, ActionReport& report) {
    const AnimatedParts ownParts = OwnParts(change.aspects);
    const AnimatedParts childParts = ChildParts(change.aspects);
    const auto fromParent = byParent_.find(change.index);
    const bool objectMoved = std::find(change.aspects.begin(), change.aspects.end(), Aspect::Object) !=
                             change.aspects.end();
    if (!ownParts.Any() && !childParts.Any() && !objectMoved && fromParent == byParent_.end()) {
        return;  // a new name, say, which no animation overrides
    }
    const standin::StandinNode& node = *order_[change.index];
    Warn(node, change.index, Either(ownParts, fromParent != byParent_.end() ? fromParent->second : AnimatedParts()),
         report);
    WarnPivotMotion(node, change.index, report);
    if (objectMoved) {
        WarnObjectPlacedElsewhere(node, change.index, report);
    }
    if (!childParts.Any()) {
        return;
    }
    for (const standin::StandinNode* child : node.Children()) {
        if (!file_.DrivenByAnimation(*child).Any()) {
            continue;
        }
        const std::size_t index = history_.IndexOf(*child);
        if (history_.ChangedSinceMark(index)) {
            byParent_[index] = childParts;
        } else {
            Warn(*child, index, childParts, report);
        }
    }
}

void AnimationWarnings::WarnObjectPlacedElsewhere(const standin::StandinNode& node, std::size_t index,
                                                  ActionReport& report) const {
    const std::string reason = file_.ObjectPlacedElsewhere(node);
    if (!reason.empty()) {
        report.Warning("warning: node " + std::to_string(index) + " " + Quoted(node.Name()) + ": " + reason +
                       ", so its new placement does not move the object (the node and its children still change)");
    }
}

void AnimationWarnings::WarnPivotMotion(const standin::StandinNode& node, std::size_t index,
                                        ActionReport& report) const {
    const AnimatedParts driven = file_.DrivenByAnimation(node);
    if ((!driven.rotation && !driven.scale) || !OffsetMoved(history_.StateAtMark(index), node)) {
        return;
    }
    const bool both = driven.rotation && driven.scale;
    const std::string does = both ? "turn and scale" : driven.rotation ? "turns" : "scales";
    report.Warning("warning: node " + std::to_string(index) + " " + Quoted(node.Name()) + ": an animation drives its " +
                   PartList({false, driven.rotation, driven.scale}) + ", which now " + does +
                   " the object about the new pivot");
}

void AnimationWarnings::Warn(const standin::StandinNode& node, std::size_t index, const AnimatedParts& changed,
                             ActionReport& report) const {
    const AnimatedParts driven = file_.DrivenByAnimation(node);
    const AnimatedParts both{driven.translation && changed.translation, driven.rotation && changed.rotation,
                             driven.scale && changed.scale};
    if (!both.Any()) {
        return;
    }
    report.Warning("warning: node " + std::to_string(index) + " " + Quoted(node.Name()) + ": an animation drives its " +
                   PartList(both) + ", which overrides the new placement when it plays (the edit is still written)");
}

}  // namespace driver
