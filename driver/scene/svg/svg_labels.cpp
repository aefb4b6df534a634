#include "scene/svg/svg_labels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace driver::svg {

namespace {

constexpr double kAscent = 9;  // of the font, above the baseline, with a margin
constexpr double kDescent = 3;
constexpr double kHeight = kAscent + kDescent;
constexpr double kNear = 8;      // from a marker's centre to a label beside it, clear of its square
constexpr double kGap = 4;       // between the ends of a marker's arms and the nearest moved label
constexpr double kRowStep = 14;  // between rows of moved labels
constexpr double kColumnStep = 80;
constexpr int kColumns = 4;
constexpr int kRows = 24;  // above and below the marker

// A place relative to the marker: the box's left edge at `dx` (on the
// right, side 1), its right edge at -`dx` (on the left, side -1) or its
// middle over the marker (side 0); its vertical centre at `dy`.
struct Offset {
    int side;
    double dx, dy;
};

// The places next to the marker, then columns on either side, nearest
// first; computed once.
const std::vector<Offset>& Offsets() {
    static const std::vector<Offset> offsets = [] {
        const double corner = kNear + kHeight / 2;
        std::vector<Offset> list = {{1, kNear, -corner},
                                    {1, kNear, corner},
                                    {-1, kNear, -corner},
                                    {-1, kNear, corner},
                                    {0, 0, -(kArmLength + 2 + kHeight / 2)},
                                    {0, 0, corner}};
        std::vector<Offset> far;
        for (int column = 0; column < kColumns; ++column) {
            for (int row = -kRows; row <= kRows; ++row) {
                for (const int side : {1, -1}) {
                    far.push_back({side, kArmLength + kGap + column * kColumnStep, row * kRowStep});
                }
            }
        }
        std::stable_sort(far.begin(), far.end(), [](const Offset& a, const Offset& b) {
            return std::hypot(a.dx, a.dy) < std::hypot(b.dx, b.dy);
        });
        list.insert(list.end(), far.begin(), far.end());
        return list;
    }();
    return offsets;
}

}  // namespace

double LabelWidth(std::size_t columns, bool bold) { return double(columns) * kLabelFontSize * (bold ? 0.68 : 0.62); }

std::optional<LabelPlace> FindLabelPlace(double px, double py, double width, const Occupancy& occupancy,
                                         const PlacedLabels& placed) {
    for (const Offset& offset : Offsets()) {
        LabelPlace place;
        place.x = offset.side > 0 ? px + offset.dx : offset.side < 0 ? px - offset.dx - width : px - width / 2;
        place.baseline = py + offset.dy + kHeight / 2 - kDescent;
        place.box = {place.x - 1, place.baseline - kAscent, place.x + width + 1, place.baseline + kDescent};
        if (occupancy.Covers(place.box) || !placed.Fits(place.box)) {
            continue;
        }
        // Next to its marker a label needs no leader; further away it
        // gets one to the nearest point of its box.
        const double nearX = std::clamp(px, place.box.left, place.box.right);
        const double nearY = std::clamp(py, place.box.top, place.box.bottom);
        place.leader = std::hypot(nearX - px, nearY - py) > kArmLength + kGap + 2;
        if (place.leader) {
            place.leaderX1 = px;
            place.leaderY1 = py;
            place.leaderX2 = nearX;
            place.leaderY2 = nearY;
            if (!placed.LeaderClear(px, py, nearX, nearY)) {
                continue;
            }
        }
        return place;
    }
    return std::nullopt;
}

}  // namespace driver::svg
