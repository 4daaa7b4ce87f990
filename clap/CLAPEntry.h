#pragma once

#include "CLAPInterface.h"
#include "IEditorFactory.h"
#include "ProductDescription.h"

// What joins one product to the CLAP adapter; both live as long as the module.
struct CLAPProduct {
    const ProductDescription* product;
    const IEditorFactory* panel; // null for a module without the panel
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
