#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace driver {

// The file dialog that a press of a panel button opens, as the tool's
// resources describe it, with the title that the system gives it.
struct PanelDialog {
    bool saving = false;  // a save dialog; else an open dialog
    std::string title;
    std::string defaultExtension;  // given to a name typed without one

    // The file that this dialog gives the tool for a typed name.
    std::string FileFor(const std::string& typed) const;
};

// A control of a tool's panel as the panel's dialog template lays it out.
struct ModelControl {
    int id = 0;
    std::string kind;  // "static", "group", "radio", "button"
    std::string caption;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    std::optional<PanelDialog> dialog;        // of a button that opens one
};

// What a tool's panel holds, learnt from the tool's own resources alone:
// its dialog template (each control's caption, kind and place) and its
// string table (the file dialog that a button opens). Whatever the driver
// says or checks of a panel's controls and their dialogs, it asks here;
// their state at a moment is read from the open panel (panel_controls.h).
// It is read from a tool's library by ReadPanelModel (panel_model_reader.h).
class PanelModel {
public:
    PanelModel() = default;
    PanelModel(int width, int height, std::vector<ModelControl> controls)
        : width_(width), height_(height), controls_(std::move(controls)) {}

    int Width() const { return width_; }    // dialog units
    int Height() const { return height_; }  // dialog units
    // In the template's order.
    const std::vector<ModelControl>& Controls() const { return controls_; }

    // The control of `kind` ("button" or "radio") with this caption, or null.
    const ModelControl* Find(std::string_view kind, std::string_view caption) const;
    // The captions of the controls of `kind`, in the template's order.
    std::vector<std::string> Captions(std::string_view kind) const;
    // The dialog that pressing the button `caption` opens, or null.
    const PanelDialog* DialogOf(std::string_view caption) const;
    // The first button that opens a save (or an open) dialog, or null.
    const ModelControl* OpeningDialog(bool saving) const;

private:
    int width_ = 0, height_ = 0;
    std::vector<ModelControl> controls_;
};

}  // namespace driver
