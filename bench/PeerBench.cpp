// Quelor against a peer compressor in one process: both are loaded as VST 2
// modules through the same host code, set to the same settings by parameter
// name, and timed in interleaved rounds on the same signal, so that their ratio
// survives the noise of a shared machine.
#include "DemoSignal.h"
#include "PluginHost.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {
constexpr double kSampleRate = 48000.0;
constexpr int kBlock = 512;

struct Setting {
    std::string name;
    std::string text; // a choice's display text; empty for a number
    double value = 0.0;
};

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

int FindParameter(const PluginHost& host, const std::string& name) {
    for (int i = 0; i < host.ParameterCount(); ++i)
        if (Lower(host.ParameterName(i)) == Lower(name))
            return i;
    return -1;
}

double DisplayNumber(const PluginHost& host, int index, float normalized) {
    host.SetParameter(index, normalized);
    const std::string text = host.ParameterDisplay(index);
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return end == text.c_str() ? std::nan("") : value;
}

// Finds the normalized value that displays the wanted number or text. Every
// plug-in shows its own scale, so this asks the plug-in rather than guessing it.
bool Apply(const PluginHost& host, const Setting& setting, std::string* error) {
    const int index = FindParameter(host, setting.name);
    if (index < 0) {
        *error = "no parameter named \"" + setting.name + "\"";
        return false;
    }
    if (!setting.text.empty()) {
        for (int step = 0; step <= 1000; ++step) {
            const float normalized = static_cast<float>(step) / 1000.0f;
            host.SetParameter(index, normalized);
            if (Lower(host.ParameterDisplay(index)) == Lower(setting.text))
                return true;
        }
        *error = setting.name + " never shows \"" + setting.text + "\"";
        return false;
    }
    float low = 0.0f;
    float high = 1.0f;
    const bool rising = DisplayNumber(host, index, 1.0f) >= DisplayNumber(host, index, 0.0f);
    for (int i = 0; i < 40; ++i) {
        const float middle = 0.5f * (low + high);
        const double shown = DisplayNumber(host, index, middle);
        if ((shown < setting.value) == rising)
            low = middle;
        else
            high = middle;
    }
    const double shown = DisplayNumber(host, index, high);
    if (!(std::fabs(shown - setting.value) <= 0.01 * std::max(1.0, std::fabs(setting.value)))) {
        *error = setting.name + " cannot be set to " + std::to_string(setting.value);
        return false;
    }
    return true;
}

struct Signal {
    std::vector<float> left;
    std::vector<float> right;
    std::vector<double> leftDouble;
    std::vector<double> rightDouble;
    std::size_t Frames() const { return left.size() / kBlock * kBlock; }
};

Signal FromStereo(const StereoSignal& s) {
    Signal out{std::vector<float>(s.left.begin(), s.left.end()),
               std::vector<float>(s.right.begin(), s.right.end()), s.left, s.right};
    return out;
}

// Every sample far above any threshold and above the brickwall's ceiling.
Signal AlwaysAbove(double seconds) {
    StereoSignal s;
    const auto frames = static_cast<std::size_t>(seconds * kSampleRate);
    for (std::size_t i = 0; i < frames; ++i) {
        const double phase = 2.0 * std::numbers::pi * 100.0 * static_cast<double>(i) / kSampleRate;
        s.left.push_back(1.5 + 0.4 * std::sin(phase));
        s.right.push_back(-1.5 - 0.4 * std::cos(phase));
    }
    return FromStereo(s);
}

class Case {
public:
    Case(std::string caseName, std::unique_ptr<PluginHost> plugin, const Signal& input,
         bool doublePath)
        : name(std::move(caseName)), host(std::move(plugin)), signal(input),
          useDouble(doublePath) {}

    bool Configure(const std::vector<Setting>& settings, std::string* error) {
        host->Open(kSampleRate, kBlock);
        AEffect* e = host->Effect();
        host->AnnounceChannels(e->numInputs, std::min(e->numOutputs, 2));
        for (const Setting& s : settings)
            if (!Apply(*host, s, error)) {
                *error = name + ": " + *error;
                return false;
            }
        host->Resume();
        const auto in = static_cast<std::size_t>(std::max(e->numInputs, 2));
        const auto out = static_cast<std::size_t>(std::max(e->numOutputs, 2));
        silence.assign(kBlock, 0.0f);
        silenceDouble.assign(kBlock, 0.0);
        outputs.assign(out, std::vector<float>(kBlock));
        outputsDouble.assign(out, std::vector<double>(kBlock));
        inPointers.assign(in, silence.data());
        inPointersDouble.assign(in, silenceDouble.data());
        for (std::size_t i = 0; i < out; ++i) {
            outPointers.push_back(outputs[i].data());
            outPointersDouble.push_back(outputsDouble[i].data());
        }
        return true;
    }

