// The module under a host's threads at once, on an X server of the test's own so that the
// editor opens for real: audio on one, parameters, chunks and the editor on others. And a
// host that probes, at every call Quelor makes into it, at every window-system call of the
// editor's open, idle and close, and at every allocation of its chunk, block-size and
// event requests, whether the plug-in lock is held: nothing of this may happen under that
// lock, for the audio thread would wait for it.
#include "DemoSignal.h"
#include "LockProbe.h"
#include "PluginModule.h"
#include "Quelor.h"
#include "QuelorEntry.h"
#include "X11HostWindow.h"

#include <X11/extensions/XTest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kBlock = 64;
constexpr int kBlocks = 3000;

// Renders the demo signal's first blocks through a fresh instance on an audio thread of
// its own, while the test's thread opens, idles and closes the editor in parent, if given,
// counting the cycles.
std::vector<float> RenderWhile(void* parent, int& editorCycles) {
    CheckerHost host;
    PluginInstance plug;
    plug.OpenLikeHost(48000.0f, kBlock);
    for (const auto& [index, value] : {std::pair{Quelor::kThreshold, 0.3f},
                                       {Quelor::kRatio, 0.6f},
                                       {Quelor::kBrickwall, 0.0f},
                                       {Quelor::kGain, 0.4f}})
        plug.Set(index, value);
    const StereoSignal signal = MakeDemoSignal(48000.0, kBlock * kBlocks / 48000.0 + 0.1);
    std::vector<float> left(signal.left.begin(), signal.left.end());
    std::vector<float> right(signal.right.begin(), signal.right.end()), silence(kBlock);
    std::vector<float> rendered(2 * kBlock * kBlocks);
    std::atomic<bool> done{false};
    std::thread audio([&] {
        for (std::size_t at = 0; at < kBlock * kBlocks; at += kBlock) {
            float* inputs[4] = {&left[at], &right[at], silence.data(), silence.data()};
            float* outputs[2] = {&rendered[2 * at], &rendered[2 * at + kBlock]};
            plug.Record()->processReplacing(plug.Record(), inputs, outputs, kBlock);
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        done = true;
    });
    for (; parent && !done && plug.Dispatch(effEditOpen, 0, 0, parent) == 1; ++editorCycles) {
        for (int i = 0; i < 3; ++i) {
            plug.Dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        plug.Dispatch(effEditClose);
    }
    audio.join();
    return rendered;
}

// A host's audio thread: processReplacing over four inputs of a constant, block after
// block, with a pause after each where other threads should get to run, until stopped.
class AudioThread {
public:
    explicit AudioThread(const PluginInstance& plug, std::chrono::microseconds pause = {})
        : thread([this, &plug, pause] {
              std::vector<float> in(kBlock, 0.25f), left(kBlock), right(kBlock);
              float* inputs[4] = {in.data(), in.data(), in.data(), in.data()};
              float* outputs[2] = {left.data(), right.data()};
              while (!done) {
                  plug.Record()->processReplacing(plug.Record(), inputs, outputs, kBlock);
                  if (!std::all_of(left.begin(), left.end(),
                                   [](float s) { return std::isfinite(s); }))
                      finite = false;
                  std::this_thread::sleep_for(pause);
              }
          }) {}
    ~AudioThread() { Stop(); }
    AudioThread(const AudioThread&) = delete;
    AudioThread& operator=(const AudioThread&) = delete;
    // Whether every sample written was finite.
    bool Stop() {
        done = true;
        if (thread.joinable())
            thread.join();
        return finite;
    }

private:
    std::atomic<bool> done{false};
    std::atomic<bool> finite{true};
    std::thread thread;
};

// A dispatcher call whose allocations the probe checks.
intptr_t Watched(const PluginInstance& plug, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                 void* ptr = nullptr, float opt = 0.0f) {
    LockProbe::phase = ProbeSite::Allocation;
    LockProbe::opcode = opcode;
    const intptr_t answer = plug.Dispatch(opcode, index, value, ptr, opt);
    LockProbe::phase = ProbeSite::HostCall;
    return answer;
}

// An editor call whose window-system calls the probe checks.
intptr_t InEditor(const PluginInstance& plug, ProbeSite phase, int32_t opcode,
                  void* ptr = nullptr) {
    LockProbe::phase = phase;
    const intptr_t answer = plug.Dispatch(opcode, 0, 0, ptr);
    LockProbe::phase = ProbeSite::HostCall;
    return answer;
}

// The host's requests that allocate: chunks both ways, the program chunk as large as hosts
// may send it (padding behind the values), new block sizes, events back.
void HostRequests(const PluginInstance& plug) {
    for (int32_t index : {0, 1}) {
        uint8_t* data = nullptr;
        const intptr_t size = Watched(plug, effGetChunk, index, 0, &data);
        ASSERT_GT(size, 0);
        std::vector<uint8_t> copy(data, data + size);
        EXPECT_EQ(Watched(plug, effSetChunk, index, size, copy.data()), 1);
        if (index == 1) {
            copy.resize(1 << 20, 0x5A);
            EXPECT_EQ(Watched(plug, effSetChunk, 1, intptr_t{1} << 20, copy.data()), 1);
        }
    }
    for (intptr_t size : {32, 4096, kBlock})
        Watched(plug, effSetBlockSize, 0, size);
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof note;
    std::memcpy(note.midiData, "\x90\x3C\x64", 3);
    VstEvent other{};
    other.type = 6;
    other.byteSize = sizeof other;
    VstEvents events{2, 0, {reinterpret_cast<VstEvent*>(&note), &other}};
    EXPECT_EQ(Watched(plug, effProcessEvents, 0, 0, &events), 1);
}

std::string Describe(const ProbeHit& hit) {
    const char* sites[] = {"host call", "editor open", "editor idle", "editor close", "allocation"};
    return std::string(hit.what) + " (" + sites[static_cast<int>(hit.site)] + ", " +
           std::to_string(hit.detail) + ")";
}

// The host's window, and the user's pointer in the editor inside it.
class ModuleThreads : public X11HostWindowTest {
protected:
    void* Parent() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(hostWindow)); }

    // A drag with the left button, as a user's pointer makes it; the host window sits at
    // the root's origin and the editor at the host window's.
    void Drag(int x, int y, int toY) {
        XTestFakeMotionEvent(dpy, XDefaultScreen(dpy), x, y, CurrentTime);
        XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
        XTestFakeMotionEvent(dpy, XDefaultScreen(dpy), x, toY, CurrentTime);
        XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
        XSync(dpy, False);
    }
};

} // namespace

