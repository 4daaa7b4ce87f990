// Quelor.clap driven through its exported entry as a host drives it, with the checks the
// format's public validator makes. Its audio, states and texts are the conformance suite's.
#include "CLAPInstance.h"
#include "CLAPTestStreams.h"
#include "Quelor.h"
#include "SharedLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <thread>

namespace {
constexpr double kRate = 48000.0;

// Threshold -24 dB, ratio 6, fast attack, short release, make-up, brickwall on.
const std::vector<std::pair<clap_id, double>> kHard = {
    {Quelor::kThreshold, -24.0}, {Quelor::kRatio, 6.0}, {Quelor::kAttack, 2.0},
    {Quelor::kRelease, 120.0},   {Quelor::kGain, 9.0},  {Quelor::kBrickwall, 0.0}};

void Flush(const CLAPInstance& q, const std::vector<std::pair<clap_id, double>>& changes) {
    CLAPInputEvents events;
    for (const auto& [id, value] : changes)
        events.Add(CLAPParamValue(0, id, value));
    q.params->flush(q.plugin, events.List(), nullptr);
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

TEST(CLAPPlugin, AudioPorts) {
    CLAPInstance q;
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

// The twelve parameters of the effect itself, in real units.
TEST(CLAPParams, InfoAndTexts) {
    CLAPInstance q;
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
        // Every step of a switch or a choice has its text.
        for (int k = 0; p.IsIntegerValued() && k <= static_cast<int>(p.Maximum()); ++k)
            EXPECT_EQ(q.Text(i, k), p.ValueTextFor(k));
    }
    clap_param_info_t info{};
    double value = 0.0;
    EXPECT_FALSE(q.params->get_info(q.plugin, 12, &info));
    EXPECT_FALSE(q.params->get_value(q.plugin, 12, &value));
    EXPECT_EQ(q.Text(Quelor::kGain, NAN), "(none)");
}

// Flushed while never activated, values show at once, stepped ones rounded as the core
// rounds them; events a plug-in must skip change nothing.
TEST(CLAPParams, FlushWhileInactiveAndHostileEvents) {
    CLAPInstance q;
    Flush(q, {{Quelor::kThreshold, -20.0},
              {Quelor::kStereoMode, 1.6},
              {Quelor::kBrickwall, 0.4},
              {Quelor::kMix, 250.0}});
    EXPECT_EQ(q.Value(Quelor::kThreshold), -20.0);
    EXPECT_EQ(q.Value(Quelor::kStereoMode), 2.0);
    EXPECT_EQ(q.Value(Quelor::kBrickwall), 0.0);
    EXPECT_EQ(q.Value(Quelor::kMix), 100.0);

    auto value = CLAPParamValue(0, Quelor::kThreshold, -40.0);
    auto otherSpace = value;
    otherSpace.header.space_id = 1;
    auto shortRecord = value;
    shortRecord.header.size = sizeof value - 1;
    // A modulation's record is laid out as a value's.
    auto modulation = value;
    modulation.header.type = CLAP_EVENT_PARAM_MOD;
    CLAPInputEvents events;
    events.Add(otherSpace).Add(shortRecord).Add(modulation);
    events.Add(CLAPParamValue(0, 12, -40.0)).Add(CLAPParamValue(0, CLAP_INVALID_ID, -40.0));
    events.Add(CLAPParamValue(0, Quelor::kThreshold, NAN));
    events.Add(CLAPParamValue(0, Quelor::kThreshold, INFINITY));
    events.Add(CLAPEventHeader(CLAP_EVENT_MIDI, 0, 24));
    q.params->flush(q.plugin, events.List(), nullptr);
    EXPECT_EQ(q.Value(Quelor::kThreshold), -20.0);
}

// In place the same as apart, inputs left alone apart; an output port of one channel is
// refused. The output itself is the conformance suite's.
TEST(CLAPProcess, InPlaceAndPortsOfTheWrongWidth) {
    CLAPInstance q;
    Flush(q, kHard);
    ASSERT_TRUE(q.Start(kRate, 256));
    auto block = [&](bool inPlace) {
        CLAPAudioBuffers<double> inputs({2, 2}, 200);
        CLAPAudioBuffers<double> output({2}, 200);
        for (uint32_t ch = 0; ch < 2; ++ch)
            for (uint32_t i = 0; i < 200; ++i)
                inputs.Channel(0, ch)[i] = std::sin(0.07 * (i + 50 * ch));
        if (inPlace)
            output.ShareWith(0, inputs, 0);
        const std::vector<double> left(inputs.Channel(0, 0), inputs.Channel(0, 0) + 200);
        EXPECT_EQ(q.Process(inputs, output), CLAP_PROCESS_CONTINUE);
        if (!inPlace) {
            EXPECT_EQ(std::vector<double>(inputs.Channel(0, 0), inputs.Channel(0, 0) + 200), left);
        }
        q.plugin->reset(q.plugin);
        return std::vector<double>(output.Channel(0, 1), output.Channel(0, 1) + 200);
    };
    EXPECT_EQ(block(true), block(false));

    CLAPAudioBuffers<double> inputs({2, 2}, 16);
    CLAPAudioBuffers<double> output({1}, 16);
    EXPECT_EQ(q.Process(inputs, output), CLAP_PROCESS_ERROR);
}

// The guards around every channel, which the suites' checks of writes outside a block
// rely on, see a write just before it or just past it.
TEST(CLAPAudioBuffers, GuardsCatchWritesOutsideTheFrames) {
    const auto check = [](auto sample) {
        for (const int at : {-1, 16}) {
            CLAPAudioBuffers<decltype(sample)> buffers({2, 1}, 16);
            buffers.Channel(1, 0)[0] = buffers.Channel(1, 0)[15] = sample;
            EXPECT_TRUE(buffers.GuardsIntact());
            buffers.Channel(1, 0)[at] = sample;
            EXPECT_FALSE(buffers.GuardsIntact()) << sizeof sample << " bytes, at " << at;
        }
    };
    check(1.0f);
    check(1.0);
}

// The loader every suite and quelor-render open modules with, from a folder whose name has
// spaces, as a release may be unpacked into.
TEST(SharedLibrary, OpensAPathWithSpacesAndFindsOnlyWhatItExports) {
    namespace fs = std::filesystem;
    const std::string built = QUELOR_CLAP_PATH;
    const std::string folder = built.substr(0, built.rfind('/')) + "/a folder with spaces";
    const std::string copy = folder + "/Quelor copy.clap";
    fs::create_directories(SharedLibrary::NativePath(folder));
    fs::copy_file(SharedLibrary::NativePath(built), SharedLibrary::NativePath(copy),
                  fs::copy_options::overwrite_existing);
    SharedLibrary library(copy);
    ASSERT_TRUE(library.IsOpen()) << library.Error();
    EXPECT_NE(library.Symbol("clap_entry"), nullptr);
    EXPECT_EQ(library.Symbol("clap_entry_"), nullptr);
    library.Close();
    EXPECT_EQ(library.Symbol("clap_entry"), nullptr);
    fs::remove_all(SharedLibrary::NativePath(folder));
}

// The state read back in small pieces, with the host told to rescan;
// a stream that fails changes nothing; written in small pieces, or failing.
TEST(CLAPState, StreamsInPiecesAndStreamsThatFail) {
    CLAPInstance a;
    Flush(a, kHard);
    const std::vector<uint8_t> saved = a.Save();

    CLAPInstance b;
    ASSERT_TRUE(b.Start(kRate, 64));
    CLAPIStream pieces(saved);
    pieces.plan.SetPieces(kCLAPPrimePieces);
    ASSERT_TRUE(b.state->load(b.plugin, pieces.Stream()));
    for (const auto& [id, value] : kHard)
        EXPECT_EQ(b.Value(id), a.Value(id)) << id;
    EXPECT_EQ(b.host.Calls("params.rescan").size(), 1u);
    CLAPIStream cut(std::vector<uint8_t>(saved.begin(), saved.end() - 20));
    EXPECT_FALSE(b.state->load(b.plugin, cut.Stream()));
    EXPECT_EQ(b.host.Calls("params.rescan").size(), 2u) << "cut short, applied";

    CLAPInstance c;
    const auto before = c.Save();
    CLAPIStream failing(saved);
    failing.plan.FailAfter(50);
    EXPECT_FALSE(c.state->load(c.plugin, failing.Stream()));
    EXPECT_EQ(c.Save(), before);
    EXPECT_TRUE(c.host.Calls("params.rescan").empty());
    CLAPOStream shortWrites;
    shortWrites.plan.SetPieces(kCLAPPrimePieces);
    EXPECT_TRUE(c.state->save(c.plugin, shortWrites.Stream()));
    EXPECT_EQ(shortWrites.Bytes(), before);
    CLAPOStream failingWrite;
    failingWrite.plan.FailAfter(10);
    EXPECT_FALSE(c.state->save(c.plugin, failingWrite.Stream()));
}

#ifdef NDEBUG
namespace {
// Runs work on a thread of its own, which the host takes for its audio thread, and waits.
void OnAudioThread(CLAPTestHost& host, const std::function<void()>& work) {
    std::thread([&] {
        host.SetAudioThread(std::this_thread::get_id());
        work();
    }).join();
}

std::vector<std::string> Logged(const CLAPTestHost& host) {
    std::vector<std::string> texts;
    for (const CLAPHostCall& call : host.Calls("log.log"))
        texts.push_back(call.text);
    return texts;
}
} // namespace

// Release builds refuse a call on the wrong thread: on the main thread the log hears of it
// at once; elsewhere the refusal is counted and logged when the host calls back on the
// main thread.
TEST(CLAPThreads, CallsOnTheWrongThreadAreRefusedAndLogged) {
    CLAPInstance q;
    bool activated = false;
    OnAudioThread(q.host, [&] { activated = q.plugin->activate(q.plugin, kRate, 1, 64); });
    EXPECT_FALSE(activated);
    ASSERT_TRUE(q.plugin->activate(q.plugin, kRate, 1, 64));
    EXPECT_FALSE(q.plugin->start_processing(q.plugin));
    const std::vector<CLAPHostCall> first = q.host.Calls("log.log");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].text, "Quelor: start_processing refused: called on the wrong thread");
    EXPECT_EQ(first[0].thread, CLAPThreadRole::Main);

