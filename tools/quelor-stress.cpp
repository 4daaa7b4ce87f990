// quelor-stress: loads a VST 2 module as a host does and drives it from three threads at
// once, the way a host's audio, automation and user-interface threads meet in a session:
//   audio      processReplacing on 64-frame blocks, every call timed;
//   parameters sets and reads parameters and their texts, gets and sets chunks;
//   editor     opens the editor in a window, idles it at 60 Hz for half a second,
//              closes it, again and again (needs an X display: DISPLAY, e.g. xvfb-run).
// It prints how long the audio calls took. A call that waits for another thread shows
// as a long call: at 48 kHz a 64-frame block must be done in 1.33 ms.
#include "ModuleSearch.h"
#include "VST2Interface.h"

#include <CLI/CLI.hpp>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using EntryPoint = AEffect* (*)(audioMasterCallback);

constexpr int kBlockFrames = 64;
constexpr double kSampleRate = 48000.0;
constexpr int kInputs = 4;
constexpr int kOutputs = 2;
constexpr auto kEditorShown = std::chrono::milliseconds(500);
constexpr auto kIdlePeriod = std::chrono::microseconds(16667);
constexpr auto kParameterPause = std::chrono::microseconds(100);
constexpr int kOverlongNs = 1000000;

// Call durations in 50 ns bins up to 5 ms; anything longer lands in the last bin, and
// the longest is kept exactly. Sized once: the audio thread only counts.
class DurationHistogram {
public:
    static constexpr int kBinNs = 50;
    static constexpr std::size_t kBins = 100000;

    DurationHistogram() : bins(kBins + 1, 0) {}

    void Add(int64_t ns) {
        const auto bin = static_cast<std::size_t>(std::max<int64_t>(ns, 0) / kBinNs);
        ++bins[std::min(bin, kBins)];
        ++count;
        longest = std::max(longest, ns);
        overlong += ns > kOverlongNs ? 1 : 0;
    }

    // Upper edge of the bin holding the fraction p of all calls, in microseconds.
    double Percentile(double p) const {
        const auto wanted = static_cast<uint64_t>(std::ceil(p * static_cast<double>(count)));
        uint64_t seen = 0;
        for (std::size_t i = 0; i < bins.size(); ++i) {
            seen += bins[i];
            if (seen >= wanted && seen > 0)
                return i == kBins ? Longest() : static_cast<double>((i + 1) * kBinNs) / 1000.0;
        }
        return 0.0;
    }
    double Longest() const { return static_cast<double>(longest) / 1000.0; }
    uint64_t Count() const { return count; }
    uint64_t Overlong() const { return overlong; }

private:
    std::vector<uint64_t> bins;
    uint64_t count = 0;
    uint64_t overlong = 0;
    int64_t longest = 0;
};

std::atomic<uint64_t> gAutomations{0};

// Answers what a host must; counts the automation the editor reports. Any thread.
intptr_t HostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterAutomate:
        gAutomations.fetch_add(1, std::memory_order_relaxed);
        return 0;
    case audioMasterGetProductString:
        if (ptr)
            std::strcpy(static_cast<char*>(ptr), "quelor-stress");
        return ptr ? 1 : 0;
    case audioMasterGetVendorVersion:
        return 10000;
    default:
        return 0;
    }
}

