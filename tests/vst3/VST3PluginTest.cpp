// The built Quelor.vst3 loaded through GetPluginFactory as a host loads it, and held
// against the VST 2 module: the same parameters, texts, state bytes and audio.
#include "../HostPolicyCases.h"
#include "DemoSignal.h"
#include "PluginModule.h"
#include "VST3PluginHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using namespace vst3;

namespace {

constexpr float kRate = 48000.0f;
constexpr int kFrames = 12000;
constexpr int kParameters = 12;
constexpr int kThreshold = 6;
constexpr int kStereoMode = 4;
constexpr int kSidechainInput = 5;
constexpr int kMix = 8;
constexpr int kBrickwall = 11;

const VST3Module& Module() {
    static const VST3Module module(BundleUnderTest(QUELOR_VST3_BUNDLE));
    return module;
}

std::string Narrow(const TChar* text) {
    std::string out;
    for (; *text; ++text)
        out += static_cast<char>(*text);
    return out;
}

std::vector<TChar> Wide(const std::string& text) {
    std::vector<TChar> out(text.begin(), text.end());
    out.resize(128, 0);
    return out;
}

// Four channels of the demo material, float-representable: programme, then side-chain.
std::vector<std::vector<float>> Material() {
    const StereoSignal drums = MakeDemoSignal(static_cast<double>(kRate), 0.5);
    std::vector<std::vector<float>> in(4, std::vector<float>(kFrames));
    const std::size_t n = drums.left.size();
    for (std::size_t i = 0; i < kFrames; ++i) {
        in[0][i] = static_cast<float>(drums.left[i % n]);
        in[1][i] = static_cast<float>(drums.right[i % n]);
        in[2][i] = static_cast<float>(0.9 * drums.right[n - 1 - i % n]);
        in[3][i] = static_cast<float>(-0.7 * drums.left[n - 1 - i % n]);
    }
    return in;
}

// The VST 2 module's settings as normalized values, and its program chunk of them.
struct Vst2Setting {
    int32_t index;
    float normalized;
};
const Vst2Setting kHard[] = {{6, 0.6f}, {3, 0.4f}, {0, 0.01f}, {1, 0.08f}, {7, 0.3f}, {11, 0.0f}};

std::vector<char> Vst2Chunk(const PluginInstance& vst2) {
    void* bytes = nullptr;
    const intptr_t size = vst2.Dispatch(effGetChunk, 1, 0, &bytes);
    const char* begin = static_cast<const char*>(bytes);
    return size > 0 ? std::vector<char>(begin, begin + size) : std::vector<char>{};
}

std::vector<char> HardState(std::initializer_list<Vst2Setting> extra = {}) {
    PluginInstance vst2;
    vst2.OpenLikeHost(kRate, 512);
    for (const Vst2Setting& s : kHard)
        vst2.Set(s.index, s.normalized);
    for (const Vst2Setting& s : extra)
        vst2.Set(s.index, s.normalized);
    return Vst2Chunk(vst2);
}

// The VST 2 module's output for the state, in blocks of 512, four inputs given.
template <class Sample>
std::vector<std::vector<Sample>> Vst2Render(const std::vector<char>& state,
                                            std::vector<std::vector<Sample>> in) {
    PluginInstance vst2;
    vst2.OpenLikeHost(kRate, 512);
    EXPECT_EQ(vst2.Dispatch(effSetChunk, 1, static_cast<intptr_t>(state.size()),
                            const_cast<char*>(state.data())),
              1);
    std::vector<std::vector<Sample>> out(2, std::vector<Sample>(kFrames));
    for (int done = 0; done < kFrames; done += 512) {
        Sample* ins[4];
        for (int ch = 0; ch < 4; ++ch)
            ins[ch] = in[static_cast<std::size_t>(ch)].data() + done;
        Sample* outs[2] = {out[0].data() + done, out[1].data() + done};
        const int n = std::min(512, kFrames - done);
        if constexpr (sizeof(Sample) == sizeof(double))
            vst2.Record()->processDoubleReplacing(vst2.Record(), ins, outs, n);
        else
            vst2.Record()->processReplacing(vst2.Record(), ins, outs, n);
    }
    return out;
}

template <class Sample> std::vector<Sample> Widen(const std::vector<float>& in) {
    return {in.begin(), in.end()};
}

// How the VST 3 instance is connected for one comparison.
struct Wiring {
    const char* what;
    bool mono;      // the main input is one channel
    bool sidechain; // the side-chain bus is active and carries channels 3 and 4
    bool wide;      // 64-bit processing
    float sidechainInput;
};

template <class Sample> void ExpectSameAsVst2(const Wiring& wiring, int block) {
    const std::vector<char> state = HardState({{kSidechainInput, wiring.sidechainInput}});
    std::vector<std::vector<Sample>> in;
    for (const std::vector<float>& channel : Material())
        in.push_back(Widen<Sample>(channel));
    std::vector<std::vector<Sample>> vst2In = in;
    if (wiring.mono)
        vst2In[1] = vst2In[0];
    if (!wiring.sidechain)
        std::fill(vst2In[2].begin(), vst2In[2].end(), Sample(0));
    if (!wiring.sidechain)
        std::fill(vst2In[3].begin(), vst2In[3].end(), Sample(0));
    const std::vector<std::vector<Sample>> expected = Vst2Render<Sample>(state, vst2In);

    HostApplication application;
    VST3PluginHost plug(Module(), application);
    if (wiring.mono) {
        SpeakerArrangement ins[2] = {SpeakerArr::kMono, SpeakerArr::kStereo};
        SpeakerArrangement outs[1] = {SpeakerArr::kStereo};
        ASSERT_EQ(plug.Processor()->setBusArrangements(ins, 2, outs, 1), kResultOk);
    }
    ASSERT_EQ(plug.SetState(state), kResultOk);
    plug.Start(block, wiring.wide ? kSample64 : kSample32, wiring.sidechain);
    std::vector<std::vector<Sample>> out(2, std::vector<Sample>(kFrames));
    for (int done = 0; done < kFrames; done += block) {
        const int n = std::min(block, kFrames - done);
        const auto at = [&](std::vector<Sample>& v) { return v.data() + done; };
        std::vector<std::vector<Sample*>> buses{{at(in[0])}};
        if (!wiring.mono)
            buses[0].push_back(at(in[1]));
        if (wiring.sidechain)
            buses.push_back({at(in[2]), at(in[3])});
        ASSERT_EQ(plug.Process<Sample>(buses, {at(out[0]), at(out[1])}, n), kResultOk);
    }
    for (std::size_t ch = 0; ch < 2; ++ch)
        for (std::size_t i = 0; i < kFrames; ++i)
            if (std::memcmp(&out[ch][i], &expected[ch][i], sizeof(Sample)) != 0) {
                ADD_FAILURE() << wiring.what << ", block " << block << ": channel " << ch
                              << " differs first at " << i;
                return;
            }
}

TEST(VST3Plugin, FactoryAndClassInfo) {
    ASSERT_NE(Module().Factory(), nullptr) << Module().Error();
    IPluginFactory* factory = Module().Factory();
    PFactoryInfo info{};
    ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
    EXPECT_STREQ(info.vendor, "Brovane");
    EXPECT_EQ(info.flags, PFactoryInfo::kUnicode);
    EXPECT_EQ(factory->countClasses(), 1);

    Ref<IPluginFactory3> factory3;
    ASSERT_EQ(factory->queryInterface(IPluginFactory3::kIid.data(), factory3.Put()), kResultOk);
    PClassInfo2 info2{};
    ASSERT_EQ(factory3->getClassInfo2(0, &info2), kResultOk);
    EXPECT_STREQ(info2.category, "Audio Module Class");
    EXPECT_STREQ(info2.name, "Quelor");
    EXPECT_STREQ(info2.subCategories, "Fx|Dynamics");
    EXPECT_STREQ(info2.vendor, "Brovane");
    EXPECT_STREQ(info2.version, QUELOR_VERSION);
    EXPECT_EQ(std::string(info2.sdkVersion).rfind("VST 3.", 0), 0u) << info2.sdkVersion;
    EXPECT_EQ(info2.classFlags, 0u);
    EXPECT_EQ(info2.cardinality, PClassInfo::kManyInstances);
    PClassInfoW wide{};
    ASSERT_EQ(factory3->getClassInfoUnicode(0, &wide), kResultOk);
    EXPECT_EQ(Narrow(wide.name), "Quelor");
    EXPECT_EQ(Narrow(wide.sdkVersion), info2.sdkVersion);
    EXPECT_EQ(std::memcmp(wide.cid, info2.cid, 16), 0);

    EXPECT_EQ(factory3->getClassInfo2(1, &info2), kInvalidArgument);
    void* none = &info;
    const char unknown[16] = {1, 2, 3};
    EXPECT_EQ(factory->createInstance(unknown, IComponent::kIid.data(), &none), kNoInterface);
    EXPECT_EQ(none, nullptr);
}

TEST(VST3Plugin, ParametersMatchTheVst2ModuleInValuesAndTexts) {
    HostApplication application;
    VST3PluginHost plug(Module(), application);
    IEditController* controller = plug.Controller();
    ASSERT_EQ(controller->getParameterCount(), kParameters);
    PluginInstance vst2;
    vst2.OpenLikeHost(kRate, 512);
    for (int32_t i = 0; i < kParameters; ++i) {
        ParameterInfo info{};
        ASSERT_EQ(controller->getParameterInfo(i, &info), kResultOk);
        const auto id = static_cast<ParamID>(i);
        EXPECT_EQ(info.id, id);
        EXPECT_EQ(Narrow(info.title), vst2.Text(effGetParamName, i));
        EXPECT_EQ(Narrow(info.units), vst2.Text(effGetParamLabel, i));
        EXPECT_EQ(static_cast<float>(info.defaultNormalizedValue), vst2.Get(i)) << i;
        const bool list = i == kStereoMode || i == kSidechainInput || i == kBrickwall;
        EXPECT_EQ(info.stepCount, !list ? 0 : i == kStereoMode ? 2 : 1) << i;
        EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate | (list ? ParameterInfo::kIsList : 0));
        EXPECT_EQ(info.unitId, 0);
        for (const double normalized : {0.0, 0.1, 0.37, 0.5, 0.74, 0.8, 1.0}) {
            vst2.Set(i, static_cast<float>(normalized));
            const std::string shown = vst2.Text(effGetParamDisplay, i);
            String128 text{};
            ASSERT_EQ(controller->getParamStringByValue(
                          id, static_cast<double>(static_cast<float>(normalized)), text),
                      kResultOk);
            EXPECT_EQ(Narrow(text), shown) << i << " at " << normalized;
            // The text names the value back, and plain units convert both ways exactly.
            ParamValue back = -1.0;
            std::vector<TChar> entry = Wide(shown);
            ASSERT_EQ(controller->getParamValueByString(id, entry.data(), &back), kResultOk)
                << shown;
            const ParamValue plain = controller->normalizedParamToPlain(id, back);
            EXPECT_EQ(controller->normalizedParamToPlain(
                          id, controller->plainParamToNormalized(id, plain)),
                      plain)
                << i << " " << shown;
        }
    }
    ParameterInfo info{};
    EXPECT_EQ(controller->getParameterInfo(kParameters, &info), kInvalidArgument);
    std::vector<TChar> nonsense = Wide("loud");
    ParamValue untouched = 0.25;
    EXPECT_EQ(controller->getParamValueByString(kThreshold, nonsense.data(), &untouched),
              kResultFalse);
    EXPECT_EQ(untouched, 0.25);
}

