#include "scene/gltf/gltf_bounds.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

#include "scene/gltf/gltf_buffer_bytes.h"
#include "scene/gltf/gltf_constants.h"
#include "scene/gltf/gltf_mesh_extent.h"
#include "scene/gltf/gltf_skins.h"
#include "scene/gltf/gltf_transform.h"
#include "standin/little_endian.h"
#include "text/number_text.h"

namespace driver::gltf {

namespace {

using Kind = JsonValue::Kind;
using standin::Affine;
using namespace bounds;

// The most bytes of instance data read for one node: a file may claim any
// count, and a claim is not read into memory beyond this.
constexpr std::uint64_t kMostInstanceBytes = std::uint64_t{1} << 30;

// Reads what the boxes need of buffers.
struct BufferAccess {
    const SkinModel& skins;
    const BufferModel& buffers;
    bool glb;
    const ViewReader& read;
};

// The `width` numbers of each element of a plain FLOAT accessor of `type`
// (not normalized, not sparse, in a buffer view): `count` gets their
// number. None where the accessor is not such, or cannot be read.
std::optional<std::vector<float>> FloatElements(const FileArrays& arrays, std::optional<std::size_t> index,
                                                const char* type, std::size_t width, const BufferAccess& access,
                                                std::uint64_t& count) {
    const std::optional<JsonValue> accessor = FileArrays::At(arrays.accessors, index);
    if (!accessor || IndexIn(accessor->Member("componentType")) != kFloatComponent ||
        StringIn(accessor->Member("type")) != type || IsTrue(accessor->Member("normalized")) ||
        accessor->Member("sparse")) {
        return std::nullopt;
    }
    const std::optional<std::size_t> viewIndex = IndexIn(accessor->Member("bufferView"));
    const std::optional<JsonValue> view = FileArrays::At(arrays.views, viewIndex);
    const std::size_t buffer = view && *viewIndex < access.buffers.views.size()
                                   ? DataBufferOf(access.buffers.views[*viewIndex]).value_or(kNoNode)
                                   : kNoNode;
    const std::optional<std::size_t> counted = IndexIn(accessor->Member("count"));
    if (buffer >= access.buffers.bufferUris.size() || !counted ||
        (!access.buffers.bufferUris[buffer] && !(access.glb && buffer == 0))) {
        return std::nullopt;
    }
    const std::uint64_t size = 4 * std::uint64_t{width};
    const std::uint64_t stride = IndexIn(view->Member("byteStride")).value_or(size);
    const std::uint64_t offset = IndexIn(accessor->Member("byteOffset")).value_or(0);
    const std::uint64_t length = IndexIn(view->Member("byteLength")).value_or(0);
    count = *counted;
    if (stride < size || count > kMostInstanceBytes / stride || offset > length) {
        return std::nullopt;
    }
    const std::uint64_t span = count == 0 ? 0 : stride * (count - 1) + size;
    if (span > length - offset) {
        return std::nullopt;
    }
    std::string bytes;
    try {
        bytes = access.read(*viewIndex, offset, static_cast<std::size_t>(span));
    } catch (const BufferReadError&) {
        return std::nullopt;
    }
    std::vector<float> numbers;
    numbers.reserve(static_cast<std::size_t>(count * width));
    for (std::uint64_t e = 0; e < count; ++e) {
        for (std::size_t i = 0; i < width; ++i) {
            numbers.push_back(little_endian::Float32(bytes, static_cast<std::size_t>(e * stride + 4 * i)));
        }
    }
    return numbers;
}

// The union of `mesh` placed by each instance of EXT_mesh_gpu_instancing
// (`instancing`, the node's extension) after the node's `world`.
std::optional<WorldBox> InstancesBox(const WorldBox& mesh, const JsonValue& instancing, const Affine& world,
                                     const FileArrays& arrays, const BufferAccess& access) {
    const std::optional<JsonValue> attributes = instancing.Member("attributes");
    if (!attributes || !attributes->Is(Kind::Object)) {
        return std::nullopt;
    }
    struct Part {
        const char* name;
        const char* type;
        std::size_t width;
        std::optional<std::vector<float>> values;
    };
    Part parts[] = {{"TRANSLATION", "VEC3", 3, {}}, {"ROTATION", "VEC4", 4, {}}, {"SCALE", "VEC3", 3, {}}};
    std::optional<std::uint64_t> count;
    for (Part& part : parts) {
        const std::optional<JsonValue> accessor = attributes->Member(part.name);
        if (!accessor) {
            continue;
        }
        std::uint64_t its = 0;
        part.values = FloatElements(arrays, IndexIn(accessor), part.type, part.width, access, its);
        if (!part.values || (count && *count != its)) {
            return std::nullopt;
        }
        count = its;
    }
    std::optional<WorldBox> box;
    for (std::uint64_t e = 0; count && e < *count; ++e) {
        Trs trs;
        double* into[] = {trs.translation, trs.rotation, trs.scale};
        for (std::size_t p = 0; p < 3; ++p) {
            for (std::size_t i = 0; parts[p].values && i < parts[p].width; ++i) {
                into[p][i] = (*parts[p].values)[static_cast<std::size_t>(e) * parts[p].width + i];
            }
        }
        const double length = std::sqrt(trs.rotation[0] * trs.rotation[0] + trs.rotation[1] * trs.rotation[1] +
                                        trs.rotation[2] * trs.rotation[2] + trs.rotation[3] * trs.rotation[3]);
        if (!(length > 0) || !std::isfinite(length)) {
            return std::nullopt;
        }
        for (double& q : trs.rotation) {
            q /= length;
        }
        AddBox(box, MappedBox(mesh, standin::FirstThen(AffineOfTrs(trs), world)));
    }
    return box;
}

// The union of `mesh` mapped, for each joint of skin `skin`, by its
// inverse bind matrix and then by the joint's world transform.
std::optional<WorldBox> SkinnedBox(const WorldBox& mesh, std::optional<std::size_t> skin,
                                   const std::unordered_map<std::size_t, Affine>& worlds, const BufferAccess& access) {
    const SkinModel& skins = access.skins;
    if (!skin || *skin >= skins.skins.size() || MatricesFault(skins, access.buffers, *skin, access.glb)) {
        return std::nullopt;
    }
    const SkinEntry& entry = skins.skins[*skin];
    std::string matrices;
    if (entry.matrices) {
        const AccessorEntry& accessor = access.buffers.accessors[*entry.matrices];
        try {
            matrices = access.read(*accessor.view, accessor.byteOffset, 64 * entry.joints.size());
        } catch (const BufferReadError&) {
            return std::nullopt;
        }
    }
    std::optional<WorldBox> box;
    for (std::size_t j = 0; j < entry.joints.size(); ++j) {
        const auto world = worlds.find(entry.joints[j]);
        if (world == worlds.end()) {
            return std::nullopt;
        }
        Affine inverseBind;
        if (entry.matrices) {
            double m[16];
            for (std::size_t i = 0; i < 16; ++i) {
                m[i] = little_endian::Float32(matrices, 64 * j + 4 * i);
            }
            inverseBind = AffineOfMatrix(m);
        }
        AddBox(box, MappedBox(mesh, standin::FirstThen(inverseBind, world->second)));
    }
    return box;
}

bool IsFinite(const WorldBox& box) {
    for (int i = 0; i < 3; ++i) {
        if (!std::isfinite(box.min[i]) || !std::isfinite(box.max[i])) {
            return false;
        }
    }
    return true;
}

// The boxes of the nodes with meshes, walked from every node without a
// parent (a joint may lie outside the scene), parents before children.
class BoundsWalk {
public:
    BoundsWalk(const GltfModel& model, const std::string& json, bool glb, const ViewReader& read)
        : model_(model), json_(json), arrays_(ArraysOf(model, json)), access_{model.skins, model.data, glb, read} {
        for (const SkinEntry& skin : model.skins.skins) {
            joints_.insert(skin.joints.begin(), skin.joints.end());
        }
    }