intptr_t Dispatch(AEffect* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                  void* ptr = nullptr, float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

// A small generator per thread, so threads share no state but the plug-in.
struct Random {
    uint32_t state;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    float Unit() { return static_cast<float>(Next() >> 8) / 16777216.0f; }
};

// Real-time priority where the system allows it, as hosts run their audio threads;
// without it the figures include the scheduler's own delays.
bool RaisePriority() {
    sched_param param{};
    param.sched_priority = std::min(sched_get_priority_max(SCHED_FIFO), 70);
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

struct AudioResult {
    DurationHistogram durations;
    bool realtime = false;
};

void RunAudio(AEffect* effect, std::chrono::microseconds period, const std::atomic<bool>& stop,
              AudioResult& result) {
    result.realtime = RaisePriority();
    std::array<std::vector<float>, kInputs> in;
    std::array<std::vector<float>, kOutputs> out;
    float* inPointers[kInputs];
    float* outPointers[kOutputs];
    Random random{1};
    for (int ch = 0; ch < kInputs; ++ch) {
        in[static_cast<std::size_t>(ch)].resize(kBlockFrames);
        inPointers[ch] = in[static_cast<std::size_t>(ch)].data();
    }
    for (int ch = 0; ch < kOutputs; ++ch) {
        out[static_cast<std::size_t>(ch)].resize(kBlockFrames);
        outPointers[ch] = out[static_cast<std::size_t>(ch)].data();
    }
    auto next = Clock::now();
    while (!stop.load(std::memory_order_relaxed)) {
        for (auto& channel : in)
            for (float& sample : channel)
                sample = random.Unit() - 0.5f;
        const auto start = Clock::now();
        effect->processReplacing(effect, inPointers, outPointers, kBlockFrames);
        const auto end = Clock::now();
        result.durations.Add(
            std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count());
        if (period.count() > 0) {
            next += period;
            if (next < end)
                next = end; // late: start again from now rather than hurry to catch up
            std::this_thread::sleep_until(next);
        }
    }
}

uint64_t RunParameters(AEffect* effect, const std::atomic<bool>& stop) {
    Random random{7};
    std::vector<uint8_t> saved;
    char text[256];
    uint64_t operations = 0;
    while (!stop.load(std::memory_order_relaxed)) {
        const auto index =
            static_cast<int32_t>(random.Next() % static_cast<uint32_t>(effect->numParams));
        switch (random.Next() % 8) {
        case 0: {
            // A host keeps a chunk and hands it back later, from its own memory.
            const bool bank = random.Next() % 2 == 0;
            void* data = nullptr;
            const intptr_t size = Dispatch(effect, effGetChunk, bank ? 0 : 1, 0, &data);
            if (size > 0 && data)
                saved.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
            if (!saved.empty())
                Dispatch(effect, effSetChunk, bank ? 0 : 1, static_cast<intptr_t>(saved.size()),
                         saved.data());
            break;
        }
        case 1:
            Dispatch(effect, effGetParamDisplay, index, 0, text);
            break;
        case 2:
            Dispatch(effect, effGetParamName, index, 0, text);
            break;
        case 3:
            effect->getParameter(effect, index);
            break;
        default:
            effect->setParameter(effect, index, random.Unit());
            break;
        }
        ++operations;
        std::this_thread::sleep_for(kParameterPause);
    }
    return operations;
}

struct EditorResult {
    uint64_t opens = 0;
    uint64_t idles = 0;
    std::string problem;
};

void RunEditor(AEffect* effect, const std::atomic<bool>& stop, EditorResult& result) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        result.problem = "no X display (set DISPLAY, or run under xvfb-run)";
        return;
    }
    const int screen = XDefaultScreen(display);
    const Window parent =
        XCreateSimpleWindow(display, XRootWindow(display, screen), 0, 0, 640, 480, 0,
                            XBlackPixel(display, screen), XBlackPixel(display, screen));
    XMapWindow(display, parent);
    XSync(display, False);
    while (!stop.load(std::memory_order_relaxed)) {
        void* handle = reinterpret_cast<void*>(static_cast<uintptr_t>(parent));
        if (Dispatch(effect, effEditOpen, 0, 0, handle) == 0) {
            result.problem = "the editor did not open";
            break;
        }
        ++result.opens;
        const auto shown = Clock::now();
        auto next = shown;
        while (Clock::now() - shown < kEditorShown && !stop.load(std::memory_order_relaxed)) {
            Dispatch(effect, effEditIdle);
            ++result.idles;
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
            }
            next += kIdlePeriod;
            std::this_thread::sleep_until(next);
        }
        Dispatch(effect, effEditClose);
    }
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Drives a VST 2 module from audio, parameter and editor threads at once and "
                 "reports how long its audio calls take."};
    std::string modulePath = FindModule("Quelor.so");
    double seconds = 60.0;
    int periodUs = 250;
    bool withEditor = true;
    app.add_option("--module", modulePath,
                   "The VST 2 module; by default " + ModuleSearchText("Quelor.so"))
        ->capture_default_str();
    app.add_option("--seconds", seconds, "How long the threads run")
        ->check(CLI::Range(0.1, 86400.0))
        ->capture_default_str();
    app.add_option("--period-us", periodUs,
                   "Microseconds from one audio call's start to the next; 0 runs flat out")
        ->check(CLI::Range(0, 1000000))
        ->capture_default_str();
    app.add_flag("!--no-editor", withEditor, "Leave the editor closed");
    CLI11_PARSE(app, argc, argv);
    if (modulePath.empty()) {
        std::fprintf(stderr, "quelor-stress: no module found: looked for %s; give --module\n",
                     ModuleSearchText("Quelor.so").c_str());
        return 1;
    }

    if (withEditor)
        XInitThreads();
    void* module = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto entry = module ? reinterpret_cast<EntryPoint>(dlsym(module, "VSTPluginMain")) : nullptr;
    AEffect* effect = entry ? entry(&HostCallback) : nullptr;
    if (!effect || effect->magic != kEffectMagic || effect->numParams <= 0 ||
        !effect->processReplacing) {
        std::fprintf(stderr, "quelor-stress: %s is not a usable VST 2 effect%s%s\n",
                     modulePath.c_str(), module ? "" : ": ", module ? "" : dlerror());
        return 1;
    }
    Dispatch(effect, effOpen);
    Dispatch(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kSampleRate));
    Dispatch(effect, effSetBlockSize, 0, kBlockFrames);
    Dispatch(effect, effMainsChanged, 0, 1);
    Dispatch(effect, effStartProcess);

    std::atomic<bool> stop{false};
    AudioResult audio;
    EditorResult editor;
    uint64_t parameterOperations = 0;
    std::thread audioThread(RunAudio, effect, std::chrono::microseconds(periodUs), std::cref(stop),
                            std::ref(audio));
    std::thread parameterThread([&] { parameterOperations = RunParameters(effect, stop); });
    std::thread editorThread;
    if (withEditor)
        editorThread = std::thread(RunEditor, effect, std::cref(stop), std::ref(editor));
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop.store(true);
    audioThread.join();
    parameterThread.join();
    if (editorThread.joinable())
        editorThread.join();

    Dispatch(effect, effStopProcess);
    Dispatch(effect, effMainsChanged, 0, 0);
    Dispatch(effect, effClose);

    const DurationHistogram& d = audio.durations;
    std::printf("audio calls     %llu of %d frames, %s, %s priority\n",
                static_cast<unsigned long long>(d.Count()), kBlockFrames,
                periodUs > 0 ? ("one every " + std::to_string(periodUs) + " us").c_str()
                             : "flat out",
                audio.realtime ? "real-time" : "normal");
    std::printf("median          %.2f us\n", d.Percentile(0.5));
    std::printf("99th            %.2f us\n", d.Percentile(0.99));
    std::printf("99.99th         %.2f us\n", d.Percentile(0.9999));
    std::printf("maximum         %.2f us\n", d.Longest());
    std::printf("over 1 ms       %llu\n", static_cast<unsigned long long>(d.Overlong()));
    std::printf("parameter ops   %llu\n", static_cast<unsigned long long>(parameterOperations));
    if (withEditor)
        std::printf("editor opens    %llu (%llu idles)\n",
                    static_cast<unsigned long long>(editor.opens),
                    static_cast<unsigned long long>(editor.idles));
    if (!editor.problem.empty()) {
        std::fprintf(stderr, "quelor-stress: %s\n", editor.problem.c_str());
        return 1;
    }
    return 0;
}