TEST(VST3Plugin, OutputEqualsTheVst2ModuleWithTheSameStateAtEveryBlockSize) {
    const Wiring stereo{"stereo", false, false, false, 0.0f};
    for (const int block : {1, 7, 64, 512, 4096})
        ExpectSameAsVst2<float>(stereo, block);
    ExpectSameAsVst2<double>({"64-bit", false, false, true, 0.0f}, 7);
    ExpectSameAsVst2<float>({"mono input", true, false, false, 0.0f}, 64);
    ExpectSameAsVst2<float>({"side-chain on channels 3/4", false, true, false, 1.0f}, 64);
    ExpectSameAsVst2<float>({"side-chain connected but not selected", false, true, false, 0.0f},
                            64);
}

// Renders kFrames in the blocks given, each change at its offset in its block.
struct Change {
    int32_t at; // sample within the whole render
    ParamID id;
    ParamValue value;
};

std::vector<float> RenderWithChanges(const std::vector<int>& blocks,
                                     const std::vector<Change>& changes) {
    std::vector<std::vector<float>> in = Material();
    HostApplication application;
    VST3PluginHost plug(Module(), application);
    EXPECT_EQ(plug.SetState(HardState()), kResultOk);
    plug.Start(4096);
    std::vector<std::vector<float>> out(2, std::vector<float>(kFrames));
    HostParameterChanges queues;
    int done = 0;
    for (const int n : blocks) {
        queues.Clear();
        for (const Change& c : changes)
            if (c.at >= done && c.at < done + n)
                queues.Queue(c.id).Add(c.at - done, c.value);
        plug.Process<float>({{in[0].data() + done, in[1].data() + done}},
                            {out[0].data() + done, out[1].data() + done}, n, &queues);
        done += n;
    }
    out[0].insert(out[0].end(), out[1].begin(), out[1].end());
    return out[0];
}

