#pragma once

#include "CLAPInterface.h"
#include "IEffectBase.h"

#include <memory>

// What joins one effect to the CLAP adapter: its descriptor and how it is made.
struct CLAPProduct {
    // Lives as long as the module.
    const clap_plugin_descriptor_t* descriptor;
    // Main thread: a new effect, or null.
    std::unique_ptr<IEffectBase> (*createEffect)();
};

// The module's one product; the product library defines it.
const CLAPProduct& CLAPModuleProduct();

// The entry's functions, for the clap_entry record the module exports. init may come
// again (since 1.2, and from older hosts too): each is counted behind a mutex and paired
// with a deinit. The factory creates plug-ins only while the module is initialised.
bool QUELOR_CLAP_CALL CLAPEntryInit(const char* pluginPath);
void QUELOR_CLAP_CALL CLAPEntryDeinit();
// Thread-safe. The plug-in factory, or null for any other id.
const void* QUELOR_CLAP_CALL CLAPEntryGetFactory(const char* factoryId);
