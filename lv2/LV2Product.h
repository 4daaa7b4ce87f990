#pragma once

#include "BusLayout.h"
#include "ProductDescription.h"

#include <cstdint>
#include <vector>

// An audio port of the bundle: a channel of one of the effect's buses.
struct LV2AudioPort {
    const char* symbol;
    const char* name;
    bool output;
    bool sideChain; // drives the effect without being heard; may be left unconnected
};

// The audio ports of an effect's buses: every input channel, then every output channel,
// each in the effect's channel order.
std::vector<LV2AudioPort> LV2AudioPorts(const BusLayout& buses);

// What joins one product to the LV2 adapter, from its description. The ports are numbered
// parameters first (port i is parameter i), then the audio ports of its buses, then a
// control output for each meter the effect declares, written after every run.
struct LV2Product {
    const char* uri;
    const char* uiUri;
    const char* pluginClass; // an lv2core class name, e.g. "CompressorPlugin"
    const char* license;     // the URI of the terms it is distributed under
    const ProductDescription* description; // makes the effect, without a panel
};

inline LV2Product LV2ProductOf(const ProductDescription& product) {
    return {product.ids.lv2Uri, product.ids.lv2UiUri, product.lv2Class, product.lv2License,
            &product};
}

// Port numbers of a product for an effect with parameterCount parameters.
inline int LV2AudioPortIndex(int parameterCount, int audioPort) {
    return parameterCount + audioPort;
}
inline int LV2MeterPortIndex(const BusLayout& buses, int parameterCount, int meter) {
    return parameterCount + buses.ChannelCount(BusDirection::kInput) +
           buses.ChannelCount(BusDirection::kOutput) + meter;
}
