#pragma once

#include <string>

#include "json/json_writer.h"
#include "text/refusal.h"
#include "view/view_session.h"

namespace driver {

// About what a node takes in a state's JSON: room for the text is made
// once (a large scene's state is tens of megabytes).
constexpr std::size_t kStateBytesPerNode = 160;

// The members of the viewer's state after a gesture, written into the
// object that `json` has open (docs/viewer.md).
void WriteViewState(JsonWriter& json, const ViewState& state);

// The answer of the viewer's API to a gesture: the state as one object.
std::string ViewStateJson(const ViewState& state);

// A refusal as the API answers it: {"code": "...", "message": "..."}.
void WriteRefusal(JsonWriter& json, const Refusal& refusal);
std::string RefusalJson(const Refusal& refusal);

}  // namespace driver
