// A VST 3 host's life decoded from the input: state bytes for setState and
// setComponentState, then a program of calls on the one object Quelor is: parameter
// queues with hostile offsets and values, bus activations and arrangements, sample sizes,
// set-ups with hostile rates and block sizes, process calls of no samples or many, with
// buses left out, null buffers or in place, and state saved and restored. After every step
// the values stay in range, the texts stay in their buffers, the audio out of finite audio
// in is finite, and a saved state reads back to itself.
#include "FactoryVST3.h"
#include "FuzzHost.h"
#include "HostParameterChanges.h"
#include "MemoryStream.h"
#include "QuelorVST3.h"
#include "VST3Interface.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

using namespace vst3;

// The test host's objects check that the plug-in gives back every reference it took.
void ReportUnbalancedReferences(const char*, uint32_t, bool overReleased) {
    Require(false, overReleased ? "the plug-in released a host object it did not hold"
                                : "the plug-in kept a reference to a host object");
}

namespace {

constexpr int kParameters = 12;
constexpr int kLongestBlock = 9000;

double HostileValue(FuzzedDataProvider& in) {
    static constexpr double kSpecial[] = {0.0,
                                          1.0,
                                          0.5,
                                          -0.5,
                                          2.0,
                                          1.0e-310,
                                          std::numeric_limits<double>::quiet_NaN(),
                                          std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          std::numeric_limits<double>::max()};
    if (in.ConsumeBool())
        return in.PickValueInArray(kSpecial);
    return in.ConsumeProbability<double>();
}

int32_t HostileCount(FuzzedDataProvider& in) {
    static constexpr int32_t kSpecial[] = {0, 1, -1, 512, 65536, 65537, INT32_MAX, INT32_MIN};
    return in.ConsumeBool() ? in.PickValueInArray(kSpecial) : in.ConsumeIntegral<int32_t>();
}

SpeakerArrangement Arrangement(FuzzedDataProvider& in) {
    static constexpr SpeakerArrangement kSome[] = {SpeakerArr::kMono, SpeakerArr::kStereo,
                                                   SpeakerArr::kEmpty, 0x7, ~uint64_t{0}};
    return in.PickValueInArray(kSome);
}

struct Plugin {
    IComponent* component = nullptr;
    IAudioProcessor* processor = nullptr;
    IEditController* controller = nullptr;
};

std::vector<char> SavedState(const Plugin& plug) {
    MemoryStream stream;
    Require(plug.component->getState(&stream) == kResultOk, "getState failed");
    return stream.Bytes();
}

// A saved state applies to itself: reading it back changes nothing.
void CheckStateReadsBack(const Plugin& plug, int32_t readChunk) {
    const std::vector<char> saved = SavedState(plug);
    MemoryStream again(saved);
    again.LimitReadsTo(readChunk);
    Require(plug.component->setState(&again) == kResultOk, "a saved state was refused");
    Require(SavedState(plug) == saved, "a saved state did not read back to itself");
}

void CheckValuesAndTexts(const Plugin& plug, FuzzedDataProvider& in) {
    for (ParamID id = 0; id < kParameters; ++id) {
        const double value = plug.controller->getParamNormalized(id);
        Require(value >= 0.0 && value <= 1.0, "a value outside 0..1");
    }
    const auto id = in.ConsumeIntegralInRange<ParamID>(0, kParameters + 1);
    TChar text[128 + 8];
    std::fill(std::begin(text), std::end(text), TChar{0xA5A5});
    if (plug.controller->getParamStringByValue(id, HostileValue(in), text) != kResultOk)
        return;
    const TChar* end = std::find(text, text + 128, TChar{0});
    Require(end < text + 128, "a value text without its terminator");
    Require(std::all_of(text + 128, std::end(text), [](TChar c) { return c == 0xA5A5; }),
            "a value text written past its buffer");
    ParamValue back = -1.0;
    if (plug.controller->getParamValueByString(id, text, &back) == kResultOk)
        Require(back >= 0.0 && back <= 1.0, "a text named a value outside 0..1");
}

template <class Sample> void Process(const Plugin& plug, FuzzedDataProvider& in) {
    const int frames = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 64)
                                        : in.ConsumeIntegralInRange(0, kLongestBlock);
    std::vector<std::vector<Sample>> channels(6, std::vector<Sample>(static_cast<size_t>(frames)));
    const bool finite = in.ConsumeBool();
    for (int ch = 0; ch < 4; ++ch)
        for (int i = 0; i < frames; ++i)
            channels[static_cast<size_t>(ch)][static_cast<size_t>(i)] =
                finite ? static_cast<Sample>(std::sin(0.01 * i * (ch + 1)))
                       : static_cast<Sample>(HostileValue(in) * 4.0);
    for (int ch = 4; ch < 6; ++ch)
        std::fill(channels[static_cast<size_t>(ch)].begin(),
                  channels[static_cast<size_t>(ch)].end(),
                  std::numeric_limits<Sample>::quiet_NaN());
    const bool inPlace = in.ConsumeBool();
    // Two more than the channels, null: a bus may claim three channels.
    Sample* pointers[8] = {};
    for (int ch = 0; ch < 6; ++ch)
        pointers[ch] = in.ConsumeIntegralInRange(0, 15) == 0
                           ? nullptr
                           : channels[static_cast<size_t>(ch)].data();
    AudioBusBuffers inputs[2]{};
    inputs[0].numChannels = in.ConsumeIntegralInRange(0, 3);
    inputs[0].channelBuffers32 = reinterpret_cast<float**>(pointers);
    inputs[1].numChannels = in.ConsumeIntegralInRange(0, 3);
    inputs[1].channelBuffers32 = reinterpret_cast<float**>(pointers + 2);
    AudioBusBuffers output{};
    output.numChannels = in.ConsumeIntegralInRange(0, 3);
    output.channelBuffers32 = reinterpret_cast<float**>(inPlace ? pointers : pointers + 4);
    HostParameterChanges changes;
    for (size_t q = in.ConsumeIntegralInRange<size_t>(0, 4); q > 0; --q) {
        HostParamValueQueue& queue =
            changes.AddQueue(in.ConsumeBool() ? in.ConsumeIntegralInRange<ParamID>(0, kParameters)
                                              : in.ConsumeIntegral<ParamID>());
        for (size_t p = in.ConsumeIntegralInRange<size_t>(0, 4); p > 0; --p)
            queue.Add(in.ConsumeBool() ? in.ConsumeIntegralInRange(-2, frames + 2)
                                       : HostileCount(in),
                      HostileValue(in));
    }
    ProcessData data{};
    data.processMode = in.ConsumeIntegralInRange(0, 2);
    data.symbolicSampleSize = sizeof(Sample) == sizeof(double) ? kSample64 : kSample32;
    data.numSamples = frames;
    data.numInputs = in.ConsumeIntegralInRange(0, 2);
    data.numOutputs = in.ConsumeIntegralInRange(0, 1);
    data.inputs = data.numInputs > 0 || in.ConsumeBool() ? inputs : nullptr;
    data.outputs = data.numOutputs > 0 ? &output : nullptr;
    data.inputParameterChanges = in.ConsumeBool() ? &changes : nullptr;
    plug.processor->process(&data);
    // The outputs start as NaN: every sample of the two channels of a stereo output is
    // written, with audio or with silence, whatever the call did.
    const bool inputsFinite =
        std::all_of(channels.begin(), channels.begin() + 4, [](const auto& c) {
            return std::all_of(c.begin(), c.end(), [](Sample s) { return std::isfinite(s); });
        });
    if (!inPlace && inputsFinite && data.outputs)
        for (int ch = 0; ch < std::min(output.numChannels, 2); ++ch)
            if (Sample* out = pointers[4 + ch])
                for (int i = 0; i < frames; ++i)
                    Require(std::isfinite(out[i]), "audio out of finite audio in is not finite");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const auto stateSize = in.ConsumeIntegralInRange<size_t>(0, 512);
    const std::vector<char> state = in.ConsumeBytes<char>(stateSize);

