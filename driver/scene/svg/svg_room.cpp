#include "scene/svg/svg_room.h"

#include <algorithm>
#include <cmath>

namespace driver::svg {

namespace {

constexpr double kCell = 2;        // raster cell of Occupancy, in picture units
constexpr double kGridWidth = 48;  // grid cell of PlacedLabels
constexpr double kGridHeight = 16;

}  // namespace

bool Overlap(const Box& a, const Box& b) {
    return a.left < b.right && a.right > b.left && a.top < b.bottom && a.bottom > b.top;
}

// Liang–Barsky clipping of the segment against the box.
bool SegmentCrosses(double x1, double y1, double x2, double y2, const Box& box) {
    const double dx = x2 - x1, dy = y2 - y1;
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {x1 - box.left, box.right - x1, y1 - box.top, box.bottom - y1};
    double enter = 0, leave = 1;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] <= 0) {
                return false;
            }
        } else {
            const double t = q[i] / p[i];
            if (p[i] < 0) {
                enter = std::max(enter, t);
            } else {
                leave = std::min(leave, t);
            }
        }
    }
    return enter < leave;
}

Occupancy::Occupancy(double left, double top, double size)
    : left_(left),
      top_(top),
      cells_(int(std::ceil(size / kCell))),
      marks_(std::size_t(cells_) * std::size_t(cells_)),
      dots_(marks_.size()) {}

int Occupancy::Column(double x) const { return int(std::clamp(std::floor((x - left_) / kCell), 0.0, cells_ - 1.0)); }
int Occupancy::Row(double y) const { return int(std::clamp(std::floor((y - top_) / kCell), 0.0, cells_ - 1.0)); }

void Occupancy::Mark(const Box& box) {
    for (int row = Row(box.top); row <= Row(box.bottom); ++row) {
        std::fill_n(marks_.begin() + std::ptrdiff_t(row) * cells_ + Column(box.left),
                    Column(box.right) - Column(box.left) + 1, std::uint8_t{1});
    }
}

void Occupancy::MarkSegment(double x1, double y1, double x2, double y2, double halfWidth) {
    // Steps of half a cell; a segment is never longer than the panel's
    // diagonal, as every point drawn lies in its frame.
    const double length = std::min(std::hypot(x2 - x1, y2 - y1), 4.0 * kCell * cells_);
    const int steps = int(std::ceil(length / (kCell / 2))) + 1;
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        const double x = x1 + (x2 - x1) * t, y = y1 + (y2 - y1) * t;
        Mark({x - halfWidth, y - halfWidth, x + halfWidth, y + halfWidth});
    }
}

void Occupancy::Freeze() {
    const std::size_t side = std::size_t(cells_) + 1;
    sums_.assign(side * side, 0);
    for (std::size_t row = 0; row < std::size_t(cells_); ++row) {
        for (std::size_t column = 0; column < std::size_t(cells_); ++column) {
            sums_[(row + 1) * side + column + 1] = marks_[row * std::size_t(cells_) + column] +
                                                   sums_[row * side + column + 1] + sums_[(row + 1) * side + column] -
                                                   sums_[row * side + column];
        }
    }
}

bool Occupancy::Covers(const Box& box) const {
    const std::size_t side = std::size_t(cells_) + 1;
    const std::size_t top = Row(box.top), bottom = std::size_t(Row(box.bottom)) + 1;
    const std::size_t left = Column(box.left), right = std::size_t(Column(box.right)) + 1;
    return sums_[bottom * side + right] + sums_[top * side + left] - sums_[top * side + right] -
               sums_[bottom * side + left] >
           0;
}

bool Occupancy::TakeDotCell(double x, double y) {
    std::uint8_t& dot = dots_[std::size_t(Row(y)) * std::size_t(cells_) + std::size_t(Column(x))];
    const bool free = dot == 0;
    dot = 1;
    return free;
}

template <typename Visit>
void PlacedLabels::ForEachCell(const Box& box, Visit visit) const {
    const auto column = [&](double x) {
        return std::int64_t(std::floor((std::clamp(x, panel_.left, panel_.right) - panel_.left) / kGridWidth));
    };
    const auto row = [&](double y) {
        return std::int64_t(std::floor((std::clamp(y, panel_.top, panel_.bottom) - panel_.top) / kGridHeight));
    };
    for (std::int64_t r = row(box.top); r <= row(box.bottom); ++r) {
        for (std::int64_t c = column(box.left); c <= column(box.right); ++c) {
            visit(r * 4096 + c);
        }
    }
}

bool PlacedLabels::Fits(const Box& box) const {
    if (box.left < panel_.left || box.right > panel_.right || box.top < panel_.top || box.bottom > panel_.bottom) {
        return false;
    }
    bool clear = true;
    ForEachCell(box, [&](std::int64_t cell) {
        if (const auto found = boxCells_.find(cell); clear && found != boxCells_.end()) {
            clear = std::none_of(found->second.begin(), found->second.end(),
                                 [&](std::size_t i) { return Overlap(box, boxes_[i]); });
        }
        if (const auto found = leaderCells_.find(cell); clear && found != leaderCells_.end()) {
            clear = std::none_of(found->second.begin(), found->second.end(), [&](std::size_t i) {
                const Segment& s = leaders_[i];
                return SegmentCrosses(s.x1, s.y1, s.x2, s.y2, box);
            });
        }
    });
    return clear;
}

bool PlacedLabels::LeaderClear(double x1, double y1, double x2, double y2) const {
    bool clear = true;
    ForEachCell({std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)}, [&](std::int64_t cell) {
        if (const auto found = boxCells_.find(cell); clear && found != boxCells_.end()) {
            clear = std::none_of(found->second.begin(), found->second.end(),
                                 [&](std::size_t i) { return SegmentCrosses(x1, y1, x2, y2, boxes_[i]); });
        }
    });
    return clear;
}

void PlacedLabels::Add(const Box& box) {
    ForEachCell(box, [&](std::int64_t cell) { boxCells_[cell].push_back(boxes_.size()); });
    boxes_.push_back(box);
}

void PlacedLabels::AddLeader(double x1, double y1, double x2, double y2) {
    ForEachCell({std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)},
                [&](std::int64_t cell) { leaderCells_[cell].push_back(leaders_.size()); });
    leaders_.push_back({x1, y1, x2, y2});
}

}  // namespace driver::svg