TEST(VST3Plugin, ChangesAtTheirOffsetsEqualTheSameChangesBetweenBlocksSplitByHand) {
    // Interleaved across two queues: 6 at 1000 and 3500, 4 at 2500, 11 at 2500 too.
    const std::vector<Change> changes{{1000, kThreshold, 0.3},
                                      {3500, kThreshold, 0.9},
                                      {2500, kStereoMode, 1.0},
                                      {2500, kBrickwall, 1.0}};
    const std::vector<float> whole = RenderWithChanges({512, 4096, 4096, 3296}, changes);
    const std::vector<float> split =
        RenderWithChanges({512, 488, 1500, 1000, 1108, 4096, 3296}, changes);
    EXPECT_TRUE(whole == split);
    const std::vector<float> unchanged = RenderWithChanges({512, 4096, 4096, 3296}, {});
    EXPECT_FALSE(whole == unchanged);
}

// Activation starts processing afresh, and a change at its first sample applies at once,
// as a value set before it.
TEST(VST3Plugin, AfterReactivationProcessingStartsAfreshWithChangesAtSampleZeroApplied) {
    std::vector<std::vector<float>> in = Material();
    const auto render = [&](bool reactivated) {
        HostApplication application;
        VST3PluginHost plug(Module(), application);
        EXPECT_EQ(plug.SetState(HardState()), kResultOk);
        std::vector<float> out(1024), right(1024);
        HostParameterChanges queues;
        plug.Start(512);
        if (reactivated) {
            plug.Process<float>({{in[0].data(), in[1].data()}}, {out.data(), right.data()}, 512);
            // As an offline render does: no new set-up in between.
            EXPECT_EQ(plug.Component()->setActive(0), kResultOk);
            EXPECT_EQ(plug.Component()->setActive(1), kResultOk);
            queues.Queue(kThreshold).Add(0, 0.2);
        } else {
            plug.Controller()->setParamNormalized(kThreshold, 0.2);
        }
        plug.Process<float>({{in[0].data() + 512, in[1].data() + 512}},
                            {out.data() + 512, right.data() + 512}, 512, &queues);
        return std::vector<float>(out.begin() + 512, out.end());
    };
    EXPECT_TRUE(render(true) == render(false));
}

