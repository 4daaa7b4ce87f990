// Registration of resources embedded at build time (quelor_embed_resources in CMake);
// used by the generated sources on platforms without native module resources.
#pragma once

#include "raster/RAS_Resources.h"

struct RAS_EmbeddedResource {
    RAS_ModuleHandle module;
    int id;
    const unsigned char* data;
    std::size_t size;
    RAS_EmbeddedResource* next;
};

// Adds `resource` (static storage) to the lookup; called during static initialisation.
void RAS_RegisterEmbeddedResource(RAS_EmbeddedResource* resource);

struct RAS_EmbeddedResourceRegistrar {
    explicit RAS_EmbeddedResourceRegistrar(RAS_EmbeddedResource* resource) {
        RAS_RegisterEmbeddedResource(resource);
    }
};