    // One pass over the whole signal in slices of about 85 ms. Each slice keeps the
    // fastest time it was ever processed in, so that a pass interrupted by
    // another process on this shared machine costs only its interrupted slices.
    // Out of line so that callgrind can count it alone: --toggle-collect='*Case::Round*'.
    [[gnu::noinline]] void Round() {
        AEffect* e = host->Effect();
        const std::size_t frames = signal.Frames();
        fastest.resize((frames + kSlice - 1) / kSlice, 1e300);
        for (std::size_t slice = 0; slice * kSlice < frames; ++slice) {
            const std::size_t last = std::min(frames, (slice + 1) * kSlice);
            const auto start = std::chrono::steady_clock::now();
            for (std::size_t at = slice * kSlice; at < last; at += kBlock) {
                if (useDouble) {
                    inPointersDouble[0] = const_cast<double*>(&signal.leftDouble[at]);
                    inPointersDouble[1] = const_cast<double*>(&signal.rightDouble[at]);
                    e->processDoubleReplacing(e, inPointersDouble.data(),
                                              outPointersDouble.data(), kBlock);
                } else {
                    inPointers[0] = const_cast<float*>(&signal.left[at]);
                    inPointers[1] = const_cast<float*>(&signal.right[at]);
                    e->processReplacing(e, inPointers.data(), outPointers.data(), kBlock);
                }
            }
            const std::chrono::duration<double, std::nano> took =
                std::chrono::steady_clock::now() - start;
            fastest[slice] = std::min(fastest[slice], took.count());
        }
    }

    double NanosecondsPerFrame() const {
        double total = 0.0;
        for (const double t : fastest)
            total += t;
        return total / static_cast<double>(signal.Frames());
    }

    const std::string name;

private:
    std::unique_ptr<PluginHost> host;
    const Signal& signal;
    bool useDouble;
    std::vector<float> silence;
    std::vector<double> silenceDouble;
    std::vector<std::vector<float>> outputs;
    std::vector<std::vector<double>> outputsDouble;
    std::vector<float*> inPointers;
    std::vector<double*> inPointersDouble;
    std::vector<float*> outPointers;
    std::vector<double*> outPointersDouble;
    static constexpr std::size_t kSlice = 8 * kBlock;
    std::vector<double> fastest;
};

std::vector<Setting> QuelorSettings(const std::string& stereo, bool brickwall, double threshold) {
    return {{"Threshold", "", threshold},   {"Ratio", "", 4.0},
            {"Attack", "", 1.0},            {"Release", "", 100.0},
            {"Stereo Mode", stereo, 0.0},   {"Brickwall", brickwall ? "On" : "Off", 0.0},
            {"Sidechain Input", "Chn. 1/2", 0.0}};
}

// The peer names its parameters by short identifiers (--list-peer shows them):
// threshold, ratio, attack and release time, knee (0 dB is hard), peak detection,
// the louder channel as side-chain source, no look-ahead, no make-up.
std::vector<Setting> PeerSettings(double threshold) {
    return {{"al", "", threshold}, {"cr", "", 4.0},      {"at", "", 1.0},
            {"rt", "", 100.0},     {"kn", "", 0.0},      {"scm", "Peak", 0.0},
            {"scs", "Max", 0.0},   {"sla", "", 0.0},     {"mk", "", 0.0}};
}

