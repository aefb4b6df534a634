#pragma once

#include <cstdint>

using SClass_ID = std::uint32_t;

// Super-class numbers that the pick filter looks at.
constexpr SClass_ID GEOMOBJECT_CLASS_ID = 0x10;
constexpr SClass_ID SHAPE_CLASS_ID = 0x40;

// The object that a node's world state evaluates to. The host owns it.
class Object {
public:
    virtual ~Object() = default;
    virtual SClass_ID SuperClassOf() = 0;
    // The object's own test of whether it is usable (for a geometry
    // object: whether it renders as geometry). Integer truth value.
    virtual int ObjectTest() = 0;
};

// The result of evaluating a node's pipeline; callers may copy it. The
// object it points to belongs to the host.
struct ObjectState {
    Object* obj = nullptr;
};