TEST(VST3Plugin, StateIsTheVst2ProgramChunkAtTheStreamsPositionAndRoundTrips) {
    const std::vector<char> chunk = HardState();
    ASSERT_FALSE(chunk.empty());
    HostApplication application;
    VST3PluginHost plug(Module(), application);
    ASSERT_EQ(plug.SetState(chunk), kResultOk);
    // A host writes its own header first.
    MemoryStream stream(std::vector<char>(48, 'h'), 48);
    ASSERT_EQ(plug.Component()->getState(&stream), kResultOk);
    EXPECT_EQ(std::vector<char>(stream.Bytes().begin() + 48, stream.Bytes().end()), chunk);
    EXPECT_EQ(plug.Controller()->getState(&stream), kResultOk);
    EXPECT_EQ(stream.Bytes().size(), 48 + chunk.size()) << "the controller wrote something";
    MemoryStream empty;
    EXPECT_EQ(plug.Controller()->setState(&empty), kResultOk);

    HostApplication otherApplication;
    VST3PluginHost other(Module(), otherApplication);
    MemoryStream again(stream.Bytes(), 48);
    ASSERT_EQ(other.Controller()->setComponentState(&again), kResultOk);
    MemoryStream twice(stream.Bytes(), 48);
    ASSERT_EQ(other.Controller()->setComponentState(&twice), kResultOk);
    EXPECT_EQ(other.State(), chunk);
    for (ParamID id = 0; id < kParameters; ++id)
        EXPECT_EQ(other.Controller()->getParamNormalized(id),
                  plug.Controller()->getParamNormalized(id));

    // A chunk cut inside its values is applied as far as it goes, and answered as
    // effSetChunk answers it.
    const std::vector<char> cut(chunk.begin(), chunk.end() - 20);
    PluginInstance vst2;
    vst2.OpenLikeHost(kRate, 512);
    EXPECT_EQ(vst2.Dispatch(effSetChunk, 1, static_cast<intptr_t>(cut.size()),
                            const_cast<char*>(cut.data())),
              0);
    HostApplication thirdApplication;
    VST3PluginHost third(Module(), thirdApplication);
    const std::vector<char> defaults = third.State();
    EXPECT_EQ(third.SetState(cut), kResultFalse);
    EXPECT_EQ(third.State(), Vst2Chunk(vst2));
    EXPECT_NE(third.State(), defaults);
}

