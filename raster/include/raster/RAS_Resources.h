// Image resources compiled into a module; each platform supplies the lookup.
#pragma once

#include <cstddef>

// Identifies a loaded module (the instance handle on Windows).
using RAS_ModuleHandle = const void*;

// The bytes of one resource; they live as long as the module.
struct RAS_ResourceBytes {
    const unsigned char* data;
    std::size_t size;
};

// Looks up resource `id` (0 to 65535) of type "PNG" in `module`; false when absent.
bool RAS_FindImageResource(RAS_ModuleHandle module, int id, RAS_ResourceBytes* bytes);

// The handle of the module this code is linked into.
RAS_ModuleHandle RAS_OwnModule();
