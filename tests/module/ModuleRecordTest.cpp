// The effect record as a host first sees it, the two entry names, and
// instances made side by side and from several threads at once.
#include "PluginModule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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

TEST(ModuleRecord, TheEditorsRectangleIsKnownBeforeTheEditorIsOpened) {
    CheckerHost host;
    PluginInstance plug;
    ERect* rect = nullptr;
    EXPECT_EQ(plug.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(std::vector<int>({rect->top, rect->left, rect->bottom, rect->right}),
              std::vector<int>({0, 0, 370, 510}));
    EXPECT_EQ(plug.Dispatch(effEditClose), 1);
}

TEST(ModuleRecord, OnlyTheEntryPointsAreExported) {
    const PluginModule& module = PluginModule::Get();
    EXPECT_NE(module.PluginMain(), nullptr);
    EXPECT_NE(module.MainAlias(), nullptr);
    EXPECT_EQ(module.Symbol("_ZN10IEffectVST10FromRecordEP7AEffect"), nullptr);
    EXPECT_EQ(module.Symbol("_Z16QuelorPluginMainPFlP7AEffectiilPvfE"), nullptr);
    EXPECT_EQ(module.Symbol("_ZN6QuelorC1EPFlP7AEffectiilPvfE"), nullptr);
}

TEST(ModuleRecord, BothEntryNamesGiveIndependentEffects) {
    CheckerHost host;
    PluginInstance a(PluginModule::Get().PluginMain());
    PluginInstance b(PluginModule::Get().MainAlias());
    ASSERT_NE(a.Record(), nullptr);
    ASSERT_NE(b.Record(), nullptr);
    EXPECT_NE(a.Record(), b.Record());
    EXPECT_NE(a.Record()->object, b.Record()->object);
    a.Dispatch(effOpen);
    b.Dispatch(effOpen);
    a.Set(6, 0.25f);
    a.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Only A"));
    EXPECT_EQ(a.Text(effGetParamDisplay, 6), "-45.0");
    EXPECT_EQ(b.Text(effGetParamDisplay, 6), "0");
    EXPECT_EQ(a.Text(effGetProgramName), "Only A");
    EXPECT_EQ(b.Text(effGetProgramName), "Default");
    // Host calls carry the record of the instance that makes them.
    for (const HostCall& call : host.Calls())
        EXPECT_TRUE(call.effect == a.Record() || call.effect == b.Record());
}

TEST(ModuleRecord, AnEffectWithoutHostCallbackStillOpensAndRuns) {
    PluginInstance plug(PluginModule::Get().PluginMain(), nullptr);
    ASSERT_NE(plug.Record(), nullptr);
    plug.OpenLikeHost(48000.0f, 64);
    float in[4][64] = {{0.5f}};
    float out[2][64] = {};
    float* ins[4] = {in[0], in[1], in[2], in[3]};
    float* outs[2] = {out[0], out[1]};
    plug.Record()->processReplacing(plug.Record(), ins, outs, 64);
    EXPECT_EQ(out[0][0], 0.5f);
}

TEST(ModuleRecord, CreationFromManyThreadsAtOnceIsSafe) {
    CheckerHost host;
    constexpr int kThreads = 6;
    constexpr int kPerThread = 10;
    std::atomic<int> ready{0};
    std::atomic<int> failures{0};
    std::vector<std::vector<AEffect*>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ++ready;
            while (ready.load() < kThreads) {
            }
            for (int i = 0; i < kPerThread; ++i) {
                AEffect* e = PluginModule::Get().PluginMain()(CheckerHost::Callback());
                if (!e || e->magic != 0x56737450 || e->numParams != 12) {
                    ++failures;
                    continue;
                }
                e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
                made[static_cast<std::size_t>(t)].push_back(e);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    std::set<AEffect*> distinct;
    for (const auto& list : made)
        distinct.insert(list.begin(), list.end());
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kThreads * kPerThread));
    // Every instance was asked about the host exactly once.
    EXPECT_EQ(host.CountOf(audioMasterGetProductString), kThreads * kPerThread);
    for (AEffect* e : distinct)
        e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

} // namespace
