// The effect record as a host first sees it, the two entry names, instances made side by
// side and from several threads at once, and what only VST 2's call-backs have: process
// adds onto the host's samples, and blocks and records a careless host sends. The output
// against the effect is the conformance suite's.
#include "PluginModule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <set>
#include <thread>
#include <vector>

namespace {

TEST(ModuleRecord, FieldsAsAHostReadsThem) {
    CheckerHost host;
    PluginInstance plug;
    const AEffect* e = plug.Record();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, 0x56737450);
    EXPECT_EQ(e->flags, 0x1019);        // editor, replacing, double replacing, mono
    EXPECT_EQ(e->uniqueID, 0x516C7231); // 'Qlr1'
    EXPECT_EQ(e->version, 10000);
    EXPECT_EQ(std::vector<int32_t>({e->numPrograms, e->numParams, e->numInputs, e->numOutputs}),
              std::vector<int32_t>({1, 12, 4, 2}));
    EXPECT_EQ(e->ioRatio, 1.0f);
    // What a host may read without asking must be zero, and every call-back must be there.
    for (intptr_t zero :
         {intptr_t{e->initialDelay}, intptr_t{e->realQualities}, intptr_t{e->offQualities},
          e->resvd1, e->resvd2, reinterpret_cast<intptr_t>(e->user)})
        EXPECT_EQ(zero, 0);
    EXPECT_TRUE(std::all_of(std::begin(e->future), std::end(e->future), [](char c) { return !c; }));
    EXPECT_TRUE(e->object && e->dispatcher && e->process && e->processReplacing &&
                e->processDoubleReplacing && e->setParameter && e->getParameter);
    EXPECT_TRUE(host.Calls().empty()) << "nothing is asked of the host before effOpen";
}

// Only the two entry names are exported, and each makes an effect of its own.
TEST(ModuleRecord, TheEntryNamesAloneAreExportedAndGiveIndependentEffects) {
    const PluginModule& module = PluginModule::Get();
    for (const char* hidden :
         {"_ZN10IEffectVST10FromRecordEP7AEffect", "_Z16QuelorPluginMainPFlP7AEffectiilPvfE",
          "_ZN6QuelorC1EPFlP7AEffectiilPvfE"})
        EXPECT_EQ(module.Symbol(hidden), nullptr) << hidden;
    CheckerHost host;
    PluginInstance a(module.PluginMain());
    PluginInstance b(module.MainAlias());
    ASSERT_NE(a.Record(), nullptr);
    ASSERT_NE(b.Record(), nullptr);
    EXPECT_NE(a.Record()->object, b.Record()->object);
    a.Dispatch(effOpen);
    b.Dispatch(effOpen);
    a.Set(6, 0.25f);
    a.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Only A"));
    EXPECT_EQ(a.Text(effGetParamDisplay, 6) + a.Text(effGetProgramName), "-45.0Only A");
    EXPECT_EQ(b.Text(effGetParamDisplay, 6) + b.Text(effGetProgramName), "0Default");
    // Host calls carry the record of the instance that makes them.
    for (const HostCall& call : host.Calls())
        EXPECT_TRUE(call.effect == a.Record() || call.effect == b.Record());
}

