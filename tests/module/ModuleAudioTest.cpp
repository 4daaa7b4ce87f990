// Audio through the module's three call-backs must equal the effect's own
// ProcessBlock on the base, for any block length the host chooses, with
// channels left unconnected, and with pointers a host should not send.
#include "../HostPolicyCases.h"
#include "DemoSignal.h"
#include "PluginModule.h"
#include "Quelor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

constexpr float kRate = 48000.0f;

struct Setting {
    int32_t index;
    float normalized;
};
// Threshold -24 dB, ratio about 5.6, fast attack, short release, make-up, brickwall on.
const Setting kHard[] = {{6, 0.6f}, {3, 0.4f}, {0, 0.01f}, {1, 0.08f}, {7, 0.3f}, {11, 0.0f}};

struct Signal {
    explicit Signal(std::size_t frames) : in(4, std::vector<double>(frames)) {
        const StereoSignal drums = MakeDemoSignal(static_cast<double>(kRate), 1.0);
        for (std::size_t i = 0; i < frames; ++i) {
            const std::size_t j = i % drums.left.size();
            // Float-representable, so the 32-bit and 64-bit paths see the same input.
            in[0][i] = static_cast<float>(drums.left[j]);
            in[1][i] = static_cast<float>(drums.right[j]);
            in[2][i] = static_cast<float>(0.9 * drums.right[drums.left.size() - 1 - j]);
            in[3][i] = static_cast<float>(-0.7 * drums.left[drums.left.size() - 1 - j]);
        }
    }
    std::vector<float> Float(std::size_t ch) const { return {in[ch].begin(), in[ch].end()}; }
    std::vector<std::vector<double>> in;
};

// The effect as the base runs it, with the module's calls mirrored: calls of
// callFrames, each in pieces of at most pieceFrames.
std::vector<std::vector<double>> Reference(const Signal& signal, int inputs, int outputs,
                                           std::size_t callFrames, int pieceFrames,
                                           const std::vector<Setting>& settings) {
    Quelor ref;
    ref.ChangeSampleRate(static_cast<double>(kRate));
    ref.SetMaxBlockSize(pieceFrames);
    ref.MarkInputsConnected(inputs, 4 - inputs, false);
    ref.MarkOutputsConnected(outputs, 2 - outputs, false);
    for (int i = 0; i < ref.ParameterCount(); ++i)
        ref.ParameterChanged(i);
    ref.ResetProcessing();
    for (const Setting& s : settings) {
        ref.ParameterAt(s.index)->SetFromNormalized(static_cast<double>(s.normalized));
        ref.ParameterChanged(s.index);
    }
    const std::size_t frames = signal.in[0].size();
    std::vector<std::vector<double>> in = signal.in;
    std::vector<std::vector<double>> out(static_cast<std::size_t>(outputs),
                                         std::vector<double>(frames));
    for (std::size_t call = 0; call < frames; call += callFrames) {
        const std::size_t callEnd = std::min(frames, call + callFrames);
        for (std::size_t at = call; at < callEnd; at += static_cast<std::size_t>(pieceFrames)) {
            const auto n =
                static_cast<int>(std::min(callEnd - at, static_cast<std::size_t>(pieceFrames)));
            std::vector<double*> ins, outs;
            for (int ch = 0; ch < inputs; ++ch)
                ins.push_back(&in[static_cast<std::size_t>(ch)][at]);
            for (int ch = 0; ch < outputs; ++ch)
                outs.push_back(&out[static_cast<std::size_t>(ch)][at]);
            ref.BindInputBuffers(0, 4, ins.data(), n);
            ref.BindOutputBuffers(0, 2, outs.data());
            ref.RunBlockDouble(n);
        }
    }
    return out;
}

enum class Path { kReplace, kAccumulate, kDouble };

