// quelor-render run as a user runs it, on WAV files the tests write.
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
    std::string out, err;
};

std::string Slurp(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// Noise bursts at 44.1 kHz, different per channel; or a 1 kHz sine at 48 kHz.
AudioData Signal(int channels, double sine = 0.0, double seconds = 1.0) {
    AudioData audio;
    audio.sampleRate = sine > 0.0 ? 48000.0 : 44100.0;
    const auto frames = static_cast<std::size_t>(seconds * audio.sampleRate);
    audio.channels.assign(static_cast<std::size_t>(channels), std::vector<double>(frames));
    uint32_t seed = 7;
    for (std::size_t i = 0; i < frames; ++i)
        for (auto& channel : audio.channels) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
            const double t = static_cast<double>(i);
            channel[i] = sine > 0.0
                             ? sine * std::sin(2.0 * std::numbers::pi * t / 48.0)
                             : 0.95 * noise * std::exp(-static_cast<double>(i % 4410) / 400.0);
        }
    return audio;
}

double Rms(const std::vector<double>& v, std::size_t from) {
    double sum = 0.0;
    for (std::size_t i = from; i < v.size(); ++i)
        sum += v[i] * v[i];
    return std::sqrt(sum / static_cast<double>(v.size() - from));
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
        ASSERT_TRUE(WriteAudio(Path(name), audio, SF_FORMAT_WAV | format, &error)) << error;
    }

    AudioData Read(const std::string& name) const {
        AudioData audio;
        std::string error;
        EXPECT_TRUE(ReadAudio(Path(name), &audio, &error)) << error;
        return audio;
    }

    std::string dir;
};

TEST_F(Render, UnitySettingsPassAudioUnchangedInEveryWidthAndContainer) {
    const struct {
        const char *in, *out;
        int channels, format;
        const char* options;
    } cases[] = {{"b.wav", "b-out.wav", 1, SF_FORMAT_DOUBLE, " --double"},
                 {"c.wav", "c-out.aiff", 2, SF_FORMAT_FLOAT, " --block 100"},
                 {"d.wav", "d-out.flac", 2, SF_FORMAT_PCM_16, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        AudioData in = Signal(c.channels);
        Write(c.in, in, c.format);
        in = Read(c.in);
        ASSERT_EQ(Run(Path(c.in) + " " + Path(c.out) + c.options).status, 0);
        const AudioData out = Read(c.out);
        EXPECT_EQ(out.sampleRate, 44100.0);
        EXPECT_EQ(out.format & SF_FORMAT_SUBMASK, c.format);
        EXPECT_EQ(out.channels, in.channels); // bit for bit
    }
    EXPECT_EQ(Read("c-out.aiff").format & SF_FORMAT_TYPEMASK, SF_FORMAT_AIFF);
    EXPECT_EQ(Read("d-out.flac").format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);
}

TEST_F(Render, ThresholdAndRatioReduceASteadySineAsExpected) {
    Write("sine.wav", Signal(2, std::pow(10.0, -6.0 / 20.0), 2.0), SF_FORMAT_FLOAT);
    const Result r = Run(Path("sine.wav") + " " + Path("sine-out.wav") +
                         " --param Threshold=-20 --param Ratio=4");
    ASSERT_EQ(r.status, 0) << r.err;
    const AudioData in = Read("sine.wav");
    const AudioData out = Read("sine-out.wav");
    // 14 dB over the threshold at 4:1 keeps 3.5 dB of it: 10.5 dB less.
    for (std::size_t ch = 0; ch < 2; ++ch)
        EXPECT_NEAR(20.0 * std::log10(Rms(out.channels[ch], 48000) / Rms(in.channels[ch], 48000)),
                    -10.5, 0.05);
    EXPECT_NE(r.out.find("average -10."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("input:   peak   -6.00 dBFS"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos) << "not a terminal: no progress bar";
    ASSERT_EQ(Run(Path("demo.wav") + " --param Gain=9").status, 0) << "the built-in drum loop";
    EXPECT_EQ(Read("demo.wav").Frames(), 4u * 48000u);
}

TEST_F(Render, ChoicesByTextNormalizedValuesAndProgramFilesBothWays) {
    const Result saved = Run("--param 'Stereo Mode=Dual Mono' --param Threshold=-20.5 "
                             "--param Brickwall=on --param-normalized 8=0.5 --save-fxp " +
                             Path("p.fxp"));
    ASSERT_EQ(saved.status, 0) << saved.err;
    const std::string fxp = Slurp(Path("p.fxp"));
    ASSERT_EQ(fxp.size(), 56u + 12u * 4u);
    EXPECT_EQ(fxp.substr(0, 4) + fxp.substr(8, 4) + fxp.substr(16, 4), "CcnKFxCkQlr1");
    EXPECT_EQ(fxp.substr(28, 8), std::string("Default\0", 8));
    const Result loaded = Run("--preset " + Path("p.fxp") + " --info");
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    for (const char* line : {"Stereo Mode          Dual Mono", "Threshold            -20.5",
                             "Brickwall            On", "Mix                  50"})
        EXPECT_NE(loaded.out.find(line), std::string::npos) << line << " in " << loaded.out;

    std::string other = fxp;
    other.replace(16, 4, "Othr");
    std::ofstream(Path("other.fxp"), std::ios::binary) << other;
    std::ofstream(Path("short.fxp"), std::ios::binary) << fxp.substr(0, 70);
    ExpectRefused("--preset " + Path("other.fxp") + " --info", "'Othr'");
    ExpectRefused("--preset " + Path("short.fxp") + " --info", "ends early");
}

TEST_F(Render, BadRequestsAreRefused) {
    Write("in.wav", Signal(2), SF_FORMAT_FLOAT);
    Write("three.wav", Signal(3), SF_FORMAT_FLOAT);
    std::ofstream(Path("text.wav")) << "not audio at all";
    const std::string io = Path("in.wav") + " " + Path("never.wav");
    const std::pair<std::string, std::string> requests[] = {
        {io + " --param Loudness=3", "Attack, Release"},
        {io + " --param Threshold=10", "-60.0 to 0 dB"},
        {io + " --param 'Stereo Mode=Wide'", "\"Average\", \"Maximum\", \"Dual Mono\""},
        {"--param-normalized 12=0.5 --info", "between 0 and 11"},
        {"--param-normalized 6=1.5 --info", "between 0 and 1"},
        {io + " --block 0", "block"},
        {"", "no output file"},
        {io + " --module " + Path("missing.so"), "cannot load"},
        {io + " --module " + std::string(QUELOR_NO_ENTRY_PATH), "VSTPluginMain"},
        {Path("text.wav") + " " + Path("never.wav"), "cannot read"},
        {Path("three.wav") + " " + Path("never.wav"), "3 channels"},
        {Path("in.wav") + " " + Path("never.xyz"), "extension"}};
    for (const auto& [arguments, mentions] : requests)
        ExpectRefused(arguments, mentions);
    EXPECT_FALSE(std::ifstream(Path("never.wav")).good());
}

} // namespace
