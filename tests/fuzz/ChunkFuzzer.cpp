// effSetChunk with arbitrary bytes, as a bank or as a program, on a fresh instance; then
// whatever was accepted must read back, load again and read back the same, and every
// text, value and audio block must stay within bounds.
#include "FuzzHost.h"

#include <cmath>

namespace {
// A chunk the effect handed out loads back to the very same chunk.
void CheckRoundTrip(AEffect* effect, bool bank) {
    const std::vector<uint8_t> first = GetChunk(effect, bank);
    Require(!first.empty(), "the effect always has a chunk to give");
    Require(SetChunk(effect, bank, first) == 1, "the effect accepts its own chunk");
    Require(GetChunk(effect, bank) == first, "a chunk that was read back loads to the same chunk");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    // First byte: bank or program, and which one to set second from the same bytes.
    const uint8_t how = data[0];
    const std::vector<uint8_t> bytes(data + 1, data + size);
    AEffect* effect = OpenEffect();
    Require(effect != nullptr, "the entry point gives an effect");

    const bool bank = (how & 1) != 0;
    SetChunk(effect, bank, bytes);
    if (how & 2)
        SetChunk(effect, !bank, bytes);
    if (how & 4)
        Dispatch(effect, effSetProgram, 0, how >> 4);

    CheckTextsAndValues(effect);
    CheckRoundTrip(effect, true);
    CheckRoundTrip(effect, false);

    // The loaded state alone decides the sound: the same block after reloading the same
    // program chunk comes out the same, to the bit.
    const std::vector<uint8_t> program = GetChunk(effect, false);
    std::vector<std::vector<float>> first;
    for (int pass = 0; pass < 2; ++pass) {
        Require(SetChunk(effect, false, program) == 1, "the effect accepts its own chunk");
        Dispatch(effect, effMainsChanged, 0, 0);
        Dispatch(effect, effMainsChanged, 0, 1);
        AudioBlock block(effect, 256);
        for (int ch = 0; ch < effect->numInputs; ++ch)
            for (int i = 0; i < block.Frames(); ++i)
                block.Input(ch)[i] = 0.9f * std::sin(0.05f * static_cast<float>(i * (ch + 1)));
        block.RunReplacing(effect);
        std::vector<std::vector<float>> outputs;
        for (int ch = 0; ch < effect->numOutputs; ++ch)
            outputs.push_back(block.Output(ch));
        if (pass == 0)
            first = outputs;
        else
            Require(first == outputs, "a reloaded program chunk sounds the same");
        block.RunDouble(effect);
    }

    CloseEffect(effect);
    return 0;
}
