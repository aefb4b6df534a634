#include "view/view_json.h"

#include "json/json_text.h"
#include "session/shortcut.h"
#include "text/name_text.h"
#include "text/number_text.h"
#include "text/utf8.h"

namespace driver {

namespace {

void AppendRows(std::string& out, const NodeMatrix& matrix) {
    out += '[';
    for (int row = 0; row < 4; ++row) {
        const Point3& p = matrix.GetRow(row);
        out += row == 0 ? "[" : ",[";
        AppendNumber(out, p.x);
        out += ',';
        AppendNumber(out, p.y);
        out += ',';
        AppendNumber(out, p.z);
        out += ']';
    }
    out += ']';
}

// What a press of the control asks for first: the file dialog of the
// names tool's buttons ("save" or "load"), or nothing.
std::string FileDialogOf(const std::string& caption) {
    return caption == kSaveNamesCaption ? "\"save\"" : caption == kLoadNamesCaption ? "\"load\"" : "null";
}

void AppendControls(std::string& out, const std::vector<PanelControl>& panel) {
    out += '[';
    for (std::size_t i = 0; i < panel.size(); ++i) {
        const PanelControl& control = panel[i];
        out += (i == 0 ? "{" : ",{");
        out += "\"caption\":" + JsonText(control.caption) + ",\"kind\":\"" +
               (control.customButton ? "button" : "radio") + "\",\"enabled\":" +
               (control.enabled ? "true" : "false") + ",\"checked\":" + (control.checked ? "true" : "false") +
               ",\"fileDialog\":" + FileDialogOf(control.caption) + "}";
    }
    out += ']';
}

void AppendTexts(std::string& out, const char* key, const std::vector<std::string>& texts) {
    out += std::string("\"") + key + "\":[";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        out += (i == 0 ? "" : ",") + JsonText(texts[i]);
    }
    out += ']';
}

void AppendPanel(std::string& out, const ViewState& state) {
    out += "\"panel\":";
    AppendControls(out, state.panel);
    out += ",\"panelBefore\":";
    AppendControls(out, state.panelBefore);
    out += ",\"layout\":{\"width\":" + std::to_string(state.panelWidth) +
           ",\"height\":" + std::to_string(state.panelHeight) + ",\"controls\":[";
    for (std::size_t i = 0; i < state.layout.size(); ++i) {
        const ViewControl& control = state.layout[i];
        out += (i == 0 ? "{" : ",{");
        out += "\"kind\":\"" + control.kind + "\",\"text\":" + JsonText(control.text) +
               ",\"x\":" + std::to_string(control.x) + ",\"y\":" + std::to_string(control.y) +
               ",\"width\":" + std::to_string(control.width) + ",\"height\":" + std::to_string(control.height) + "}";
    }
    out += "]}";
}

std::string FileIndex(std::size_t index) {
    return index == kNoFileNode ? "null" : std::to_string(index);
}

void AppendNodes(std::string& out, const ViewState& state) {
    out += "\"nodes\":[";
    for (std::size_t i = 0; i < state.nodes.size(); ++i) {
        const ViewNode& node = state.nodes[i];
        out += (i == 0 ? "{" : ",{");
        out += "\"index\":" + std::to_string(node.index) + ",\"name\":" + JsonText(node.name) +
               ",\"depth\":" + std::to_string(node.depth) + ",\"world\":";
        AppendRows(out, node.world);
        out += ",\"object\":";
        AppendRows(out, node.object);
        out += ",\"changed\":[";
        for (std::size_t k = 0; k < node.changed.size(); ++k) {
            out += std::string(k == 0 ? "\"" : ",\"") + node.changed[k] + "\"";
        }
        out += "],\"gltfNode\":" + FileIndex(node.source.fileNode) +
               ",\"objectNode\":" + FileIndex(node.source.objectNode) + ",\"holds\":[";
        for (std::size_t k = 0; k < node.source.holds.size(); ++k) {
            out += std::string(k == 0 ? "\"" : ",\"") + node.source.holds[k] + "\"";
        }
        out += "]}";
    }
    out += ']';
}

}  // namespace

std::string JsonText(const std::string& text) {
    if (IsValidUtf8(text)) {
        return JsonString(text);
    }
    const std::string quoted = Quoted(text);
    return JsonString(quoted.substr(1, quoted.size() - 2));
}

std::string ViewStateJson(const ViewState& state) {
    std::string out = "{";
    AppendTexts(out, "lines", state.lines);
    out += ",\"failure\":" +
           (state.failure.empty() ? std::string("null") : JsonText(state.failure)) +
           ",\"refused\":" + (state.refused ? "true" : "false") +
           ",\"pickMode\":" + (state.pickMode ? "true" : "false") +
           ",\"up\":\"" + (state.up == UpAxis::Z ? "z" : "y") + "\",";
    AppendPanel(out, state);
    out += ",\"selection\":[";
    for (std::size_t i = 0; i < state.selection.size(); ++i) {
        out += (i == 0 ? "" : ",") + std::to_string(state.selection[i]);
    }
    out += "],\"undoable\":" + std::to_string(state.undoable) + ",\"redoable\":" + std::to_string(state.redoable) + ",";
    AppendTexts(out, "unsaved", state.unsaved);
    out += ',';
    AppendTexts(out, "reads", state.reads);
    out += ',';
    AppendNodes(out, state);
    return out + "}";
}

}  // namespace driver
