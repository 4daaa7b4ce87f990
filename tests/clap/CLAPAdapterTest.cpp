// Quelor.clap driven through its exported entry as a host drives it, with the checks the
// format's public validator makes, and its audio held against the VST 2 module's.
#include "../HostPolicyCases.h"
#include "CLAPInstance.h"
#include "CLAPTestStreams.h"
#include "DemoSignal.h"
#include "PluginModule.h"
#include "Quelor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

namespace {
constexpr double kRate = 48000.0;
constexpr uint32_t kBlock = 512;
constexpr uint32_t kFrames = 3 * kBlock;

// A change at a time counted from the first sample processed.
struct TimedChange {
    uint32_t at;
    clap_id id;
    double value;
};
// Threshold -24 dB, ratio 6, fast attack, short release, make-up, brickwall on.
const std::vector<TimedChange> kHard = {
    {0, Quelor::kThreshold, -24.0}, {0, Quelor::kRatio, 6.0}, {0, Quelor::kAttack, 2.0},
    {0, Quelor::kRelease, 120.0},   {0, Quelor::kGain, 9.0},  {0, Quelor::kBrickwall, 0.0}};

// Drums on the main input, other drums on the side-chain; float-representable.
std::vector<std::vector<float>> Signal() {
    const StereoSignal drums = MakeDemoSignal(kRate, 0.5);
    std::vector<std::vector<float>> in(4, std::vector<float>(kFrames));
    for (uint32_t i = 0; i < kFrames; ++i) {
        const std::size_t j = i % drums.left.size();
        const std::size_t k = drums.left.size() - 1 - j;
        in[0][i] = static_cast<float>(drums.left[j]);
        in[1][i] = static_cast<float>(drums.right[j]);
        in[2][i] = static_cast<float>(0.9 * drums.right[k]);
        in[3][i] = static_cast<float>(-0.7 * drums.left[k]);
    }
    return in;
}

void Flush(const CLAPInstance& q, const std::vector<TimedChange>& changes) {
    CLAPInputEvents events;
    for (const TimedChange& c : changes)
        events.Add(CLAPParamValue(0, c.id, c.value));
    q.params->flush(q.plugin, events.List(), nullptr);
}

// Quelor.clap over the signal in blocks of `block` frames, the kHard settings flushed before
// processing starts and `changes` as events of the blocks they fall in. Each input port
// has as many channels as `ports` says, the first ones of its pair in `in`.
template <class Sample>
std::vector<std::vector<float>> RunCLAP(uint32_t block, const std::vector<TimedChange>& changes,
                                        const std::vector<std::vector<float>>& in = Signal(),
                                        const std::vector<uint32_t>& ports = {2, 2}) {
    CLAPTestHost host;
    CLAPInstance q(host);
    Flush(q, kHard);
    EXPECT_TRUE(q.Start(kRate, block));
    std::vector<std::vector<float>> out(2, std::vector<float>(kFrames));
    for (uint32_t start = 0; start < kFrames; start += block) {
        const uint32_t n = std::min(block, kFrames - start);
        CLAPAudioBuffers<Sample> inputs(ports, n);
        CLAPAudioBuffers<Sample> output({2}, n);
        output.Fill(std::numeric_limits<Sample>::quiet_NaN());
        for (uint32_t ch = 0; ch < 4; ++ch)
            if (ch % 2 < ports[ch / 2])
                std::copy_n(in[ch].data() + start, n, inputs.Channel(ch / 2, ch % 2));
        CLAPInputEvents events;
        for (const TimedChange& c : changes)
            if (c.at >= start && c.at < start + n)
                events.Add(CLAPParamValue(c.at - start, c.id, c.value));
        EXPECT_EQ(q.Process(inputs, output, &events), CLAP_PROCESS_CONTINUE);
        EXPECT_TRUE(output.GuardsIntact());
        for (uint32_t ch = 0; ch < 2; ++ch)
            std::copy_n(output.Channel(0, ch), n, out[ch].data() + start);
    }
    return out;
}

// The VST 2 module over the same signal, the block split at each change, whose value is
// set exactly through its text.
std::vector<std::vector<float>> RunVST2(const std::vector<TimedChange>& changes) {
    PluginInstance plug;
    plug.OpenLikeHost(static_cast<float>(kRate), kBlock);
    const Quelor reference;
    auto set = [&](const TimedChange& c) {
        // A switch or a choice takes its step's text, not a number.
        const IParameter& p = *reference.ParameterAt(static_cast<int>(c.id));
        char text[64];
        if (p.IsIntegerValued())
            CopyText(text, p.ValueTextFor(static_cast<int32_t>(c.value)), sizeof text);
        else
            std::snprintf(text, sizeof text, "%.17g", c.value);
        EXPECT_EQ(plug.Dispatch(effString2Parameter, static_cast<int32_t>(c.id), 0, text), 1);
    };
    for (const TimedChange& c : kHard)
        set(c);
    auto in = Signal();
    std::vector<std::vector<float>> out(2, std::vector<float>(kFrames));
    uint32_t done = 0;
    auto runTo = [&](uint32_t end) {
        while (done < end) {
            const uint32_t n = std::min(end - done, kBlock - done % kBlock);
            float* ins[4] = {in[0].data() + done, in[1].data() + done, in[2].data() + done,
                             in[3].data() + done};
            float* outs[2] = {out[0].data() + done, out[1].data() + done};
            plug.Record()->processReplacing(plug.Record(), ins, outs, static_cast<int32_t>(n));
            done += n;
        }
    };
    for (const TimedChange& c : changes) {
        runTo(c.at);
        set(c);
    }
    runTo(kFrames);
    return out;
}

bool Finite(float v) {
    return std::isfinite(v) && std::fpclassify(v) != FP_SUBNORMAL;
}
} // namespace

