#pragma once

#include "panel_frame.h"

// The tally tool: its one button asks for a file in a save dialog and
// writes there the axis that the radio group shows, then the names of the
// selected nodes, one a line; the log says where.
class TallyUtility : public PanelFrame {
public:
    TallyUtility() = default;
    void DeleteSelf() override {}

private:
    void PanelOpened(Interface& host) override;
    void Command(int item) override;
};
