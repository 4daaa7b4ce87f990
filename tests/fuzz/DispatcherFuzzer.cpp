// A host's life decoded from the input: dispatcher calls with hostile indices, sizes,
// rates and pointers' contents, parameter calls with NaN and infinities, audio blocks
// holding NaN, infinities and denormals, and a host that answers oddly. After every step
// the effect's texts, values and audio must stay within bounds.
#include "FuzzHost.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

namespace {
float HostileFloat(FuzzedDataProvider& in) {
    static constexpr float kSpecial[] = {0.0f,
                                         -0.0f,
                                         0.5f,
                                         1.0f,
                                         -1.0f,
                                         1.0e-42f,
                                         std::numeric_limits<float>::max(),
                                         std::numeric_limits<float>::lowest(),
                                         std::numeric_limits<float>::quiet_NaN(),
                                         std::numeric_limits<float>::infinity(),
                                         -std::numeric_limits<float>::infinity(),
                                         44100.0f,
                                         1.0e9f};
    if (in.ConsumeBool())
        return in.PickValueInArray(kSpecial);
    return std::bit_cast<float>(in.ConsumeIntegral<uint32_t>());
}

intptr_t HostileInt(FuzzedDataProvider& in) {
    static constexpr intptr_t kSpecial[] = {0,
                                            1,
                                            -1,
                                            2,
                                            12,
                                            13,
                                            65536,
                                            65537,
                                            (1 << 20) + 1,
                                            INT32_MAX,
                                            INT32_MIN,
                                            std::numeric_limits<intptr_t>::max(),
                                            std::numeric_limits<intptr_t>::min()};
    if (in.ConsumeBool())
        return in.PickValueInArray(kSpecial);
    return in.ConsumeIntegral<intptr_t>();
}

int32_t HostileIndex(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(-2, 14)
                            : static_cast<int32_t>(HostileInt(in));
}

// A block of samples: ordinary audio, silence, denormals, or any bit pattern at all.
void FillInput(FuzzedDataProvider& in, float* samples, int frames) {
    const int kind = in.ConsumeIntegralInRange(0, 3);
    const float level = std::ldexp(1.0f, in.ConsumeIntegralInRange(-20, 8));
    for (int i = 0; i < frames; ++i) {
        switch (kind) {
        case 0:
            samples[i] = level * std::sin(0.031f * static_cast<float>(i));
            break;
        case 1:
            samples[i] = 0.0f;
            break;
        case 2:
            samples[i] = (i & 1) ? 1.0e-40f : -1.0e-39f;
            break;
        default:
            samples[i] = in.remaining_bytes() >= 4 ? HostileFloat(in) : 0.0f;
            break;
        }
    }
}

// Large finite input may overflow a float legitimately after the make-up gain; the
// finite-output rule holds for anything a signal chain can carry.
void Tame(float* samples, int frames) {
    for (int i = 0; i < frames; ++i)
        if (std::isfinite(samples[i]))
            samples[i] = std::clamp(samples[i], -1.0e15f, 1.0e15f);
}

// The host changes its name, version and transport: all hostile, the transport too.
void HostAnswersFrom(FuzzedDataProvider& in) {
    static VstTimeInfo time;
    time = VstTimeInfo{};
    FuzzHostAnswers& answers = HostAnswers();
    answers.product = in.ConsumeRandomLengthString(80);
    answers.vendorVersion = HostileInt(in);
    if (in.ConsumeBool()) {
        answers.time = nullptr;
        return;
    }
    time.samplePos = static_cast<double>(HostileFloat(in));
    time.sampleRate = static_cast<double>(HostileFloat(in));
    time.tempo = static_cast<double>(HostileFloat(in));
    time.ppqPos = static_cast<double>(HostileFloat(in));
    time.timeSigNumerator = HostileIndex(in);
    time.timeSigDenominator = HostileIndex(in);
    time.flags = in.ConsumeIntegral<int32_t>();
    answers.time = &time;
}

class Session {
public:
    explicit Session(AEffect* e) : effect(e) {}