TEST(CLAPEntry, FactoryAndDescriptor) {
    const clap_plugin_entry_t& entry = QuelorCLAPEntry();
    EXPECT_GE(entry.clap_version.major, 1u);
    EXPECT_EQ(entry.get_factory("clap.plugin-factory-x"), nullptr);
    const clap_plugin_factory_t& factory = QuelorCLAPFactory();
    ASSERT_EQ(factory.get_plugin_count(&factory), 1u);
    EXPECT_EQ(factory.get_plugin_descriptor(&factory, 1), nullptr);
    const clap_plugin_descriptor_t* d = factory.get_plugin_descriptor(&factory, 0);
    EXPECT_STREQ(d->id, "com.brovane.quelor");
    EXPECT_STREQ(d->name, "Quelor");
    EXPECT_STREQ(d->vendor, "Brovane");
    EXPECT_STREQ(d->version, QUELOR_PROJECT_VERSION);
    std::vector<std::string> features;
    for (const char* const* f = d->features; *f; ++f)
        features.emplace_back(*f);
    EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "compressor", "stereo"}));

    CLAPTestHost host;
    for (const char* near : {"com.brovane.quelor ", "com.brovane.quelorX", "com.brovane.quelo", ""})
        EXPECT_EQ(factory.create_plugin(&factory, host.Host(), near), nullptr) << near;
    // A second init is counted: after its deinit the module is still initialised.
    ASSERT_TRUE(entry.init("again"));
    entry.deinit();
    const clap_plugin_t* plugin = factory.create_plugin(&factory, host.Host(), d->id);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->desc, d);
    EXPECT_EQ(plugin->get_extension(plugin, CLAP_EXT_NOTE_PORTS), nullptr);
    plugin->destroy(plugin);
    EXPECT_TRUE(host.Calls().empty()) << "the host was called before init";
}

TEST(CLAPPlugin, CreateActivateAndDestroyCycles) {
    CLAPTestHost host;
    for (int round = 0; round < 5; ++round) {
        CLAPInstance q(host);
        const struct {
            double rate;
            uint32_t maxFrames;
            bool accepted;
        } cases[] = {{44100.0, 1, true},     {768000.0, 16384, true}, {1000.5, 17, true},
                     {0.0, 512, false},      {-48000.0, 512, false},  {NAN, 512, false},
                     {INFINITY, 512, false}, {48000.0, 0, false},     {48000.0, UINT32_MAX, true}};
        for (const auto& c : cases) {
            EXPECT_EQ(q.plugin->activate(q.plugin, c.rate, 1, c.maxFrames), c.accepted) << c.rate;
            if (c.accepted)
                q.plugin->deactivate(q.plugin);
        }
        for (const HostRateCase& c : kHostRateCases) {
            EXPECT_EQ(q.plugin->activate(q.plugin, c.rate, 1, 512), c.accepted) << c.rate;
            if (c.accepted)
                q.plugin->deactivate(q.plugin);
        }
    }
}

