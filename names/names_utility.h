#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "custom_button.h"
#include "interface.h"
#include "name_lines.h"
#include "name_reader.h"
#include "names_result.h"
#include "utility_plugin.h"
#include "win32/win_api.h"

// The names tool: saves the names of all scene nodes to a text file, one a
// line in scene order, and loads such a file back onto the nodes by
// position. The library holds one static object.
class NamesUtility : public UtilityPlugin {
public:
    NamesUtility() = default;

    // UtilityPlugin: called by the host on its user-interface thread.
    void BeginEditParams(Interface* ip, UtilityHandle* handle) override;
    void EndEditParams(Interface* ip, UtilityHandle* handle) override;
    void DeleteSelf() override {}

    // The panel's messages, routed by the frame dialog procedure.
    INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // The commands, run with a path the user chose. Both need the interface
    // of an open panel (or one set with SetInterface). The result tells what
    // happened; the commands themselves log nothing.
    SaveResult SaveNames(const std::string& path);
    LoadResult LoadNames(const std::string& path);
    // The walks behind them, in scene order (pre-order from `node`). The
    // commands keep their lists packed: a save's names as the lines they
    // become, a load's in one text.
    void CollectNames(SceneNode* node, std::vector<std::string>& list);
    // Stops at the first name that a names file cannot hold and answers
    // false; `refusal` then names the node (by its place in scene order,
    // `node` being 0) and says why.
    bool CollectNames(SceneNode* node, names_file::NameLines& lines, std::string& refusal);
    bool ApplyNames(SceneNode* node, const std::vector<std::string>& list, std::uint32_t& position);
    bool ApplyNames(SceneNode* node, const names_file::NameList& list, std::uint32_t& position);

    // State, for tests and the driver.
    HWND Panel() const { return panel; }
    Interface* StoredInterface() const { return ip; }
    void SetInterface(Interface* host) { ip = host; }

private:
    HWND panel = nullptr;
    UtilityHandle* utilityHandle = nullptr;
    Interface* ip = nullptr;
    ICustButton* loadButton = nullptr;
    ICustButton* saveButton = nullptr;
};
