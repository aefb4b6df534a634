#pragma once

#include <string>

#include "view/view_session.h"

namespace driver {

// The answer of the viewer's API to a gesture, as JSON (docs/viewer.md).
std::string ViewStateJson(const ViewState& state);

// A text as a JSON string; bytes that are not UTF-8 shown as \xHH, as the
// transcript shows them.
std::string JsonText(const std::string& text);

}  // namespace driver
