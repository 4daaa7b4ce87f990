// The built Quelor.vst3 loaded through GetPluginFactory as a host loads it: what only
// VST 3 has. Its audio, states and texts are the conformance suite's.
#include "Quelor.h"
#include "VST3PluginHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

using namespace vst3;

namespace {

constexpr int kParameters = 12;
using enum Quelor::Parameter;

// The state with the threshold moved from its default, as a host stored it.
std::vector<char> MovedState(const VST3PluginHost& plug, double threshold) {
    std::vector<char> state = plug.State();
    EXPECT_EQ(state.size(), 8u + 12 * 8);
    std::memcpy(state.data() + 8 + 8 * kThreshold, &threshold, sizeof threshold);
    return state;
}

TEST(VST3Plugin, FactoryAndClassInfo) {
    ASSERT_NE(ModuleUnderTest().Factory(), nullptr) << ModuleUnderTest().Error();
    IPluginFactory* factory = ModuleUnderTest().Factory();
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

// Names, units and defaults are the effect's own; texts are the conformance suite's.
TEST(VST3Plugin, ParameterInfoIsTheEffects) {
    VST3PluginHost plug(ModuleUnderTest());
    IEditController* controller = plug.Controller();
    ASSERT_EQ(controller->getParameterCount(), kParameters);
    const Quelor table;
    for (int32_t i = 0; i < kParameters; ++i) {
        const IParameter& p = *table.ParameterAt(i);
        ParameterInfo info{};
        ASSERT_EQ(controller->getParameterInfo(i, &info), kResultOk);
        EXPECT_EQ(info.id, static_cast<ParamID>(i));
        EXPECT_EQ(Narrow(info.title), p.NameForHost());
        EXPECT_EQ(Narrow(info.units), p.LabelForHost());
        EXPECT_EQ(info.defaultNormalizedValue, p.DefaultNormalized()) << i;
        const bool list = i == kStereoMode || i == kSidechainInput || i == kBrickwall;
        EXPECT_EQ(info.stepCount, !list ? 0 : i == kStereoMode ? 2 : 1) << i;
        EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate | (list ? ParameterInfo::kIsList : 0));
        EXPECT_EQ(info.unitId, 0);
        // At a value read from its own text, plain units convert both ways exactly.
        String128 text{};
        ASSERT_EQ(controller->getParamStringByValue(info.id, 0.37, text), kResultOk);
        ParamValue back = -1.0;
        ASSERT_EQ(controller->getParamValueByString(info.id, text, &back), kResultOk);
        const ParamValue plain = controller->normalizedParamToPlain(info.id, back);
        EXPECT_EQ(controller->normalizedParamToPlain(
                      info.id, controller->plainParamToNormalized(info.id, plain)),
                  plain)
            << i;
    }
    ParameterInfo info{};
    EXPECT_EQ(controller->getParameterInfo(kParameters, &info), kInvalidArgument);
}

// The state goes at the stream's position, after a host's own header, the controller's
// after it; a stream that fails halfway changes nothing.
TEST(VST3Plugin, StateIsWrittenAtTheStreamsPositionAndReadsFailSafely) {
    VST3PluginHost plug(ModuleUnderTest());
    const std::vector<char> chunk = MovedState(plug, -20.0);
    ASSERT_EQ(plug.SetState(chunk), kResultOk);
    MemoryStream stream(std::vector<char>(48, 'h'), 48);
    ASSERT_EQ(plug.Component()->getState(&stream), kResultOk);
    EXPECT_EQ(std::vector<char>(stream.Bytes().begin() + 48, stream.Bytes().end()), chunk);
    // The controller's own state follows at the stream's position: the editor's view.
    EXPECT_EQ(plug.Controller()->getState(&stream), kResultOk);
    EXPECT_EQ(stream.Bytes().size(), 48 + chunk.size() + 12);

    VST3PluginHost other(ModuleUnderTest());
    for (int round = 0; round < 2; ++round) {
        MemoryStream again(stream.Bytes(), 48);
        ASSERT_EQ(other.Controller()->setComponentState(&again), kResultOk);
    }
    EXPECT_EQ(other.State(), chunk);
    for (ParamID id = 0; id < kParameters; ++id)
        EXPECT_EQ(other.Controller()->getParamNormalized(id),
                  plug.Controller()->getParamNormalized(id));

    MemoryStream failing(MovedState(plug, -10.0));
    failing.FailReadsFrom(10);
    EXPECT_EQ(plug.Component()->setState(&failing), kResultFalse);
    EXPECT_EQ(plug.State(), chunk);
    EXPECT_EQ(plug.Component()->setState(nullptr), kInvalidArgument);
}

TEST(VST3Plugin, HostileCallsGetDefinedAnswers) {
    VST3PluginHost plug(ModuleUnderTest());
    IComponent* component = plug.Component();
    IAudioProcessor* processor = plug.Processor();
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
    ProcessSetup strangeSize{kRealtime, 7, 512, 48000.0};
    EXPECT_EQ(processor->setupProcessing(&strangeSize), kResultFalse);
    // Process before setActive: silence, and a refusal.
    std::vector<float> in(64, 0.5f), left(64, 9.0f), right(64, 9.0f);
    EXPECT_EQ(plug.Process<float>({{in.data(), in.data()}}, {left.data(), right.data()}, 64),
              kResultFalse);
    EXPECT_EQ(left, std::vector<float>(64, 0.0f));
    ProcessSetup setup{kRealtime, kSample32, 512, 48000.0};
    EXPECT_EQ(processor->setupProcessing(&setup), kResultOk);
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
// its edges; a side-chain bus active but not passed is no fault; inputs are never written.
TEST(VST3Plugin, FlushesOffsetsAndMissingBusesAreHandled) {
    VST3PluginHost plug(ModuleUnderTest());
    ASSERT_EQ(plug.Component()->activateBus(kAudio, kInput, 1, 1), kResultOk);
    ASSERT_TRUE(plug.Start({kRealtime, kSample32, 256, 48000.0}));
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
    // An output bus of one channel cannot be run into, but is left silent.
    std::vector<float> lone(256, 9.0f);
    EXPECT_EQ(plug.Process<float>({{in.data(), in.data()}}, {lone.data()}, 256), kResultOk);
    EXPECT_EQ(lone, std::vector<float>(256, 0.0f));
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
    ASSERT_EQ(
        ModuleUnderTest().Factory()->queryInterface(IPluginFactory3::kIid.data(), factory3.Put()),
        kResultOk);
    EXPECT_EQ(factory3->setHostContext(reinterpret_cast<FUnknown*>(&context)), kResultOk);
    EXPECT_EQ(factory3->setHostContext(nullptr), kResultOk);
    EXPECT_EQ(context.references, 1u);
}

TEST(VST3Plugin, InitializeAndTerminateAreCountedAndInitializeWorksAgain) {
    HostApplication application;
    const std::vector<char> cid = ClassIdBytes(ModuleUnderTest());
    Ref<IComponent> component;
    ASSERT_EQ(ModuleUnderTest().Factory()->createInstance(cid.data(), IComponent::kIid.data(),
                                                          component.Put()),
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
