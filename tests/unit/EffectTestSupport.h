#pragma once

#include "Quelor.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

// Brings an effect into the state a host leaves it in after opening it.
inline void OpenLikeHost(IEffectBase& effect, double sampleRate, int blockSize, int inputs = 4,
                         int outputs = 2) {
    effect.ChangeSampleRate(sampleRate);
    effect.SetMaxBlockSize(blockSize);
    effect.MarkInputsConnected(0, inputs, true);
    effect.MarkOutputsConnected(0, outputs, true);
    for (int i = 0; i < effect.ParameterCount(); ++i)
        effect.ParameterChanged(i);
    effect.ResetProcessing();
}

// Sets a parameter the way the editor does, from the real value asked for.
inline void SetParameter(IEffectBase& effect, int index, double value) {
    effect.SetParameterFromGUI(index, effect.ParameterAt(index)->Normalize(value));
}

// Four input channels and two output channels of equal length.
struct ChannelSet {
    explicit ChannelSet(std::size_t frames, double left = 0.0, double right = 0.0)
        : in(4, std::vector<double>(frames)), out(2, std::vector<double>(frames)) {
        std::fill(in[0].begin(), in[0].end(), left);
        std::fill(in[1].begin(), in[1].end(), right);
    }

    // Pointers into the channels, offset by a number of frames.
    std::vector<double*> Inputs(std::size_t at = 0) {
        return {&in[0][at], &in[1][at], &in[2][at], &in[3][at]};
    }
    std::vector<double*> Outputs(std::size_t at = 0) { return {&out[0][at], &out[1][at]}; }
    std::size_t Frames() const { return in[0].size(); }

    std::vector<std::vector<double>> in;
    std::vector<std::vector<double>> out;
};

// Sets a parameter to exactly the real value given, as a host adapter does.
inline void SetExactly(IEffectBase& effect, int index, double value) {
    effect.ParameterAt(index)->SetLimited(value);
    effect.ParameterChanged(index);
}

// A parameter set exactly before the given frame is processed.
struct TimedChange {
    std::size_t frame;
    int index;
    double value;
};

// Runs the whole set through ProcessBlock in blocks of the given sizes, repeated;
// in place when asked, so the outputs land in the first two inputs. A block that
// reaches past a change ends there; the change is made between the two blocks.
inline void Process(Quelor& effect, ChannelSet& set, std::initializer_list<int> blockSizes,
                    bool inPlace = false, std::initializer_list<TimedChange> changes = {}) {
    std::size_t at = 0;
    auto change = changes.begin();
    for (auto size = blockSizes.begin(); at < set.Frames(); ++size) {
        for (; change != changes.end() && change->frame <= at; ++change)
            SetExactly(effect, change->index, change->value);
        if (size == blockSizes.end())
            size = blockSizes.begin();
        const std::size_t until =
            std::min(change != changes.end() ? change->frame : set.Frames(), set.Frames());
        const int n = static_cast<int>(std::min(static_cast<std::size_t>(*size), until - at));
        std::vector<double*> in = set.Inputs(at), out = set.Outputs(at);
        effect.ProcessBlock(in.data(), inPlace ? in.data() : out.data(), n);
        at += static_cast<std::size_t>(n);
    }
}