// Runs the module over the signal in host calls of callFrames; the input numbered
// missing, if any, gets a null pointer.
std::vector<std::vector<double>> RunModule(const PluginInstance& plug, const Signal& signal,
                                           int inputs, int outputs, std::size_t callFrames,
                                           Path path, float accumulateOnto = 0.0f,
                                           int missing = -1) {
    AEffect* e = plug.Record();
    const std::size_t frames = signal.in[0].size();
    std::vector<std::vector<float>> in32, out32;
    std::vector<std::vector<double>> in64 = signal.in;
    std::vector<std::vector<double>> out64(static_cast<std::size_t>(outputs),
                                           std::vector<double>(frames, 99.0));
    for (std::size_t ch = 0; ch < 4; ++ch)
        in32.push_back(signal.Float(ch));
    for (int ch = 0; ch < outputs; ++ch)
        out32.emplace_back(frames, path == Path::kAccumulate ? accumulateOnto : 99.0f);
    for (std::size_t at = 0; at < frames; at += callFrames) {
        const auto n = static_cast<int32_t>(std::min(callFrames, frames - at));
        // Exactly as many pointers as channels announced, so a read past them shows.
        std::vector<float*> i32, o32;
        std::vector<double*> i64, o64;
        for (int ch = 0; ch < inputs; ++ch) {
            i32.push_back(ch == missing ? nullptr : &in32[static_cast<std::size_t>(ch)][at]);
            i64.push_back(ch == missing ? nullptr : &in64[static_cast<std::size_t>(ch)][at]);
        }
        for (int ch = 0; ch < outputs; ++ch) {
            o32.push_back(&out32[static_cast<std::size_t>(ch)][at]);
            o64.push_back(&out64[static_cast<std::size_t>(ch)][at]);
        }
        if (path == Path::kReplace)
            e->processReplacing(e, i32.data(), o32.data(), n);
        else if (path == Path::kAccumulate)
            e->process(e, i32.data(), o32.data(), n);
        else
            e->processDoubleReplacing(e, i64.data(), o64.data(), n);
    }
    if (path == Path::kDouble)
        return out64;
    std::vector<std::vector<double>> widened;
    for (const auto& channel : out32)
        widened.emplace_back(channel.begin(), channel.end());
    return widened;
}

void Announce(const PluginInstance& plug, int inputs, int outputs) {
    VstSpeakerArrangement in{};
    VstSpeakerArrangement out{};
    in.numChannels = inputs;
    out.numChannels = outputs;
    plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out);
}

void Apply(const PluginInstance& plug, const std::vector<Setting>& settings) {
    for (const Setting& s : settings)
        plug.Record()->setParameter(plug.Record(), s.index, s.normalized);
}

using Channels = std::vector<std::vector<double>>;
constexpr Path kPaths[] = {Path::kDouble, Path::kReplace, Path::kAccumulate};

class ModuleAudio : public ::testing::Test {
protected:
    void SetUp() override { plug.OpenLikeHost(kRate, 512); }

    // Clears the history as effMainsChanged off does, runs one path and compares it with
    // the reference: bit for bit in double, after narrowing (onto 0.5 when accumulating) in float.
    void ExpectRun(Path path, int inputs, int outputs, std::size_t callFrames,
                   const Channels& ref) {
        plug.Dispatch(effMainsChanged, 0, 0);
        const float onto = path == Path::kAccumulate ? 0.5f : 0.0f;
        const Channels got = RunModule(plug, signal, inputs, outputs, callFrames, path, onto);
        ASSERT_EQ(got.size(), ref.size());
        for (std::size_t ch = 0; ch < got.size(); ++ch)
            for (std::size_t i = 0; i < got[ch].size(); ++i) {
                if (path == Path::kDouble)
                    ASSERT_EQ(got[ch][i], ref[ch][i]) << "channel " << ch << " frame " << i;
                else
                    ASSERT_EQ(static_cast<float>(got[ch][i]), onto + static_cast<float>(ref[ch][i]))
                        << "path " << static_cast<int>(path) << " channel " << ch << " frame " << i;
            }
    }

    CheckerHost host;
    PluginInstance plug;
    Signal signal{24000};
    std::vector<Setting> hard{std::begin(kHard), std::end(kHard)};
};

TEST_F(ModuleAudio, EveryCallBackMatchesProcessBlockWithAndWithoutSideChain) {
    std::vector<Setting> keyed = hard;
    keyed.push_back({5, 1.0f}); // Chn. 3/4
    const Channels plain = Reference(signal, 4, 2, 512, 512, hard);
    EXPECT_NE(plain[0][20000], signal.in[0][20000]) << "it compresses: not two copies of the input";
    EXPECT_NE(Reference(signal, 4, 2, 512, 512, keyed), plain);
    for (const auto& settings : {hard, keyed}) {
        Apply(plug, settings);
        const Channels ref = Reference(signal, 4, 2, 512, 512, settings);
        for (Path path : kPaths)
            ExpectRun(path, 4, 2, 512, ref);
    }
}