void PrintParameters(const PluginHost& host) {
    for (int i = 0; i < host.ParameterCount(); ++i)
        std::printf("%3d  %-32s %s %s\n", i, host.ParameterName(i).c_str(),
                    host.ParameterDisplay(i).c_str(), host.ParameterLabel(i).c_str());
}
} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Times Quelor and a peer compressor in the same process and host."};
    std::string quelorPath = QUELOR_MODULE;
    std::string peerPath = "/usr/lib/vst/lsp-plugins/compressor-stereo.so";
    double seconds = 60.0;
    int rounds = 7;
    std::string only;
    bool list = false;
    app.add_option("--quelor", quelorPath, "Quelor's module");
    app.add_option("--peer", peerPath, "the peer's module; skipped when missing");
    app.add_option("--seconds", seconds, "length of the drum signal")->check(CLI::Range(1.0, 600.0));
    app.add_option("--rounds", rounds, "passes per case; the fastest of each slice counts")
        ->check(CLI::Range(1, 100));
    app.add_option("--only", only, "run one case, e.g. under callgrind");
    app.add_flag("--list-peer", list, "print the peer's parameters and stop");
    CLI11_PARSE(app, argc, argv);

    const Signal drums = FromStereo(MakeDemoSignal(kSampleRate, seconds));
    const Signal above = AlwaysAbove(std::min(seconds, 10.0));

    std::string error;
    std::unique_ptr<PluginHost> probe = PluginHost::Load(peerPath, &error);
    if (list) {
        if (!probe) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        PrintParameters(*probe);
        return 0;
    }
    const bool havePeer = probe != nullptr;
    if (!havePeer)
        std::printf("peer not measured: %s\n", error.c_str());
    probe.reset();

    struct Plan {
        std::string name;
        bool peer;
        const Signal* signal;
        bool doublePath;
        std::vector<Setting> settings;
    };
    const std::vector<Plan> plans = {
        {"quelor-maximum-off", false, &drums, false, QuelorSettings("Maximum", false, -20.0)},
        {"quelor-maximum-on", false, &drums, false, QuelorSettings("Maximum", true, -20.0)},
        {"quelor-average-on", false, &drums, false, QuelorSettings("Average", true, -20.0)},
        {"quelor-dualmono-on", false, &drums, false, QuelorSettings("Dual Mono", true, -20.0)},
        {"quelor-maximum-on-64", false, &drums, true, QuelorSettings("Maximum", true, -20.0)},
        {"quelor-worst", false, &above, false, QuelorSettings("Dual Mono", true, -60.0)},
        {"peer", true, &drums, false, PeerSettings(-20.0)},
        {"peer-worst", true, &above, false, PeerSettings(-60.0)},
    };
    std::vector<std::unique_ptr<Case>> cases;
    for (const Plan& plan : plans) {
        if ((plan.peer && !havePeer) || (!only.empty() && plan.name != only))
            continue;
        auto plugin = PluginHost::Load(plan.peer ? peerPath : quelorPath, &error);
        if (!plugin) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        auto c = std::make_unique<Case>(plan.name, std::move(plugin), *plan.signal,
                                        plan.doublePath);
        if (!c->Configure(plan.settings, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        cases.push_back(std::move(c));
    }
    if (cases.empty()) {
        std::fprintf(stderr, "no case named %s\n", only.c_str());
        return 1;
    }
    // Interleaved, so that a busy moment of the machine hits every case alike.
    for (int r = 0; r < rounds; ++r)
        for (auto& c : cases)
            c->Round();

    auto best = [&](const std::string& name) {
        for (const auto& c : cases)
            if (c->name == name)
                return c->NanosecondsPerFrame();
        return std::nan("");
    };
    std::printf("%-22s %10s\n", "case", "ns/frame");
    for (const auto& c : cases)
        std::printf("%-22s %10.2f\n", c->name.c_str(), c->NanosecondsPerFrame());
    if (!only.empty())
        return 0;
    const double linked = std::max(best("quelor-maximum-on"), best("quelor-average-on"));
    std::printf("\nbrickwall on / peer          %6.3f  (target <= 0.4)\n",
                best("quelor-maximum-on") / best("peer"));
    std::printf("brickwall off / peer         %6.3f\n", best("quelor-maximum-off") / best("peer"));
    std::printf("brickwall on / off           %6.3f  (target <= 1.15)\n",
                best("quelor-maximum-on") / best("quelor-maximum-off"));
    std::printf("dual mono / linked           %6.3f  (target <= 1.6)\n",
                best("quelor-dualmono-on") / linked);
    std::printf("worst case / peer worst case %6.3f  (target < 0.6)\n",
                best("quelor-worst") / best("peer-worst"));
    std::printf("64-bit / 32-bit path         %6.3f  (target <= 1.0)\n",
                best("quelor-maximum-on-64") / best("quelor-maximum-on"));
    return 0;
}
