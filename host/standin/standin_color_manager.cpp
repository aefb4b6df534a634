#include "standin/standin_color_manager.h"

#include "standin/ui_reports.h"

namespace standin {

namespace {

// Every ColorOf call is recorded in the journal (index: the colour number).
class StandinColorManager final : public IColorManager {
public:
    COLORREF ColorOf(int id) override {
        HostCall call{"ColorOf"};
        call.index = id;
        RecordUiCall(std::move(call));
        return FixedColour(id);
    }
};

}  // namespace

COLORREF FixedColour(int id) {
    switch (id) {
        case 0:
            return RGB(200, 200, 200);
        case 1:
            return RGB(0, 0, 0);
        case 2:
            return RGB(212, 208, 200);
        case 3:
            return RGB(255, 255, 255);
        case COLOR_PICK_HIGHLIGHT:
            return kPickHighlightColour;
        default:
            return kUnknownColour;
    }
}

}  // namespace standin

IColorManager* GetColorManager() {
    static standin::StandinColorManager manager;
    return &manager;
}
