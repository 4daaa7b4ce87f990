// quelor-stress: loads a VST 2 module as a host does and drives it from three threads at
// once, the way a host's audio, automation and user-interface threads meet in a session:
//   audio      processReplacing on blocks of 64 frames (fewer when the host announced
//              fewer), every call timed;
//   parameters sets and reads parameters and their texts, gets and sets chunks, changes
//              the program, and announces new block sizes, now and then inside a suspend;
//   editor     opens the editor in a window, drags a knob through XTEST while it idles it
//              at 60 Hz for half a second, closes it, again and again. It needs an X
//              display of its own (xvfb-run), whose pointer it moves.
// It prints how long the audio calls took and how many automation calls the editor sent
// the host. A call that waits for another thread shows as a long call: at 48 kHz a
// 64-frame block must be done in 1.33 ms. With limits given, it fails when they are passed.
#include "ModuleSearch.h"
#include "SharedLibrary.h"
#include "VST2Interface.h"

#include <CLI/CLI.hpp>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <cstdlib>
#include <ctime>
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
// What the parameter thread announces as the largest block, from below ours to the
// adapter's largest; one change in 256 operations, every other one inside a suspend.
constexpr std::array<int, 6> kAnnouncedBlocks = {16, 32, 64, 512, 4096, 32768};
constexpr uint32_t kBlockSizeChance = 256;
constexpr uint32_t kProgramChance = 32;
// The knob the editor thread drags (Quelor's Threshold), its centre in panel pixels, and
// the drag: so many pixels per idle, up and then down again.
constexpr int kKnobX = 54;
constexpr int kKnobY = 214;
constexpr int kDragStep = 3;
// The HISTORY button's centre, and the side of a host window that holds the panel with its
// strip open, in panel units.
constexpr int kStripButtonX = 295;
constexpr int kStripButtonY = 340;
constexpr int kStripPanelSide = 510;
constexpr int kDragSteps = 8;

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

// Between the parameter thread, which announces block sizes, and the audio thread, which
// must never process a block larger than the last size the plug-in heard, as a host's
// engine keeps its blocks within what it told its plug-ins.
class BlockGate {
public:
    // Audio thread, before a block: the most frames it may process now, 0 while held.
    int Enter() {
        entered.fetch_add(1);
        return held.load() ? 0 : allowed.load();
    }
    void Leave() { left.fetch_add(1); }

    // Parameter thread.
    void Allow(int frames) { allowed.store(frames); }
    void Hold(bool hold) { held.store(hold); }
    // Returns once every block entered before this call is done.
    void WaitForBlocksInFlight(const std::atomic<bool>& stop) const {
        const uint64_t seen = entered.load();
        while (left.load() < seen && !stop.load(std::memory_order_relaxed))
            std::this_thread::sleep_for(std::chrono::microseconds(20));
    }

private:
    std::atomic<int> allowed{kBlockFrames};
    std::atomic<bool> held{false};
    std::atomic<uint64_t> entered{0};
    std::atomic<uint64_t> left{0};
};

struct AudioResult {
    DurationHistogram durations;
    bool realtime = false;
};

void RunAudio(AEffect* effect, std::chrono::microseconds period, BlockGate& gate,
              const std::atomic<bool>& stop, AudioResult& result) {
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
        const int frames = std::min(gate.Enter(), kBlockFrames);
        auto end = Clock::now();
        if (frames > 0) {
            for (auto& channel : in)
                for (float& sample : channel)
                    sample = random.Unit() - 0.5f;
            const auto start = Clock::now();
            effect->processReplacing(effect, inPointers, outPointers, frames);
            end = Clock::now();
            result.durations.Add(
                std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count());
        }
        gate.Leave();
        if (period.count() > 0) {
            next += period;
            if (next < end)
                next = end; // late: start again from now rather than hurry to catch up
            std::this_thread::sleep_until(next);
        }
    }
}

struct ParameterResult {
    uint64_t operations = 0;
    uint64_t blockSizes = 0;
    uint64_t programs = 0;
};