TEST(CLAPPlugin, AudioPorts) {
    CLAPTestHost host;
    CLAPInstance q(host);
    ASSERT_EQ(q.ports->count(q.plugin, true), 2u);
    ASSERT_EQ(q.ports->count(q.plugin, false), 1u);
    const struct {
        bool input;
        uint32_t index;
        const char* name;
        uint32_t flags;
        clap_id pair;
    } cases[] = {{true, 0, "Input", 3, 0},
                 {true, 1, "Sidechain", 2, CLAP_INVALID_ID},
                 {false, 0, "Output", 3, 0}};
    for (const auto& c : cases) {
        clap_audio_port_info_t info{};
        ASSERT_TRUE(q.ports->get(q.plugin, c.index, c.input, &info));
        EXPECT_EQ(info.id, c.index);
        EXPECT_STREQ(info.name, c.name);
        EXPECT_EQ(info.flags, c.flags);
        EXPECT_EQ(info.channel_count, 2u);
        EXPECT_STREQ(info.port_type, "stereo");
        EXPECT_EQ(info.in_place_pair, c.pair);
    }
    clap_audio_port_info_t info{};
    EXPECT_FALSE(q.ports->get(q.plugin, 1, false, &info));
    // No latency, asked before activation too, as wrappers do.
    const auto* latency = static_cast<const clap_plugin_latency_t*>(
        q.plugin->get_extension(q.plugin, CLAP_EXT_LATENCY));
    ASSERT_NE(latency, nullptr);
    EXPECT_EQ(latency->get(q.plugin), 0u);
}

// The twelve parameters of the effect itself, in real units; every step of a switch or a
// choice has its text, and texts read back to what they show.
TEST(CLAPParams, InfoAndTexts) {
    CLAPTestHost host;
    CLAPInstance q(host);
    const Quelor reference;
    ASSERT_EQ(q.params->count(q.plugin), 12u);
    for (uint32_t i = 0; i < 12; ++i) {
        const IParameter& p = *reference.ParameterAt(static_cast<int>(i));
        clap_param_info_t info{};
        ASSERT_TRUE(q.params->get_info(q.plugin, i, &info));
        EXPECT_EQ(info.id, i);
        EXPECT_STREQ(info.name, p.NameForHost());
        EXPECT_EQ(info.min_value, p.Minimum());
        EXPECT_EQ(info.max_value, p.Maximum());
        EXPECT_EQ(info.default_value, p.Value());
        const uint32_t stepped =
            p.IsIntegerValued() ? CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM : 0;
        EXPECT_EQ(info.flags, CLAP_PARAM_IS_AUTOMATABLE | stepped) << info.name;
        const int steps = p.IsIntegerValued() ? static_cast<int>(p.Maximum() - p.Minimum()) : 7;
        for (int k = 0; k <= steps; ++k) {
            const double v = p.Minimum() + (p.Maximum() - p.Minimum()) * k / steps;
            const std::string text = q.Text(i, v);
            double back = NAN;
            ASSERT_TRUE(q.params->text_to_value(q.plugin, i, text.c_str(), &back)) << text;
            EXPECT_EQ(q.Text(i, back), text);
            if (p.IsIntegerValued()) {
                EXPECT_EQ(text, p.ValueTextFor(static_cast<int32_t>(v)));
            }
        }
    }
    EXPECT_EQ(q.Text(Quelor::kThreshold, -12.5), "-12.5 dB");
    clap_param_info_t info{};
    double value = 0.0;
    EXPECT_FALSE(q.params->get_info(q.plugin, 12, &info));
    EXPECT_FALSE(q.params->get_value(q.plugin, 12, &value));
    EXPECT_EQ(q.Text(Quelor::kGain, NAN), "(none)");
    EXPECT_FALSE(q.params->text_to_value(q.plugin, Quelor::kGain, "loud", &value));
}

