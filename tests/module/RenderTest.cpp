// quelor-render run as a user runs it, on WAV files the tests write: it must
// leave audio alone at unity, compress by the amount the settings ask, and
// refuse bad requests with one clear line and a failing exit status.
#include "AudioFile.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

std::string Slurp(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class Render : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quelor-render-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf " + dir).c_str()); }

    std::string Path(const std::string& name) const { return dir + "/" + name; }

    Result Run(const std::string& arguments) const {
        const std::string command = std::string(QUELOR_RENDER_PATH) + " " + arguments + " > " +
                                    Path("stdout") + " 2> " + Path("stderr");
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(Path("stdout")),
                Slurp(Path("stderr"))};
    }

    // A refusal: failing status, nothing on stdout, one line on stderr that says why.
    void ExpectRefused(const std::string& arguments, const std::string& mentions) const {
        const Result r = Run(arguments);
        EXPECT_NE(r.status, 0) << arguments;
        EXPECT_EQ(r.err.rfind("quelor-render: error: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(mentions), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }

    void Write(const std::string& name, const AudioData& audio, int format) const {
        std::string error;
        ASSERT_TRUE(WriteAudio(Path(name), audio, format, &error)) << error;
    }

    AudioData Read(const std::string& name) const {
        AudioData audio;
        std::string error;
        EXPECT_TRUE(ReadAudio(Path(name), &audio, &error)) << error;
        return audio;
    }

    std::string dir;
};

AudioData Sine(double amplitude, double seconds, int channels, double rate = 48000.0) {
    AudioData audio;
    audio.sampleRate = rate;
    const auto frames = static_cast<std::size_t>(seconds * rate);
    audio.channels.assign(static_cast<std::size_t>(channels), std::vector<double>(frames));
    for (std::size_t i = 0; i < frames; ++i)
        for (auto& channel : audio.channels)
            channel[i] = amplitude *
                         std::sin(2.0 * std::numbers::pi * 1000.0 * static_cast<double>(i) / rate);
    return audio;
}

// Uneven material: a decaying noise burst every 100 ms, different per channel.
AudioData Bursts(int channels) {
    AudioData audio;
    audio.sampleRate = 44100.0;
    audio.channels.assign(static_cast<std::size_t>(channels), std::vector<double>(44100));
    uint32_t seed = 7;
    for (std::size_t i = 0; i < 44100; ++i)
        for (auto& channel : audio.channels) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
            channel[i] = 0.95 * noise * std::exp(-static_cast<double>(i % 4410) / 400.0);
        }
    return audio;
}

double Rms(const std::vector<double>& v, std::size_t from) {
    double sum = 0.0;
    for (std::size_t i = from; i < v.size(); ++i)
        sum += v[i] * v[i];
    return std::sqrt(sum / static_cast<double>(v.size() - from));
}

TEST_F(Render, UnitySettingsPassAudioUnchanged) {
    const AudioData in = Bursts(2);
    Write("in64.wav", in, SF_FORMAT_WAV | SF_FORMAT_DOUBLE);
    ASSERT_EQ(Run(Path("in64.wav") + " " + Path("out64.wav") + " --double").status, 0);
    const AudioData out64 = Read("out64.wav");
    EXPECT_EQ(out64.sampleRate, 44100.0);
    EXPECT_EQ(out64.format, SF_FORMAT_WAV | SF_FORMAT_DOUBLE);
    EXPECT_EQ(out64.channels, in.channels); // bit for bit

    AudioData in32 = in;
    for (auto& channel : in32.channels)
        for (double& v : channel)
            v = static_cast<float>(v);
    Write("in32.wav", in32, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ASSERT_EQ(Run(Path("in32.wav") + " " + Path("out32.wav") + " --block 100").status, 0);
    EXPECT_EQ(Read("out32.wav").channels, in32.channels);
}

TEST_F(Render, AMonoFileIsOneInputAndOneOutput) {
    AudioData in = Bursts(1);
    Write("mono.wav", in, SF_FORMAT_WAV | SF_FORMAT_DOUBLE);
    ASSERT_EQ(Run(Path("mono.wav") + " " + Path("mono-out.wav") + " --double").status, 0);
    EXPECT_EQ(Read("mono-out.wav").channels, in.channels);
}

TEST_F(Render, ThresholdAndRatioReduceASteadySineAsExpected) {
    const double amplitude = std::pow(10.0, -6.0 / 20.0);
    Write("sine.wav", Sine(amplitude, 2.0, 2), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const Result r = Run(Path("sine.wav") + " " + Path("sine-out.wav") +
                         " --param Threshold=-20 --param Ratio=4");
    ASSERT_EQ(r.status, 0) << r.err;
    const AudioData in = Read("sine.wav");
    const AudioData out = Read("sine-out.wav");
    // 14 dB over the threshold at 4:1 keeps 3.5 dB of it: 10.5 dB less.
    for (std::size_t ch = 0; ch < 2; ++ch) {
        const double change =
            20.0 * std::log10(Rms(out.channels[ch], 48000) / Rms(in.channels[ch], 48000));
        EXPECT_NEAR(change, -10.5, 0.05);
    }
    EXPECT_NE(r.out.find("average -10."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("input:   peak   -6.00 dBFS"), std::string::npos) << r.out;
    // Not a terminal: no progress bar.
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
}

TEST_F(Render, ASideChainDrivesTheReduction) {
    Write("quiet.wav", Sine(0.05, 1.0, 2), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    Write("key.wav", Sine(0.9, 1.0, 1), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const std::string files = Path("quiet.wav") + " " + Path("keyed.wav");
    ASSERT_EQ(Run(files + " --sidechain " + Path("key.wav") +
                  " --param 'Sidechain Input=Chn. 3/4' --param Threshold=-20")
                  .status,
              0);
    const AudioData in = Read("quiet.wav");
    EXPECT_LT(Rms(Read("keyed.wav").channels[1], 24000), 0.5 * Rms(in.channels[1], 24000));
    // The same side-chain, not selected, changes nothing.
    ASSERT_EQ(Run(files + " --sidechain " + Path("key.wav") + " --param Threshold=-20").status, 0);
    EXPECT_EQ(Read("keyed.wav").channels, in.channels);
}

TEST_F(Render, OtherContainersFromTheExtension) {
    const AudioData in = Bursts(2);
    Write("in.wav", in, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    for (const char* name : {"out.flac", "out.aiff", "out.wav"}) {
        ASSERT_EQ(Run(Path("in.wav") + " " + Path(name)).status, 0) << name;
        const AudioData out = Read(name);
        EXPECT_EQ(out.Frames(), in.Frames()) << name;
        EXPECT_EQ(out.channels.size(), 2u);
    }
    EXPECT_EQ(Read("out.flac").format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);
    EXPECT_EQ(Read("out.aiff").format & SF_FORMAT_TYPEMASK, SF_FORMAT_AIFF);
}

TEST_F(Render, TheBuiltInSignalNeedsNoInputFile) {
    const Result r = Run(Path("demo.wav") + " --param Threshold=-24 --param Gain=9");
    ASSERT_EQ(r.status, 0) << r.err;
    const AudioData out = Read("demo.wav");
    EXPECT_EQ(out.channels.size(), 2u);
    EXPECT_EQ(out.Frames(), 4u * 48000u);
    EXPECT_NE(r.out.find("gain change: largest"), std::string::npos);
    EXPECT_NE(r.out.find("real time"), std::string::npos);
}

TEST_F(Render, ChoicesByTextAndProgramFilesBothWays) {
    const Result saved = Run("--param 'Stereo Mode=Dual Mono' --param Threshold=-20.5 "
                             "--param Brickwall=on --save-fxp " +
                             Path("p.fxp"));
    ASSERT_EQ(saved.status, 0) << saved.err;
    const std::string fxp = Slurp(Path("p.fxp"));
    ASSERT_EQ(fxp.size(), 56u + 12u * 4u);
    EXPECT_EQ(fxp.substr(0, 4), "CcnK");
    EXPECT_EQ(fxp.substr(8, 4), "FxCk");
    EXPECT_EQ(fxp.substr(16, 4), "Qlr1");
    EXPECT_EQ(fxp.substr(28, 8), std::string("Default\0", 8));

    const Result loaded = Run("--preset " + Path("p.fxp") + " --info");
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_NE(loaded.out.find("Stereo Mode          Dual Mono"), std::string::npos) << loaded.out;
    EXPECT_NE(loaded.out.find("Threshold            -20.5"), std::string::npos);
    EXPECT_NE(loaded.out.find("Brickwall            On"), std::string::npos);
    EXPECT_NE(loaded.out.find("flags:       0x1018"), std::string::npos);

    std::ofstream(Path("bad.fxp")) << "CcnK but nothing else";
    ExpectRefused("--preset " + Path("bad.fxp") + " --info", "not a program file");
    std::string other = fxp;
    other.replace(16, 4, "Othr");
    std::ofstream(Path("other.fxp"), std::ios::binary) << other;
    ExpectRefused("--preset " + Path("other.fxp") + " --info", "'Othr'");
    std::ofstream(Path("short.fxp"), std::ios::binary) << fxp.substr(0, 70);
    ExpectRefused("--preset " + Path("short.fxp") + " --info", "ends early");
}

TEST_F(Render, RawNormalizedValues) {
    const Result r = Run("--param-normalized 6=0.5 --info");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Threshold            -30.0"), std::string::npos) << r.out;
    ExpectRefused("--param-normalized 12=0.5 --info", "between 0 and 11");
    ExpectRefused("--param-normalized 6=1.5 --info", "between 0 and 1");
    ExpectRefused("--param-normalized 6 --info", "INDEX=X");
}

TEST_F(Render, BadRequestsAreRefused) {
    Write("in.wav", Bursts(2), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const std::string io = Path("in.wav") + " " + Path("never.wav");
    ExpectRefused(io + " --param Loudness=3", "Attack, Release");
    ExpectRefused(io + " --param Threshold=10", "-60.0 to 0 dB");
    ExpectRefused(io + " --param Threshold=loud", "not a number");
    ExpectRefused(io + " --param 'Stereo Mode=Wide'", "\"Average\", \"Maximum\", \"Dual Mono\"");
    ExpectRefused(io + " --param Threshold", "NAME=VALUE");
    ExpectRefused(io + " --block 0", "block");
    ExpectRefused(io + " --frobnicate", "frobnicate");
    ExpectRefused("", "no output file");
    ExpectRefused(io + " --module " + Path("missing.so"), "cannot load");
    ExpectRefused(io + " --module " + std::string(QUELOR_NO_ENTRY_PATH), "VSTPluginMain");
    ExpectRefused(Path("absent.wav") + " " + Path("never.wav"), "cannot read");
    std::ofstream(Path("text.wav")) << "not audio at all";
    ExpectRefused(Path("text.wav") + " " + Path("never.wav"), "cannot read");
    Write("three.wav", Bursts(3), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ExpectRefused(Path("three.wav") + " " + Path("never.wav"), "3 channels");
    ExpectRefused(io + " --sidechain " + Path("three.wav"), "3 channels");
    ExpectRefused(Path("in.wav") + " " + Path("never.xyz"), "extension");
    EXPECT_FALSE(std::ifstream(Path("never.wav")).good());
}

} // namespace