// A new largest block for the plug-in. Growing, the plug-in hears of it first; shrinking,
// the audio thread first stops making larger blocks. Inside a suspend the audio waits.
void AnnounceBlockSize(AEffect* effect, int frames, bool suspend, BlockGate& gate,
                       const std::atomic<bool>& stop, int& announced) {
    if (suspend) {
        gate.Hold(true);
        gate.WaitForBlocksInFlight(stop);
        Dispatch(effect, effMainsChanged, 0, 0);
        Dispatch(effect, effSetBlockSize, 0, frames);
        gate.Allow(frames);
        Dispatch(effect, effMainsChanged, 0, 1);
        gate.Hold(false);
    } else if (frames < announced) {
        gate.Allow(frames);
        gate.WaitForBlocksInFlight(stop);
        Dispatch(effect, effSetBlockSize, 0, frames);
    } else {
        Dispatch(effect, effSetBlockSize, 0, frames);
        gate.Allow(frames);
    }
    announced = frames;
}

// One of what hosts do most: chunks, texts, and above all parameter values.
void RunParameterCall(AEffect* effect, Random& random, std::vector<uint8_t>& saved,
                      char (&text)[256]) {
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
}

ParameterResult RunParameters(AEffect* effect, BlockGate& gate, const std::atomic<bool>& stop) {
    Random random{7};
    std::vector<uint8_t> saved;
    char text[256];
    ParameterResult result;
    int announced = kBlockFrames;
    while (!stop.load(std::memory_order_relaxed)) {
        if (random.Next() % kBlockSizeChance == 0) {
            const int frames = kAnnouncedBlocks[random.Next() % kAnnouncedBlocks.size()];
            AnnounceBlockSize(effect, frames, result.blockSizes % 2 == 1, gate, stop, announced);
            ++result.blockSizes;
        } else if (effect->numPrograms > 0 && random.Next() % kProgramChance == 0) {
            Dispatch(
                effect, effSetProgram, 0,
                static_cast<intptr_t>(random.Next() % static_cast<uint32_t>(effect->numPrograms)));
            ++result.programs;
        } else {
            RunParameterCall(effect, random, saved, text);
        }
        ++result.operations;
        std::this_thread::sleep_for(kParameterPause);
    }
    return result;
}

struct EditorOptions {
    double scale = 1.0;      // asked of the module through GDK_SCALE
    bool strip = false;      // the HISTORY button pressed once it first opens
    bool keepOpen = false;   // one open for the whole run, idled, nothing dragged
};

struct EditorResult {
    uint64_t opens = 0;
    uint64_t idles = 0;
    double cpuSeconds = 0.0; // the editor thread's own
    double wallSeconds = 0.0;
    std::string problem;
};

// The editor's window in the host's: its last child.
Window EditorWindowIn(Display* display, Window parent) {
    Window root = 0;
    Window up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window editor = 0;
    if (XQueryTree(display, parent, &root, &up, &children, &count) && children && count > 0)
        editor = children[count - 1];
    if (children)
        XFree(children);
    return editor;
}

// The user's hand on the knob: XTEST presses the server's pointer on it and moves it a
// few pixels at a time, up for a while, then down again; the button goes up at the end.
class KnobDrag {
public:
    KnobDrag(Display* connection, Window editor, double scale) : display(connection) {
        Window child = 0;
        XTranslateCoordinates(display, editor, XDefaultRootWindow(display),
                              static_cast<int>(kKnobX * scale), static_cast<int>(kKnobY * scale),
                              &x, &y, &child);
        XTestFakeMotionEvent(display, XDefaultScreen(display), x, y, CurrentTime);
        XTestFakeButtonEvent(display, Button1, True, CurrentTime);
        XFlush(display);
    }
    ~KnobDrag() {
        XTestFakeButtonEvent(display, Button1, False, CurrentTime);
        XFlush(display);
    }
    KnobDrag(const KnobDrag&) = delete;
    KnobDrag& operator=(const KnobDrag&) = delete;

    void Step() {
        y += (steps++ / kDragSteps) % 2 == 0 ? -kDragStep : kDragStep;
        XTestFakeMotionEvent(display, XDefaultScreen(display), x, y, CurrentTime);
        XFlush(display);
    }

private:
    Display* display;
    int x = 0;
    int y = 0;
    int steps = 0;
};

// The host's user-interface loop: effEditIdle, then its own events.
void IdleEditor(AEffect* effect, Display* display, EditorResult& result) {
    Dispatch(effect, effEditIdle);
    ++result.idles;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
    }
}