TEST_F(ModuleThreads, AnEditorOpenedAndClosedMeanwhileLeavesTheAudioBitIdentical) {
    int cycles = 0;
    const std::vector<float> alone = RenderWhile(nullptr, cycles);
    const std::vector<float> withEditor = RenderWhile(Parent(), cycles);
    ASSERT_GE(cycles, 2) << "the editor must open and close while audio runs";
    ASSERT_EQ(alone.size(), withEditor.size());
    EXPECT_EQ(std::memcmp(alone.data(), withEditor.data(), alone.size() * sizeof(float)), 0);
}

// Two host threads at once, each setting parameters, reading texts and getting and setting
// chunks of each kind, while audio runs.
TEST_F(ModuleThreads, ParametersTextsAndChunksFromTwoHostThreadsWhileAudioRuns) {
    CheckerHost host;
    PluginInstance plug;
    plug.OpenLikeHost(44100.0f, kBlock);
    std::vector<uint8_t> chunks[2]; // the bank and the program as the plug-in writes them
    for (int32_t index : {0, 1}) {
        uint8_t* data = nullptr;
        const intptr_t size = plug.Dispatch(effGetChunk, index, 0, &data);
        chunks[index].assign(data, data + size);
    }
    AudioThread audio(plug);
    // The bytes each get lends are the other thread's to overwrite, so they are not read.
    auto hostThread = [&](uint32_t first) {
        char text[256];
        for (uint32_t i = first; i < first + 300; ++i) {
            const auto parameter = static_cast<int32_t>(i % Quelor::kParameterCount);
            plug.Set(parameter, static_cast<float>(i % 101) / 100.0f);
            plug.Get(parameter);
            plug.Dispatch(effGetParamDisplay, parameter, 0, text);
            for (int32_t index : {0, 1}) {
                uint8_t* data = nullptr;
                const auto size = static_cast<intptr_t>(chunks[index].size());
                EXPECT_EQ(plug.Dispatch(effGetChunk, index, 0, &data), size);
                EXPECT_EQ(plug.Dispatch(effSetChunk, index, size, chunks[index].data()), 1);
            }
        }
    };
    std::thread first(hostThread, 0u), second(hostThread, 7u);
    first.join();
    second.join();
    EXPECT_TRUE(audio.Stop()) << "every sample finite";
}