TEST(ModuleRecord, CreationFromManyThreadsAtOnceIsSafe) {
    CheckerHost host;
    constexpr int kThreads = 6;
    constexpr int kPerThread = 10;
    std::atomic<int> ready{0};
    std::vector<std::vector<AEffect*>> made(kThreads);
    std::vector<std::thread> threads;
    for (std::vector<AEffect*>& list : made)
        threads.emplace_back([&ready, &list] {
            ++ready;
            while (ready.load() < kThreads) {
            }
            for (int i = 0; i < kPerThread; ++i) {
                AEffect* e = PluginModule::Get().PluginMain()(CheckerHost::Callback());
                if (e)
                    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
                list.push_back(e);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    std::set<AEffect*> distinct;
    for (const auto& list : made)
        distinct.insert(list.begin(), list.end());
    ASSERT_EQ(distinct.size(), static_cast<std::size_t>(kThreads * kPerThread));
    ASSERT_EQ(distinct.count(nullptr), 0u);
    // Every instance was asked about the host exactly once.
    EXPECT_EQ(host.CountOf(audioMasterGetProductString), kThreads * kPerThread);
    for (AEffect* e : distinct) {
        EXPECT_EQ(e->magic, 0x56737450);
        EXPECT_EQ(e->numParams, 12);
        e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    }
}

// process adds onto the host's samples what processReplacing writes over them. A host that
// announces one input and one output hands over one pointer of each: the programme is
// heard as the same audio on both inputs, and the output is the left of two. An effect
// given no host callback at all opens and runs as well.
TEST(ModuleAudio, ProcessAddsAndOneInputToOneOutputIsTheLeftOfTwo) {
    std::vector<float> in(512), lone(512, 9.0f);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(0.8 * std::sin(0.05 * static_cast<double>(i)));
    std::vector<std::vector<float>> written(2, std::vector<float>(512, 9.0f));
    std::vector<std::vector<float>> added(2, std::vector<float>(512, 0.5f));
    PluginInstance replacing, adding(PluginModule::Get().PluginMain(), nullptr), mono;
    for (PluginInstance* plug : {&replacing, &adding, &mono}) {
        plug->OpenLikeHost(48000.0f, 512);
        plug->Set(6, 0.3f); // threshold -42 dB: it compresses
    }
    VstSpeakerArrangement one{};
    one.numChannels = 1;
    mono.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&one), &one);
    float* ins[4] = {in.data(), in.data(), in.data(), in.data()};
    float* outs[2] = {written[0].data(), written[1].data()};
    float* sums[2] = {added[0].data(), added[1].data()};
    replacing.Record()->processReplacing(replacing.Record(), ins, outs, 512);
    adding.Record()->process(adding.Record(), ins, sums, 512);
    float* single[1] = {in.data()}; // exactly one of each, so that a read past them shows
    float* singleOut[1] = {lone.data()};
    mono.Record()->processReplacing(mono.Record(), single, singleOut, 512);
    for (std::size_t ch = 0; ch < 2; ++ch)
        for (std::size_t i = 0; i < 512; ++i)
            ASSERT_EQ(added[ch][i], 0.5f + written[ch][i]) << "channel " << ch << " frame " << i;
    EXPECT_NE(written[0][500], in[500]);
    EXPECT_EQ(lone, written[0]);
}

TEST(ModuleAudio, BadBlocksAndRecordsGetADefinedAnswer) {
    PluginInstance plug;
    plug.OpenLikeHost(48000.0f, 512);
    AEffect* e = plug.Record();
    std::vector<float> in(64, 0.5f), out0(64, 7.0f), out1(64, 7.0f);
    std::vector<double> in64(64, 0.5), out64(64, 7.0), out64b(64, 7.0);
    float* ins[4] = {in.data(), in.data(), in.data(), in.data()};
    float* outs[2] = {out0.data(), out1.data()};
    double* ins64[4] = {in64.data(), in64.data(), in64.data(), in64.data()};
    double* outs64[2] = {out64.data(), out64b.data()};
    for (int32_t frames : {-1, -100000}) {
        e->processReplacing(e, ins, outs, frames);
        e->process(e, ins, outs, frames);
        e->processDoubleReplacing(e, ins64, outs64, frames);
    }
    EXPECT_EQ(out0[0], 7.0f) << "no frames: nothing is touched";
    EXPECT_EQ(out64[0], 7.0);
    // No outputs: nothing to write. No inputs: accumulating leaves the host's samples,
    // replacing writes silence.
    e->processReplacing(e, ins, nullptr, 64);
    e->process(e, ins, nullptr, 64);
    e->processDoubleReplacing(e, ins64, nullptr, 64);
    e->process(e, nullptr, outs, 64);
    EXPECT_EQ(out0[0], 7.0f);
    e->processReplacing(e, nullptr, outs, 64);
    EXPECT_EQ(out0[63], 0.0f);
    EXPECT_EQ(out1[0], 0.0f);

    // A record that is not ours, or has no object, is left alone.
    AEffect stranger = *e;
    stranger.magic = 0;
    EXPECT_EQ(stranger.dispatcher(&stranger, effGetProgram, 0, 0, nullptr, 0.0f), 0);
    AEffect empty = *e;
    empty.object = nullptr;
    EXPECT_EQ(empty.dispatcher(&empty, effIdentify, 0, 0, nullptr, 0.0f), 0);
    empty.processReplacing(&empty, ins, outs, 64);
    EXPECT_EQ(empty.getParameter(&empty, 0), 0.0f);
    empty.setParameter(&empty, 0, 0.5f);
    EXPECT_EQ(e->dispatcher(e, effIdentify, 0, 0, nullptr, 0.0f), 0x4E764566);
}

} // namespace
