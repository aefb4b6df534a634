#include "module_state.h"

namespace {
HINSTANCE g_module = nullptr;
char g_stringBuffer[256];
}  // namespace

HINSTANCE ModuleHandle() { return g_module; }

void SetModuleHandle(HINSTANCE module) { g_module = module; }

const char* GetString(int id) {
    if (g_module == nullptr) {
        return nullptr;
    }
    const int loaded = LoadStringA(g_module, static_cast<UINT>(id), g_stringBuffer, sizeof g_stringBuffer);
    return loaded > 0 ? g_stringBuffer : nullptr;
}
