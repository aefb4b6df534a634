#include "scene/gltf/gltf_same_placement.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace driver::gltf {

namespace {

bool SameMatrix(const NodeMatrix& a, const NodeMatrix& b) {
    for (int r = 0; r < 4; ++r) {
        if (a.row[r] != b.row[r]) {
            return false;
        }
    }
    return true;
}

// What a few steps of single-precision arithmetic may leave of a number of
// magnitude 1: 16 units in the last place. Align reaches a namesake's
// placement by moves, turns and scales, each rounded.
constexpr double kRounding = 16.0 / (1 << 23);

double Largest(const NodeMatrix& m, int firstRow, int lastRow) {
    double largest = 0;
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int i = 0; i < 3; ++i) {
            largest = std::max(largest, std::fabs(static_cast<double>(m.row[r][i])));
        }
    }
    return largest;
}

// Whether `now` is `target` but for the rounding of the steps that took the
// node there from `before`: the axes to within that of the larger axes,
// the position to within that of the larger position.
bool SameButRounding(const NodeMatrix& now, const NodeMatrix& target, const NodeMatrix& before) {
    const double axes = kRounding * std::max(Largest(target, 0, 2), Largest(before, 0, 2));
    const double position = kRounding * std::max(Largest(target, 3, 3), Largest(before, 3, 3));
    for (int r = 0; r < 4; ++r) {
        for (int i = 0; i < 3; ++i) {
            const double off = std::fabs(static_cast<double>(now.row[r][i]) - target.row[r][i]);
            if (!(off <= (r < 3 ? axes : position))) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

std::unordered_map<std::size_t, std::size_t> SamePlacedNamesakes(
    const std::vector<standin::StandinNode*>& order, const std::vector<NodeMatrix>& asRead,
    const std::function<bool(std::size_t node, std::size_t namesake)>& sameForm) {
    std::unordered_map<std::string_view, std::size_t> changed;  // name -> how many changed nodes bear it
    for (std::size_t index = 1; index < order.size(); ++index) {
        if (!SameMatrix(order[index]->Transform(), asRead[index])) {
            ++changed[order[index]->Name()];
        }
    }
    if (changed.empty()) {
        return {};
    }
    // The first two bearers of each of those names in pre-order, as Align
    // looks for a namesake: the first one other than the node itself.
    std::unordered_map<std::string_view, std::pair<std::size_t, std::size_t>> bearers;
    for (std::size_t k = 1; k < order.size(); ++k) {
        if (changed.count(order[k]->Name()) != 0) {
            auto& [first, second] = bearers.try_emplace(order[k]->Name(), k, 0).first->second;
            second = second == 0 && first != k ? k : second;
        }
    }
    // In pre-order, a parent is judged before its children: where it takes
    // its namesake's numbers, the file places it where the namesake stood.
    std::unordered_map<std::size_t, std::size_t> same;
    const auto written = [&](const standin::StandinNode& node) -> const NodeMatrix& {
        const auto found = same.find(node.Ordinal());
        return found != same.end() ? asRead[found->second] : node.Transform();
    };
    for (std::size_t index = 1; index < order.size(); ++index) {
        const standin::StandinNode& node = *order[index];
        if (SameMatrix(node.Transform(), asRead[index])) {
            continue;
        }
        const auto [first, second] = bearers.at(node.Name());
        const std::size_t namesake = first != index ? first : second;
        if (namesake != 0 && sameForm(index, namesake) &&
            SameButRounding(node.Transform(), asRead[namesake], asRead[index]) &&
            SameMatrix(asRead[order[namesake]->Parent()->Ordinal()], written(*node.Parent()))) {
            same.emplace(index, namesake);
        }
    }
    return same;
}

std::vector<MemberChange> TransformTextOf(const std::string& json, const NodeText& namesake) {
    const JsonValue object(json, namesake.Object());
    std::vector<MemberChange> members;
    for (const char* key : namesake.hasMatrix ? std::vector<const char*>{"matrix"}
                                              : std::vector<const char*>{"translation", "rotation", "scale"}) {
        const std::optional<JsonValue> value = object.Member(key);
        members.push_back({key, value ? std::optional<std::string>(value->Raw()) : std::nullopt});
    }
    return members;
}

}  // namespace driver::gltf