// The VST 2 module given the same bytes through effSetChunk answers and ends alike.
TEST(VST3Plugin, StatesOfEachSizeAreAnsweredAndAppliedAsInVst2) {
    const std::vector<char> saved = HardState();
    ASSERT_EQ(saved.size(), 104u);
    for (const HostStateCase& c : kHostStateCases) {
        std::vector<char> bytes = SizedState(saved, c);
        PluginInstance vst2;
        vst2.OpenLikeHost(kRate, 512);
        const std::vector<char> defaults = Vst2Chunk(vst2);
        const bool whole = c.answer == HostStateAnswer::kWhole;
        EXPECT_EQ(vst2.Dispatch(effSetChunk, 1, static_cast<intptr_t>(bytes.size()), bytes.data()),
                  whole ? 1 : 0)
            << c.name;
        EXPECT_EQ(Vst2Chunk(vst2) == defaults, c.answer == HostStateAnswer::kRefused) << c.name;
        HostApplication application;
        VST3PluginHost plug(Module(), application);
        EXPECT_EQ(plug.SetState(bytes), whole ? kResultOk : kResultFalse) << c.name;
        EXPECT_EQ(plug.State(), Vst2Chunk(vst2)) << c.name;
    }
}

TEST(VST3Plugin, StatesThatCannotBeReadChangeNothing) {
    HostApplication application;
    VST3PluginHost plug(Module(), application);
    ASSERT_EQ(plug.SetState(HardState()), kResultOk);
    const std::vector<char> before = plug.State();
    const std::vector<std::vector<char>> garbage{{}, std::vector<char>(3 << 20, 'x')};
    for (const std::vector<char>& bytes : garbage) {
        EXPECT_EQ(plug.SetState(bytes), kResultFalse) << bytes.size();
        EXPECT_EQ(plug.State(), before) << bytes.size();
    }
    // A read that fails halfway.
    MemoryStream failing(HardState({{kThreshold, 0.1f}}));
    failing.FailReadsFrom(10);
    EXPECT_EQ(plug.Component()->setState(&failing), kResultFalse);
    EXPECT_EQ(plug.State(), before);
    MemoryStream other(HardState({{kThreshold, 0.1f}}));
    EXPECT_EQ(plug.Component()->setState(&other), kResultOk);
    EXPECT_NE(plug.State(), before);
    EXPECT_EQ(plug.Component()->setState(nullptr), kInvalidArgument);
}

