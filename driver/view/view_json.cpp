#include "view/view_json.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "scene/node_state.h"
#include "text/base64.h"
#include "tools/tool_row.h"

namespace driver {

namespace {

// What a press of the control asks for first: the file dialog that the
// panel's model says it opens ({kind: "save" or "load", title}), or nothing.
void WriteFileDialog(JsonWriter& json, const PanelDialog* dialog) {
    if (dialog != nullptr) {
        json.BeginObject().Key("kind").Text(dialog->saving ? "save" : "load");
        json.Key("title").Text(dialog->title).EndObject();
    } else {
        json.Null();
    }
}

// The tools that the viewer offers (the listed rows of the tool table),
// and the one open.
void WriteTools(JsonWriter& json, const ViewState& state) {
    json.Key("tools").BeginArray();
    for (const ToolRow& tool : ToolTable()) {
        if (tool.listed) {
            json.BeginObject().Key("name").Text(tool.plugin);
            json.Key("label").Text(std::string("Open ") + tool.plugin).EndObject();
        }
    }
    json.EndArray().Key("openTool");
    state.openTool ? json.Text(*state.openTool) : json.Null();
}

// A control a list entry: its id, kind, caption and place, and the state
// of one that a gesture works.
void WritePanel(JsonWriter& json, const ViewState& state) {
    json.Key("panel").BeginArray();
    for (const ViewControl& control : state.panel) {
        const ModelControl& layout = control.layout;
        json.BeginObject().Key("id").Integer(layout.id).Key("kind").Text(layout.kind);
        json.Key("text").Text(layout.caption).Key("x").Integer(layout.x).Key("y").Integer(layout.y);
        json.Key("width").Integer(layout.width).Key("height").Integer(layout.height);
        if (control.worked) {
            json.Key("enabled").Bool(control.enabled).Key("checked").Bool(control.checked);
            WriteFileDialog(json.Key("fileDialog"), layout.dialog ? &*layout.dialog : nullptr);
        }
        json.EndObject();
    }
    json.EndArray().Key("panelSize").BeginObject().Key("width").Integer(state.panelWidth);
    json.Key("height").Integer(state.panelHeight).EndObject();
}

void WriteFileIndex(JsonWriter& json, std::size_t index) {
    if (index == kNoFileNode) {
        json.Null();
    } else {
        json.Count(index);
    }
}

// Names that a list of them as bits refers to: each name's bit is its
// place in the order first met. The names are the program's own constants.
class NameBits {
public:
    unsigned Of(const std::vector<const char*>& names) {
        unsigned bits = 0;
        for (const char* name : names) {
            auto found = std::find_if(names_.begin(), names_.end(),
                                      [name](const char* known) { return std::strcmp(known, name) == 0; });
            if (found == names_.end()) {
                found = names_.insert(names_.end(), name);
            }
            bits |= 1u << static_cast<unsigned>(found - names_.begin());
        }
        return bits;
    }
    void Write(JsonWriter& json, std::string_view key) const {
        json.Key(key).BeginArray();
        for (const char* name : names_) {
            json.Text(name);
        }
        json.EndArray();
    }

private:
    std::vector<const char*> names_;
};

template <typename Number>
void AppendBytes(std::string& bytes, Number value) {
    char raw[sizeof value];
    std::memcpy(raw, &value, sizeof value);
    bytes.append(raw, sizeof value);  // little-endian on every machine the viewer runs on
}

void WriteBytes(JsonWriter& json, std::string_view key, const std::string& bytes) {
    std::string text = "\"";
    AppendBase64(text, bytes);
    json.Key(key).Raw(text + '"');
}

bool Unturned(const standin::Affine& a) {
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            if (a.m[i][j] != (i == j ? 1.0 : 0.0)) {
                return false;
            }
        }
    }
    return true;
}

bool Same(const standin::Affine& a, const standin::Affine& b) {
    for (int i = 0; i < 3; ++i) {
        if (a.t[i] != b.t[i] || a.m[i][0] != b.m[i][0] || a.m[i][1] != b.m[i][1] || a.m[i][2] != b.m[i][2]) {
            return false;
        }
    }
    return true;
}

// Matrices packed (docs/viewer.md): `{prefix}origin`, the translations in
// double precision, and for those whose axes are not the identity
// (`{prefix}turned`, places in the list) `{prefix}axes`, the X, Y and Z
// rows in double precision too (a ground scaled hundreds of times, or its
// instances far out, shows single precision's rounding), in base64.
void WriteMatrices(JsonWriter& json, const std::string& prefix, const std::vector<const standin::Affine*>& matrices) {
    std::string origins, axes;
    origins.reserve(matrices.size() * 3 * sizeof(double));
    json.Key(prefix + (prefix.empty() ? "turned" : "Turned")).BeginArray();
    for (std::size_t k = 0; k < matrices.size(); ++k) {
        const standin::Affine& m = *matrices[k];
        for (const double t : m.t) {
            AppendBytes(origins, t);
        }
        if (!Unturned(m)) {
            json.Count(k);
            for (const auto& row : m.m) {
                for (const double v : row) {
                    AppendBytes(axes, v);
                }
            }
        }
    }
    json.EndArray();
    WriteBytes(json, prefix + (prefix.empty() ? "origin" : "Origin"), origins);
    WriteBytes(json, prefix + (prefix.empty() ? "axes" : "Axes"), axes);
}

