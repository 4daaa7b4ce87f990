// A test host of ours on lilv: what only LV2 has (control ports taking any float, meter
// ports, the longest block prepared for, the factory preset through lilv's state API),
// held against Quelor driven directly through the base. Audio at every block size,
// routing and rates are the conformance suite's; the ports' declarations are
// LV2DescriptionTest's.
#include "LV2Bundle.h"
#include "LV2TestHost.h"

#include <gtest/gtest.h>
#include <lv2/presets/presets.h>

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {
using namespace lv2test;

// What the heap holds. The sanitizers' allocator counts its own; glibc's mallinfo2 is
// newer than the glibc these tests also run on.
long long HeapInUse() {
    if (__sanitizer_get_current_allocated_bytes)
        return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const struct mallinfo heap = mallinfo();
#pragma GCC diagnostic pop
    return static_cast<long long>(static_cast<unsigned>(heap.uordblks)) +
           static_cast<unsigned>(heap.hblkhd);
}

// Four channels of tones under decaying noise, as floats.
std::vector<std::vector<float>> Signal(std::size_t frames) {
    std::vector<std::vector<float>> channels(4, std::vector<float>(frames));
    uint32_t seed = 11;
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < 4; ++c) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
            const double t = static_cast<double>(i);
            channels[c][i] = static_cast<float>(
                (0.5 * std::sin(t * 0.02 * static_cast<double>(c + 1)) + 0.45 * noise) *
                std::exp(-static_cast<double>(i % 5000) / 1200.0));
        }
    return channels;
}

TEST(LV2Symbol, NamesBecomeSymbolsAHostAccepts) {
    for (const auto& [name, symbol] : {std::pair{"Release 2", "release_2"},
                                       {"Sidechain Input", "sidechain_input"},
                                       {"  Mix / Wet -- %", "mix_wet"},
                                       {"2nd Stage", "p_2nd_stage"},
                                       {"", "p_"},
                                       {"%%", "p_"},
                                       {"\xc3\xa9t\xc3\xa9", "t"}})
        EXPECT_EQ(LV2Symbol(name), symbol) << name;
}

class LV2Host : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(world.plugin, nullptr) << "the bundle has no " << kUri;
        OpenLikeHost(ref, kRate, kLongestRun);
    }

    // The control port, and the reference's parameter to the value it takes.
    void Set(Instance& lv2, int index, float sent, double taken) {
        lv2.controls[static_cast<std::size_t>(index)] = sent;
        SetExactly(ref, index, taken);
    }

    // Runs frames of the signal from at through both, and expects equal outputs, and the
    // meters the reference's readings held to their ports' ranges.
    void RunBoth(Instance& lv2, const std::vector<std::vector<float>>& signal, std::size_t at,
                 int frames) {
        ChannelSet set(static_cast<std::size_t>(frames));
        for (std::size_t c = 0; c < 4; ++c)
            for (std::size_t i = 0; i < set.Frames(); ++i)
                set.in[c][i] = lv2.audio[c][i] = signal[c][at + i];
        lilv_instance_run(lv2.instance, static_cast<uint32_t>(frames));
        Process(ref, set, {frames});
        for (std::size_t c = 0; c < 2; ++c)
            for (std::size_t i = 0; i < set.Frames(); ++i)
                ASSERT_EQ(lv2.audio[4 + c][i], static_cast<float>(set.out[c][i]))
                    << "frame " << at + i << " channel " << c;
        MeterReadings m;
        ref.ReadMeters(m);
        const MeterList meters = ref.Meters();
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(lv2.meters[i], static_cast<float>(std::clamp(m.values[i], meters[i].minimum,
                                                                   meters[i].maximum)))
                << meters[i].symbol;
    }

    World world;
    UridMap map;
    Quelor ref;
};

TEST_F(LV2Host, PreparesForTheLongestBlockTheHostAnnounces) {
    // Pieces leave no trace in the output, so the memory an instance holds shows the
    // longest block it prepared for.
    const auto held = [&](int32_t blockLength) {
        const long long before = HeapInUse();
        const Instance lv2(world, map, kRate, blockLength, 1);
        EXPECT_NE(lv2.instance, nullptr);
        return HeapInUse() - before;
    };
    held(64); // the module's first load
    constexpr int32_t kLongest = 1 << 16;
    EXPECT_GE(held(kLongest) - held(64), static_cast<long long>(kLongest * sizeof(double)))
        << "less than one channel of the announced block";
}