TEST_F(ModuleThreads, NothingThatCanWaitHappensUnderThePluginLock) {
    CheckerHost host;
    host.reaction = [](const HostCall& call) {
        if (LockProbe* probe = LockProbe::Active())
            probe->Check(ProbeSite::HostCall, call.opcode, "audioMaster");
    };
    PluginInstance plug(&QuelorPluginMain);
    std::vector<ProbeHit> hits;
    {
        LockProbe probe(IEffectVST::FromRecord(plug.Record())->Effect().Lock());
        Watched(plug, effOpen);
        Watched(plug, effSetSampleRate, 0, 0, nullptr, 48000.0f);
        Watched(plug, effSetBlockSize, 0, kBlock);
        Watched(plug, effMainsChanged, 0, 1);
        AudioThread audio(plug, std::chrono::microseconds(200));
        for (int cycle = 0; cycle < 2; ++cycle) {
            ASSERT_EQ(InEditor(plug, ProbeSite::EditorOpen, effEditOpen, Parent()), 1);
            // The threshold knob, then the mix knob, dragged up while the host's other
            // requests come in: far apart, so that the second press makes no double click.
            Drag(54, cycle ? 299 : 214, cycle ? 265 : 180);
            for (int idle = 0; idle < 1000 && host.CountOf(audioMasterEndEdit) <= cycle; ++idle) {
                InEditor(plug, ProbeSite::EditorIdle, effEditIdle);
                if (idle == 0)
                    HostRequests(plug);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            EXPECT_EQ(host.CountOf(audioMasterEndEdit), cycle + 1) << "the drag reached the editor";
            InEditor(plug, ProbeSite::EditorIdle, effEditIdle);
            InEditor(plug, ProbeSite::EditorClose, effEditClose);
        }
        audio.Stop();
        hits = probe.Hits();
    }

    std::set<int32_t> hostCalls, allocating;
    std::set<ProbeSite> sites;
    for (const ProbeHit& hit : hits) {
        EXPECT_FALSE(hit.held) << Describe(hit) << " under the plug-in lock";
        sites.insert(hit.site);
        if (hit.site == ProbeSite::HostCall)
            hostCalls.insert(hit.detail);
        if (hit.site == ProbeSite::Allocation)
            allocating.insert(hit.detail);
    }
    // Every call Quelor makes into a host, and every kind of site, was seen.
    EXPECT_EQ(hostCalls,
              (std::set<int32_t>{audioMasterAutomate, audioMasterProcessEvents,
                                 audioMasterGetProductString, audioMasterGetVendorVersion,
                                 audioMasterBeginEdit, audioMasterEndEdit}));
    for (ProbeSite site : {ProbeSite::EditorOpen, ProbeSite::EditorIdle, ProbeSite::EditorClose})
        EXPECT_TRUE(sites.count(site))
            << "no window call seen in editor phase " << static_cast<int>(site);
    // The sanitizers' runtimes own malloc: there allocations are not watched.
    for (int32_t opcode : {effSetBlockSize, effGetChunk, effSetChunk})
        EXPECT_TRUE(!QUELOR_ALLOCATIONS_WATCHED || allocating.count(opcode))
            << "no allocation seen in opcode " << opcode;
}
