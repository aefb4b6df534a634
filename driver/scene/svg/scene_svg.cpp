#include "scene/svg/scene_svg.h"

#include <cmath>
#include <vector>

#include "scene/scene_error.h"
#include "scene/svg/svg_labels.h"
#include "scene/svg/svg_markup.h"
#include "scene/svg/svg_panel.h"
#include "scene/svg/svg_view.h"
#include "text/name_text.h"

namespace driver {

namespace {

using svg::AppendNumber;
using svg::Number;

constexpr double kPanel = 440;  // size of one view, in picture units
constexpr double kMargin = 36;
constexpr double kTitle = 30;
constexpr double kLegend = 58;
constexpr double kNoteLine = 18;

bool Finite(const Point3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

void CheckFinite(const SceneSnapshot& snapshot) {
    for (std::size_t i = 0; i < snapshot.size(); ++i) {
        const NodeState& node = snapshot[i];
        const char* part = !Finite(node.Position())               ? "its pivot's position"
                           : !Finite(node.objectWorld.GetTrans()) ? "its object's position"
                           : !Finite(node.transform.GetRow(0)) || !Finite(node.transform.GetRow(1)) ||
                                   !Finite(node.transform.GetRow(2))
                               ? "its axes"
                               : nullptr;
        if (part != nullptr) {
            throw SceneFileError("the picture cannot show node " + std::to_string(i) + " " + QuotedExcerpt(node.name) +
                                 ": " + part + " is not finite");
        }
    }
}

void Text(std::string& svg, double x, double y, const std::string& text, const std::string& extra = "") {
    svg += "<text x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" font-size=\"12\"" + extra + ">" + text + "</text>\n";
}

void Stroke(std::string& svg, double x, double y, const char* colour, const char* extra) {
    svg += "<path d=\"M";
    AppendNumber(svg, x);
    svg += ' ';
    AppendNumber(svg, y);
    svg += "h22\" stroke=\"" + std::string(colour) + "\"" + extra + "/>\n";
}

void DrawLegend(std::string& svg, double top) {
    struct Entry {
        const char* colour;
        const char* stroke;  // the sample's stroke; none for the object's square
        const char* text;
        const char* textStyle;
    };
    const Entry entries[] = {
        {"#d62728", " stroke-width=\"2.5\"", "X axis", ""},
        {"#2ca02c", " stroke-width=\"2.5\"", "Y axis", ""},
        {"#1f77b4", " stroke-width=\"2.5\"", "Z axis", ""},
        {"#666", nullptr, "object (dashed to its pivot)", ""},
        {"#e66a00", " stroke-width=\"1.5\" stroke-dasharray=\"5,4\"", "changed (trail from the pivot before)",
         " fill=\"#e66a00\" font-weight=\"bold\""},
        {"#777", " stroke-width=\"0.8\"", "to a label moved aside", ""},
    };
    // Two rows: the marks of every node, then those of a session's changes.
    double x = kMargin;
    double y = top + 20;
    for (const Entry& entry : entries) {
        if (entry.text == entries[4].text) {
            x = kMargin;
            y += 20;
        }
        if (entry.stroke != nullptr) {
            Stroke(svg, x, y - 4, entry.colour, entry.stroke);
        } else {
            svg += "<rect x=\"" + Number(x + 5) + "\" y=\"" + Number(y - 10) +
                   "\" width=\"12\" height=\"12\" fill=\"#d0d0d0\" stroke=\"#666\"/>\n";
        }
        Text(svg, x + 28, y, entry.text, entry.textStyle);
        const bool bold = *entry.textStyle != '\0';
        x += 28 + svg::LabelWidth(std::string(entry.text).size(), bold) * 12 / svg::kLabelFontSize + 16;
    }
}

// The lines of the note under the legend: what the panels left out.
std::vector<std::string> Notes(const std::vector<std::pair<std::string, svg::PanelCounts>>& panels) {
    std::vector<std::string> notes;
    std::string omitted;
    for (const auto& [name, counts] : panels) {
        if (counts.omittedLabels > 0) {
            omitted += (omitted.empty() ? "" : ", ") + name + " " + std::to_string(counts.omittedLabels);
        }
    }
    if (!omitted.empty()) {
        notes.push_back("Labels left out for lack of room: " + omitted + ".");
    }
    // Every panel dots the same nodes: those beyond the first ones.
    const std::size_t dotted = panels.empty() ? 0 : panels.front().second.dottedNodes;
    if (dotted > 0) {
        notes.push_back("The " + std::to_string(dotted) + (dotted == 1 ? " node" : " nodes") + " after the first " +
                        std::to_string(svg::kMarkedNodes) + " are shown as dots, without labels.");
    }
    return notes;
}

}  // namespace

std::string DrawSceneSvg(const SceneSnapshot& before, const SceneSnapshot& after, UpAxis up) {
    CheckFinite(before);
    CheckFinite(after);
    std::vector<bool> changed(std::min(before.size(), after.size()));
    for (std::size_t i = 0; i < changed.size(); ++i) {
        changed[i] = !CompareStates(i, before[i], after[i], false).Empty();
    }
    std::string panels;
    std::vector<std::pair<std::string, svg::PanelCounts>> counts;
    const std::array<svg::View, 2> views = svg::ViewsFor(up);
    for (int row = 0; row < 2; ++row) {
        const double top = kMargin + kTitle + row * (kPanel + kTitle + kMargin);
        for (int column = 0; column < 2; ++column) {
            const bool isAfter = column == 1;
            const svg::Frame frame =
                svg::FitFrame(before, after, views[row], kMargin + column * (kPanel + kMargin), top, kPanel);
            const std::string when = isAfter ? "after" : "before";
            counts.emplace_back(when + " " + views[row].title.substr(0, views[row].title.find(',')),
                                svg::DrawPanel(panels, frame, when + ": " + views[row].title, isAfter ? after : before,
                                               isAfter ? &before : nullptr, changed));
        }
    }
    const std::vector<std::string> notes = Notes(counts);
    const double width = 2 * kPanel + 3 * kMargin;
    const double rows = 2 * (kTitle + kPanel) + 2 * kMargin;
    const double height = rows + kLegend + double(notes.size()) * kNoteLine + kMargin / 2;
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(width) + "\" height=\"" +
                      Number(height) + "\" viewBox=\"0 0 " + Number(width) + " " + Number(height) +
                      "\" font-family=\"sans-serif\">\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg += panels;
    DrawLegend(svg, rows);
    for (std::size_t i = 0; i < notes.size(); ++i) {
        Text(svg, kMargin, rows + kLegend + double(i + 1) * kNoteLine - 4, notes[i]);
    }
    svg += "</svg>\n";
    return svg;
}

}  // namespace driver
