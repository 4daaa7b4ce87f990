// The module under a host's threads at once: audio on one, parameters, chunks and the
// editor on others. Run on an X server (xvfb-run) so that the editor opens for real.
#include "DemoSignal.h"
#include "PluginModule.h"
#include "Quelor.h"

// gtest before Xlib, whose None and Bool macros break its headers.
#include <gtest/gtest.h>

#include "HostWindow.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr int kBlock = 64;
constexpr int kBlocks = 3000;

// Renders the demo signal's first blocks through a fresh instance on an audio thread of
// its own, while the test's thread opens, idles and closes the editor when asked.
std::vector<float> RenderWhile(bool cycleEditor, int* editorCycles) {
    CheckerHost host;
    PluginInstance plug;
    plug.OpenLikeHost(48000.0f, kBlock);
    for (const auto& [index, value] : {std::pair{Quelor::kThreshold, 0.3f},
                                       {Quelor::kRatio, 0.6f},
                                       {Quelor::kBrickwall, 0.0f},
                                       {Quelor::kGain, 0.4f}})
        plug.Set(index, value);
    const StereoSignal signal = MakeDemoSignal(48000.0, kBlock * kBlocks / 48000.0 + 0.1);
    std::vector<float> rendered(2 * kBlock * kBlocks);
    std::atomic<bool> done{false};
    std::thread audio([&] {
        std::vector<float> in[4];
        for (auto& channel : in)
            channel.resize(kBlock);
        float* inputs[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
        for (int b = 0; b < kBlocks; ++b) {
            for (int i = 0; i < kBlock; ++i) {
                const auto at = static_cast<std::size_t>(b * kBlock + i);
                in[0][static_cast<std::size_t>(i)] = static_cast<float>(signal.left[at]);
                in[1][static_cast<std::size_t>(i)] = static_cast<float>(signal.right[at]);
            }
            float* outputs[2] = {&rendered[static_cast<std::size_t>(2 * b * kBlock)],
                                 &rendered[static_cast<std::size_t>((2 * b + 1) * kBlock)]};
            plug.Record()->processReplacing(plug.Record(), inputs, outputs, kBlock);
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        done = true;
    });
    HostWindow parent;
    *editorCycles = 0;
    while (cycleEditor && parent.Usable() && !done) {
        if (plug.Dispatch(effEditOpen, 0, 0, parent.Handle()) != 1)
            break;
        for (int i = 0; i < 3; ++i) {
            plug.Dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        plug.Dispatch(effEditClose);
        ++*editorCycles;
    }
    audio.join();
    return rendered;
}

} // namespace

TEST(ModuleThreads, AnEditorOpenedAndClosedMeanwhileLeavesTheAudioBitIdentical) {
    int cycles = 0;
    const std::vector<float> alone = RenderWhile(false, &cycles);
    const std::vector<float> withEditor = RenderWhile(true, &cycles);
    ASSERT_GE(cycles, 2) << "the editor must open and close while audio runs (an X display?)";
    ASSERT_EQ(alone.size(), withEditor.size());
    EXPECT_EQ(std::memcmp(alone.data(), withEditor.data(), alone.size() * sizeof(float)), 0);
}

// Two host threads at once, each setting parameters, reading texts and getting and setting
// chunks of each kind, while audio runs.
TEST(ModuleThreads, ParametersTextsAndChunksFromTwoHostThreadsWhileAudioRuns) {
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