    void Step(FuzzedDataProvider& in) {
        switch (in.ConsumeIntegralInRange(0, 8)) {
        case 0:
        case 1:
            DispatchOne(in);
            break;
        case 2:
            effect->setParameter(effect, HostileIndex(in), HostileFloat(in));
            break;
        case 3: {
            const float v = effect->getParameter(effect, HostileIndex(in));
            Require(v >= 0.0f && v <= 1.0f, "getParameter answers a value in [0, 1]");
            break;
        }
        case 4:
        case 5:
            Audio(in);
            break;
        case 6:
            HostAnswersFrom(in);
            break;
        case 7:
            CheckTextsAndValues(effect);
            break;
        default: {
            const bool bank = in.ConsumeBool();
            const std::vector<uint8_t> first = GetChunk(effect, bank);
            Require(SetChunk(effect, bank, first) == 1, "the effect accepts its own chunk");
            Require(GetChunk(effect, bank) == first,
                    "a chunk that was read back loads to the same chunk");
            break;
        }
        }
    }

private:
    void DispatchOne(FuzzedDataProvider& in) {
        static constexpr int32_t kOpcodes[] = {effOpen,
                                               effSetProgram,
                                               effGetProgram,
                                               effSetProgramName,
                                               effGetProgramName,
                                               effGetParamLabel,
                                               effGetParamDisplay,
                                               effGetParamName,
                                               effSetSampleRate,
                                               effSetBlockSize,
                                               effMainsChanged,
                                               effEditGetRect,
                                               effEditOpen,
                                               effEditClose,
                                               effEditIdle,
                                               effIdentify,
                                               effGetChunk,
                                               effSetChunk,
                                               effProcessEvents,
                                               effCanBeAutomated,
                                               effString2Parameter,
                                               effGetProgramNameIndexed,
                                               effGetInputProperties,
                                               effGetOutputProperties,
                                               effGetPlugCategory,
                                               effProcessVarIo,
                                               effSetSpeakerArrangement,
                                               effSetBlockSizeAndSampleRate,
                                               effSetBypass,
                                               effGetEffectName,
                                               effGetVendorString,
                                               effGetProductString,
                                               effGetVendorVersion,
                                               effVendorSpecific,
                                               effCanDo,
                                               effGetTailSize,
                                               effIdle,
                                               effGetParameterProperties,
                                               effGetVstVersion,
                                               effGetMidiKeyName,
                                               effBeginSetProgram,
                                               effEndSetProgram,
                                               effGetSpeakerArrangement,
                                               effStartProcess,
                                               effStopProcess,
                                               effSetProcessPrecision};
        // Now and then an opcode nobody defined, with nothing behind its pointer.
        const int32_t opcode = in.ConsumeIntegralInRange(0, 15) == 0
                                   ? in.ConsumeIntegralInRange<int32_t>(78, 0x7FFF)
                                   : in.PickValueInArray(kOpcodes);
        const int32_t index = HostileIndex(in);
        const intptr_t value = HostileInt(in);
        const float opt = HostileFloat(in);
        switch (opcode) {
        case effSetProgramName:
        case effString2Parameter:
        case effCanDo: {
            const std::string text = in.ConsumeRandomLengthString(300);
            Dispatch(effect, opcode, index, value, const_cast<char*>(text.c_str()), opt);
            break;
        }
        case effGetProgramName:
        case effGetProgramNameIndexed:
            TextCall(opcode, index, value, opt, kVstMaxProgNameLen);
            break;
        case effGetParamLabel:
        case effGetParamDisplay:
        case effGetParamName:
            TextCall(opcode, index, value, opt, 32);
            break;
        case effGetEffectName:
            TextCall(opcode, index, value, opt, kVstMaxEffectNameLen);
            break;
        case effGetVendorString:
        case effGetProductString:
            TextCall(opcode, index, value, opt, kVstMaxVendorStrLen);
            break;
        case effVendorSpecific:
            TextCall(opcode, in.ConsumeBool() ? 7 : index, value, opt, 32);
            break;
        case effEditGetRect: {
            ERect* rect = nullptr;
            if (Dispatch(effect, opcode, index, value, &rect, opt))
                Require(rect != nullptr && rect->right >= rect->left && rect->bottom >= rect->top,
                        "the editor rectangle is a rectangle");
            break;
        }
        case effGetChunk:
            GetChunk(effect, index == 0);
            break;
        case effSetChunk: {
            const std::vector<uint8_t> bytes =
                in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 512));
            if (value < 0 || value > (1 << 20)) {
                // A size the plug-in must refuse before it reads a byte.
                std::vector<uint8_t> copy(bytes);
                Require(Dispatch(effect, opcode, index, value, copy.data(), opt) == 0,
                        "an absurd chunk size is refused");
            } else {
                SetChunk(effect, index == 0, bytes);
            }
            break;
        }
        case effProcessEvents:
            Events(in);
            break;
        case effGetInputProperties:
        case effGetOutputProperties: {
            VstPinProperties pin{};
            std::memset(pin.label, 0x5A, sizeof pin.label);
            if (Dispatch(effect, opcode, index, value, &pin, opt))
                Require(std::memchr(pin.label, '\0', sizeof pin.label) != nullptr,
                        "a pin label ends inside its field");
            break;
        }
        case effSetSpeakerArrangement: {
            VstSpeakerArrangement inputs{};
            VstSpeakerArrangement outputs{};
            inputs.numChannels = static_cast<int32_t>(HostileIndex(in));
            outputs.numChannels = static_cast<int32_t>(HostileIndex(in));
            const bool withInputs = in.ConsumeBool();
            const bool withOutputs = in.ConsumeBool();
            Dispatch(effect, opcode, index, withInputs ? reinterpret_cast<intptr_t>(&inputs) : 0,
                     withOutputs ? &outputs : nullptr, opt);
            if (withOutputs)
                announcedOutputs = std::clamp(outputs.numChannels, 0, effect->numOutputs);
            break;
        }
        case effGetSpeakerArrangement: {
            VstSpeakerArrangement* inputs = nullptr;
            VstSpeakerArrangement* outputs = nullptr;
            Dispatch(effect, opcode, index, reinterpret_cast<intptr_t>(&inputs), &outputs, opt);
            break;
        }
        case effGetMidiKeyName: {
            MidiKeyName key{};
            key.thisKeyNumber = static_cast<int32_t>(value);
            std::memset(key.keyName, 0x5A, sizeof key.keyName);
            Dispatch(effect, opcode, index, 0, &key, opt);
            Require(std::memchr(key.keyName, '\0', sizeof key.keyName) != nullptr,
                    "a key name ends inside its field");
            break;
        }
        case effOpen:
        case effSetProgram:
        case effGetProgram:
        case effSetSampleRate:
        case effSetBlockSize:
        case effMainsChanged:
        case effSetBlockSizeAndSampleRate:
        case effSetBypass:
            // Integer and float arguments only: every value is the host's to choose.
            Dispatch(effect, opcode, index, value, nullptr, opt);
            break;
        default:
            Dispatch(effect, opcode, index, 0, nullptr, opt);
            break;
        }
    }

    void TextCall(int32_t opcode, int32_t index, intptr_t value, float opt, int size) {
        GuardedText text(size);
        Dispatch(effect, opcode, index, value, text.Buffer(), opt);
        text.Check("a text the host asked for", true);
    }

    void Events(FuzzedDataProvider& in) {
        const int count = in.ConsumeIntegralInRange(0, 8);
        std::vector<VstMidiEvent> events(static_cast<std::size_t>(count));
        auto list = std::make_unique<char[]>(sizeof(VstEvents) + sizeof(VstEvent*) * 8);
        auto* header = reinterpret_cast<VstEvents*>(list.get());
        header->numEvents = count;
        header->reserved = 0;
        VstEvent** slots = header->events;
        for (int i = 0; i < count; ++i) {
            VstMidiEvent& event = events[static_cast<std::size_t>(i)];
            event.type = in.ConsumeBool() ? kVstMidiType : in.ConsumeIntegral<int32_t>();
            event.byteSize = sizeof event;
            event.deltaFrames = static_cast<int32_t>(HostileIndex(in));
            for (char& b : event.midiData)
                b = in.ConsumeIntegral<char>();
            slots[i] = in.ConsumeIntegralInRange(0, 7) == 0 ? nullptr
                                                            : reinterpret_cast<VstEvent*>(&event);
        }
        Dispatch(effect, effProcessEvents, 0, 0, header, 0.0f);
    }

    void Audio(FuzzedDataProvider& in) {
        const int frames = in.ConsumeBool() ? in.ConsumeIntegralInRange(-2, 2100)
                                            : in.ConsumeIntegralInRange(0, 64);
        AudioBlock block(effect, frames);
        const bool tame = in.ConsumeIntegralInRange(0, 3) != 0;
        for (int ch = 0; ch < effect->numInputs; ++ch) {
            FillInput(in, block.Input(ch), std::max(frames, 0));
            if (tame)
                Tame(block.Input(ch), std::max(frames, 0));
        }
        if (effect->numInputs > 2 && in.ConsumeIntegralInRange(0, 7) == 0)
            block.DisconnectInput(effect->numInputs - 1);
        block.CheckOutputs(std::min(announcedOutputs, effect->numOutputs));
        if (in.ConsumeBool())
            block.RunReplacing(effect);
        else
            block.RunDouble(effect);
    }

    AEffect* effect;
    int announcedOutputs = 1 << 30;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    HostAnswers() = FuzzHostAnswers{};
    // The host's answers may be odd from the start: the effect asks for them when opened.
    if (in.ConsumeBool())
        HostAnswersFrom(in);
    AEffect* effect = OpenEffect();
    Require(effect != nullptr, "the entry point gives an effect");
    {
        Session session(effect);
        for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step)
            session.Step(in);
        CheckTextsAndValues(effect);
    }
    CloseEffect(effect);
    HostAnswers() = FuzzHostAnswers{};
    return 0;
}
