#pragma once

#include "color_manager.h"

// The stand-in host's user-interface colours, fixed:
//   0 window background  RGB(200, 200, 200)
//   1 text               RGB(0, 0, 0)
//   2 button face        RGB(212, 208, 200)
//   3 pressed button     RGB(255, 255, 255)
//   4 pick highlight     RGB(255, 230, 0)   (COLOR_PICK_HIGHLIGHT)
// Any other number answers kUnknownColour, magenta, so it shows.
namespace standin {

constexpr COLORREF kPickHighlightColour = RGB(255, 230, 0);
constexpr COLORREF kUnknownColour = RGB(255, 0, 255);

// The colour of `id` as ColorOf answers it, without a journal entry.
COLORREF FixedColour(int id);

}  // namespace standin
