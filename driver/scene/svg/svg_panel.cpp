#include "scene/svg/svg_panel.h"

#include <cmath>

#include "scene/svg/svg_labels.h"
#include "scene/svg/svg_markup.h"
#include "scene/svg/svg_room.h"
#include "text/name_text.h"

namespace driver::svg {

namespace {

const char* const kAxisColours[] = {"#d62728", "#2ca02c", "#1f77b4"};
const char* const kChanged = "#e66a00";
constexpr std::size_t kLabelColumns = 32;  // longer names are shortened

// The path data of one kind of mark, drawn as one element.
struct Paths {
    std::string links, trails, trailStarts, squares, changedSquares, arms[3], dots, leaders;
};

void MoveTo(std::string& path, double x, double y) {
    path += 'M';
    AppendNumber(path, x);
    path += ' ';
    AppendNumber(path, y);
}

void LineTo(std::string& path, double x1, double y1, double x2, double y2) {
    MoveTo(path, x1, y1);
    path += 'L';
    AppendNumber(path, x2);
    path += ' ';
    AppendNumber(path, y2);
}

void AppendPath(std::string& svg, const std::string& data, const std::string& style) {
    if (!data.empty()) {
        svg += "<path " + style + " d=\"" + data + "\"/>\n";
    }
}

class Panel {
public:
    Panel(const Frame& frame, const SceneSnapshot& snapshot, const SceneSnapshot* previous,
          const std::vector<bool>& changed)
        : frame_(frame),
          snapshot_(snapshot),
          previous_(previous),
          changed_(changed),
          occupancy_(frame.left, frame.top, frame.size),
          placed_({frame.left, frame.top, frame.left + frame.size, frame.top + frame.size}) {}

    PanelCounts Draw(std::string& svg, const std::string& title) {
        svg += "<rect class=\"panel\" x=\"" + Number(frame_.left) + "\" y=\"" + Number(frame_.top) + "\" width=\"" +
               Number(frame_.size) + "\" height=\"" + Number(frame_.size) + "\" fill=\"#fbfbf8\" stroke=\"#999\"/>\n";
        svg += "<text x=\"" + Number(frame_.left) + "\" y=\"" + Number(frame_.top - 9) + "\" font-size=\"14\">" +
               Escape(title) + "</text>\n";
        DrawScaleBar(svg);
        for (std::size_t i = 0; i < snapshot_.size(); ++i) {
            if (i < kMarkedNodes) {
                Mark(i);
            } else {
                Dot(i);
            }
        }
        occupancy_.Freeze();
        std::string labels;
        // Changed nodes are labelled first, as the ones a reader looks for.
        for (const bool changedFirst : {true, false}) {
            for (std::size_t i = 0; i < snapshot_.size() && i < kMarkedNodes; ++i) {
                if (IsChanged(i) == changedFirst) {
                    Label(labels, i);
                }
            }
        }
        AppendPath(svg, paths_.links, "fill=\"none\" stroke=\"#888\" stroke-dasharray=\"3,3\"");
        AppendPath(svg, paths_.trails,
                   "fill=\"none\" stroke=\"" + std::string(kChanged) +
                       "\" stroke-width=\"1.5\" stroke-dasharray=\"5,4\"");
        AppendPath(svg, paths_.trailStarts, "fill=\"none\" stroke=\"" + std::string(kChanged) + "\"");
        AppendPath(svg, paths_.squares, "fill=\"#d0d0d0\" stroke=\"#666\"");
        AppendPath(svg, paths_.changedSquares,
                   "fill=\"#d0d0d0\" stroke=\"" + std::string(kChanged) + "\" stroke-width=\"2\"");
        for (int axis = 0; axis < 3; ++axis) {
            AppendPath(svg, paths_.arms[axis],
                       "class=\"arms\" fill=\"none\" stroke=\"" + std::string(kAxisColours[axis]) +
                           "\" stroke-width=\"2.5\" stroke-linecap=\"round\"");
        }
        AppendPath(svg, paths_.dots, "fill=\"none\" stroke=\"#555\" stroke-width=\"2\" stroke-linecap=\"round\"");
        AppendPath(svg, paths_.leaders, "fill=\"none\" stroke=\"#777\" stroke-width=\"0.8\"");
        if (!labels.empty()) {
            svg +=
                "<g class=\"labels\" font-size=\"11\" fill=\"#222\" stroke=\"white\" stroke-width=\"3\""
                " stroke-linejoin=\"round\" paint-order=\"stroke\">\n" +
                labels + "</g>\n";
        }
        return counts_;
    }

private:
    bool IsChanged(std::size_t i) const { return previous_ != nullptr && i < changed_.size() && changed_[i]; }