TEST(VST3Plugin, HostileCallsGetDefinedAnswers) {
    HostApplication application;
    VST3PluginHost plug(Module(), application);
    IComponent* component = plug.Component();
    IAudioProcessor* processor = plug.Processor();
    // Interfaces we do not offer.
    for (const Uid& iid : {kIUnitInfoIid, kIMidiMappingIid, IPlugView::kIid, IConnectionPoint::kIid,
                           UidFromBytes("01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10")}) {
        void* obj = &plug;
        EXPECT_EQ(component->queryInterface(iid.data(), &obj), kNoInterface);
        EXPECT_EQ(obj, nullptr);
    }
    // Arrangements: only a mono or stereo main input (and side-chain) to a stereo output.
    struct Arrangement {
        std::vector<SpeakerArrangement> ins, outs;
        tresult answer;
    };
    const SpeakerArrangement mono = SpeakerArr::kMono, stereo = SpeakerArr::kStereo;
    const Arrangement arrangements[] = {{{stereo, stereo}, {stereo}, kResultOk},
                                        {{mono, mono}, {stereo}, kResultOk},
                                        {{mono}, {stereo}, kResultOk},
                                        {{stereo, stereo}, {mono}, kResultFalse},
                                        {{0x7}, {stereo}, kResultFalse},
                                        {{stereo, 0x3F}, {stereo}, kResultFalse},
                                        {{}, {}, kResultFalse},
                                        {{stereo, stereo, stereo}, {stereo}, kResultFalse},
                                        {{stereo}, {stereo, stereo}, kResultFalse}};
    for (const Arrangement& a : arrangements) {
        std::vector<SpeakerArrangement> ins = a.ins, outs = a.outs;
        SpeakerArrangement inBefore = 0;
        processor->getBusArrangement(kInput, 0, &inBefore);
        EXPECT_EQ(processor->setBusArrangements(
                      ins.empty() ? nullptr : ins.data(), static_cast<int32_t>(ins.size()),
                      outs.empty() ? nullptr : outs.data(), static_cast<int32_t>(outs.size())),
                  a.answer);
        SpeakerArrangement now = 0;
        ASSERT_EQ(processor->getBusArrangement(kInput, 0, &now), kResultOk);
        EXPECT_EQ(now, a.answer == kResultOk ? a.ins[0] : inBefore);
        BusInfo bus{};
        ASSERT_EQ(component->getBusInfo(kAudio, kInput, 0, &bus), kResultOk);
        EXPECT_EQ(bus.channelCount, now == mono ? 1 : 2);
    }
    EXPECT_EQ(processor->canProcessSampleSize(kSample64), kResultTrue);
    EXPECT_EQ(processor->canProcessSampleSize(2), kResultFalse);
    // Set-ups that would poison the time constants or the buffers.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const HostRateCase& c : kHostRateCases) {
        ProcessSetup setup{kRealtime, kSample32, 512, c.rate};
        EXPECT_EQ(processor->setupProcessing(&setup), c.accepted ? kResultOk : kResultFalse)
            << c.rate;
    }
    for (const ProcessSetup& setup : {ProcessSetup{kRealtime, kSample32, 512, nan},
                                      ProcessSetup{kRealtime, kSample32, 0, 48000.0},
                                      ProcessSetup{kRealtime, kSample32, -5, 48000.0},
                                      ProcessSetup{kRealtime, 7, 512, 48000.0}}) {
        ProcessSetup copy = setup;
        EXPECT_EQ(processor->setupProcessing(&copy), kResultFalse);
    }
    // Process before setActive: silence, and a refusal.
    std::vector<float> in(64, 0.5f), left(64, 9.0f), right(64, 9.0f);
    EXPECT_EQ(plug.Process<float>({{in.data(), in.data()}}, {left.data(), right.data()}, 64),
              kResultFalse);
    EXPECT_EQ(left, std::vector<float>(64, 0.0f));
    // An enormous block limit is held to what the effect makes buffers for.
    ProcessSetup huge{kRealtime, kSample32, 1 << 30, 48000.0};
    EXPECT_EQ(processor->setupProcessing(&huge), kResultOk);
    EXPECT_EQ(component->setActive(1), kResultOk);
    EXPECT_EQ(component->setActive(1), kResultOk);
    EXPECT_EQ(processor->setProcessing(1), kResultOk);
    EXPECT_EQ(processor->setProcessing(0), kResultOk);
    EXPECT_EQ(processor->setProcessing(1), kResultOk);
    EXPECT_EQ(plug.Process<float>({{in.data(), in.data()}}, {left.data(), right.data()}, 64),
              kResultOk);
    EXPECT_NE(left[63], 9.0f);
    // An unknown sample size is refused before anything is touched.
    ProcessData strange{};
    strange.symbolicSampleSize = 5;
    strange.numSamples = 64;
    EXPECT_EQ(processor->process(&strange), kInvalidArgument);
    EXPECT_EQ(processor->process(nullptr), kInvalidArgument);
    EXPECT_EQ(component->setActive(0), kResultOk);
}

