// The bundle as Debian's LV2 tools see it: validated, listed, described and applied to
// audio, with the result held against quelor-render through the VST 2 module.
#include "AudioFile.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {
constexpr const char* kUri = "urn:brovane:quelor";
const std::string kBundle = QUELOR_LV2_BUNDLE;
// Our folder first, then the system's specifications, which name the plug-in classes.
const std::string kLV2Path = std::string(QUELOR_LV2_PATH) + ":/usr/lib/lv2";

struct Result {
    int status;
    std::string out;
};

// Runs a shell command, stdout and stderr together.
Result Shell(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
    std::string out;
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get()))
        out.append(buffer, n);
    const int raw = pclose(pipe.release());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, out};
}

Result RunWithPath(const std::string& path, const std::string& command) {
    return Shell("LV2_PATH='" + path + "' " + command);
}

// Skips the test where Debian's package of the tool is not installed.
#define NEEDS_TOOL(tool, package)                                                                  \
    if (Shell("command -v " tool).status != 0)                                                     \
    GTEST_SKIP() << tool " is missing: scripts/install-deps installs " package

TEST(LV2Bundle, PassesLv2Validate) {
    NEEDS_TOOL("lv2_validate", "lv2-dev and sordi");
    const Result r = Shell("lv2_validate " + kBundle + "/manifest.ttl " + kBundle + "/Quelor.ttl " +
                           kBundle + "/presets.ttl");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Found 0 errors"), std::string::npos) << r.out;
}

// The system's folder may hold any number of other plug-ins, but not ours.
TEST(LV2Bundle, Lv2lsFindsItThroughLV2PathOnly) {
    NEEDS_TOOL("lv2ls", "lilv-utils");
    EXPECT_EQ(RunWithPath(QUELOR_LV2_PATH, "lv2ls").out, std::string(kUri) + "\n");
    EXPECT_EQ(RunWithPath("/usr/lib/lv2", "lv2ls").out.find(kUri), std::string::npos);
}

TEST(LV2Bundle, Lv2infoListsThePluginItsPortsUIAndPreset) {
    NEEDS_TOOL("lv2info", "lilv-utils");
    const Result r = RunWithPath(kLV2Path, std::string("lv2info ") + kUri);
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char* expected :
         {"Name:              Quelor", "Class:             Compressor Plugin",
          "Author:            Brovane", "Has latency:       no", "Default\n",
          "UIs:\n\t\turn:brovane:quelor#ui\n\t\t\tClass:  http://lv2plug.in/ns/extensions/ui#X11UI",
          "Quelor.lv2/QuelorUI.so\n", "Binary:            file://", "Quelor.lv2/Quelor.so\n"})
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
}

// Two channels of decaying tones and bursts; the seed makes the side-chain differ.
AudioData TwoChannels(uint32_t seed, double level) {
    AudioData audio;
    audio.sampleRate = 48000.0;
    audio.channels.assign(2, std::vector<double>(24000));
    for (std::size_t i = 0; i < 24000; ++i)
        for (std::size_t c = 0; c < 2; ++c) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
            const double t = static_cast<double>(i);
            const double tone = std::sin(t * 0.031 * static_cast<double>(c + 1));
            // Rounded to float, as the file holds it.
            audio.channels[c][i] =
                static_cast<float>(level * (0.6 * tone + 0.4 * noise) *
                                   std::exp(-static_cast<double>(i % 6000) / 1500.0));
        }
    return audio;
}

// lv2apply feeds the file's channels to the audio inputs in order, so the programme and
// the side-chain travel as one four-channel file. Both sides get the same real values: the
// VST 2 side through normalized values a float holds exactly, the LV2 side through the
// symbols.
TEST(LV2Apply, RendersBitForBitAsQuelorRenderDoes) {
#ifdef QUELOR_SANITIZED
    GTEST_SKIP() << "lv2apply is not built with the sanitizers our module needs";
#endif
    NEEDS_TOOL("lv2apply", "lilv-utils");
    char pattern[] = "/tmp/quelor-lv2-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::unique_ptr<char, void (*)(char*)> removed(
        pattern, [](char* dir) { std::filesystem::remove_all(dir); });
    const auto path = [&](const char* name) { return std::string(pattern) + "/" + name; };
    const AudioData programme = TwoChannels(0, 0.9), sideChain = TwoChannels(2, 0.7);
    AudioData all = programme;
    all.channels.insert(all.channels.end(), sideChain.channels.begin(), sideChain.channels.end());
    std::string error;
    for (const auto& [name, audio] :
         {std::pair{"programme.wav", &programme}, {"sidechain.wav", &sideChain}, {"all.wav", &all}})
        ASSERT_TRUE(WriteAudio(path(name), *audio, SF_FORMAT_WAV | SF_FORMAT_FLOAT, &error))
            << error;
    // Threshold -30 dB, ratio 8.25, attack 2.34375 ms, release 117.1875 ms, gain 9.375 dB,
    // brickwall on, stereo maximum, the side-chain driving.
    const Result lv2 = RunWithPath(
        kLV2Path, "lv2apply -i " + path("all.wav") + " -o " + path("lv2.wav") +
                      " -c threshold -30 -c ratio 8.25 -c attack 2.34375 -c release 117.1875 "
                      "-c gain 9.375 -c brickwall 0 -c stereo_mode 1 -c sidechain_input 1 " +
                      kUri);
    ASSERT_EQ(lv2.status, 0) << lv2.out;
    const Result vst =
        Shell(std::string(QUELOR_RENDER_PATH) + " " + path("programme.wav") + " " +
              path("vst.wav") + " --sidechain " + path("sidechain.wav") +
              " --param-normalized 6=0.5 --param-normalized 3=0.5 --param-normalized 0=0.0078125 "
              "--param-normalized 1=0.078125 --param-normalized 7=0.3125 --param Brickwall=On "
              "--param 'Stereo Mode=Maximum' --param 'Sidechain Input=Chn. 3/4'");
    ASSERT_EQ(vst.status, 0) << vst.out;
    AudioData a, b;
    ASSERT_TRUE(ReadAudio(path("lv2.wav"), &a, &error)) << error;
    ASSERT_TRUE(ReadAudio(path("vst.wav"), &b, &error)) << error;
    ASSERT_EQ(a.channels.size(), 2u);
    ASSERT_EQ(b.channels.size(), 2u);
    ASSERT_EQ(a.Frames(), b.Frames());
    double largest = 0.0;
    for (std::size_t c = 0; c < 2; ++c)
        for (std::size_t i = 0; i < a.Frames(); ++i) {
            ASSERT_EQ(a.channels[c][i], b.channels[c][i]) << "channel " << c << " frame " << i;
            largest = std::max(largest, std::fabs(a.channels[c][i]));
        }
    EXPECT_GT(largest, 0.05) << "the comparison must not be of silence";
}

} // namespace
