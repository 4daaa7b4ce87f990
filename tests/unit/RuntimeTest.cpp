// What every format's adapter leaves to the runtime: the configurations that follow from
// the buses, which outputs a block can write, what a state of any shape does, and which
// thread each tag admits.
#include "EffectRuntime.h"
#include "Quelor.h"
#include "ThreadCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(BusLayout, ConfigurationsFollowFromTheBuses) {
    const BusDescription stereoIn{"In", BusRole::kMain, 2, false, false, {}, {}};
    const BusDescription monoOrStereoIn{"In", BusRole::kMain, 2, false, true, {}, {}};
    const BusDescription key{"Key", BusRole::kSidechain, 2, true, true, {}, {}};
    const BusDescription out{"Out", BusRole::kMain, 2, false, false, {}, {}};
    const BusDescription withKey[] = {monoOrStereoIn, key};
    const struct {
        const char* name;
        BusLayout layout;
        std::vector<IChannelIO> configurations;
    } cases[] = {
        {"Quelor", Quelor().Buses(), {{1, 1}, {2, 2}, {3, 1}, {4, 2}}},
        {"mono feeds both, a key", {withKey, {&out, 1}}, {{1, 1}, {2, 2}, {3, 1}, {4, 2}}},
        {"stereo only", {{&stereoIn, 1}, {&out, 1}}, {{2, 2}}},
        {"no inputs", {{}, {&out, 1}}, {{0, 2}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.layout.ChannelConfigurations(), c.configurations) << c.name;
}

// A block of Quelor's buses with the host's buffers; an output channel may be missing.
struct Block {
    std::vector<float> in = std::vector<float>(64, 0.5f), out0 = std::vector<float>(64, 7.0f),
                       out1 = std::vector<float>(64, 7.0f);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    EffectRuntime::HostBus<float> inBus{inputs, 2};
    EffectRuntime::HostBus<float> outBus{outputs, 2};
    EffectRuntime::HostBlock<float> block{&inBus, 1, &outBus, 1, 64, false};
};

struct NoHost final : IEffectHost {
    void EditBegin(int) override {}
    void EditValue(int, double, double) override {}
    void EditEnd(int) override {}
};

TEST(EffectRuntime, AnOutputWithoutItsBufferRunsNoAudioButTakesTheChanges) {
    const struct {
        const char* name;
        int outputChannels; // what the host gives
        bool nullRight;
        bool outputBusOn;
        bool ran;
        bool rightSilenced;
    } cases[] = {
        {"both buffers", 2, false, true, true, false},
        {"a null buffer", 2, true, true, false, true},
        {"one of two channels given", 1, false, true, false, true},
        {"the bus off: its buffers silenced", 2, false, false, true, true},
    };
    for (const auto& c : cases) {
        NoHost host;
        EffectRuntime runtime(std::make_unique<Quelor>(), host);
        ASSERT_TRUE(runtime.Prepare(48000.0, 64));
        runtime.SetBusActive(BusDirection::kOutput, 0, c.outputBusOn);
        Block b;
        b.outBus.count = c.outputChannels;
        if (c.nullRight)
            b.outputs[1] = nullptr;
        const bool ran = runtime.Process(b.block, IValueUnit::kReal, [](auto& room) {
            room.push_back({10, Quelor::kGain, 6.0});
            return false;
        });
        EXPECT_EQ(ran, c.ran) << c.name;
        EXPECT_EQ(runtime.Effect().ParameterAt(Quelor::kGain)->Value(), 6.0) << c.name;
        EXPECT_NE(b.out0[0], 7.0f) << c.name << ": written or silenced, never left";
        if (c.outputChannels == 2 && !c.nullRight) {
            EXPECT_EQ(b.out1[0] == 0.0f, c.rightSilenced) << c.name;
        }
    }
    // A host passing more output buses than the effect has: the extra one is silenced.
    NoHost host;
    EffectRuntime runtime(std::make_unique<Quelor>(), host);
    ASSERT_TRUE(runtime.Prepare(48000.0, 64));
    Block b;
    std::vector<float> extra(64, 7.0f);
    float* extraChannels[1] = {extra.data()};
    const EffectRuntime::HostBus<float> outputs[2] = {b.outBus, {extraChannels, 1}};
    b.block.outputs = outputs;
    b.block.outputBuses = 2;
    EXPECT_TRUE(runtime.Process(b.block, IValueUnit::kReal, [](auto&) { return false; }));
    EXPECT_EQ(extra, std::vector<float>(64, 0.0f));
}

TEST(EffectRuntime, StatesOfEveryShapeGetOneAnswer) {
    NoHost host;
    EffectRuntime saved(std::make_unique<Quelor>(), host);
    saved.Effect().SetParameterFromHost(Quelor::kAttack, 42.0, IValueUnit::kReal);
    const EffectRuntime::SavedBytes state = saved.SaveState();
    ASSERT_GT(state.size, 0);
    const std::vector<uint8_t> bytes(state.data, state.data + state.size);
    using Applied = HostPolicy::StateApplied;
    const struct {
        const char* name;
        int64_t size;
        Applied applied;
        double attack; // what Attack holds afterwards
    } cases[] = {
        {"whole", static_cast<int64_t>(bytes.size()), Applied::kWhole, 42.0},
        {"cut short in the last value", static_cast<int64_t>(bytes.size()) - 1, Applied::kPartial,
         42.0},
        {"a header cut short", 6, Applied::kNothing, 1.0},
        {"empty", 0, Applied::kNothing, 1.0},
        {"larger than any state", HostPolicy::kLargestStateSize + 1, Applied::kNothing, 1.0},
    };
    for (const auto& c : cases) {
        EffectRuntime fresh(std::make_unique<Quelor>(), host);
        EXPECT_EQ(fresh.LoadStateBytes(bytes.data(), c.size), c.applied) << c.name;
        EXPECT_EQ(fresh.Effect().ParameterAt(Quelor::kAttack)->Value(), c.attack) << c.name;
    }
}

// A host that says which thread is which, and keeps what is logged.
class ToldThreads final : public ThreadOracle {
public:
    bool IsMainThread() const override { return main; }
    bool IsAudioThread() const override { return audio; }
    bool MayLogNow() const override { return main && !audio; }
    void Log(const char* message) const override { logged.push_back(message); }
    bool AskForMainThread() override { return ++asked, true; }

    bool main = true;
    bool audio = false;
    int asked = 0;
    mutable std::vector<std::string> logged;
};

TEST(ThreadCheck, EachTagAdmitsItsThreadsAndRefusalsReachTheLog) {
    constexpr TaggedEntry kEntries[] = {{"main", ThreadTag::kMain},
                                        {"audio", ThreadTag::kAudio},
                                        {"flush", ThreadTag::kAudioWhileActive},
                                        {"either", ThreadTag::kMainOrAudio}};
    const struct {
        bool main, audio, active;
        bool admitted[4];
    } cases[] = {
        {true, false, false, {true, false, true, true}},
        {true, false, true, {true, false, false, true}},
        {false, true, true, {false, true, true, true}},
        {false, false, false, {false, false, false, false}},
    };
    ToldThreads threads;
    ThreadCheck check(kEntries, threads);
    for (const auto& c : cases) {
        threads.main = c.main;
        threads.audio = c.audio;
        for (int entry = 0; entry < 4; ++entry)
            EXPECT_EQ(check.OnTaggedThread(entry, c.active), c.admitted[entry])
                << kEntries[entry].name << " main " << c.main << " audio " << c.audio;
    }
    // On the audio thread a refusal is counted, and written once the host calls back.
    check.HostReady();
    threads.main = false;
    threads.audio = true;
    check.Refuse(1, Misuse::kNotProcessing);
    check.Refuse(1, Misuse::kNotProcessing);
    EXPECT_TRUE(threads.logged.empty());
    EXPECT_EQ(threads.asked, 1);
    threads.main = true;
    threads.audio = false;
    check.LogCounted();
    check.Refuse(0, Misuse::kWrongThread);
    EXPECT_EQ(threads.logged,
              (std::vector<std::string>{
                  "Quelor: audio refused 2 times: called while not processing",
                  "Quelor: main refused: called on the wrong thread"}));
}

} // namespace
