#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace driver::svg {

// A rectangle on the page.
struct Box {
    double left, top, right, bottom;
};

bool Overlap(const Box& a, const Box& b);
// True when the segment from (x1, y1) to (x2, y2) passes through the box.
bool SegmentCrosses(double x1, double y1, double x2, double y2, const Box& box);

// What is drawn in a panel that no label may cover (markers, trails, the
// scale bar), on a raster of small cells: marked while the panel is drawn,
// then summed, so that a label's test costs the same however crowded the
// panel is. Marks outside the panel are clipped to it.
class Occupancy {
public:
    Occupancy(double left, double top, double size);

    void Mark(const Box& box);
    // A line `halfWidth` wide on each side.
    void MarkSegment(double x1, double y1, double x2, double y2, double halfWidth);
    // Sums the marks; Covers may be asked from then on.
    void Freeze();
    bool Covers(const Box& box) const;

    // True when (x, y) falls in a cell not yet marked, which it then marks:
    // how the panel draws one dot per cell for the nodes it does not label.
    bool TakeDotCell(double x, double y);

private:
    int Column(double x) const;
    int Row(double y) const;

    double left_, top_;
    int cells_;
    std::vector<std::uint8_t> marks_;
    std::vector<std::uint8_t> dots_;
    std::vector<std::uint32_t> sums_;  // (cells_ + 1)² prefix sums of marks_
};

// The labels placed in a panel and the leader lines to those that had to
// move, filed by the cells of a coarse grid they cover.
class PlacedLabels {
public:
    explicit PlacedLabels(const Box& panel) : panel_(panel) {}

    // Inside the panel and clear of every placed label and leader.
    bool Fits(const Box& box) const;
    // A leader that passes through no placed label.
    bool LeaderClear(double x1, double y1, double x2, double y2) const;
    void Add(const Box& box);
    void AddLeader(double x1, double y1, double x2, double y2);

private:
    struct Segment {
        double x1, y1, x2, y2;
    };
    template <typename Visit>
    void ForEachCell(const Box& box, Visit visit) const;

    Box panel_;
    std::vector<Box> boxes_;
    std::vector<Segment> leaders_;
    std::unordered_map<std::int64_t, std::vector<std::size_t>> boxCells_;
    std::unordered_map<std::int64_t, std::vector<std::size_t>> leaderCells_;
};

}  // namespace driver::svg