// A flush (no samples, no buses) applies its changes; offsets outside the block apply at
// its edges; a side-chain left out reads as silence; inputs are never written.
TEST(VST3Plugin, FlushesOffsetsAndMissingBusesAreHandled) {
    HostApplication application;
    VST3PluginHost plug(Module(), application);
    plug.Start(256, kSample32, true);
    HostParameterChanges queues;
    queues.Queue(kThreshold).Add(0, 0.25);
    ProcessData flush{};
    flush.symbolicSampleSize = kSample32;
    flush.inputParameterChanges = &queues;
    EXPECT_EQ(plug.Processor()->process(&flush), kResultOk);
    EXPECT_EQ(plug.Controller()->getParamNormalized(kThreshold),
              plug.Controller()->plainParamToNormalized(
                  kThreshold, plug.Controller()->normalizedParamToPlain(kThreshold, 0.25)));

    std::vector<float> in(256, 0.25f), left(256), right(256);
    const std::vector<float> original = in;
    queues.Clear();
    queues.Queue(kThreshold).Add(-5, 0.5);
    queues.Queue(kMix).Add(100000, 0.5);
    queues.Queue(12).Add(3, 0.5);
    queues.Queue(0xFFFFFFFF).Add(4, 0.5);
    queues.Queue(kStereoMode).Add(9, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(
        plug.Process<float>({{in.data(), in.data()}}, {left.data(), right.data()}, 256, &queues),
        kResultOk);
    EXPECT_EQ(in, original);
    EXPECT_EQ(plug.Controller()->getParamNormalized(kMix), 0.5);
    for (ParamID id = 0; id < kParameters; ++id) {
        const double value = plug.Controller()->getParamNormalized(id);
        EXPECT_TRUE(value >= 0.0 && value <= 1.0) << id;
    }
    // More points than a block reads: the last still sets the value the block ends at.
    queues.Clear();
    for (int32_t i = 0; i < 10000; ++i)
        queues.Queue(kMix).Add(i % 256, (i % 3) / 4.0);
    queues.Queue(kMix).Add(255, 0.75);
    EXPECT_EQ(
        plug.Process<float>({{in.data(), in.data()}}, {left.data(), right.data()}, 256, &queues),
        kResultOk);
    EXPECT_EQ(plug.Controller()->getParamNormalized(kMix), 0.75);
    // The side-chain bus declared but its buffers null, then left out altogether.
    std::vector<float*> nulls{nullptr, nullptr};
    EXPECT_EQ(
        plug.Process<float>({{in.data(), in.data()}, nulls}, {left.data(), right.data()}, 256),
        kResultOk);
    for (const float v : left)
        ASSERT_TRUE(std::isfinite(v));
    // An output bus of one channel cannot be run into, but is left silent.
    std::vector<float> lone(256, 9.0f);
    EXPECT_EQ(plug.Process<float>({{in.data(), in.data()}}, {lone.data()}, 256), kResultOk);
    EXPECT_EQ(lone, std::vector<float>(256, 0.0f));
    // In place.
    std::vector<float> a = original, b = original;
    EXPECT_EQ(plug.Process<float>({{a.data(), b.data()}}, {a.data(), b.data()}, 256), kResultOk);
    EXPECT_NE(a, original);
}

// A host's own declaration of FUnknown, not ours, with its layout: the module takes such
// a context as it is, in the sanitizer build too, whose vptr check would end the process
// at the first call into it.
struct HostsOwnUnknown {
    virtual tresult PLUGIN_API queryInterface(const TUID, void**) { return kNoInterface; }
    virtual uint32_t PLUGIN_API addRef() { return ++references; }
    virtual uint32_t PLUGIN_API release() { return --references; }
    virtual ~HostsOwnUnknown() = default; // behind the slots the module calls
    uint32_t references = 1;
};

TEST(VST3Plugin, AHostContextOfTheHostsOwnTypeIsTakenAsItIs) {
    HostsOwnUnknown context;
    Ref<IPluginFactory3> factory3;
    ASSERT_EQ(Module().Factory()->queryInterface(IPluginFactory3::kIid.data(), factory3.Put()),
              kResultOk);
    EXPECT_EQ(factory3->setHostContext(reinterpret_cast<FUnknown*>(&context)), kResultOk);
    EXPECT_EQ(factory3->setHostContext(nullptr), kResultOk);
    EXPECT_EQ(context.references, 1u);
}

TEST(VST3Plugin, InitializeAndTerminateAreCountedAndInitializeWorksAgain) {
    HostApplication application;
    const std::vector<char> cid = ClassIdBytes(Module());
    Ref<IComponent> component;
    ASSERT_EQ(
        Module().Factory()->createInstance(cid.data(), IComponent::kIid.data(), component.Put()),
        kResultOk);
    Ref<IEditController> controller = component.Query<IEditController>();
    ASSERT_TRUE(controller);
    EXPECT_EQ(component->getControllerClassId(nullptr), kNotImplemented);
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(component->initialize(&application), kResultOk);
        EXPECT_EQ(controller->initialize(&application), kResultOk);
        EXPECT_EQ(controller->terminate(), kResultOk);
        // Still set up: the component's own terminate has not come.
        EXPECT_EQ(application.PluginReferences(), 1u) << round;
        EXPECT_EQ(component->terminate(), kResultOk);
        EXPECT_EQ(application.PluginReferences(), 0u) << round;
    }
    EXPECT_EQ(component->terminate(), kResultFalse);
}

} // namespace
