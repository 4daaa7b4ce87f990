#include "CLAPEntry.h"

#include "CLAPPlugin.h"
#include "IEffectBase.h"

#include <cstring>
#include <mutex>
#include <new>

namespace {
std::mutex gInitMutex;
int gInitCount = 0;

bool Initialized() {
    std::lock_guard guard(gInitMutex);
    return gInitCount > 0;
}

// The descriptor hosts list, from the product's description; the version is the project's.
const clap_plugin_descriptor_t& Descriptor() {
    const ProductDescription& product = *CLAPModuleProduct().product;
    static const clap_plugin_descriptor_t descriptor = {
        CLAP_VERSION,        product.ids.clapId, product.name,        product.maker,
        product.url,         "",                 "",                  product.versionText,
        product.description, product.clapFeatures,
    };
    return descriptor;
}

uint32_t QUELOR_CLAP_CALL PluginCount(const clap_plugin_factory_t* factory) {
    return factory ? 1u : 0u;
}

const clap_plugin_descriptor_t* QUELOR_CLAP_CALL
PluginDescriptor(const clap_plugin_factory_t* factory, uint32_t index) {
    return factory && index == 0 ? &Descriptor() : nullptr;
}

// Exactly our id: hosts and validators try near misses.
const clap_plugin_t* QUELOR_CLAP_CALL CreatePlugin(const clap_plugin_factory_t* factory,
                                                   const clap_host_t* host, const char* id) {
    const CLAPProduct& product = CLAPModuleProduct();
    if (!factory || !host || !id || std::strcmp(id, Descriptor().id) != 0 ||
        !CLAPVersionIsCompatible(host->clap_version) || !Initialized())
        return nullptr;
    // Nothing may unwind into a host written in C: a failed allocation is the null answer.
    try {
        std::unique_ptr<IEffectBase> effect = product.product->create(product.panel);
        if (!effect)
            return nullptr;
        effect->EnsureOnePreset();
        return (new CLAPPlugin(host, &Descriptor(), std::move(effect)))->Plugin();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

const clap_plugin_factory_t kFactory = {PluginCount, PluginDescriptor, CreatePlugin};
} // namespace

bool QUELOR_CLAP_CALL CLAPEntryInit(const char*) {
    std::lock_guard guard(gInitMutex);
    ++gInitCount;
    return true;
}

void QUELOR_CLAP_CALL CLAPEntryDeinit() {
    std::lock_guard guard(gInitMutex);
    if (gInitCount > 0)
        --gInitCount;
}

const void* QUELOR_CLAP_CALL CLAPEntryGetFactory(const char* factoryId) {
    return factoryId && std::strcmp(factoryId, CLAP_PLUGIN_FACTORY_ID) == 0 ? &kFactory : nullptr;
}
