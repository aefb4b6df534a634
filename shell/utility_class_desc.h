#pragma once

#include "class_desc.h"
#include "module_state.h"
#include "shell_resource.h"
#include "utility_plugin.h"

// The class descriptor of a utility plug-in library. `Values` names the
// deliverable: its class identifier, its internal name and its one static
// utility object. The descriptor is a static object of the library; the
// host never deletes it.
template <class Values>
class UtilityClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    // The library's static utility object, whatever the loading flag: the
    // same object on every call, nothing allocated. The host sees it
    // through its UtilityPlugin interface.
    void* Create(int loading) override {
        (void)loading;
        return static_cast<UtilityPlugin*>(&Values::TheUtility());
    }
    const char* ClassName() override { return GetString(IDS_CLASS_NAME); }
    SClass_ID SuperClassID() override { return UTILITY_CLASS_ID; }
    Class_ID ClassID() override { return Values::kClassId; }
    const char* Category() override { return GetString(IDS_CATEGORY); }
    const char* InternalName() override { return Values::kInternalName; }
    HINSTANCE HInstance() override { return ModuleHandle(); }
};
