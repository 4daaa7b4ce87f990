#pragma once

#include "CLAPInterface.h"

class CLAPPlugin;

// The plug-in record the host calls through, its entries forwarding to plugin.
clap_plugin_t CLAPPluginRecord(const clap_plugin_descriptor_t* descriptor, CLAPPlugin* plugin);

// The extension records of the adapter, their entries forwarding to the plug-in behind
// the record they are called with. Null for an id the adapter does not offer.
const void* CLAPExtensionRecord(const char* id);
