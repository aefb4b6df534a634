#pragma once

#include <cstdint>

#include "host_api.h"
#include "object_state.h"
#include "win32/win_api.h"

// A class identifier: two 32-bit words.
struct Class_ID {
    std::uint32_t a = 0;
    std::uint32_t b = 0;

    constexpr Class_ID() = default;
    constexpr Class_ID(std::uint32_t a_, std::uint32_t b_) : a(a_), b(b_) {}
    constexpr bool operator==(const Class_ID& o) const { return a == o.a && b == o.b; }
    constexpr bool operator!=(const Class_ID& o) const { return !(*this == o); }
};

// Super-class number of utility plug-ins.
constexpr SClass_ID UTILITY_CLASS_ID = 0x1020;

// The host's class descriptor: identifies a plug-in class and creates its
// instances. A library keeps its descriptors as static objects; the host
// never deletes them.
class ClassDesc {
public:
    virtual ~ClassDesc() = default;
    // 1 lists the class to the user.
    virtual int IsPublic() = 0;
    // An instance of the class; `loading` is 1 while a file is loaded.
    virtual void* Create(int loading) = 0;
    virtual const char* ClassName() = 0;
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual const char* Category() = 0;
    // Operations below keep the host's defaults unless a class overrides them.
    virtual int BeginCreate() { return 0; }
    virtual int EndCreate() { return 0; }
};

// The descriptor base of current plug-ins: adds the names and the module.
class ClassDesc2 : public ClassDesc {
public:
    ~ClassDesc2() override = default;
    // The fixed, untranslated name of the class.
    virtual const char* InternalName() { return nullptr; }
    // The module that holds the class's resources.
    virtual HINSTANCE HInstance() { return nullptr; }
    virtual int NumParamBlockDescs() { return 0; }
};