// A click of the HISTORY button (in panel units), idled until the editor has taken it.
void PressStripButton(AEffect* effect, Display* display, Window editor, double scale,
                      EditorResult& result) {
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(display, editor, XDefaultRootWindow(display),
                          static_cast<int>(kStripButtonX * scale),
                          static_cast<int>(kStripButtonY * scale), &x, &y, &child);
    XTestFakeMotionEvent(display, XDefaultScreen(display), x, y, CurrentTime);
    XTestFakeButtonEvent(display, Button1, True, CurrentTime);
    XTestFakeButtonEvent(display, Button1, False, CurrentTime);
    XSync(display, False);
    IdleEditor(effect, display, result);
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void RunEditor(AEffect* effect, const std::atomic<bool>& stop, const EditorOptions& options,
               EditorResult& result) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        result.problem = "no X display (set DISPLAY, or run under xvfb-run)";
        return;
    }
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        result.problem = "the X display has no XTEST extension to drag the knob with";
        XCloseDisplay(display);
        return;
    }
    const int screen = XDefaultScreen(display);
    const auto side = static_cast<unsigned>(kStripPanelSide * options.scale) + 1;
    const Window parent =
        XCreateSimpleWindow(display, XRootWindow(display, screen), 0, 0, side, side, 0,
                            XBlackPixel(display, screen), XBlackPixel(display, screen));
    XMapWindow(display, parent);
    XSync(display, False);
    const double cpuStart = ThreadCpuSeconds();
    const auto wallStart = Clock::now();
    while (!stop.load(std::memory_order_relaxed)) {
        void* handle = reinterpret_cast<void*>(static_cast<uintptr_t>(parent));
        if (Dispatch(effect, effEditOpen, 0, 0, handle) == 0) {
            result.problem = "the editor did not open";
            break;
        }
        ++result.opens;
        const Window editor = EditorWindowIn(display, parent);
        if (editor == 0) {
            result.problem = "the editor opened no window in the host's";
            Dispatch(effect, effEditClose);
            break;
        }
        if (options.strip && result.opens == 1)
            PressStripButton(effect, display, editor, options.scale, result);
        if (options.keepOpen) {
            for (auto next = Clock::now(); !stop.load(std::memory_order_relaxed);) {
                IdleEditor(effect, display, result);
                next += kIdlePeriod;
                std::this_thread::sleep_until(next);
            }
        } else {
            KnobDrag drag(display, editor, options.scale);
            const auto shown = Clock::now();
            auto next = shown;
            while (Clock::now() - shown < kEditorShown && !stop.load(std::memory_order_relaxed)) {
                IdleEditor(effect, display, result);
                drag.Step();
                next += kIdlePeriod;
                std::this_thread::sleep_until(next);
            }
        }
        // The release reaches the editor, which ends the edit, before the window goes.
        XSync(display, False);
        IdleEditor(effect, display, result);
        Dispatch(effect, effEditClose);
    }
    result.cpuSeconds = ThreadCpuSeconds() - cpuStart;
    result.wallSeconds = std::chrono::duration<double>(Clock::now() - wallStart).count();
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
}