    // One factory for the whole run, as a host keeps it while the module is loaded.
    static IPluginFactory* const factory = FactoryVST3::Acquire(QuelorVST3Product());
    PClassInfo info{};
    factory->getClassInfo(0, &info);
    Plugin plug;
    factory->createInstance(info.cid, IComponent::kIid.data(),
                            reinterpret_cast<void**>(&plug.component));
    Require(plug.component != nullptr, "no instance");
    plug.component->queryInterface(IAudioProcessor::kIid.data(),
                                   reinterpret_cast<void**>(&plug.processor));
    plug.component->queryInterface(IEditController::kIid.data(),
                                   reinterpret_cast<void**>(&plug.controller));
    plug.component->initialize(nullptr);
    plug.controller->initialize(nullptr);

    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 10)) {
        case 0: {
            MemoryStream stream(state);
            stream.LimitReadsTo(in.ConsumeIntegralInRange(1, 64));
            const std::vector<char> before = SavedState(plug);
            if (plug.component->setState(&stream) == kResultOk)
                CheckStateReadsBack(plug, in.ConsumeIntegralInRange(1, 64));
            else if (state.empty())
                Require(SavedState(plug) == before, "an empty state changed something");
            break;
        }
        case 1: {
            MemoryStream stream(state);
            stream.LimitReadsTo(in.ConsumeIntegralInRange(1, 64));
            plug.controller->setComponentState(&stream);
            break;
        }
        case 2:
            CheckStateReadsBack(plug, in.ConsumeIntegralInRange(1, 64));
            break;
        case 3: {
            ProcessSetup setup{in.ConsumeIntegralInRange(0, 2), in.ConsumeIntegralInRange(-1, 2),
                               HostileCount(in), HostileValue(in) * 192000.0};
            plug.processor->setupProcessing(&setup);
            break;
        }
        case 4:
            plug.component->setActive(in.ConsumeBool());
            break;
        case 5:
            plug.component->activateBus(in.ConsumeIntegralInRange(-1, 2),
                                        in.ConsumeIntegralInRange(-1, 2),
                                        in.ConsumeIntegralInRange(-1, 2), in.ConsumeBool());
            break;
        case 6: {
            SpeakerArrangement ins[3] = {Arrangement(in), Arrangement(in), Arrangement(in)};
            SpeakerArrangement outs[2] = {Arrangement(in), Arrangement(in)};
            plug.processor->setBusArrangements(
                in.ConsumeBool() ? ins : nullptr, in.ConsumeIntegralInRange(-1, 3),
                in.ConsumeBool() ? outs : nullptr, in.ConsumeIntegralInRange(-1, 2));
            break;
        }
        case 7:
            if (in.ConsumeBool())
                Process<double>(plug, in);
            else
                Process<float>(plug, in);
            break;
        case 8:
            plug.controller->setParamNormalized(in.ConsumeIntegral<ParamID>() % (kParameters + 2),
                                                HostileValue(in));
            break;
        case 9:
            plug.processor->setProcessing(in.ConsumeBool());
            break;
        default:
            plug.processor->canProcessSampleSize(in.ConsumeIntegral<int32_t>());
            break;
        }
        CheckValuesAndTexts(plug, in);
    }

    plug.component->setActive(0);
    plug.controller->terminate();
    plug.component->terminate();
    plug.controller->release();
    plug.processor->release();
    plug.component->release();
    return 0;
}
