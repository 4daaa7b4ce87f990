#include "FuzzHost.h"

#include "QuelorEntry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>

namespace {
intptr_t HostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    FuzzHostAnswers& answers = HostAnswers();
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetProductString: {
        // A careless host: as many bytes as it likes up to the published limit, no
        // terminator when they fill it.
        const std::size_t n = std::min<std::size_t>(answers.product.size(), kVstMaxProductStrLen);
        std::memcpy(ptr, answers.product.data(), n);
        if (n < kVstMaxProductStrLen)
            static_cast<char*>(ptr)[n] = '\0';
        return 1;
    }
    case audioMasterGetVendorVersion:
        return answers.vendorVersion;
    case audioMasterGetTime:
        return reinterpret_cast<intptr_t>(answers.time);
    case audioMasterGetSampleRate:
        return 48000;
    case audioMasterGetBlockSize:
        return 512;
    default:
        return 0;
    }
}

bool IsValue(float v) {
    return v >= 0.0f && v <= 1.0f;
}

// Text limits the adapter promises, terminator included.
constexpr int kParameterText = 32;
constexpr int kPinLabel = sizeof(VstPinProperties::label);
constexpr int kKeyName = sizeof(MidiKeyName::keyName);
} // namespace

void Require(bool holds, const char* what) {
    if (holds)
        return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

FuzzHostAnswers& HostAnswers() {
    static FuzzHostAnswers answers;
    return answers;
}

AEffect* OpenEffect() {
    AEffect* effect = QuelorPluginMain(HostCallback);
    if (!effect)
        return nullptr;
    Require(effect->magic == kEffectMagic, "the record carries the VST magic");
    Dispatch(effect, effOpen);
    Dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    Dispatch(effect, effSetBlockSize, 0, 512);
    Dispatch(effect, effMainsChanged, 0, 1);
    return effect;
}

void CloseEffect(AEffect* effect) {
    Dispatch(effect, effMainsChanged, 0, 0);
    Dispatch(effect, effClose);
}

intptr_t Dispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                  float opt) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

GuardedText::GuardedText(int bufferSize)
    : size(bufferSize), bytes(static_cast<std::size_t>(bufferSize + 2 * kGuard), kPattern) {}

void GuardedText::Reset() {
    std::fill(bytes.begin(), bytes.end(), kPattern);
}

bool GuardedText::Untouched() const {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == kPattern; });
}

void GuardedText::Check(const char* what, bool mayBeUntouched) const {
    const auto guardIntact = [this](std::size_t from) {
        return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                           bytes.begin() + static_cast<std::ptrdiff_t>(from + kGuard),
                           [](char c) { return c == kPattern; });
    };
    if (!guardIntact(0) || !guardIntact(static_cast<std::size_t>(kGuard + size))) {
        std::fprintf(stderr, "text past its %d-byte host buffer: ", size);
        Require(false, what);
    }
    if (mayBeUntouched && Untouched())
        return;
    const char* text = bytes.data() + kGuard;
    if (std::memchr(text, '\0', static_cast<std::size_t>(size)) == nullptr) {
        std::fprintf(stderr, "no terminator inside the %d-byte host buffer: ", size);
        Require(false, what);
    }
}

void CheckTextsAndValues(AEffect* effect) {
    GuardedText parameterText(kParameterText);
    for (int i = 0; i < effect->numParams; ++i) {
        Require(IsValue(effect->getParameter(effect, i)), "a parameter reads as a value in [0, 1]");
        for (int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
            parameterText.Reset();
            Dispatch(effect, opcode, i, 0, parameterText.Buffer());
            parameterText.Check("parameter name, label or display");
        }
        // The display of a value the host proposes, through the vendor format query.
        for (float proposed :
             {0.0f, 0.5f, 1.0f, -1.0e30f, 1.0e30f, std::numeric_limits<float>::quiet_NaN(),
              std::numeric_limits<float>::infinity()}) {
            parameterText.Reset();
            Dispatch(effect, effVendorSpecific, 7, i, parameterText.Buffer(), proposed);
            parameterText.Check("formatted proposed value");
        }
    }
    GuardedText programName(kVstMaxProgNameLen);
    Dispatch(effect, effGetProgramName, 0, 0, programName.Buffer());
    programName.Check("current program name");
    for (int i = -1; i <= effect->numPrograms; ++i) {
        programName.Reset();
        Dispatch(effect, effGetProgramNameIndexed, i, 0, programName.Buffer());
        programName.Check("indexed program name", true);
    }
    const struct {
        int32_t opcode;
        int size;
    } names[] = {{effGetEffectName, kVstMaxEffectNameLen},
                 {effGetVendorString, kVstMaxVendorStrLen},
                 {effGetProductString, kVstMaxProductStrLen}};
    for (const auto& name : names) {
        GuardedText text(name.size);
        Dispatch(effect, name.opcode, 0, 0, text.Buffer());
        text.Check("effect, vendor or product name");
    }
    for (int32_t opcode : {effGetInputProperties, effGetOutputProperties}) {
        for (int i = -1; i <= std::max(effect->numInputs, effect->numOutputs); ++i) {
            VstPinProperties pin{};
            std::memset(pin.label, 0x5A, sizeof pin.label);
            if (Dispatch(effect, opcode, i, 0, &pin))
                Require(std::memchr(pin.label, '\0', kPinLabel) != nullptr,
                        "a pin label ends inside its field");
        }
    }
    MidiKeyName key{};
    std::memset(key.keyName, 0x5A, sizeof key.keyName);
    key.thisKeyNumber = 60;
    Dispatch(effect, effGetMidiKeyName, 0, 0, &key);
    Require(std::memchr(key.keyName, '\0', kKeyName) != nullptr,
            "a key name ends inside its field");
}

