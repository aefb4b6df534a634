#pragma once

// The values that make a plug-in library Velkora, the names tool. The texts
// that the user sees are in velkora.rc.
#include "class_desc.h"
#include "names_utility.h"
#include "utility_class_desc.h"

class NamesClassDesc;

struct Deliverable {
    using Utility = NamesUtility;
    using ClassDesc = NamesClassDesc;
    static constexpr Class_ID kClassId{0x69b78967, 0x3c95b640};
    static constexpr const char* kInternalName = "Velkora";
    // The library's one static utility object.
    static Utility& TheUtility();
};

class NamesClassDesc final : public UtilityClassDesc<Deliverable> {};