    uint32_t count = 99;
    OnAudioThread(q.host, [&] {
        EXPECT_TRUE(q.plugin->start_processing(q.plugin));
        count = q.params->count(q.plugin);
        q.params->count(q.plugin);
    });
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(Logged(q.host).size(), 1u) << "refusals off the main thread wait for its callback";
    ASSERT_TRUE(q.host.TakeCallbackRequest());
    q.plugin->on_main_thread(q.plugin);
    const auto logged = Logged(q.host);
    EXPECT_NE(std::find(logged.begin(), logged.end(),
                        "Quelor: params count refused 2 times: called on the wrong thread"),
              logged.end());
    CLAPAudioBuffers<float> inputs({2, 2}, 16);
    CLAPAudioBuffers<float> output({2}, 16);
    EXPECT_EQ(q.Process(inputs, output), CLAP_PROCESS_ERROR);
    EXPECT_EQ(Logged(q.host).back(), "Quelor: process refused: called on the wrong thread");
    OnAudioThread(q.host, [&] { q.plugin->stop_processing(q.plugin); });
}

// Without the host's thread-check the main thread is the one that made the plug-in.
TEST(CLAPThreads, WithoutThreadCheckTheCreatingThreadIsMain) {
    CLAPHostExtensions extensions;
    extensions.threadCheck = false;
    CLAPInstance q(extensions);
    uint32_t count = 99;
    std::thread([&] { count = q.params->count(q.plugin); }).join();
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(q.params->count(q.plugin), 12u);
}
#else
// Builds with assertions stop at the first call a host makes on the wrong thread.
TEST(CLAPThreadsDeathTest, ACallOnTheWrongThreadStops) {
    CLAPInstance q;
    EXPECT_DEATH(q.plugin->start_processing(q.plugin), "start_processing refused");
}
#endif
