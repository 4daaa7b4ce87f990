// Image resources on Linux: byte ranges embedded into the module at build time.
#include "raster/RAS_EmbeddedResource.h"

// One per shared object (the C runtime's handle for it), so it tells modules apart.
extern "C" void* __dso_handle;

namespace {
// Written only during static initialisation.
constinit RAS_EmbeddedResource* gResources = nullptr;
} // namespace

RAS_ModuleHandle RAS_OwnModule() {
    return &__dso_handle;
}

void RAS_RegisterEmbeddedResource(RAS_EmbeddedResource* resource) {
    resource->next = gResources;
    gResources = resource;
}

bool RAS_FindImageResource(RAS_ModuleHandle module, int id, RAS_ResourceBytes* bytes) {
    if (bytes == nullptr || id < 0 || id > 0xFFFF) {
        return false;
    }
    for (const RAS_EmbeddedResource* r = gResources; r != nullptr; r = r->next) {
        if (r->module == module && r->id == id) {
            *bytes = {r->data, r->size};
            return true;
        }
    }
    return false;
}
