// The SVG picture of --svg, read back from its markup: on generated scenes,
// every label lies in its panel, clear of the other labels, of the tripods'
// arms and of the trails, and every node is labelled or counted in the
// note; the views follow the scene's up axis; the size stays bounded; and a
// scene that is not finite gets no picture.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "scene/scene_error.h"
#include "scene/svg/scene_svg.h"
#include "scene/svg/svg_labels.h"

namespace {

using driver::NodeState;
using driver::SceneSnapshot;
using driver::UpAxis;

struct Rect {
    double left, top, right, bottom;
};
struct Segment {
    double x1, y1, x2, y2;
};
// One panel as the markup draws it.
struct Panel {
    Rect frame{};
    std::vector<Rect> labels;
    std::vector<Segment> marks;  // arms and trails
    std::vector<std::pair<double, double>> redArmStarts;
};

std::vector<double> Numbers(const std::string& text) {
    std::vector<double> numbers;
    static const std::regex number("-?[0-9]+(\\.[0-9]+)?");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), number); it != std::sregex_iterator(); ++it) {
        numbers.push_back(std::stod(it->str()));
    }
    return numbers;
}

std::vector<Panel> ReadPanels(const std::string& svg) {
    std::vector<Panel> panels;
    static const std::regex rect("<rect class=\"panel\" x=\"([^\"]+)\" y=\"([^\"]+)\" width=\"([^\"]+)\"");
    static const std::regex label(
        "<text x=\"([^\"]+)\" y=\"([^\"]+)\"( fill=\"[^\"]+\" font-weight=\"bold\")?>([^<]*)<");
    std::size_t at = svg.find("<rect class=\"panel\"");
    while (at != std::string::npos) {
        const std::size_t next = svg.find("<rect class=\"panel\"", at + 1);
        const std::string part = svg.substr(at, next == std::string::npos ? std::string::npos : next - at);
        Panel panel;
        std::smatch m;
        std::regex_search(part, m, rect);
        const double x = std::stod(m[1]), y = std::stod(m[2]), size = std::stod(m[3]);
        panel.frame = {x, y, x + size, y + size};
        // Paths are read by hand: std::regex recurses once per character,
        // and the path data of a crowded panel overflow a 1 MB stack.
        for (std::size_t p = part.find("<path "); p != std::string::npos; p = part.find("<path ", p + 1)) {
            const std::size_t d = part.find(" d=\"", p), end = part.find("\"/>", p);
            if (d == std::string::npos || end == std::string::npos || d > end) {
                continue;
            }
            const std::string style = part.substr(p + 6, d - p - 6), data = part.substr(d + 4, end - d - 4);
            const std::vector<double> n = Numbers(data);
            if (style.find("class=\"arms\"") != std::string::npos) {
                for (std::size_t i = 0; i + 3 < n.size(); i += 4) {
                    panel.marks.push_back({n[i], n[i + 1], n[i] + n[i + 2], n[i + 1] + n[i + 3]});
                    if (style.find("#d62728") != std::string::npos) {
                        panel.redArmStarts.emplace_back(n[i], n[i + 1]);
                    }
                }
            } else if (style.find("5,4") != std::string::npos) {
                for (std::size_t i = 0; i + 3 < n.size(); i += 4) {
                    panel.marks.push_back({n[i], n[i + 1], n[i + 2], n[i + 3]});
                }
            }
        }
        const std::size_t labels = part.find("<g class=\"labels\"");
        const std::string group = labels == std::string::npos ? ""
                                                              : part.substr(labels, part.find("</g>", labels) - labels);
        for (auto it = std::sregex_iterator(group.begin(), group.end(), label); it != std::sregex_iterator(); ++it) {
            const double lx = std::stod((*it)[1]), baseline = std::stod((*it)[2]);
            const std::string text = std::regex_replace((*it)[4].str(), std::regex("&[a-z]+;"), "&");
            const double width = driver::svg::LabelWidth(text.size(), (*it)[3].matched);
            // The font's extent: 9 units above the baseline, 3 below.
            panel.labels.push_back({lx, baseline - 9, lx + width, baseline + 3});
        }
        panels.push_back(panel);
        at = next;
    }
    return panels;
}

