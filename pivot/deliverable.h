#pragma once

// The values that make a plug-in library Tarvel, the pivot tool. The texts
// that the user sees are in tarvel.rc.
#include "class_desc.h"
#include "pivot_utility.h"
#include "utility_class_desc.h"

class PivotClassDesc;

struct Deliverable {
    using Utility = PivotUtility;
    using ClassDesc = PivotClassDesc;
    static constexpr Class_ID kClassId{0x1c37ceb3, 0x79aab560};
    static constexpr const char* kInternalName = "Tarvel";
    // The library's one static utility object.
    static Utility& TheUtility();
};

class PivotClassDesc final : public UtilityClassDesc<Deliverable> {};