// Flushed while never activated, values show at once, stepped ones rounded as the core
// rounds them; events a plug-in must skip change nothing.
TEST(CLAPParams, FlushWhileInactiveAndHostileEvents) {
    CLAPTestHost host;
    CLAPInstance q(host);
    Flush(q, {{0, Quelor::kThreshold, -20.0},
              {0, Quelor::kStereoMode, 1.6},
              {0, Quelor::kBrickwall, 0.4},
              {0, Quelor::kMix, 250.0}});
    EXPECT_EQ(q.Value(Quelor::kThreshold), -20.0);
    EXPECT_EQ(q.Value(Quelor::kStereoMode), 2.0);
    EXPECT_EQ(q.Value(Quelor::kBrickwall), 0.0);
    EXPECT_EQ(q.Value(Quelor::kMix), 100.0);

    auto value = CLAPParamValue(0, Quelor::kThreshold, -40.0);
    auto otherSpace = value;
    otherSpace.header.space_id = 1;
    auto shortRecord = value;
    shortRecord.header.size = sizeof value - 1;
    auto modulation = CLAPParamMod(0, Quelor::kThreshold, -40.0);
    CLAPInputEvents events;
    events.Add(otherSpace).Add(shortRecord).Add(modulation);
    events.Add(CLAPParamValue(0, 12, -40.0)).Add(CLAPParamValue(0, CLAP_INVALID_ID, -40.0));
    events.Add(CLAPParamValue(0, Quelor::kThreshold, NAN));
    events.Add(CLAPParamValue(0, Quelor::kThreshold, INFINITY));
    events.Add(CLAPEventHeader(CLAP_EVENT_MIDI, 0, 24));
    q.params->flush(q.plugin, events.List(), nullptr);
    EXPECT_EQ(q.Value(Quelor::kThreshold), -20.0);
}

// A change applies at its event's time: the VST 2 module's output with the block split
// there, whatever the CLAP host's block size, on the 32-bit and 64-bit paths alike.
TEST(CLAPProcess, ChangesAtTheirTimeEqualTheVST2ModuleSplitThere) {
    const std::vector<TimedChange> changes = {{0, Quelor::kRatio, 3.0},
                                              {1, Quelor::kStereoMode, 2.0},
                                              {700, Quelor::kThreshold, -40.0},
                                              {700, Quelor::kSidechainInput, 1.0},
                                              {kBlock * 2 - 1, Quelor::kMix, 40.0}};
    const auto expected = RunVST2(changes);
    EXPECT_EQ(RunCLAP<float>(kBlock, changes), expected);
    EXPECT_EQ(RunCLAP<float>(97, changes), expected);
    EXPECT_EQ(RunCLAP<double>(kBlock, changes), expected);
    EXPECT_NE(RunCLAP<float>(kBlock, {}), expected);
}

// A port of one channel is heard on both inputs of its pair: a mono programme, and a mono
// side-chain, compress as the same audio on two channels, bit for bit.
TEST(CLAPProcess, APortOfOneChannelIsHeardAsTheSameAudioOnBoth) {
    const struct {
        std::vector<uint32_t> ports;
        std::size_t alone;
        double sidechain;
    } cases[] = {{{1, 2}, 0, 0.0}, {{2, 1}, 2, 1.0}};
    for (const auto& c : cases) {
        const std::vector<TimedChange> keyed = {{0, Quelor::kSidechainInput, c.sidechain}};
        auto both = Signal();
        both[c.alone + 1] = both[c.alone];
        EXPECT_EQ(RunCLAP<float>(kBlock, keyed, Signal(), c.ports),
                  RunCLAP<float>(kBlock, keyed, both))
            << "port " << c.alone / 2;
        EXPECT_EQ(RunCLAP<double>(97, keyed, Signal(), c.ports), RunCLAP<double>(97, keyed, both))
            << "port " << c.alone / 2;
    }
}

