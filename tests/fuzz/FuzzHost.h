#pragma once

#include "VST2Interface.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// What the fuzzers share: a host that drives the effect only through its record, as a
// host does, and the checks every fuzzer makes on what the effect hands back.

// Stops the run with a message when an invariant fails; libFuzzer keeps the input.
void Require(bool holds, const char* what);

// The host's side of the conversation; tests set the answers the plug-in may ask for.
struct FuzzHostAnswers {
    // Written into the plug-in's buffer for audioMasterGetProductString, unterminated
    // when it fills all kVstMaxProductStrLen bytes.
    std::string product = "Fuzz Host";
    intptr_t vendorVersion = 1000;
    // What audioMasterGetTime returns; null for "no time".
    const VstTimeInfo* time = nullptr;
};
FuzzHostAnswers& HostAnswers();

// A new Quelor through the entry point, opened, at 48 kHz with 512-frame blocks and
// resumed; null when the entry point gave none.
AEffect* OpenEffect();
// effMainsChanged(0) and effClose.
void CloseEffect(AEffect* effect);
intptr_t Dispatch(AEffect* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                  void* ptr = nullptr, float opt = 0.0f);

// A host text buffer of size bytes between guard bytes. The buffer starts out filled with
// a non-zero pattern, so a plug-in that writes no terminator is seen as one.
class GuardedText {
public:
    explicit GuardedText(int size);
    char* Buffer() { return bytes.data() + kGuard; }
    int Size() const { return size; }
    // Fills buffer and guards with the pattern again.
    void Reset();
    // The guards are intact and, unless the plug-in may leave the buffer alone, a
    // terminator lies inside the buffer.
    void Check(const char* what, bool mayBeUntouched = false) const;
    bool Untouched() const;

private:
    static constexpr int kGuard = 32;
    static constexpr char kPattern = static_cast<char>(0xA5);
    int size;
    std::vector<char> bytes;
};

// Every text the host can ask for, each in a buffer of the size the plug-in promises to
// respect, and every parameter value in [0, 1].
void CheckTextsAndValues(AEffect* effect);

// One chunk as effGetChunk hands it out, copied into host memory; empty when refused.
std::vector<uint8_t> GetChunk(AEffect* effect, bool bank);
// effSetChunk from a copy of bytes in host memory, as a host passes back what it stored.
intptr_t SetChunk(AEffect* effect, bool bank, const std::vector<uint8_t>& bytes);

// Audio buffers for every input and output of the record, one allocation per channel so
// that AddressSanitizer sees a write past the block.
class AudioBlock {
public:
    AudioBlock(const AEffect* effect, int frames);
    int Frames() const { return frames; }
    float* Input(int channel) { return inputs[static_cast<std::size_t>(channel)].data(); }
    float** InputPointers() { return inputPointers.data(); }
    float** OutputPointers() { return outputPointers.data(); }
    // Drops one input channel from the host's pointer list (a host passing null).
    void DisconnectInput(int channel) {
        inputPointers[static_cast<std::size_t>(channel)] = nullptr;
    }
    // Only the first count outputs carry audio, as a host that announced fewer says.
    void CheckOutputs(int count) { checkedOutputs = count; }
    // processReplacing over the block with the output poisoned beforehand, then checks
    // that every output sample was written and is finite when every input is.
    void RunReplacing(AEffect* effect);
    // As RunReplacing, through processDoubleReplacing on converted copies.
    void RunDouble(AEffect* effect);
    bool InputsFinite() const;
    const std::vector<float>& Output(int channel) const {
        return outputs[static_cast<std::size_t>(channel)];
    }

private:
    int frames;
    std::vector<std::vector<float>> inputs;
    std::vector<std::vector<float>> outputs;
    std::vector<float*> inputPointers;
    std::vector<float*> outputPointers;
    int checkedOutputs;
};
