#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "json/json_reader.h"
#include "scene/gltf/gltf_model.h"
#include "scene/gltf/json_view.h"

// Inside ReadGltfModel: the reader of a glTF file's JSON, its checks and
// messages shared by the node reading (gltf_model_nodes.cpp) and the rest
// (gltf_model.cpp).
namespace driver::gltf::model_reading {

std::string NodeName(std::size_t index);
// Four numbers of a length that is neither zero nor too large to compute.
bool IsRotation(const double* q);
// The local transform of a node's matrix (`matrix`, column-major) or of
// its translation, rotation and scale as read into `trs`, whose quaternion
// must not be zero; `trs` then holds the translation, rotation and scale
// of the transform, as far as they can be told.
standin::Affine LocalOf(Trs& trs, const double (*matrix)[16]);
// Notes in `node` the axes that `trs` scales by a negative factor.
void NoteSignsOfScale(NodeEntry& node, const Trs& trs);

class ModelReader {
public:
    ModelReader(const std::string& json, const std::string& source, bool keepScannedTrs)
        : json_(json), source_(source), keepScannedTrs_(keepScannedTrs) {}

    GltfModel Read();

private:
    // The one pass over the whole text (gltf_model_scan.cpp): the members
    // of the file's object, with the nodes read on the way as far as they
    // read plainly. Only a JsonSyntaxError can stop it, turned into the
    // file's error; everything else is judged after it, by CheckNodes.
    std::vector<JsonMember> ScanDocument(GltfModel& model);
    void ScanNodes(JsonReader& reader, GltfModel& model);
    // False where the node needs the careful read: anything that may be
    // refused, and what the scan leaves to it (extensions).
    bool ScanNode(JsonReader& reader, NodeEntry& node, std::size_t index, GltfModel& model);
    // What ScanNode read of a node's transform and object.
    struct ScannedNode {
        Trs trs;
        double matrix[16];
        unsigned seen = 0;                       // bit k: the node has the member of NodeKey k
        std::size_t transformAt[3] = {0, 0, 0};  // where its arrays begin, from the start of the node
        bool mesh = false, camera = false, weights = false;
    };
    // The rest of ScanNode, once the node's members are read (`plain`
    // when none of them needs the careful read): false where the node or
    // its transform needs the careful read.
    static bool KeepScanned(bool plain, ScannedNode& scanned, NodeEntry& node, std::size_t index, GltfModel& model);
    // A child index, appended to the model's children.
    void AddChild(std::size_t child, GltfModel& model) const;
    // In the order of the nodes: a scanned node's children are linked, any
    // other node is read again from its text by ReadNode, which refuses
    // what it must with the place and the reason.
    void CheckNodes(GltfModel& model);
    bool LinkChildren(std::size_t index, GltfModel& model) const;

    // The message names the place in the JSON text (for GLB, in its JSON
    // chunk) where `at` begins, and a node being read by its name too.
    [[noreturn]] void Fail(const std::string& where, std::optional<Span> at, const std::string& what) const;
    [[noreturn]] void Fail(const std::string& where, const std::string& what) const;

    // Line and column, in bytes from 1, of a byte of the JSON text.
    TextPlace PlaceOf(std::size_t offset) const;

    // An object's members; one key twice is refused, as readers differ on
    // which one counts.
    std::vector<JsonMember> Members(const JsonValue& object, const std::string& where) const;
    std::vector<JsonMember> Unique(std::vector<JsonMember> members, const std::string& where) const;
    static std::optional<JsonValue> Find(const std::vector<JsonMember>& members, const std::string& key);

    void CheckVersion(const std::optional<JsonValue>& asset) const;
    // `count` finite numbers that single precision can hold.
    void Numbers(const JsonValue& value, std::size_t count, double* out, const std::string& where) const;
    std::size_t Index(const JsonValue& value, std::size_t count, const std::string& where,
                      const std::string& what) const;
    // An index of something the tools do not look into (a mesh, a camera, a
    // light): only its type is the tools' business.
    void IndexType(const JsonValue& value, const std::string& where, const std::string& what) const;
    std::string Name(const JsonValue& value, const std::string& where) const;

    // The nodes (gltf_model_nodes.cpp).
    void ReadNodes(const std::vector<JsonValue>& elements, GltfModel& model) const;
    void ReadNode(const JsonValue& value, std::size_t index, GltfModel& model);
    // What a node's "extensions" add to its object.
    struct NodeExtensions {
        bool light = false;      // a punctual or IES light
        bool ofObject = false;   // an extension that belongs to the object: a light, instances
        bool instanced = false;  // EXT_mesh_gpu_instancing
    };
    NodeExtensions ReadExtensions(const JsonValue& value, const std::string& where) const;
    void ReadChildren(const JsonValue& value, std::size_t index, GltfModel& model) const;
    void ReadLocal(const std::vector<JsonMember>& members, NodeEntry& node, standin::Affine& local,
                   const std::string& where) const;
    // LocalOf, with the node's signs of scale noted.
    static standin::Affine FinishLocal(NodeEntry& node, Trs& trs, const double (*matrix)[16]);
    // The node whose object the extras mark the node as holding, if any.
    static std::optional<std::size_t> ObjectOfMark(const JsonValue& extras);
    // Every node has one parent at most (ReadChildren); a chain of parents
    // that comes back to where it started is a cycle.
    void CheckHierarchy(const GltfModel& model) const;
    // A child marked as holding its parent's object, where the parent holds
    // none itself, becomes the parent's object again; the first such child
    // counts, any other stays a node.
    void FindObjectNodes(GltfModel& model) const;

    void ReadScene(const std::vector<JsonMember>& top, GltfModel& model) const;
    // The objects of the nodes that have EXT_mesh_gpu_instancing.
    std::vector<JsonValue> InstancedNodes(const GltfModel& model) const;
    // The URIs that a written file may have to rewrite; entries that are
    // not objects with a string "uri" are not the tools' business.
    void ReadUris(const std::optional<JsonValue>& list, const std::string& name, GltfModel& model) const;

    const std::string& json_;
    const std::string& source_;
    // What the scan leaves to CheckNodes: which nodes it reads again with
    // the full reader (those the fast scan did not take), and the extras of
    // the others.
    std::vector<bool> readAgain_;
    bool keepScannedTrs_;
    std::vector<std::pair<std::size_t, Span>> extras_;
    // By node: the node whose object its extras mark it as holding.
    std::unordered_map<std::size_t, std::size_t> objectOf_;
    // The node being read, and its name once read.
    mutable std::size_t node_ = 0;
    mutable std::optional<std::string> nodeName_;
};

}  // namespace driver::gltf::model_reading