// Says which limit the audio calls passed, if any.
bool WithinLimits(const DurationHistogram& durations, std::optional<uint64_t> maxOverlong,
                  std::optional<double> maxP9999) {
    bool within = true;
    if (maxOverlong && durations.Overlong() > *maxOverlong) {
        std::fprintf(stderr, "quelor-stress: %llu audio calls over 1 ms, more than %llu\n",
                     static_cast<unsigned long long>(durations.Overlong()),
                     static_cast<unsigned long long>(*maxOverlong));
        within = false;
    }
    if (maxP9999 && durations.Percentile(0.9999) > *maxP9999) {
        std::fprintf(stderr, "quelor-stress: 99.99th percentile %.2f us, above %.2f us\n",
                     durations.Percentile(0.9999), *maxP9999);
        within = false;
    }
    return within;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Drives a VST 2 module from audio, parameter and editor threads at once and "
                 "reports how long its audio calls take."};
    std::string modulePath = FindModule("Quelor.so");
    double seconds = 60.0;
    int periodUs = 250;
    bool withEditor = true;
    bool withParameters = true;
    EditorOptions editorOptions;
    std::optional<uint64_t> maxOverlong;
    std::optional<double> maxP9999;
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
    app.add_flag("!--no-parameters", withParameters, "Run no parameter thread");
    app.add_option("--scale", editorOptions.scale,
                   "The editor's scale, asked through GDK_SCALE (a desktop's Xft.dpi comes first)")
        ->check(CLI::Range(1.0, 3.0))
        ->capture_default_str();
    app.add_flag("--strip", editorOptions.strip, "Open the editor's history strip");
    app.add_flag("--keep-open", editorOptions.keepOpen,
                 "Keep the editor open the whole run and drag nothing, as while audio plays");
    app.add_option("--max-over-1ms", maxOverlong,
                   "Fail when more audio calls than this took over 1 ms");
    app.add_option("--max-p9999-us", maxP9999,
                   "Fail when the 99.99th percentile of the audio calls is above this")
        ->check(CLI::NonNegativeNumber);
    CLI11_PARSE(app, argc, argv);
    if (modulePath.empty()) {
        std::fprintf(stderr, "quelor-stress: no module found: looked for %s; give --module\n",
                     ModuleSearchText("Quelor.so").c_str());
        return 1;
    }

    if (withEditor)
        XInitThreads();
    if (editorOptions.scale != 1.0)
        setenv("GDK_SCALE", std::to_string(editorOptions.scale).c_str(), 1);
    SharedLibrary module(modulePath);
    // Loaded to the process's end: a sanitizer's report at exit names code only in a
    // module still loaded.
    module.KeepLoaded();
    auto entry = module.FunctionNamed<EntryPoint>("VSTPluginMain");
    AEffect* effect = entry ? entry(&HostCallback) : nullptr;
    if (!effect || effect->magic != kEffectMagic || effect->numParams <= 0 ||
        !effect->processReplacing) {
        std::fprintf(stderr, "quelor-stress: %s is not a usable VST 2 effect%s%s\n",
                     modulePath.c_str(), module.IsOpen() ? "" : ": ", module.Error().c_str());
        return 1;
    }
    Dispatch(effect, effOpen);
    Dispatch(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kSampleRate));
    Dispatch(effect, effSetBlockSize, 0, kBlockFrames);
    Dispatch(effect, effMainsChanged, 0, 1);
    Dispatch(effect, effStartProcess);

    std::atomic<bool> stop{false};
    BlockGate gate;
    AudioResult audio;
    EditorResult editor;
    ParameterResult parameters;
    std::thread audioThread(RunAudio, effect, std::chrono::microseconds(periodUs), std::ref(gate),
                            std::cref(stop), std::ref(audio));
    std::thread parameterThread;
    if (withParameters)
        parameterThread = std::thread([&] { parameters = RunParameters(effect, gate, stop); });
    std::thread editorThread;
    if (withEditor)
        editorThread = std::thread(RunEditor, effect, std::cref(stop), std::cref(editorOptions),
                                   std::ref(editor));
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop.store(true);
    audioThread.join();
    if (parameterThread.joinable())
        parameterThread.join();
    if (editorThread.joinable())
        editorThread.join();

    Dispatch(effect, effStopProcess);
    Dispatch(effect, effMainsChanged, 0, 0);
    Dispatch(effect, effClose);

    const DurationHistogram& d = audio.durations;
    std::printf("audio calls     %llu of up to %d frames, %s, %s priority\n",
                static_cast<unsigned long long>(d.Count()), kBlockFrames,
                periodUs > 0 ? ("one every " + std::to_string(periodUs) + " us").c_str()
                             : "flat out",
                audio.realtime ? "real-time" : "normal");
    std::printf("median          %.2f us\n", d.Percentile(0.5));
    std::printf("99th            %.2f us\n", d.Percentile(0.99));
    std::printf("99.99th         %.2f us\n", d.Percentile(0.9999));
    std::printf("maximum         %.2f us\n", d.Longest());
    std::printf("over 1 ms       %llu\n", static_cast<unsigned long long>(d.Overlong()));
    std::printf("parameter ops   %llu (%llu block sizes, %llu programs)\n",
                static_cast<unsigned long long>(parameters.operations),
                static_cast<unsigned long long>(parameters.blockSizes),
                static_cast<unsigned long long>(parameters.programs));
    if (withEditor) {
        std::printf("editor opens    %llu (%llu idles)\n",
                    static_cast<unsigned long long>(editor.opens),
                    static_cast<unsigned long long>(editor.idles));
        std::printf("editor thread   %.2f %% of one core (scale %.2f, strip %s)\n",
                    editor.wallSeconds > 0.0 ? 100.0 * editor.cpuSeconds / editor.wallSeconds : 0.0,
                    editorOptions.scale, editorOptions.strip ? "open" : "closed");
    }
    std::printf("automations     %llu\n",
                static_cast<unsigned long long>(gAutomations.load(std::memory_order_relaxed)));
    if (!editor.problem.empty()) {
        std::fprintf(stderr, "quelor-stress: %s\n", editor.problem.c_str());
        return 1;
    }
    return WithinLimits(d, maxOverlong, maxP9999) ? 0 : 2;
}
