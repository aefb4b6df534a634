#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "interface.h"
#include "name_lines.h"
#include "name_reader.h"
#include "names_result.h"
#include "panel_frame.h"

// The names tool: saves the names of all scene nodes to a text file, one a
// line in scene order, and loads such a file back onto the nodes by
// position. The library holds one static object.
class NamesUtility : public PanelFrame {
public:
    NamesUtility() = default;

    // UtilityPlugin: called by the host on its user-interface thread.
    void DeleteSelf() override {}

    // The commands, run with a path the user chose, as the file dialog gives
    // it (FilePathOf in native_file.h). Both need the interface
    // of an open panel (or one set with SetInterface). The result tells what
    // happened; the commands themselves log nothing.
    names_tool::SaveResult SaveNames(const std::string& path);
    names_tool::LoadResult LoadNames(const std::string& path);
    // The walks behind them, in scene order (pre-order from `node`). The
    // commands keep their lists packed: a save's names as the lines they
    // become, a load's in one text.
    // Stops at the first name that a names file cannot hold and answers
    // false; `refusal` then names the node (by its place in scene order,
    // `node` being 0) and says why.
    bool CollectNames(SceneNode* node, names_tool::NameLines& lines, std::string& refusal);
    bool ApplyNames(SceneNode* node, const names_tool::NameList& list, std::uint32_t& position);

    // Sets the interface the commands use without an open panel.
    void SetInterface(Interface* host) { SetStoredInterface(host); }

private:
    // PanelFrame: the Load and Save buttons, each running its file command.
    void PanelOpened(Interface& host) override;
    void Command(int item) override;
};
