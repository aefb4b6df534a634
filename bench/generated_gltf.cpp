#include "generated_gltf.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <vector>

namespace bench {
namespace {

// A fixed sequence of numbers, the same on every machine.
class Sequence {
public:
    int Below(int bound) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state_ >> 33) % static_cast<std::uint64_t>(bound));
    }

private:
    std::uint64_t state_ = 23;
};

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string NodeName(int index) {
    static const char* const kStems[] = {"Node ", "Größe ", "Part_", "Lamp ", "節点 ", "Mesh_"};
    return kStems[index % 6] + std::to_string(index);
}

void AppendNode(std::string& out, int index, const std::vector<int>& children, Sequence& sequence) {
    out += "{\"name\":\"" + NodeName(index) + "\"";
    if (!children.empty()) {
        out += ",\"children\":[";
        for (std::size_t i = 0; i < children.size(); ++i) {
            out += (i > 0 ? "," : "") + std::to_string(children[i]);
        }
        out += "]";
    }
    if (sequence.Below(10) < 3) {
        out += ",\"mesh\":0";
    }
    out += ",\"translation\":[" + Number(sequence.Below(20000) / 100.0 - 100) + "," +
           Number(sequence.Below(2000) / 100.0) + "," + Number(sequence.Below(20000) / 100.0 - 100) + "]";
    if (sequence.Below(5) > 0) {
        const double half = sequence.Below(314) / 200.0;
        const double scale = 0.5 + sequence.Below(300) / 100.0;
        out += ",\"rotation\":[0," + Number(std::sin(half)) + ",0," + Number(std::cos(half)) + "]";
        out += ",\"scale\":[" + Number(scale) + "," + Number(scale) + "," + Number(scale) + "]";
    }
    out += "}";
}

}  // namespace

std::string GeneratedGltf(int nodes) {
    // The trees first, breadth first: each group takes its children, and a
    // new tree starts after 1 000 to 10 000 nodes.
    Sequence sequence;
    std::vector<std::vector<int>> children(static_cast<std::size_t>(nodes));
    std::vector<int> roots;
    std::deque<int> groups;
    int treeEnd = 0;
    for (int next = 0; next < nodes;) {
        if (groups.empty() || next >= treeEnd) {
            groups.clear();
            treeEnd = next + 1000 + sequence.Below(9000);
            roots.push_back(next);
            groups.push_back(next++);
            continue;
        }
        const int group = groups.front();
        groups.pop_front();
        for (int count = 10 + sequence.Below(41); count > 0 && next < nodes; --count) {
            children[static_cast<std::size_t>(group)].push_back(next);
            if (sequence.Below(10) == 0) {
                groups.push_back(next);
            }
            ++next;
        }
    }
    std::string out =
        "{\"asset\":{\"version\":\"2.0\",\"generator\":\"morvane bench\"},\"scene\":0,"
        "\"scenes\":[{\"name\":\"Generated\",\"nodes\":[";
    for (std::size_t i = 0; i < roots.size(); ++i) {
        out += (i > 0 ? "," : "") + std::to_string(roots[i]);
    }
    out += "]}],\"nodes\":[";
    for (int i = 0; i < nodes; ++i) {
        if (i > 0) {
            out += ",";
        }
        AppendNode(out, i, children[static_cast<std::size_t>(i)], sequence);
    }
    // One triangle of zeros, an accessor without a buffer, for the meshes.
    out +=
        "],\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0}}]}],"
        "\"accessors\":[{\"componentType\":5126,\"count\":3,\"type\":\"VEC3\","
        "\"min\":[0,0,0],\"max\":[0,0,0]}]}";
    return out;
}

}  // namespace bench