// Every output sample written, finite and not subnormal, nothing past the block, inputs
// left alone; in place the same; a side-chain that is missing, however, reads as silence.
TEST(CLAPProcess, OutputsAndPortsAsTheValidatorChecks) {
    CLAPTestHost host;
    CLAPInstance q(host);
    Flush(q, kHard);
    Flush(q, {{0, Quelor::kSidechainInput, 1.0}});
    ASSERT_TRUE(q.Start(kRate, 256));
    const auto in = Signal();
    auto block = [&](uint32_t frames, bool inPlace, uint32_t inputPorts, bool nullSidechain) {
        CLAPAudioBuffers<double> inputs({2, 2}, frames);
        CLAPAudioBuffers<double> output({2}, frames);
        output.Fill(NAN);
        for (uint32_t ch = 0; ch < 2; ++ch)
            std::copy_n(in[ch].begin(), frames, inputs.Channel(0, ch));
        if (inPlace)
            output.ShareWith(0, inputs, 0);
        double* none[2] = {nullptr, nullptr};
        if (nullSidechain)
            inputs.Port(1).data64 = none;
        CLAPAudioBuffers<double> copy({2, 2}, frames);
        for (uint32_t ch = 0; ch < 4; ++ch)
            std::copy_n(inputs.Channel(ch / 2, ch % 2), frames, copy.Channel(ch / 2, ch % 2));
        CLAPInputEvents noEvents;
        CLAPOutputEvents outEvents;
        const clap_process_t process{
            -1,         frames, nullptr,         inputs.Buffers(), output.Buffers(),
            inputPorts, 1,      noEvents.List(), outEvents.List()};
        EXPECT_EQ(q.plugin->process(q.plugin, &process), CLAP_PROCESS_CONTINUE);
        EXPECT_TRUE(output.GuardsIntact() && inputs.GuardsIntact());
        std::vector<double> result;
        for (uint32_t ch = 0; ch < 2; ++ch)
            for (uint32_t i = 0; i < frames; ++i) {
                const double v = output.Channel(0, ch)[i];
                EXPECT_TRUE(Finite(static_cast<float>(v)) && std::isfinite(v));
                result.push_back(v);
                if (!inPlace) {
                    EXPECT_EQ(inputs.Channel(0, ch)[i], copy.Channel(0, ch)[i]);
                }
            }
        q.plugin->reset(q.plugin);
        return result;
    };
    const auto outOfPlace = block(200, false, 2, true);
    EXPECT_EQ(block(200, true, 2, true), outOfPlace);
    EXPECT_EQ(block(200, false, 1, false), outOfPlace);
    // Longer than the activated limit: processed in pieces all the same.
    block(1000, false, 2, false);

    CLAPAudioBuffers<double> inputs({2, 2}, 16);
    CLAPAudioBuffers<double> output({1}, 16);
    EXPECT_EQ(q.Process(inputs, output), CLAP_PROCESS_ERROR);
}

// Processing starts afresh at start_processing: a value flushed while stopped applies at
// once, with no glide and no history from before.
TEST(CLAPProcess, StartProcessingStartsAfresh) {
    CLAPTestHost host;
    auto run = [](CLAPInstance& q) {
        CLAPAudioBuffers<float> inputs({2, 2}, 64);
        CLAPAudioBuffers<float> output({2}, 64);
        inputs.Fill(0.5f);
        EXPECT_EQ(q.Process(inputs, output), CLAP_PROCESS_CONTINUE);
        return std::vector<float>(output.Channel(0, 0), output.Channel(0, 0) + 64);
    };
    CLAPInstance restarted(host);
    ASSERT_TRUE(restarted.Start(kRate, 64));
    run(restarted);
    restarted.plugin->stop_processing(restarted.plugin);
    Flush(restarted, {{0, Quelor::kGain, 20.0}});
    ASSERT_TRUE(restarted.plugin->start_processing(restarted.plugin));
    CLAPInstance fresh(host);
    Flush(fresh, {{0, Quelor::kGain, 20.0}});
    ASSERT_TRUE(fresh.Start(kRate, 64));
    EXPECT_EQ(run(restarted), run(fresh));
}