    void DrawScaleBar(std::string& svg) {
        const ScaleBar bar = ChooseScaleBar(frame_);
        const double x = frame_.left + 10, y = frame_.top + frame_.size - 10;
        std::string data;
        LineTo(data, x, y - 4, x, y);
        data += 'H';
        AppendNumber(data, x + bar.pixels);
        data += 'v';
        AppendNumber(data, -4);
        AppendPath(svg, data, "fill=\"none\" stroke=\"#333\" stroke-width=\"1.5\"");
        svg += "<text x=\"" + Number(x) + "\" y=\"" + Number(y - 7) + "\" font-size=\"11\">" + bar.text + "</text>\n";
        occupancy_.Mark({x - 4, y - 19, x + std::max(bar.pixels, LabelWidth(bar.text.size(), false)) + 4, y + 3});
    }

    void Mark(std::size_t i) {
        const NodeState& node = snapshot_[i];
        const Point3 pivot = node.Position();
        const double px = frame_.X(pivot), py = frame_.Y(pivot);
        const double ox = frame_.X(node.objectWorld.GetTrans()), oy = frame_.Y(node.objectWorld.GetTrans());
        const bool changed = IsChanged(i);
        if (changed && i < previous_->size()) {
            const Point3 was = (*previous_)[i].Position();
            const double wx = frame_.X(was), wy = frame_.Y(was);
            if (std::hypot(px - wx, py - wy) > 2) {
                LineTo(paths_.trails, wx, wy, px, py);
                occupancy_.MarkSegment(wx, wy, px, py, 2);
                MoveTo(paths_.trailStarts, wx - 3, wy);
                paths_.trailStarts += "a3 3 0 1 0 6 0a3 3 0 1 0-6 0";
                occupancy_.Mark({wx - 5, wy - 5, wx + 5, wy + 5});
            }
        }
        if (std::hypot(px - ox, py - oy) > 1) {
            LineTo(paths_.links, px, py, ox, oy);
            occupancy_.MarkSegment(px, py, ox, oy, 1.5);
        }
        std::string& square = changed ? paths_.changedSquares : paths_.squares;
        MoveTo(square, ox - 6, oy - 6);
        square += "h12v12h-12z";
        occupancy_.Mark({ox - 7.5, oy - 7.5, ox + 7.5, oy + 7.5});
        for (int axis = 0; axis < 3; ++axis) {
            const Point3 direction = node.Direction(axis);
            const double dx = frame_.DX(direction, kArmLength), dy = frame_.DY(direction, kArmLength);
            if (std::hypot(dx, dy) < 0.5) {
                continue;  // an arm seen end on
            }
            MoveTo(paths_.arms[axis], px, py);
            paths_.arms[axis] += 'l';
            AppendNumber(paths_.arms[axis], dx);
            paths_.arms[axis] += ' ';
            AppendNumber(paths_.arms[axis], dy);
            occupancy_.MarkSegment(px, py, px + dx, py + dy, 2.5);
        }
    }

    void Dot(std::size_t i) {
        ++counts_.dottedNodes;
        const double x = frame_.X(snapshot_[i].Position()), y = frame_.Y(snapshot_[i].Position());
        if (occupancy_.TakeDotCell(x, y)) {
            MoveTo(paths_.dots, x, y);
            paths_.dots += "h0";
            occupancy_.Mark({x - 2.5, y - 2.5, x + 2.5, y + 2.5});
        }
    }

    void Label(std::string& labels, std::size_t i) {
        const std::string text = std::to_string(i) + " " + Shortened(snapshot_[i].name, kLabelColumns);
        const bool changed = IsChanged(i);
        const double px = frame_.X(snapshot_[i].Position()), py = frame_.Y(snapshot_[i].Position());
        const auto place = FindLabelPlace(px, py, LabelWidth(DisplayWidth(text), changed), occupancy_, placed_);
        if (!place) {
            ++counts_.omittedLabels;
            return;
        }
        placed_.Add(place->box);
        if (place->leader) {
            placed_.AddLeader(place->leaderX1, place->leaderY1, place->leaderX2, place->leaderY2);
            LineTo(paths_.leaders, place->leaderX1, place->leaderY1, place->leaderX2, place->leaderY2);
        }
        labels += "<text x=\"" + Number(place->x) + "\" y=\"" + Number(place->baseline) + "\"" +
                  (changed ? " fill=\"" + std::string(kChanged) + "\" font-weight=\"bold\"" : std::string()) + ">" +
                  Escape(text) + "</text>\n";
    }

    const Frame& frame_;
    const SceneSnapshot& snapshot_;
    const SceneSnapshot* previous_;
    const std::vector<bool>& changed_;
    Occupancy occupancy_;
    PlacedLabels placed_;
    Paths paths_;
    PanelCounts counts_;
};

}  // namespace

PanelCounts DrawPanel(std::string& svg, const Frame& frame, const std::string& title, const SceneSnapshot& snapshot,
                      const SceneSnapshot* previous, const std::vector<bool>& changed) {
    return Panel(frame, snapshot, previous, changed).Draw(svg, title);
}

}  // namespace driver::svg
