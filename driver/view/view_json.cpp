#include "view/view_json.h"

#include "session/shortcut.h"

namespace driver {

namespace {

// The four rows (X, Y and Z axes, translation) in one array of twelve.
void WriteRows(JsonWriter& json, const NodeMatrix& matrix) {
    json.BeginArray();
    for (int row = 0; row < 4; ++row) {
        const Point3& p = matrix.GetRow(row);
        json.Number(p.x).Number(p.y).Number(p.z);
    }
    json.EndArray();
}

bool SameRows(const NodeMatrix& a, const NodeMatrix& b) {
    for (int row = 0; row < 4; ++row) {
        if (!(a.GetRow(row) == b.GetRow(row))) {
            return false;
        }
    }
    return true;
}

// What a press of the control asks for first: the file dialog of the
// names tool's buttons ({kind: "save" or "load", title}), or nothing. The
// tool names no title, so the dialog has the system's own.
void WriteFileDialog(JsonWriter& json, const std::string& caption) {
    if (caption == kSaveNamesCaption || caption == kLoadNamesCaption) {
        const bool save = caption == kSaveNamesCaption;
        json.BeginObject().Key("kind").Text(save ? "save" : "load");
        json.Key("title").Text(save ? "Save As" : "Open").EndObject();
    } else {
        json.Null();
    }
}

void WriteControls(JsonWriter& json, const std::vector<PanelControl>& panel) {
    json.BeginArray();
    for (const PanelControl& control : panel) {
        json.BeginObject().Key("caption").Text(control.caption);
        json.Key("kind").Text(control.customButton ? "button" : "radio");
        json.Key("enabled").Bool(control.enabled).Key("checked").Bool(control.checked);
        WriteFileDialog(json.Key("fileDialog"), control.caption);
        json.EndObject();
    }
    json.EndArray();
}

void WritePanel(JsonWriter& json, const ViewState& state) {
    WriteControls(json.Key("panel"), state.panel);
    WriteControls(json.Key("panelBefore"), state.panelBefore);
    json.Key("layout").BeginObject().Key("width").Integer(state.panelWidth);
    json.Key("height").Integer(state.panelHeight).Key("controls").BeginArray();
    for (const ViewControl& control : state.layout) {
        json.BeginObject().Key("kind").Text(control.kind).Key("text").Text(control.text);
        json.Key("x").Integer(control.x).Key("y").Integer(control.y);
        json.Key("width").Integer(control.width).Key("height").Integer(control.height).EndObject();
    }
    json.EndArray().EndObject();
}

void WriteFileIndex(JsonWriter& json, std::size_t index) {
    if (index == kNoFileNode) {
        json.Null();
    } else {
        json.Count(index);
    }
}

void WriteNames(JsonWriter& json, const std::vector<const char*>& names) {
    json.BeginArray();
    for (const char* name : names) {
        json.Text(name);
    }
    json.EndArray();
}

void WriteNodes(JsonWriter& json, const ViewState& state) {
    json.Key("nodes").BeginArray();
    for (const ViewNode& node : state.nodes) {
        json.BeginObject().Key("index").Count(node.index).Key("name").Text(node.name);
        json.Key("depth").Count(node.depth);
        WriteRows(json.Key("world"), node.world);
        if (!SameRows(node.object, node.world)) {
            WriteRows(json.Key("object"), node.object);
        }
        WriteNames(json.Key("changed"), node.changed);
        WriteFileIndex(json.Key("gltfNode"), node.source.fileNode);
        WriteFileIndex(json.Key("objectNode"), node.source.objectNode);
        WriteNames(json.Key("holds"), node.source.holds);
        json.EndObject();
    }
    json.EndArray();
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
    WritePanel(json, state);
    json.Key("selection").BeginArray();
    for (const std::size_t index : state.selection) {
        json.Count(index);
    }
    json.EndArray().Key("undoable").Count(state.undoable).Key("redoable").Count(state.redoable);
    json.Texts("unsaved", state.unsaved).Texts("reads", state.reads);
    WriteNodes(json, state);
}

std::string ViewStateJson(const ViewState& state) {
    JsonWriter json(kStateBytesPerNode * state.nodes.size());
    json.BeginObject();
    WriteViewState(json, state);
    return json.EndObject().Take();
}

}  // namespace driver