std::vector<uint8_t> GetChunk(AEffect* effect, bool bank) {
    uint8_t* data = nullptr;
    const intptr_t size = Dispatch(effect, effGetChunk, bank ? 0 : 1, 0, &data);
    Require(size >= 0, "a chunk size is never negative");
    if (size == 0)
        return {};
    Require(data != nullptr, "a chunk with a size has bytes");
    return {data, data + size};
}

intptr_t SetChunk(AEffect* effect, bool bank, const std::vector<uint8_t>& bytes) {
    // A host keeps its own copy: exactly the bytes, so a read past them is seen.
    std::unique_ptr<uint8_t[]> copy(new uint8_t[std::max<std::size_t>(bytes.size(), 1)]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    const intptr_t result = Dispatch(effect, effSetChunk, bank ? 0 : 1,
                                     static_cast<intptr_t>(bytes.size()), copy.get());
    Require(result == 0 || result == 1, "effSetChunk answers 0 or 1");
    return result;
}

AudioBlock::AudioBlock(const AEffect* effect, int blockFrames)
    : frames(blockFrames),
      inputs(static_cast<std::size_t>(effect->numInputs),
             std::vector<float>(static_cast<std::size_t>(std::max(blockFrames, 0)), 0.0f)),
      outputs(static_cast<std::size_t>(effect->numOutputs),
              std::vector<float>(static_cast<std::size_t>(std::max(blockFrames, 0)), 0.0f)),
      checkedOutputs(effect->numOutputs) {
    for (auto& channel : inputs)
        inputPointers.push_back(channel.data());
    for (auto& channel : outputs)
        outputPointers.push_back(channel.data());
}

bool AudioBlock::InputsFinite() const {
    for (std::size_t ch = 0; ch < inputs.size(); ++ch) {
        if (!inputPointers[ch])
            continue;
        for (float s : inputs[ch])
            if (!std::isfinite(s))
                return false;
    }
    return true;
}

void AudioBlock::RunReplacing(AEffect* effect) {
    const float poison = std::numeric_limits<float>::quiet_NaN();
    for (auto& channel : outputs)
        std::fill(channel.begin(), channel.end(), poison);
    effect->processReplacing(effect, inputPointers.data(), outputPointers.data(), frames);
    if (!InputsFinite())
        return;
    for (std::size_t ch = 0; ch < outputs.size() && static_cast<int>(ch) < checkedOutputs; ++ch)
        for (float s : outputs[ch])
            Require(std::isfinite(s), "finite input gives finite output (32-bit)");
}

void AudioBlock::RunDouble(AEffect* effect) {
    std::vector<std::vector<double>> in(inputs.size()), out(outputs.size());
    std::vector<double*> inPointers, outPointers;
    for (std::size_t ch = 0; ch < inputs.size(); ++ch) {
        in[ch].assign(inputs[ch].begin(), inputs[ch].end());
        inPointers.push_back(inputPointers[ch] ? in[ch].data() : nullptr);
    }
    for (auto& channel : out) {
        channel.assign(static_cast<std::size_t>(std::max(frames, 0)),
                       std::numeric_limits<double>::quiet_NaN());
        outPointers.push_back(channel.data());
    }
    effect->processDoubleReplacing(effect, inPointers.data(), outPointers.data(), frames);
    if (!InputsFinite())
        return;
    for (std::size_t ch = 0; ch < out.size() && static_cast<int>(ch) < checkedOutputs; ++ch)
        for (double s : out[ch])
            Require(std::isfinite(s), "finite input gives finite output (64-bit)");
}
