// Builds a small scene on the stand-in host, aligns the selected nodes to
// their namesakes with the pivot tool and prints the nodes before and after.
#include <cmath>
#include <cstdio>

#include "pivot_utility.h"
#include "standin/standin_interface.h"
#include "standin/standin_scene.h"

namespace {

NodeMatrix Placement(Point3 x, Point3 y, Point3 z, Point3 position) {
    NodeMatrix m;
    m.row[0] = x;
    m.row[1] = y;
    m.row[2] = z;
    m.row[3] = position;
    return m;
}

// Adding 0 prints a negative zero as 0.
void PrintPoint(const char* label, const Point3& p) {
    std::printf("  %-9s (%8.3f %8.3f %8.3f)\n", label, double(p.x + 0.0f), double(p.y + 0.0f), double(p.z + 0.0f));
}

void PrintNode(standin::StandinNode& node) {
    const NodeMatrix& m = node.Transform();
    std::printf("%s\n", node.Name().c_str());
    PrintPoint("position", m.GetTrans());
    const char* axes[] = {"X axis", "Y axis", "Z axis"};
    for (int k = 0; k < 3; ++k) {
        PrintPoint(axes[k], Normalize(m.row[k]));
    }
    PrintPoint("scales", Point3(Length(m.row[0]), Length(m.row[1]), Length(m.row[2])));
}

void PrintScene(standin::StandinScene& scene, const char* title) {
    std::printf("== %s ==\n", title);
    for (standin::StandinNode* node : scene.PreOrder()) {
        if (node != &scene.Root()) {
            PrintNode(*node);
        }
    }
}

}  // namespace

int main() {
    standin::StandinScene scene;
    standin::StandinInterface host(scene);
    const float c = std::cos(0.5f), s = std::sin(0.5f);

    scene.AddNode(scene.Root(), "Box01", Placement({2 * c, 2 * s, 0}, {-s, c, 0}, {0, 0, 0.5f}, {10, 20, 5}));
    standin::StandinNode& box = scene.AddNode(scene.Root(), "Box01", Placement({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}));
    standin::StandinNode& group = scene.AddNode(scene.Root(), "Group");
    scene.AddNode(group, "Sphere", Placement({0, 0, 3}, {0, 3, 0}, {-3, 0, 0}, {-4, 1, 2}));
    standin::StandinNode& sphere = scene.AddNode(scene.Root(), "Sphere",
                                                 Placement({1, 0, 0}, {0, 0, -1}, {0, 1, 0}, {7, 7, 7}));
    scene.AddNode(scene.Root(), "Lonely", Placement({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {3, 3, 3}));

    PrintScene(scene, "before Align (selected: Box01 #2, Sphere #2, Lonely)");
    PivotUtility tool;
    tool.BeginEditParams(&host, nullptr);
    host.SetSelection({&box, &sphere, scene.PreOrder().back()});
    tool.AlignSelected();
    tool.EndEditParams(&host, nullptr);
    PrintScene(scene, "after Align");
    std::printf("host calls: %zu, viewport redraws: %d\n", scene.Journal().Calls().size(), host.RedrawCount());
    return scene.Violations().empty() ? 0 : 1;
}
