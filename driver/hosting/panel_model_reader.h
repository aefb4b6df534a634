#pragma once

#include "hosting/panel_model.h"
#include "win32/win_api.h"

namespace driver {

// The model of the dialog template `templateId` of `module`, read from the
// module's resources as the page was made from them (on Windows from the
// tool's library itself, elsewhere from the resources that the stand-in
// loaded with it). Empty where the module has no such template or it
// cannot be read.
PanelModel ReadPanelModel(HINSTANCE module, int templateId);

}  // namespace driver
