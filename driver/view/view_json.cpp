#include "view/view_json.h"

#include "json/json_text.h"
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

void AppendPanel(std::string& out, const ViewState& state) {
    out += "\"panel\":[";
    for (std::size_t i = 0; i < state.panel.size(); ++i) {
        const PanelControl& control = state.panel[i];
        out += (i == 0 ? "{" : ",{");
        out += "\"caption\":" + JsonText(control.caption) + ",\"kind\":\"" +
               (control.customButton ? "button" : "radio") + "\",\"enabled\":" +
               (control.enabled ? "true" : "false") + ",\"checked\":" + (control.checked ? "true" : "false") + "}";
    }
    out += "],\"layout\":{\"width\":" + std::to_string(state.panelWidth) +
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
        out += '}';
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
    std::string out = "{\"lines\":[";
    for (std::size_t i = 0; i < state.lines.size(); ++i) {
        out += (i == 0 ? "" : ",") + JsonText(state.lines[i]);
    }
    out += "],\"done\":" + std::string(state.done ? "true" : "false") + ",\"failure\":" +
           (state.failure.empty() ? std::string("null") : JsonText(state.failure)) +
           ",\"refused\":" + (state.refused ? "true" : "false") +
           ",\"pickMode\":" + (state.pickMode ? "true" : "false") + ",";
    AppendPanel(out, state);
    out += ",\"selection\":[";
    for (std::size_t i = 0; i < state.selection.size(); ++i) {
        out += (i == 0 ? "" : ",") + std::to_string(state.selection[i]);
    }
    out += "],\"undoable\":" + std::to_string(state.undoable) + ",\"redoable\":" + std::to_string(state.redoable) + ",";
    AppendNodes(out, state);
    return out + "}";
}

}  // namespace driver