TEST_F(ModuleAudio, BlocksLongerThanAnnouncedAreProcessedInPieces) {
    plug.Dispatch(effSetBlockSize, 0, 256);
    Apply(plug, hard);
    for (std::size_t call : {std::size_t{1000}, std::size_t{24000}})
        for (Path path : kPaths)
            ExpectRun(path, 4, 2, call, Reference(signal, 4, 2, call, 256, hard));
}

TEST_F(ModuleAudio, FewerChannelsThanTheRecordAnnounces) {
    Apply(plug, hard);
    Apply(plug, {{5, 1.0f}});
    // Four-channel float blocks first, side-chain selected: the inputs that two channels
    // then leave unconnected held their widened samples and must read silence from now on.
    Announce(plug, 4, 2);
    RunModule(plug, signal, 4, 2, 512, Path::kReplace, 0.0f);
    // Side-chain selected but not connected, threshold at its lowest: silence never compresses.
    Announce(plug, 2, 2);
    Apply(plug, {{5, 1.0f}, {6, 0.0f}, {7, 0.0f}, {11, 1.0f}}); // no make-up, no brickwall
    for (Path path : {Path::kDouble, Path::kReplace})
        ExpectRun(path, 2, 2, 700, {signal.in[0], signal.in[1]});
}

// A channel the host gives alone in its pair is heard on both of the pair's inputs: a mono
// programme, to one output or two, and a mono side-chain behind a stereo programme are
// compressed as the same audio on two channels, bit for bit.
TEST_F(ModuleAudio, AChannelAloneInItsPairIsHeardAsTheSameAudioOnBoth) {
    const struct {
        int inputs;
        int outputs;
        bool keyed;
    } cases[] = {{1, 1, false}, {1, 2, false}, {3, 2, true}};
    for (const auto& c : cases) {
        std::vector<Setting> settings = hard;
        settings.push_back({5, c.keyed ? 1.0f : 0.0f});
        Apply(plug, settings);
        Signal both = signal;
        const auto alone = static_cast<std::size_t>(c.inputs - 1);
        both.in[alone + 1] = both.in[alone];
        Announce(plug, c.inputs + 1, c.outputs);
        plug.Dispatch(effMainsChanged, 0, 0);
        const Channels stereo = RunModule(plug, both, c.inputs + 1, c.outputs, 512, Path::kDouble);
        Announce(plug, c.inputs, c.outputs);
        for (Path path : kPaths)
            ExpectRun(path, c.inputs, c.outputs, 512, stereo);
    }
}

