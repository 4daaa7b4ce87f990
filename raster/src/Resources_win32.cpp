// Image resources on Windows: resources of type "PNG" in the module's resource section,
// which resources/quelor.rc fills.
#include "raster/RAS_Resources.h"

#include <windows.h>

// The linker's symbol at the start of the module image, whose address is the module's
// instance handle: the same value its DllMain receives.
extern "C" IMAGE_DOS_HEADER __ImageBase;

RAS_ModuleHandle RAS_OwnModule() {
    return &__ImageBase;
}

bool RAS_FindImageResource(RAS_ModuleHandle module, int id, RAS_ResourceBytes* bytes) {
    if (module == nullptr || bytes == nullptr || id < 0 || id > 0xFFFF) {
        return false;
    }
    // An HMODULE is the address of the loaded image, which the handle type carries as is.
    const auto instance = static_cast<HMODULE>(const_cast<void*>(module));
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), "PNG");
    if (found == nullptr) {
        return false;
    }
    const DWORD size = SizeofResource(instance, found);
    HGLOBAL loaded = LoadResource(instance, found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return false;
    }
    // Resource data stays mapped as long as the module; nothing is unlocked or freed.
    *bytes = {static_cast<const unsigned char*>(data), size};
    return true;
}