bool Overlap(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Crosses(const Segment& s, const Rect& r) {
    for (int i = 0; i <= 64; ++i) {
        const double x = s.x1 + (s.x2 - s.x1) * i / 64, y = s.y1 + (s.y2 - s.y1) * i / 64;
        if (x > r.left && x < r.right && y > r.top && y < r.bottom) {
            return true;
        }
    }
    return false;
}

NodeState Node(const std::string& name, float x, float y, float z, float turn = 0) {
    NodeState node{name, {}, {}};
    node.transform.row[0] = {std::cos(turn), std::sin(turn), 0};
    node.transform.row[1] = {-std::sin(turn), std::cos(turn), 0};
    node.transform.SetTrans({x, y, z});
    node.objectWorld = node.transform;
    return node;
}

// Scenes of every kind a picture meets: a few nodes, crowds on one spot,
// two stacks, scattered hundreds, long names; some nodes moved after.
std::pair<SceneSnapshot, SceneSnapshot> GeneratedScene(unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0, 1);
    const int counts[] = {4, 12, 40, 80, 400};
    const int count = counts[seed % 5];
    const int spots = 1 + int(random() % 6);
    SceneSnapshot before{Node("Scene Root", 0, 0, 0)};
    for (int i = 1; i < count; ++i) {
        const int spot = i % spots;
        const float spread = seed % 3 == 0 ? 0.0f : 10 * unit(random);
        before.push_back(Node(std::string(1 + random() % 24, char('a' + i % 26)) + std::to_string(i),
                              float(spot * 7) + spread, spread * unit(random), float(spot % 3) * 2,
                              6.3f * unit(random)));
    }
    SceneSnapshot after = before;
    for (std::size_t i = 1; i < after.size(); i += 1 + random() % 5) {
        after[i].transform.SetTrans(after[i].Position() + Point3(5 * unit(random), 5 * unit(random), 1));
    }
    return {before, after};
}

TEST(SceneSvg, LabelsStayInTheirPanelsClearOfEachOtherAndOfTheMarks) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const auto [before, after] = GeneratedScene(seed);
        const std::string svg = driver::DrawSceneSvg(before, after, seed % 2 ? UpAxis::Y : UpAxis::Z);
        const std::vector<Panel> panels = ReadPanels(svg);
        ASSERT_EQ(panels.size(), 4u);
        const char* const names[] = {"before plan", "after plan", "before front", "after front"};
        for (std::size_t p = 0; p < panels.size(); ++p) {
            const Panel& panel = panels[p];
            const std::smatch omitted = [&] {
                std::smatch m;
                std::regex_search(svg, m, std::regex(std::string(names[p]) + " ([0-9]+)"));
                return m;
            }();
            EXPECT_EQ(panel.labels.size() + (omitted.empty() ? 0 : std::stoul(omitted[1])), before.size())
                << "seed " << seed << ", " << names[p] << ": every node is labelled or counted as left out";
            for (std::size_t i = 0; i < panel.labels.size(); ++i) {
                const Rect& box = panel.labels[i];
                EXPECT_TRUE(box.left >= panel.frame.left && box.right <= panel.frame.right &&
                            box.top >= panel.frame.top && box.bottom <= panel.frame.bottom)
                    << "seed " << seed << ", " << names[p] << ": label " << i << " leaves its panel";
                for (std::size_t j = 0; j < i; ++j) {
                    EXPECT_FALSE(Overlap(box, panel.labels[j]))
                        << "seed " << seed << ", " << names[p] << ": labels " << j << " and " << i << " overlap";
                }
                for (const Segment& mark : panel.marks) {
                    EXPECT_FALSE(Crosses(mark, box)) << "seed " << seed << ", " << names[p] << ": label " << i
                                                     << " covers a mark at " << mark.x1 << "," << mark.y1;
                }
            }
        }
    }
}