// Control ports take any float: values outside the table land on it. The meters are the
// effect's readings held to their ports' ranges at every run: a host that shows no panel
// of ours, as here, still sees them move. Then +60 dBFS compressed as hard as the table
// allows and heard all dry drives the level meters and the gain reduction far past their
// ports' ends.
TEST_F(LV2Host, ControlsLandOnTheTableAndMetersMoveWithinTheirPorts) {
    Instance lv2(world, map, kRate, kLongestRun);
    auto signal = Signal(4 * kLongestRun);
    Set(lv2, Quelor::kThreshold, std::numeric_limits<float>::quiet_NaN(), -60.0);
    Set(lv2, Quelor::kAttack, 1.0e9f, 300.0);
    Set(lv2, Quelor::kGain, -std::numeric_limits<float>::infinity(), 0.0);
    Set(lv2, Quelor::kStereoMode, 1.4f, 1.0);
    Set(lv2, Quelor::kBrickwall, 0.6f, 1.0);
    Set(lv2, Quelor::kSidechainInput, -3.0f, 0.0);
    Set(lv2, Quelor::kHold, 7.5f, 7.5);
    Set(lv2, Quelor::kRelease2, 93.75f, 93.75);
    Set(lv2, Quelor::kAttenuation, -3.75f, -3.75);
    RunBoth(lv2, signal, 0, kLongestRun);
    Set(lv2, Quelor::kThreshold, -40.0f, -40.0);
    Set(lv2, Quelor::kGain, 30.0f, 30.0);
    Set(lv2, Quelor::kBrickwall, 0.0f, 0.0); // on
    for (std::size_t run = 1; run < 3; ++run)
        RunBoth(lv2, signal, run * kLongestRun, kLongestRun);
    EXPECT_GT(lv2.meters[Quelor::kMeterBrickwall], 0.0f);
    Set(lv2, Quelor::kThreshold, -60.0f, -60.0);
    Set(lv2, Quelor::kRatio, 30.0f, 30.0);
    Set(lv2, Quelor::kMix, 0.0f, 0.0);
    Set(lv2, Quelor::kBrickwall, 1.0f, 1.0);
    for (std::size_t c = 0; c < 2; ++c)
        std::fill_n(signal[c].begin() + 3 * kLongestRun, kLongestRun, 1000.0f);
    RunBoth(lv2, signal, 3 * kLongestRun, kLongestRun);
    MeterReadings readings;
    ref.ReadMeters(readings);
    const MeterList meters = ref.Meters();
    for (std::size_t i : {Quelor::kMeterInput, Quelor::kMeterReduction, Quelor::kMeterOutput})
        EXPECT_GT(readings.values[i], meters[i].maximum) << meters[i].symbol;
}

// lilv hands a preset's port values to the host one by one.
void SetPortValue(const char* symbol, void* user, const void* value, uint32_t size, uint32_t type) {
    auto* target = static_cast<std::pair<Instance*, World*>*>(user);
    World& w = *target->second;
    LilvNode* node = lilv_new_string(w.world, symbol);
    const LilvPort* port = lilv_plugin_get_port_by_symbol(w.plugin, node);
    lilv_node_free(node);
    ASSERT_NE(port, nullptr) << symbol;
    ASSERT_EQ(size, sizeof(float));
    static_cast<void>(type);
    const uint32_t index = lilv_port_get_index(w.plugin, port);
    ASSERT_LT(index, static_cast<uint32_t>(kParameters)) << symbol;
    std::memcpy(&target->first->controls[index], value, sizeof(float));
}

TEST_F(LV2Host, TheFactoryPresetLoadsThroughTheStateInterface) {
    LilvNode* presetClass = lilv_new_uri(world.world, LV2_PRESETS__Preset);
    LilvNodes* presets = lilv_plugin_get_related(world.plugin, presetClass);
    lilv_node_free(presetClass);
    ASSERT_EQ(lilv_nodes_size(presets), 1u);
    const LilvNode* preset = lilv_nodes_get(presets, lilv_nodes_begin(presets));
    lilv_world_load_resource(world.world, preset);
    LilvState* state = lilv_state_new_from_world(world.world, &map.feature, preset);
    lilv_nodes_free(presets);
    ASSERT_NE(state, nullptr);
    EXPECT_STREQ(lilv_state_get_label(state), "Default");
    EXPECT_EQ(lilv_state_get_num_properties(state), 0u);

    Instance lv2(world, map, kRate, 1024);
    // Away from every preset value first, so that each restored value shows.
    for (int i = 0; i < kParameters; ++i)
        lv2.controls[static_cast<std::size_t>(i)] = 1.0e6f;
    std::pair<Instance*, World*> target{&lv2, &world};
    lilv_state_restore(state, lv2.instance, SetPortValue, &target, 0, nullptr);
    lilv_state_free(state);

    IParamValues factory;
    ref.ReadParamValues(ref.PresetAt(0)->values, 0, factory);
    ASSERT_GT(ref.ApplyParamValues(factory), 0);
    for (int i = 0; i < kParameters; ++i)
        EXPECT_EQ(static_cast<double>(lv2.controls[static_cast<std::size_t>(i)]),
                  ref.ParameterAt(i)->Value())
            << ref.ParameterAt(i)->NameForHost();
}
} // namespace