    NodeBounds Run() {
        std::vector<std::pair<std::size_t, Affine>> pending;
        for (std::size_t node = model_.nodes.size(); node-- > 0;) {
            if (model_.nodes[node].parent == kNoNode) {
                pending.emplace_back(node, Affine());
            }
        }
        // A skinned mesh waits for its joints' world transforms.
        std::vector<std::size_t> skinned;
        NodeBounds boxes;
        while (!pending.empty()) {
            const auto [node, parentWorld] = pending.back();
            pending.pop_back();
            const NodeEntry& entry = model_.nodes[node];
            const Affine world = standin::FirstThen(LocalTransform(model_, json_, node), parentWorld);
            if (joints_.count(node) != 0) {
                worlds_[node] = world;
            }
            if (entry.objectKind == NodeEntry::kGeometry && entry.skinned) {
                skinned.push_back(node);
            } else if (entry.objectKind == NodeEntry::kGeometry) {
                Keep(node, NodeBox(node, world), boxes.world);
                Keep(node, NodeBox(node, Affine()), boxes.object);
            }
            const ChildRange children = model_.Children(entry);
            for (auto child = children.end(); child != children.begin();) {
                pending.emplace_back(*--child, world);
            }
        }
        for (const std::size_t node : skinned) {
            Keep(node, NodeBox(node, Affine()), boxes.world);
        }
        return boxes;
    }

private:
    static void Keep(std::size_t node, const std::optional<WorldBox>& box,
                     std::unordered_map<std::size_t, WorldBox>& boxes) {
        if (box && IsFinite(*box)) {
            boxes[node] = *box;
        }
    }