TEST(SceneSvg, ViewsFollowTheScenesUpAxis) {
    // Node 1 lies further along the axis that points at the viewer in the
    // plan and up in the front view; node 2 the other way.
    struct Case {
        UpAxis up;
        const char* plan;
        const char* front;
        SceneSnapshot scene;
        bool node1LowerInPlan;
    };
    const Case cases[] = {
        {UpAxis::Y,
         "plan, seen from +Y (X right, Z down)",
         "front, seen from +Z (X right, Y up)",
         {Node("Root", 0, 0, 0), Node("Near", 0, 3, 5), Node("Far", 0, -3, -5)},
         true},
        {UpAxis::Z,
         "plan, seen from +Z (X right, Y up)",
         "front, seen from -Y (X right, Z up)",
         {Node("Root", 0, 0, 0), Node("Back", 0, 5, 3), Node("Front", 0, -5, -3)},
         false},
    };
    for (const Case& c : cases) {
        const std::string svg = driver::DrawSceneSvg(c.scene, c.scene, c.up);
        EXPECT_NE(svg.find(std::string("before: ") + c.plan), std::string::npos) << svg.substr(0, 2000);
        EXPECT_NE(svg.find(std::string("after: ") + c.front), std::string::npos);
        const std::vector<Panel> panels = ReadPanels(svg);
        ASSERT_EQ(panels[0].redArmStarts.size(), 3u);
        ASSERT_EQ(panels[2].redArmStarts.size(), 3u);
        EXPECT_EQ(panels[0].redArmStarts[1].second > panels[0].redArmStarts[2].second, c.node1LowerInPlan);
        EXPECT_LT(panels[2].redArmStarts[1].second, panels[2].redArmStarts[2].second) << "front: node 1 is higher";
    }
}

TEST(SceneSvg, PictureOfAnySceneIsBoundedAndFinite) {
    SceneSnapshot chain{Node("Root", 0, 0, 0)}, scattered{Node("Root", 0, 0, 0)};
    for (long long i = 1; i < 100000; ++i) {
        chain.push_back(Node("Link" + std::to_string(i), float(i), float(i) / 2, 0));
        scattered.push_back(Node("Node" + std::to_string(i), float(i * 7919 % 1000), float(i * 104729 % 1000), 0));
    }
    for (const SceneSnapshot* scene : {&chain, &scattered}) {
        const std::string svg = driver::DrawSceneSvg(*scene, *scene, UpAxis::Z);
        EXPECT_LT(svg.size(), 4u << 20);
        EXPECT_NE(svg.find("The 98000 nodes after the first 2000 are shown as dots"), std::string::npos);
    }
    const SceneSnapshot farApart{Node("Root", 0, 0, 0), Node("West", -3e38f, 0, 0), Node("East", 3e38f, 0, 0)};
    const std::string svg = driver::DrawSceneSvg(farApart, farApart, UpAxis::Z);
    EXPECT_EQ(svg.find("inf"), std::string::npos);
    EXPECT_EQ(svg.find("nan"), std::string::npos);
    EXPECT_EQ(ReadPanels(svg)[0].labels.size(), 3u);
}

TEST(SceneSvg, NodeThatIsNotFiniteIsRefusedByName) {
    SceneSnapshot scene{Node("Root", 0, 0, 0), Node("Fine", 1, 0, 0), Node("Lost", 0, 0, 0)};
    scene[2].objectWorld.SetTrans({0, NAN, 0});
    try {
        driver::DrawSceneSvg(scene, scene, UpAxis::Y);
        FAIL() << "a picture of a scene that is not finite";
    } catch (const driver::SceneFileError& e) {
        EXPECT_STREQ(e.what(), "the picture cannot show node 2 \"Lost\": its object's position is not finite");
    }
}

}  // namespace