// The places in `nodes` of those whose source `fits`.
template <typename Fits>
void WritePlaces(JsonWriter& json, std::string_view key, const std::vector<ViewNode>& nodes, Fits fits) {
    json.Key(key).BeginArray();
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        if (fits(nodes[k].source)) {
            json.Count(k);
        }
    }
    json.EndArray();
}

// A node's name is sent with the whole state, with a node sent whole, and
// where the gesture renamed it.
bool NameSent(const ViewState& state, const ViewNode& node) {
    return state.whole || node.changed.empty() ||
           std::any_of(node.changed.begin(), node.changed.end(),
                       [](const char* aspect) { return std::strcmp(aspect, AspectName(Aspect::Name)) == 0; });
}

// What never changes of the nodes, in the whole state: where the file
// holds each, what it holds, whether it draws and whether it is a joint.
void WriteUnchanging(JsonWriter& json, const std::vector<ViewNode>& nodes) {
    NameBits holds;
    json.Key("depth").BeginArray();
    for (const ViewNode& node : nodes) {
        json.Count(node.depth);
    }
    json.EndArray().Key("gltfNode").BeginArray();
    for (const ViewNode& node : nodes) {
        WriteFileIndex(json, node.source.fileNode);
    }
    json.EndArray().Key("objectNode").BeginArray();
    for (const ViewNode& node : nodes) {
        WriteFileIndex(json, node.source.objectNode);
    }
    json.EndArray().Key("holds").BeginArray();
    for (const ViewNode& node : nodes) {
        json.Count(holds.Of(node.source.holds));
    }
    json.EndArray();
    holds.Write(json, "holdNames");
    WritePlaces(json, "draws", nodes,
                [](const NodeSource& source) { return source.draws && source.objectNode != kNoFileNode; });
    WritePlaces(json, "joints", nodes,
                [](const NodeSource& source) { return source.joint && source.fileNode != kNoFileNode; });
}

// The nodes of the state as columns, one entry a node in each: names only
// of nodes sent whole or renamed, what never changes only in the whole state.
void WriteNodes(JsonWriter& json, const ViewState& state) {
    json.Key("nodes").BeginObject().Key("index").BeginArray();
    for (const ViewNode& node : state.nodes) {
        json.Count(node.index);
    }
    json.EndArray();
    std::vector<const standin::Affine*> worlds, objects;
    json.Key("objectAt").BeginArray();
    for (std::size_t k = 0; k < state.nodes.size(); ++k) {
        worlds.push_back(&state.nodes[k].world);
        if (!Same(state.nodes[k].object, state.nodes[k].world)) {
            json.Count(k);
            objects.push_back(&state.nodes[k].object);
        }
    }
    json.EndArray();
    WriteMatrices(json, "", worlds);
    WriteMatrices(json, "object", objects);
    NameBits aspects;
    json.Key("named").BeginArray();
    for (std::size_t k = 0; k < state.nodes.size(); ++k) {
        if (NameSent(state, state.nodes[k])) {
            json.Count(k);
        }
    }
    json.EndArray().Key("names").BeginArray();
    for (const ViewNode& node : state.nodes) {
        if (NameSent(state, node)) {
            json.Text(node.quoted);
        }
    }
    json.EndArray();
    if (!state.whole) {
        json.Key("changed").BeginArray();
        for (const ViewNode& node : state.nodes) {
            json.Count(aspects.Of(node.changed));
        }
        json.EndArray();
        aspects.Write(json, "aspects");
    } else {
        WriteUnchanging(json, state.nodes);
    }
    json.EndObject();
}

}  // namespace

void WriteRefusal(JsonWriter& json, const Refusal& refusal) {
    json.BeginObject().Key("code").Text(CodeName(refusal.code)).Key("message").Text(refusal.message).EndObject();
}

std::string RefusalJson(const Refusal& refusal) {
    JsonWriter json;
    WriteRefusal(json, refusal);
    return json.Take();
}

void WriteViewState(JsonWriter& json, const ViewState& state) {
    json.Texts("lines", state.lines).Texts("warnings", state.warnings);
    json.Key("refused").Bool(state.refusal.has_value()).Key("refusal");
    if (state.refusal) {
        WriteRefusal(json, *state.refusal);
    } else {
        json.Null();
    }
    json.Key("pickMode").Bool(state.pickMode).Key("up").Text(state.up == UpAxis::Z ? "z" : "y");
    if (state.whole) {
        json.Key("drawnWith");
        state.drawnWith != nullptr ? json.Text(state.drawnWith) : json.Null();
    }
    WriteTools(json, state);
    WritePanel(json, state);
    json.Key("selection").BeginArray();
    for (const std::size_t index : state.selection) {
        json.Count(index);
    }
    json.EndArray().Key("undoable").Count(state.undoable).Key("redoable").Count(state.redoable);
    json.Key("unsaved").Count(state.unsaved.size()).Texts("reads", state.reads);
    WriteNodes(json, state);
}

std::string ViewStateJson(const ViewState& state) {
    JsonWriter json(kStateBytesPerNode * state.nodes.size());
    json.BeginObject();
    WriteViewState(json, state);
    return json.EndObject().Take();
}

}  // namespace driver