    // `world` is the node's world transform, which a skinned mesh ignores.
    std::optional<WorldBox> NodeBox(std::size_t node, const Affine& world) {
        const std::vector<JsonMember> members = JsonValue(json_, model_.nodes[node].object).Members();
        const auto member = [&members](const char* key) -> std::optional<JsonValue> {
            for (const JsonMember& each : members) {
                if (each.key == key) {
                    return each.value;
                }
            }
            return std::nullopt;
        };
        const std::optional<std::size_t> mesh = IndexIn(member("mesh"));
        if (!mesh) {
            return std::nullopt;
        }
        auto cached = meshes_.find(*mesh);
        if (cached == meshes_.end()) {
            cached = meshes_.emplace(*mesh, ReadMesh(arrays_, *mesh)).first;
        }
        if (!cached->second) {
            return std::nullopt;
        }
        const std::optional<std::vector<double>> weights = Numbers(member("weights"));
        const std::optional<WorldBox> box = MeshBox(*cached->second, weights ? *weights : cached->second->weights);
        if (!box) {
            return std::nullopt;
        }
        if (model_.nodes[node].skinned) {
            return model_.nodes[node].instanced ? std::nullopt
                                                : SkinnedBox(*box, IndexIn(member("skin")), worlds_, access_);
        }
        if (model_.nodes[node].instanced) {
            const std::optional<JsonValue> extensions = member("extensions");
            const std::optional<JsonValue> instancing = extensions ? extensions->Member("EXT_mesh_gpu_instancing")
                                                                   : std::nullopt;
            return instancing ? InstancesBox(*box, *instancing, world, arrays_, access_) : std::nullopt;
        }
        return MappedBox(*box, world);
    }

    const GltfModel& model_;
    const std::string& json_;
    FileArrays arrays_;
    BufferAccess access_;
    std::unordered_set<std::size_t> joints_;
    std::unordered_map<std::size_t, Affine> worlds_;  // of the joints
    std::unordered_map<std::size_t, std::optional<MeshExtent>> meshes_;
};

}  // namespace

NodeBounds DrawnBounds(const GltfModel& model, const std::string& json, bool glb, const ViewReader& read) {
    return BoundsWalk(model, json, glb, read).Run();
}

}  // namespace driver::gltf