// The VST 2 program chunk's bytes, the same every time; read back in small pieces; a state
// that is empty or cannot be read changes nothing, also while processing.
TEST(CLAPState, RoundTripAndMalformedState) {
    CLAPTestHost host;
    CLAPInstance a(host);
    Flush(a, kHard);
    const std::vector<uint8_t> saved = a.Save();
    EXPECT_EQ(a.Save(), saved);
    PluginInstance plug;
    plug.OpenLikeHost(48000.0f, 512);
    for (const TimedChange& c : kHard) {
        const std::string text = a.Text(c.id, c.value);
        plug.Dispatch(effString2Parameter, static_cast<int32_t>(c.id), 0,
                      const_cast<char*>(text.c_str()));
    }
    const uint8_t* chunk = nullptr;
    const intptr_t size = plug.Dispatch(effGetChunk, 1, 0, &chunk);
    EXPECT_EQ(saved, std::vector<uint8_t>(chunk, chunk + size));

    CLAPInstance b(host);
    ASSERT_TRUE(b.Start(kRate, 64));
    CLAPIStream pieces(saved);
    pieces.plan.SetPieces(CLAPPrimePieces());
    ASSERT_TRUE(b.state->load(b.plugin, pieces.Stream()));
    for (const TimedChange& c : kHard)
        EXPECT_EQ(b.Value(c.id), a.Value(c.id));
    EXPECT_EQ(host.CallsOf(CLAPHostCallKind::ParamsRescan).size(), 1u);

    CLAPInstance c(host);
    const auto before = c.Save();
    CLAPIStream empty(std::vector<uint8_t>{});
    EXPECT_FALSE(c.state->load(c.plugin, empty.Stream()));
    CLAPIStream failing(saved);
    failing.plan.FailAfter(50);
    EXPECT_FALSE(c.state->load(c.plugin, failing.Stream()));
    EXPECT_EQ(c.Save(), before);
    CLAPOStream shortWrites;
    shortWrites.plan.SetPieces(CLAPPrimePieces());
    EXPECT_TRUE(c.state->save(c.plugin, shortWrites.Stream()));
    EXPECT_EQ(shortWrites.Bytes(), before);
    CLAPOStream failingWrite;
    failingWrite.plan.FailAfter(10);
    EXPECT_FALSE(c.state->save(c.plugin, failingWrite.Stream()));
}

// Was refused before the formats agreed: a state cut short now has its values applied, as
// the VST 2 module's effSetChunk applies them, and the host rescans them.
TEST(CLAPState, StatesOfEachSizeAreAnsweredAndAppliedAsInVst2) {
    CLAPTestHost host;
    CLAPInstance source(host);
    Flush(source, kHard);
    const std::vector<uint8_t> saved = source.Save();
    ASSERT_EQ(saved.size(), 104u);
    for (const HostStateCase& c : kHostStateCases) {
        std::vector<uint8_t> bytes = SizedState(saved, c);
        PluginInstance vst2;
        vst2.OpenLikeHost(static_cast<float>(kRate), 512);
        const bool whole = c.answer == HostStateAnswer::kWhole;
        EXPECT_EQ(vst2.Dispatch(effSetChunk, 1, static_cast<intptr_t>(bytes.size()), bytes.data()),
                  whole ? 1 : 0)
            << c.name;
        const uint8_t* chunk = nullptr;
        const intptr_t size = vst2.Dispatch(effGetChunk, 1, 0, &chunk);
        CLAPInstance q(host);
        const std::size_t rescans = host.CallsOf(CLAPHostCallKind::ParamsRescan).size();
        CLAPIStream stream(bytes);
        EXPECT_EQ(q.state->load(q.plugin, stream.Stream()), whole) << c.name;
        EXPECT_EQ(q.Save(), std::vector<uint8_t>(chunk, chunk + size)) << c.name;
        EXPECT_EQ(host.CallsOf(CLAPHostCallKind::ParamsRescan).size() - rescans,
                  c.answer == HostStateAnswer::kRefused ? 0u : 1u)
            << c.name;
    }
}