TEST_F(ModuleAudio, BadBlocksGetADefinedAnswer) {
    AEffect* e = plug.Record();
    std::vector<float> in(64, 0.5f), out0(64, 7.0f), out1(64, 7.0f);
    std::vector<double> in64(64, 0.5), out64(64, 7.0), out64b(64, 7.0);
    float* ins[4] = {in.data(), in.data(), in.data(), in.data()};
    float* outs[2] = {out0.data(), out1.data()};
    double* ins64[4] = {in64.data(), in64.data(), in64.data(), in64.data()};
    double* outs64[2] = {out64.data(), out64b.data()};
    const auto allThree = [&](float** i32, float** o32, double** i64, double** o64, int32_t n) {
        e->processReplacing(e, i32, o32, n);
        e->process(e, i32, o32, n);
        e->processDoubleReplacing(e, i64, o64, n);
    };
    for (int32_t frames : {0, -1, -100000})
        allThree(ins, outs, ins64, outs64, frames);
    EXPECT_EQ(out0[0], 7.0f) << "no frames: nothing is touched";
    EXPECT_EQ(out64[0], 7.0);
    allThree(ins, nullptr, ins64, nullptr, 64); // no outputs: nothing to write, no crash

    // A missing pointer: replacing gives silence, accumulating leaves the host's samples.
    float* halfOuts[2] = {out0.data(), nullptr};
    e->processReplacing(e, ins, halfOuts, 64);
    EXPECT_EQ(out0[0], 0.0f);
    std::fill(out0.begin(), out0.end(), 7.0f);
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

TEST_F(ModuleAudio, AMissingInputReadsAsSilenceWhileTheOthersAreProcessed) {
    Apply(plug, hard);
    Apply(plug, {{5, 1.0f}}); // the side-chain drives the gain
    for (int missing : {3, 1}) {
        Signal silenced = signal;
        std::fill(silenced.in[static_cast<std::size_t>(missing)].begin(),
                  silenced.in[static_cast<std::size_t>(missing)].end(), 0.0);
        for (Path path : {Path::kDouble, Path::kReplace}) {
            plug.Dispatch(effMainsChanged, 0, 0);
            const Channels want = RunModule(plug, silenced, 4, 2, 512, path);
            plug.Dispatch(effMainsChanged, 0, 0);
            const Channels got = RunModule(plug, signal, 4, 2, 512, path, 0.0f, missing);
            EXPECT_EQ(got, want) << "input " << missing;
            EXPECT_TRUE(std::any_of(got[0].begin(), got[0].end(), [](double x) {
                return x != 0.0;
            })) << "the programme is still processed";
        }
    }
}

// Every stage is per sample and vectorised alike in every lane and tail, so the
// host's block size cannot change a single bit of the output.
TEST_F(ModuleAudio, OutputIsTheSameBitForBitForEveryHostBlockSize) {
    for (float stereoMode : {0.0f, 0.5f, 1.0f}) {
        Apply(plug, hard);
        Apply(plug, {{4, stereoMode}});
        for (Path path : {Path::kDouble, Path::kReplace}) {
            Channels first;
            for (std::size_t block : {1u, 7u, 64u, 512u, 4096u}) {
                plug.Dispatch(effSetBlockSize, 0, static_cast<intptr_t>(block));
                plug.Dispatch(effMainsChanged, 0, 0);
                const Channels got = RunModule(plug, signal, 4, 2, block, path);
                if (first.empty())
                    first = got;
                ASSERT_EQ(got, first) << "mode " << stereoMode << " block " << block;
            }
        }
    }
}

TEST_F(ModuleAudio, HostSettingsOutsideReasonAreIgnored) {
    Apply(plug, hard);
    // A non-positive block size keeps the one in force; a rate every format refuses
    // keeps the rate.
    for (intptr_t size : {intptr_t{0}, intptr_t{-512}})
        plug.Dispatch(effSetBlockSize, 0, size);
    for (const HostRateCase& c : kHostRateCases)
        if (!c.accepted)
            plug.Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(c.rate));
    ExpectRun(Path::kDouble, 4, 2, 512, Reference(signal, 4, 2, 512, 512, hard));
    // A huge block size is held at the adapter's limit; processing stays exact.
    plug.Dispatch(effSetBlockSize, 0, std::numeric_limits<intptr_t>::max());
    ExpectRun(Path::kDouble, 4, 2, 24000, Reference(signal, 4, 2, 24000, 24000, hard));
}

// After resume, with or without a suspend before it, processing starts afresh as in a new
// instance: the history is gone and a change before the first block applies at once.
TEST_F(ModuleAudio, ProcessingStartsAfreshAtEveryResume) {
    const Signal part(2048);
    const Setting lower{6, 0.3f};
    PluginInstance fresh;
    fresh.OpenLikeHost(kRate, 512);
    Apply(fresh, hard);
    Apply(fresh, {lower});
    const Channels expected = RunModule(fresh, part, 4, 2, 512, Path::kDouble);
    const struct {
        const char* name;
        std::vector<intptr_t> mains;
    } edges[] = {{"suspend, resume", {0, 1}}, {"resume alone", {1}}};
    for (const auto& edge : edges) {
        PluginInstance used;
        used.OpenLikeHost(kRate, 512);
        Apply(used, hard);
        RunModule(used, part, 4, 2, 512, Path::kDouble);
        for (intptr_t on : edge.mains)
            used.Dispatch(effMainsChanged, 0, on);
        Apply(used, {lower});
        EXPECT_EQ(RunModule(used, part, 4, 2, 512, Path::kDouble), expected) << edge.name;
    }
}

} // namespace
