// A module's resources read by a program: a handle is the module's own
// entry of the resource, whose data the .res file gave.
#include "win32/standin_objects.h"

namespace win32standin {

namespace {

ResourceId IdOf(LPCSTR name) {
    if (IS_INTRESOURCE(name)) {
        return ResourceId::Number(static_cast<std::uint16_t>(reinterpret_cast<UINT_PTR>(name)));
    }
    return ResourceId::Text(name);
}

const ResourceEntry* EntryOf(HRSRC resource) { return reinterpret_cast<const ResourceEntry*>(resource); }

}  // namespace

}  // namespace win32standin

using namespace win32standin;

extern "C" HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    return detail::Guarded("FindResourceA", HRSRC{nullptr}, [&]() -> HRSRC {
        const StandinModule* known = detail::LiveModule(module, "FindResourceA");
        if (known == nullptr || name == nullptr || type == nullptr) {
            return nullptr;
        }
        const ResourceEntry* entry = FindResource(known->resources, IdOf(type), IdOf(name));
        return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(entry));
    });
}

extern "C" HGLOBAL LoadResource(HMODULE, HRSRC resource) { return resource; }

extern "C" LPVOID LockResource(HGLOBAL loaded) {
    return loaded == nullptr ? nullptr : const_cast<std::uint8_t*>(EntryOf(loaded)->data.data());
}

extern "C" DWORD SizeofResource(HMODULE, HRSRC resource) {
    return resource == nullptr ? 0 : static_cast<DWORD>(EntryOf(resource)->data.size());
}
