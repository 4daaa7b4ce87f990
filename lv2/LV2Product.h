#pragma once

#include "BusLayout.h"

#include <cstdint>
#include <vector>

class IEffectBase;

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

// What joins one effect to the LV2 adapter: everything about the bundle that the
// effect's own tables do not say. The ports are numbered parameters first (port i is
// parameter i), then the audio ports of its buses, then a control output for each meter
// the effect declares, written after every run.
struct LV2Product {
    const char* uri;
    const char* uiUri;
    const char* pluginClass; // an lv2core class name, e.g. "CompressorPlugin"
    const char* license;     // the URI of the terms it is distributed under
    // Any host thread: a new effect with no host behind it.
    IEffectBase* (*createEffect)();
};

// Port numbers of a product for an effect with parameterCount parameters.
inline int LV2AudioPortIndex(int parameterCount, int audioPort) {
    return parameterCount + audioPort;
}
inline int LV2MeterPortIndex(const BusLayout& buses, int parameterCount, int meter) {
    return parameterCount + buses.ChannelCount(BusDirection::kInput) +
           buses.ChannelCount(BusDirection::kOutput) + meter;
}
