// What only VST 2's call-backs have: process adds onto the host's samples, and blocks and
// records a careless host sends. The output against the effect is the conformance suite's.
#include "PluginModule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(ModuleAudio, ProcessAddsWhatProcessReplacingWrites) {
    PluginInstance replacing, adding;
    std::vector<float> in(512);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(0.8 * std::sin(0.05 * static_cast<double>(i)));
    std::vector<std::vector<float>> written(2, std::vector<float>(512, 9.0f));
    std::vector<std::vector<float>> added(2, std::vector<float>(512, 0.5f));
    for (PluginInstance* plug : {&replacing, &adding}) {
        plug->OpenLikeHost(48000.0f, 512);
        plug->Set(6, 0.3f); // threshold -42 dB: it compresses
    }
    float* ins[4] = {in.data(), in.data(), in.data(), in.data()};
    float* outs[2] = {written[0].data(), written[1].data()};
    float* sums[2] = {added[0].data(), added[1].data()};
    replacing.Record()->processReplacing(replacing.Record(), ins, outs, 512);
    adding.Record()->process(adding.Record(), ins, sums, 512);
    for (std::size_t ch = 0; ch < 2; ++ch)
        for (std::size_t i = 0; i < 512; ++i)
            ASSERT_EQ(added[ch][i], 0.5f + written[ch][i]) << "channel " << ch << " frame " << i;
    EXPECT_NE(written[0][500], in[500]);
}

// A host that announces one input and one output hands over one pointer of each; the
// programme is heard as the same audio on both inputs.
TEST(ModuleAudio, OneInputToOneOutputIsTheLeftOfTwo) {
    std::vector<float> in(512), left(512), right(512), lone(512, 9.0f);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(0.8 * std::sin(0.05 * static_cast<double>(i)));
    PluginInstance stereo, mono;
    for (PluginInstance* plug : {&stereo, &mono}) {
        plug->OpenLikeHost(48000.0f, 512);
        plug->Set(6, 0.3f);
    }
    VstSpeakerArrangement one{};
    one.numChannels = 1;
    mono.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&one), &one);
    float* both[4] = {in.data(), in.data(), nullptr, nullptr};
    float* outs[2] = {left.data(), right.data()};
    stereo.Record()->processReplacing(stereo.Record(), both, outs, 512);
    float* single[1] = {in.data()};
    float* singleOut[1] = {lone.data()};
    mono.Record()->processReplacing(mono.Record(), single, singleOut, 512);
    EXPECT_EQ(lone, left);
}

TEST(ModuleAudio, BadBlocksAndRecordsGetADefinedAnswer) {
    PluginInstance plug;
    plug.OpenLikeHost(48000.0f, 512);
    AEffect* e = plug.Record();
    std::vector<float> in(64, 0.5f), out0(64, 7.0f), out1(64, 7.0f);
    std::vector<double> in64(64, 0.5), out64(64, 7.0), out64b(64, 7.0);
    float* ins[4] = {in.data(), in.data(), in.data(), in.data()};
    float* outs[2] = {out0.data(), out1.data()};
    double* ins64[4] = {in64.data(), in64.data(), in64.data(), in64.data()};
    double* outs64[2] = {out64.data(), out64b.data()};
    for (int32_t frames : {-1, -100000}) {
        e->processReplacing(e, ins, outs, frames);
        e->process(e, ins, outs, frames);
        e->processDoubleReplacing(e, ins64, outs64, frames);
    }
    EXPECT_EQ(out0[0], 7.0f) << "no frames: nothing is touched";
    EXPECT_EQ(out64[0], 7.0);
    // No outputs: nothing to write. No inputs: accumulating leaves the host's samples,
    // replacing writes silence.
    e->processReplacing(e, ins, nullptr, 64);
    e->process(e, ins, nullptr, 64);
    e->processDoubleReplacing(e, ins64, nullptr, 64);
    e->process(e, nullptr, outs, 64);
    EXPECT_EQ(out0[0], 7.0f);
    e->processReplacing(e, nullptr, outs, 64);
    EXPECT_EQ(out0[63], 0.0f);
    EXPECT_EQ(out1[0], 0.0f);

    // A record that is not ours, or has no object, is left alone.
    AEffect stranger = *e;
    stranger.magic = 0;
    EXPECT_EQ(stranger.dispatcher(&stranger, effGetProgram, 0, 0, nullptr, 0.0f), 0);
    AEffect empty = *e;
    empty.object = nullptr;
    EXPECT_EQ(empty.dispatcher(&empty, effIdentify, 0, 0, nullptr, 0.0f), 0);
    empty.processReplacing(&empty, ins, outs, 64);
    EXPECT_EQ(empty.getParameter(&empty, 0), 0.0f);
    empty.setParameter(&empty, 0, 0.5f);
    EXPECT_EQ(e->dispatcher(e, effIdentify, 0, 0, nullptr, 0.0f), 0x4E764566);
}

} // namespace
