#pragma once

#include "host_api.h"
#include "win32/win_api.h"

// Colour numbers of the host's user-interface colours.
enum ColorId : int {
    COLOR_PICK_HIGHLIGHT = 4,  // highlight of a checked pick button
};

// The host's user-interface colours.
class IColorManager {
public:
    virtual COLORREF ColorOf(int id) = 0;

protected:
    ~IColorManager() = default;
};

HOST_API IColorManager* GetColorManager();