#ifdef NDEBUG
namespace {
// A thread that lives until the test ends, to be designated the audio thread.
class OtherThread {
public:
    OtherThread() : thread([this] { Serve(); }) {}
    ~OtherThread() {
        Run([this] { done = true; });
        thread.join();
    }
    std::thread::id Id() const { return thread.get_id(); }
    // Runs work on the thread and waits for it.
    void Run(std::function<void()> work) {
        std::unique_lock lock(mutex);
        job = std::move(work);
        changed.notify_all();
        changed.wait(lock, [this] { return !job; });
    }

private:
    void Serve() {
        std::unique_lock lock(mutex);
        while (!done) {
            changed.wait(lock, [this] { return static_cast<bool>(job); });
            job();
            job = nullptr;
            changed.notify_all();
        }
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::function<void()> job;
    bool done = false;
    std::thread thread;
};

std::vector<std::string> Logged(const CLAPTestHost& host, CLAPThreadRole* role = nullptr) {
    std::vector<std::string> texts;
    for (const CLAPHostCall& call : host.CallsOf(CLAPHostCallKind::Log)) {
        texts.push_back(call.text);
        if (role)
            *role = call.thread;
    }
    return texts;
}
} // namespace

// Release builds refuse a call on the wrong thread: on the main thread the log hears of it
// at once; elsewhere the refusal is counted and logged when the host calls back on the
// main thread.
TEST(CLAPThreads, CallsOnTheWrongThreadAreRefusedAndLogged) {
    CLAPTestHost host;
    CLAPInstance q(host);
    OtherThread audio;
    host.DesignateAudioThread(audio.Id());
    bool activated = false;
    audio.Run([&] { activated = q.plugin->activate(q.plugin, kRate, 1, 64); });
    EXPECT_FALSE(activated);
    ASSERT_TRUE(q.plugin->activate(q.plugin, kRate, 1, 64));
    EXPECT_FALSE(q.plugin->start_processing(q.plugin));
    CLAPThreadRole role = CLAPThreadRole::Other;
    EXPECT_EQ(
        Logged(host, &role),
        (std::vector<std::string>{"Quelor: start_processing refused: called on the wrong thread"}));
    EXPECT_EQ(role, CLAPThreadRole::Main);

    uint32_t count = 99;
    audio.Run([&] {
        EXPECT_TRUE(q.plugin->start_processing(q.plugin));
        count = q.params->count(q.plugin);
        q.params->count(q.plugin);
    });
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(Logged(host).size(), 1u) << "refusals off the main thread wait for its callback";
    ASSERT_TRUE(host.TakeCallbackRequest());
    q.plugin->on_main_thread(q.plugin);
    const auto logged = Logged(host);
    EXPECT_NE(std::find(logged.begin(), logged.end(),
                        "Quelor: params count refused 2 times: called on the wrong thread"),
              logged.end());
    CLAPAudioBuffers<float> inputs({2, 2}, 16);
    CLAPAudioBuffers<float> output({2}, 16);
    EXPECT_EQ(q.Process(inputs, output), CLAP_PROCESS_ERROR);
    EXPECT_EQ(Logged(host).back(), "Quelor: process refused: called on the wrong thread");
    audio.Run([&] { q.plugin->stop_processing(q.plugin); });
}

// Without the host's thread-check the main thread is the one that made the plug-in.
TEST(CLAPThreads, WithoutThreadCheckTheCreatingThreadIsMain) {
    CLAPHostExtensions extensions;
    extensions.threadCheck = false;
    CLAPTestHost host(extensions);
    CLAPInstance q(host);
    OtherThread other;
    uint32_t count = 99;
    other.Run([&] { count = q.params->count(q.plugin); });
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(q.params->count(q.plugin), 12u);
}
#else
// Builds with assertions stop at the first call a host makes on the wrong thread.
TEST(CLAPThreadsDeathTest, ACallOnTheWrongThreadStops) {
    CLAPTestHost host;
    CLAPInstance q(host);
    EXPECT_DEATH(q.plugin->start_processing(q.plugin), "start_processing refused");
}
#endif
