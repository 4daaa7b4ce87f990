#pragma once

// A test host of ours on lilv: the bundle loaded into a world of its own, and instances
// with every port on buffers of ours.
#include "EffectTestSupport.h"
#include "LV2TestBundle.h"
#include "Quelor.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>

#include <array>
#include <vector>

namespace lv2test {
constexpr double kRate = 48000.0;
constexpr int kParameters = Quelor::kParameterCount;
enum Port {
    kInL = kParameters,
    kOutL = kParameters + 4,
    kMeterIn = kParameters + 6,
    kPortCount = kParameters + 10
};
constexpr int kLongestRun = 4096;

class World {
public:
    World() : world(lilv_world_new()) {
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, Bundle().c_str());
        lilv_world_load_bundle(world, bundle);
        lilv_node_free(bundle);
        LilvNode* uri = lilv_new_uri(world, kUri);
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        lilv_node_free(uri);
    }
    ~World() { lilv_world_free(world); }
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    LilvWorld* world;
    const LilvPlugin* plugin = nullptr;
};

// One instance with all of its ports on buffers of ours, which hold runs of up to
// bufferFrames. A block length of 0 offers the host no options feature.
class Instance {
public:
    Instance(World& w, UridMap& map, double rate, int32_t blockLength,
             int bufferFrames = kLongestRun)
        : maxBlock(blockLength) {
        options[0] = {
            LV2_OPTIONS_INSTANCE, 0,        map(LV2_BUF_SIZE__maxBlockLength), sizeof maxBlock,
            map(LV2_ATOM__Int),   &maxBlock};
        options[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
        mapFeature = {LV2_URID__map, &map.feature};
        optionsFeature = {LV2_OPTIONS__options, options};
        const LV2_Feature* features[] = {&mapFeature, blockLength ? &optionsFeature : nullptr,
                                         nullptr};
        instance = lilv_plugin_instantiate(w.plugin, rate, features);
        if (!instance)
            return;
        std::vector<float> defaults(kPortCount);
        lilv_plugin_get_port_ranges_float(w.plugin, nullptr, nullptr, defaults.data());
        std::copy_n(defaults.begin(), kParameters, controls.begin());
        for (auto& channel : audio)
            channel.assign(static_cast<std::size_t>(bufferFrames), 0.0f);
        for (int port = 0; port < kPortCount; ++port)
            Reconnect(port);
        lilv_instance_activate(instance);
    }
    ~Instance() {
        if (instance) {
            lilv_instance_deactivate(instance);
            lilv_instance_free(instance);
        }
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    void Disconnect(int port) {
        lilv_instance_connect_port(instance, static_cast<uint32_t>(port), nullptr);
    }
    void Reconnect(int port) {
        void* buffer = port < kInL       ? &controls[static_cast<std::size_t>(port)]
                       : port < kMeterIn ? audio[static_cast<std::size_t>(port - kInL)].data()
                                         : &meters[static_cast<std::size_t>(port - kMeterIn)];
        lilv_instance_connect_port(instance, static_cast<uint32_t>(port), buffer);
    }

    LilvInstance* instance = nullptr;
    std::array<float, kParameters> controls{};
    std::array<std::vector<float>, 6> audio; // in L/R, side-chain L/R, out L/R
    std::array<float, 4> meters{};

private:
    int32_t maxBlock;
    LV2_Options_Option options[2];
    LV2_Feature mapFeature;
    LV2_Feature optionsFeature;
};
} // namespace lv2test
