// Every format's module, opened through its own entry point, held bit for bit to the
// effect alone (Quelor driven directly, as every adapter drives it) in one table of
// cases; a case a format cannot express skips it.
#include "../HostPolicyCases.h"
#include "DemoSignal.h"
#include "FormatDriver.h"
#include "Quelor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

std::vector<FormatDriver>& Formats() {
    static std::vector<FormatDriver> formats;
    return formats;
}

namespace {

constexpr double kRate = 48000.0;
constexpr int kFrames = 9000;

// Four channels of drums: main L/R, then other drums on the side-chain; float-exact, so
// that the 32-bit and 64-bit paths hear the same input.
struct Signal {
    std::array<std::vector<double>, 4> in;
    int Frames() const { return static_cast<int>(in[0].size()); }
};

const Signal& Drums() {
    static const Signal signal = [] {
        const StereoSignal drums = MakeDemoSignal(kRate, 0.5);
        const std::size_t n = drums.left.size();
        Signal s;
        for (std::size_t i = 0; i < kFrames; ++i) {
            s.in[0].push_back(static_cast<float>(drums.left[i % n]));
            s.in[1].push_back(static_cast<float>(drums.right[i % n]));
            s.in[2].push_back(static_cast<float>(0.9 * drums.right[n - 1 - i % n]));
            s.in[3].push_back(static_cast<float>(-0.7 * drums.left[n - 1 - i % n]));
        }
        return s;
    }();
    return signal;
}

// Threshold -24 dB, ratio about 5.6, fast attack, short release, make-up, brickwall on.
const std::vector<Change> kHard = {{0, Quelor::kThreshold, 0.6}, {0, Quelor::kRatio, 0.4},
                                   {0, Quelor::kAttack, 0.01},   {0, Quelor::kRelease, 0.08},
                                   {0, Quelor::kGain, 0.3},      {0, Quelor::kBrickwall, 0.0}};
std::vector<Change> With(std::vector<Change> changes, std::initializer_list<Change> more) {
    changes.insert(changes.end(), more);
    return changes;
}
const Change kKeyed{0, Quelor::kSidechainInput, 1.0};

using Channels = std::array<std::vector<double>, 2>;

// What the effect hears of the host's channels: a channel alone in its pair on both, a
// bus left out or a null channel as silence.
Signal Heard(Signal s, const Routing& r, int nullChannel = -1) {
    if (nullChannel >= 0)
        std::fill(s.in[static_cast<std::size_t>(nullChannel)].begin(),
                  s.in[static_cast<std::size_t>(nullChannel)].end(), 0.0);
    if (r.main == 1)
        s.in[1] = s.in[0];
    if (r.side == 0)
        for (std::size_t ch : {2u, 3u})
            std::fill(s.in[ch].begin(), s.in[ch].end(), 0.0);
    if (r.side == 1)
        s.in[3] = s.in[2];
    return s;
}

// The effect alone at rate, each change sent as the format sends it, at its frame.
Channels Expected(const FormatInstance& format, const Signal& heard, std::vector<Change> changes,
                  double rate = kRate) {
    Quelor ref;
    ref.ChangeSampleRate(rate);
    ref.SetMaxBlockSize(heard.Frames());
    ref.MarkInputsConnected(0, 4, true);
    ref.MarkOutputsConnected(0, 2, true);
    for (int i = 0; i < ref.ParameterCount(); ++i)
        ref.ParameterChanged(i);
    ref.ResetProcessing();
    std::stable_sort(changes.begin(), changes.end(),
                     [](const Change& a, const Change& b) { return a.frame < b.frame; });
    Signal in = heard;
    Channels out;
    for (auto& channel : out)
        channel.assign(in.in[0].size(), 0.0);
    int at = 0;
    auto next = changes.begin();
    while (at < heard.Frames()) {
        for (; next != changes.end() && next->frame <= at; ++next) {
            const SentValue sent = format.Sent(next->index, next->normalized);
            ref.SetParameterFromHost(next->index, sent.value, sent.unit);
        }
        const int end = next != changes.end() ? next->frame : heard.Frames();
        double* ins[4];
        for (std::size_t ch = 0; ch < 4; ++ch)
            ins[ch] = in.in[ch].data() + at;
        double* outs[2] = {out[0].data() + at, out[1].data() + at};
        ref.BindInputBuffers(0, 4, ins, end - at);
        ref.BindOutputBuffers(0, 2, outs);
        ref.RunBlockDouble(end - at);
        at = end;
    }
    return out;
}

struct Run {
    std::vector<int> blocks{512}; // host block sizes, in turn
    bool wide = false;
    // Each block ends at a change, which then comes first in the next: split by hand.
    bool splitAtChanges = false;
    int nullChannel = -1;
};

Channels Render(FormatInstance& plug, const Signal& s, const std::vector<Change>& changes,
                const Run& run) {
    Channels out;
    for (auto& channel : out)
        channel.assign(s.in[0].size(), 0.0);
    std::size_t turn = 0;
    for (int at = 0; at < s.Frames();) {
        int n = std::min(run.blocks[turn++ % run.blocks.size()], s.Frames() - at);
        if (run.splitAtChanges)
            for (const Change& c : changes)
                if (c.frame > at && c.frame < at + n)
                    n = c.frame - at;
        Block b;
        b.frames = n;
        b.wide = run.wide;
        for (std::size_t ch = 0; ch < 4; ++ch)
            b.in[ch] = static_cast<int>(ch) == run.nullChannel ? nullptr : s.in[ch].data() + at;
        b.out = {out[0].data() + at, out[1].data() + at};
        for (const Change& c : changes)
            if (c.frame >= at && c.frame < at + n)
                b.changes.push_back({c.frame - at, c.index, c.normalized});
        EXPECT_TRUE(plug.Process(b)) << "block at " << at;
        at += n;
    }
    return out;
}

// Bit for bit: 64-bit output as it is, 32-bit against the effect's output narrowed.
::testing::AssertionResult Same(const Channels& got, const Channels& want, bool wide) {
    for (std::size_t ch = 0; ch < 2; ++ch)
        for (std::size_t i = 0; i < want[ch].size(); ++i) {
            const bool same =
                wide ? std::bit_cast<uint64_t>(got[ch][i]) == std::bit_cast<uint64_t>(want[ch][i])
                     : std::bit_cast<uint32_t>(static_cast<float>(got[ch][i])) ==
                           std::bit_cast<uint32_t>(static_cast<float>(want[ch][i]));
            if (!same)
                return ::testing::AssertionFailure()
                       << "channel " << ch << " differs first at frame " << i << ": " << got[ch][i]
                       << " for " << want[ch][i];
        }
    return ::testing::AssertionSuccess();
}

class Conformance : public ::testing::TestWithParam<FormatDriver> {
protected:
    bool Has(unsigned feature) const { return (GetParam().features & feature) == feature; }
    std::vector<bool> Widths() const {
        return Has(k64Bit) ? std::vector<bool>{false, true} : std::vector<bool>{false};
    }
    // An instance routed and prepared as a host opens it.
    std::unique_ptr<FormatInstance> Open(int64_t maxBlock = 512, bool wide = false,
                                         const Routing& routing = {}) const {
        auto plug = GetParam().make();
        EXPECT_TRUE(plug->Route(routing));
        EXPECT_TRUE(plug->Prepare(kRate, maxBlock, wide));
        return plug;
    }
};

// Every block size, and blocks longer than the host announced, which run in pieces.
TEST_P(Conformance, OutputIsTheEffectsBitForBitAtEveryBlockSize) {
    const struct {
        int announced;
        int block;
    } sizes[] = {{1, 1}, {7, 7}, {64, 64}, {512, 512}, {4096, 4096}, {256, 1000}, {256, kFrames}};
    const std::vector<Change> settings = With(kHard, {kKeyed});
    for (const bool wide : Widths()) {
        const auto plug = Open();
        const Channels expected = Expected(*plug, Drums(), settings);
        EXPECT_NE(expected[0][8000], Drums().in[0][8000]) << "it compresses";
        for (const auto& size : sizes) {
            const auto fresh = Open(size.announced, wide);
            EXPECT_TRUE(
                Same(Render(*fresh, Drums(), settings, {{size.block}, wide}), expected, wide))
                << (wide ? "64" : "32") << "-bit, blocks of " << size.block;
        }
    }
}

// A change at a sample inside a block is heard at that sample, as the same change at the
// start of a block split there by hand; both as the effect hears it.
TEST_P(Conformance, ChangesAtTheirSampleEqualAHandSplitAndTheEffect) {
    const std::vector<Change> changes = With(kHard, {{1, Quelor::kStereoMode, 0.5},
                                                     {1000, Quelor::kThreshold, 0.3},
                                                     {2500, Quelor::kStereoMode, 1.0},
                                                     {2500, Quelor::kBrickwall, 1.0},
                                                     {3500, Quelor::kThreshold, 0.9},
                                                     {4095, Quelor::kMix, 0.4},
                                                     {4096, Quelor::kSidechainInput, 1.0}});
    for (const bool wide : Widths()) {
        const auto reference = Open();
        const Channels expected = Expected(*reference, Drums(), changes);
        const auto split = Open(4096, wide);
        EXPECT_TRUE(Same(Render(*split, Drums(), changes, {{4096}, wide, true}), expected, wide));
        if (!Has(kTimedChanges))
            continue;
        for (const int block : {4096, 97}) {
            const auto plug = Open(4096, wide);
            EXPECT_TRUE(Same(Render(*plug, Drums(), changes, {{block}, wide}), expected, wide))
                << "blocks of " << block;
        }
    }
}

// Switched off and on, processing starts as in a new instance: no history, and a change
// before the first block applies at once.
TEST_P(Conformance, ProcessingStartsAfreshAfterARestart) {
    const auto plug = Open();
    Render(*plug, Drums(), kHard, {});
    plug->Restart();
    const std::vector<Change> lower{{0, Quelor::kThreshold, 0.3}};
    EXPECT_TRUE(Same(Render(*plug, Drums(), lower, {}),
                     Expected(*plug, Drums(), With(kHard, {lower[0]})), false));
}

// The bytes the effect holds after reading a state as every format reads one.
std::vector<uint8_t> EffectStateAfter(const std::vector<uint8_t>& bytes) {
    Quelor effect;
    StateChunk chunk;
    chunk.Assign(bytes.data(), static_cast<int>(bytes.size()));
    IProgramState state;
    effect.ReadProgramState(chunk, state);
    effect.ApplyProgramState(state);
    StateChunk out;
    effect.SaveProgramState(out);
    return {out.Data(), out.Data() + out.Size()};
}

// A state taken from one instance makes a fresh one the same in bytes and in output. One
// cut short has the values it holds applied, and the host hears it was not whole; an empty
// one, one whose header is cut and one past the largest change nothing.
TEST_P(Conformance, StatesRoundTripAndEverySizeIsAnsweredAndAppliedAlike) {
    if (!Has(kState))
        GTEST_SKIP() << "no state bytes";
    const auto source = Open();
    const std::vector<uint8_t> defaults = source->State();
    Render(*source, Drums(), kHard, {});
    const std::vector<uint8_t> saved = source->State();
    EXPECT_EQ(source->State(), saved);
    EXPECT_NE(saved, defaults);
    ASSERT_EQ(saved.size(), 104u);
    const auto copy = Open();
    EXPECT_TRUE(copy->SetState(saved));
    EXPECT_EQ(copy->State(), saved);
    EXPECT_TRUE(Same(Render(*copy, Drums(), {}, {}), Expected(*copy, Drums(), kHard), false));

    std::vector<HostStateCase> cases(std::begin(kHostStateCases), std::end(kHostStateCases));
    cases.push_back({"empty", 0, HostStateAnswer::kRefused});
    cases.push_back({"three times the largest", 3 << 20, HostStateAnswer::kRefused});
    for (const HostStateCase& c : cases) {
        const std::vector<uint8_t> bytes = SizedState(saved, c);
        const auto plug = Open();
        const std::vector<uint8_t> before = plug->State();
        EXPECT_EQ(plug->SetState(bytes), c.answer == HostStateAnswer::kWhole) << c.name;
        if (c.answer == HostStateAnswer::kRefused) {
            EXPECT_EQ(plug->State(), before) << c.name;
        } else {
            EXPECT_EQ(plug->State(), EffectStateAfter(bytes)) << c.name;
            EXPECT_NE(plug->State(), before) << c.name;
        }
    }
}

// What a host's text entry takes: the value it names, exactly, and the text then shown.
struct TextCase {
    int index;
    const char* text;
    double value;
    const char* shown; // null: refused
};
const TextCase kTextCases[] = {
    {Quelor::kAttack, "5", 5.0, "5"},
    {Quelor::kAttack, " 12.5 ms ", 12.5, "12"},
    {Quelor::kAttack, "300", 300.0, "300"},
    {Quelor::kAttack, "301", 0.0, nullptr},
    {Quelor::kRelease, "1500", 1500.0, "1500"},
    {Quelor::kRelease, "0", 0.0, "0"},
    {Quelor::kHold, "7.25", 7.25, "7"},
    {Quelor::kRatio, "1", 1.0, "1.0"},
    {Quelor::kRatio, "1.1", 1.1, "1.1"},
    {Quelor::kRatio, "30", 30.0, "30.0"},
    {Quelor::kStereoMode, "Maximum", 1.0, "Maximum"},
    {Quelor::kStereoMode, "dual mono", 2.0, "Dual Mono"},
    {Quelor::kStereoMode, "2", 0.0, nullptr},
    {Quelor::kStereoMode, "Stereo", 0.0, nullptr},
    {Quelor::kSidechainInput, "Chn. 3/4", 1.0, "Chn. 3/4"},
    {Quelor::kThreshold, "-12.5", -12.5, "-12.5"},
    {Quelor::kThreshold, "-12.5 dB", -12.5, "-12.5"},
    {Quelor::kThreshold, "-60", -60.0, "-60.0"},
    {Quelor::kThreshold, "-61", 0.0, nullptr},
    {Quelor::kThreshold, "1e1", 0.0, nullptr},
    {Quelor::kGain, "30", 30.0, "30.0"},
    {Quelor::kMix, "50 %", 50.0, "50"},
    {Quelor::kRelease2, "20", 20.0, "20"},
    {Quelor::kAttenuation, "-6.5", -6.5, "-6.5"},
    {Quelor::kBrickwall, "Off", 1.0, "Off"},
    {Quelor::kBrickwall, "on", 0.0, "On"},
    {Quelor::kGain, "loud", 0.0, nullptr},
    {Quelor::kGain, "", 0.0, nullptr},
    {-1, "0", 0.0, nullptr},
    {Quelor::kParameterCount, "0", 0.0, nullptr},
};

TEST_P(Conformance, TextsNameTheirValueExactlyAndReadBackAsShown) {
    if (!Has(kTexts))
        GTEST_SKIP() << "no parameter texts";
    const auto plug = Open();
    const Quelor table;
    for (const TextCase& c : kTextCases) {
        const auto answer = plug->TextRoundTrip(c.index, c.text);
        ASSERT_EQ(answer.has_value(), c.shown != nullptr) << c.index << " '" << c.text << "'";
        if (!answer)
            continue;
        const char* unit = table.ParameterAt(c.index)->LabelForHost();
        EXPECT_EQ(answer->shown, GetParam().textsCarryUnit && *unit
                                     ? std::string(c.shown) + " " + unit
                                     : std::string(c.shown))
            << c.index << " '" << c.text << "'";
        EXPECT_EQ(answer->value, c.value) << c.index << " '" << c.text << "'";
    }
}

// A rate or largest block every format refuses is refused where the format answers, and
// leaves the set-up in force; a largest block that is enormous is held to what the effect
// makes buffers for. Either way blocks then run exactly, at the rate the effect took.
TEST_P(Conformance, SetUpsOutsideThePolicyAreRefusedOrHeld) {
    struct SetUp {
        double rate;
        int64_t maxBlock;
        bool answer;
        double rateInForce;
    };
    std::vector<SetUp> setUps;
    std::vector<HostRateCase> rates(std::begin(kHostRateCases), std::end(kHostRateCases));
    for (const double rate : {1.0e8, 1.0e300, -std::numeric_limits<double>::infinity()})
        rates.push_back({rate, false});
    for (const HostRateCase& c : rates)
        setUps.push_back(
            {c.rate, 512, c.accepted || !Has(kRefusesRates), c.accepted ? c.rate : kRate});
    for (const int64_t frames : {int64_t{0}, int64_t{-1}, int64_t{-512}})
        setUps.push_back({kRate, frames, !Has(kRefusesBlocks), kRate});
    for (const int64_t frames : {int64_t{1} << 30, std::numeric_limits<int64_t>::max()})
        setUps.push_back({kRate, frames, true, kRate});
    Signal part = Drums();
    for (auto& channel : part.in)
        channel.resize(2048);
    for (const SetUp& c : setUps) {
        const auto plug = Open();
        EXPECT_EQ(plug->Prepare(c.rate, c.maxBlock), c.answer)
            << c.rate << " Hz, largest block " << c.maxBlock;
        if (!c.answer) {
            ASSERT_TRUE(plug->Prepare(kRate, 512));
        }
        EXPECT_TRUE(Same(Render(*plug, part, kHard, {{1024}}),
                         Expected(*plug, part, kHard, c.rateInForce), false))
            << c.rate << " Hz, largest block " << c.maxBlock;
    }
}

// A block of no frames writes nothing. An output left out leaves the other silent, in
// every format.
TEST_P(Conformance, EmptyBlocksAndAMissingOutput) {
    const auto plug = Open();
    Channels out{std::vector<double>(64, 7.0), std::vector<double>(64, 7.0)};
    Block b;
    for (std::size_t ch = 0; ch < 4; ++ch)
        b.in[ch] = Drums().in[ch].data();
    b.out = {out[0].data(), out[1].data()};
    plug->Process(b);
    EXPECT_EQ(out[0], std::vector<double>(64, 7.0));
    b.frames = 64;
    b.out[1] = nullptr;
    plug->Process(b);
    EXPECT_EQ(out[0], std::vector<double>(64, 0.0));
}

// A channel alone in its pair is heard on both of the pair's inputs, a side-chain left out
// as silence, and so is a channel the host hands over as a null pointer.
TEST_P(Conformance, MonoLeftOutAndNullChannelsAreHeardAsTheEffectHearsThem) {
    struct Case {
        Routing routing;
        bool keyed;
        int nullChannel;
    };
    std::vector<Case> cases{{{1, 0}, false, -1},
                            {{1, 2}, true, -1},
                            {{2, 1}, true, -1},
                            {{2, 0}, true, -1},
                            {{1, 1}, true, -1}};
    for (int ch = 0; ch < 4; ++ch)
        cases.push_back({{}, true, ch});
    for (const bool wide : Widths())
        for (const Case& c : cases) {
            const bool mono = c.routing.main == 1 || c.routing.side == 1;
            if ((c.routing.main == 1 && !Has(kMonoMain)) ||
                (c.routing.side == 1 && !Has(kMonoSideChain)))
                continue;
            auto plug = GetParam().make();
            if (!plug->Route(c.routing)) {
                EXPECT_TRUE(mono) << "every format leaves out a side-chain";
                continue;
            }
            ASSERT_TRUE(plug->Prepare(kRate, 512, wide));
            const std::vector<Change> settings = c.keyed ? With(kHard, {kKeyed}) : kHard;
            EXPECT_TRUE(Same(Render(*plug, Drums(), settings, {{512}, wide, false, c.nullChannel}),
                             Expected(*plug, Heard(Drums(), c.routing, c.nullChannel), settings),
                             wide))
                << "main " << c.routing.main << ", side-chain " << c.routing.side
                << ", null channel " << c.nullChannel;
        }
}

// Unplugged after it carried sound, the side-chain reads silence, not what it held: with
// the threshold at its lowest and no make-up, silence never compresses. Plugged in again,
// it is heard again.
TEST_P(Conformance, ASideChainUnpluggedAfterCarryingSoundReadsSilence) {
    const auto plug = Open();
    Render(*plug, Drums(), With(kHard, {kKeyed}), {});
    ASSERT_TRUE(plug->Route({2, 0}));
    plug->Restart();
    const std::initializer_list<Change> open = {kKeyed,
                                                {0, Quelor::kThreshold, 0.0},
                                                {0, Quelor::kGain, 0.0},
                                                {0, Quelor::kBrickwall, 1.0}};
    EXPECT_TRUE(Same(Render(*plug, Drums(), open, {{700}}), {Drums().in[0], Drums().in[1]}, false));
    ASSERT_TRUE(plug->Route({2, 2}));
    plug->Restart();
    EXPECT_TRUE(
        Same(Render(*plug, Drums(), {}, {}), Expected(*plug, Drums(), With(kHard, open)), false));
}

std::string FormatName(const ::testing::TestParamInfo<FormatDriver>& format) {
    return format.param.name;
}
INSTANTIATE_TEST_SUITE_P(Formats, Conformance, ::testing::ValuesIn(Formats()), FormatName);

} // namespace
