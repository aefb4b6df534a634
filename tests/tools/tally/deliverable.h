#pragma once

// The values that make a plug-in library Tally, the tests' third tool.
#include "class_desc.h"
#include "tally_utility.h"
#include "utility_class_desc.h"

class TallyClassDesc;

struct Deliverable {
    using Utility = TallyUtility;
    using ClassDesc = TallyClassDesc;
    static constexpr Class_ID kClassId{0x5a11e7d3, 0x2b8c4f01};
    static constexpr const char* kInternalName = "Tally";
    // The library's one static utility object.
    static Utility& TheUtility();
};

class TallyClassDesc final : public UtilityClassDesc<Deliverable> {};
