// quelor-render run as a user runs it, on WAV files the tests write.
#include "AudioFile.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include "raster/RAS_PNG.h"

#include <atomic>
#include <bit>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

    // before goes ahead of the tool on the shell's line: a pipe into it, a change of folder.
    Result Run(const std::string& arguments, const std::string& before = "") const {
        const std::string command = before + QUELOR_RENDER_PATH + " " + arguments + " > " +
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

    // Parameter index's normalized value as a program file written by --save-fxp holds it.
    double SavedValue(const std::string& settings, int index) const {
        const Result r = Run(settings + " --save-fxp " + Path("p.fxp"));
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string fxp = Slurp(Path("p.fxp"));
        uint32_t bits = 0;
        for (int i = 0; i < 4; ++i)
            bits = bits << 8 |
                   static_cast<unsigned char>(fxp.at(static_cast<std::size_t>(56 + 4 * index + i)));
        return static_cast<double>(std::bit_cast<float>(bits));
    }

    // What python3 prints for expression e over the JSON file as d; files names several,
    // split by spaces, as the list ds (python starts slowly: one run for many files).
    std::string FromJson(const std::string& files, const std::string& e) const {
        std::ofstream(Path("q.py")) << "import json, sys\nds = [json.load(open(f)) for f in "
                                       "sys.argv[1:]]\nd = ds[0]\nprint("
                                    << e << ")\n";
        std::string command = "python3 " + Path("q.py");
        std::istringstream names(files);
        for (std::string name; names >> name;)
            command.append(" ").append(Path(name));
        command += " > " + Path("py");
        EXPECT_EQ(std::system(command.c_str()), 0) << e;
        return Slurp(Path("py"));
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
    ASSERT_EQ(Run("--demo " + Path("demo.wav") + " --param Gain=9").status, 0)
        << "the built-in drum loop";
    EXPECT_EQ(Read("demo.wav").Frames(), 4u * 48000u);
}

// Loud then quiet: the cut in the first half and the make-up gain in the second both show,
// in the summary, the JSON and a batch's table.
TEST_F(Render, GainChangeShowsTheLargestCutAndTheLargestBoost) {
    AudioData audio = Signal(2, std::pow(10.0, -6.0 / 20.0), 5.0);
    const AudioData quiet = Signal(2, std::pow(10.0, -30.0 / 20.0), 5.0);
    for (std::size_t ch = 0; ch < 2; ++ch)
        audio.channels[ch].insert(audio.channels[ch].end(), quiet.channels[ch].begin(),
                                  quiet.channels[ch].end());
    Write("in.wav", audio, SF_FORMAT_FLOAT);
    const std::string settings = " --param Threshold=-20 --param Ratio=4 --param Gain=6";
    const Result r =
        Run(Path("in.wav") + " " + Path("out.wav") + settings + " --json " + Path("s.json"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("gain change (output minus input level, make-up gain included): largest "
                         "cut -4.5"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(", largest boost +6.00 dB, average +0."), std::string::npos) << r.out;
    EXPECT_EQ(FromJson("s.json", "'%.1f %.2f %.2f' % tuple(d['gain_change'][k] for k in "
                                 "('largest_cut_db', 'largest_boost_db', 'largest_db'))"),
              "-4.5 6.00 6.00\n");
    const Result batch = Run("-o " + Path("batch") + " " + Path("in.wav") + settings);
    ASSERT_EQ(batch.status, 0) << batch.err;
    EXPECT_NE(batch.out.find("    -4.5"), std::string::npos) << batch.out;
    EXPECT_NE(batch.out.find("   +6.00    +0."), std::string::npos) << batch.out;
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
        {"", "no files given"},
        {io + " --module " + Path("missing.so"), "cannot load"},
        {io + " --module " + std::string(QUELOR_NO_ENTRY_PATH), "VSTPluginMain"},
        {Path("text.wav") + " " + Path("never.wav"), "cannot read"},
        {Path("three.wav") + " " + Path("never.wav"), "3 channels"},
        {Path("in.wav") + " " + Path("never.xyz"), "extension"}};
    for (const auto& [arguments, mentions] : requests)
        ExpectRefused(arguments, mentions);
    EXPECT_FALSE(std::ifstream(Path("never.wav")).good());
}

TEST_F(Render, WholeNumberSettingsTakeTheValueTheyName) {
    Write("in.wav", Signal(2), SF_FORMAT_FLOAT);
    const std::string in = Path("in.wav") + " ";
    ASSERT_EQ(Run(in + Path("text.wav") + " --param Attack=0 --param Release=20").status, 0);
    ASSERT_EQ(Run(in + Path("raw.wav") + " --param-normalized 0=0 --param Release=20").status, 0);
    EXPECT_EQ(Read("text.wav").channels, Read("raw.wav").channels);
    // The lowest value that shows the text: Mix 0..100 %, Hold 0..30 ms, Release 2 0..1500 ms.
    EXPECT_EQ(SavedValue("--param Mix=50", 8) * 100.0, 50.0);
    const double hold = SavedValue("--param Hold=5", 2);
    EXPECT_GE(hold * 30.0, 5.0);
    EXPECT_LT(hold * 30.0, 5.0 + 1e-5);
    EXPECT_NEAR(SavedValue("--param 'Release 2=1499'", 9) * 1500.0, 1499.0, 1e-3);
    // A display that rounds keeps its own number in the middle: -20.0 dB is -20.0 dB.
    EXPECT_NEAR(SavedValue("--param Threshold=-20", 6) * 60.0 - 60.0, -20.0, 1e-4);
    const Result info = Run("--param Mix=50 --info");
    EXPECT_NE(info.out.find("Mix                  50           (0 .. 100) %  normalized 0.5\n"),
              std::string::npos)
        << info.out;
}

TEST_F(Render, SideChainFileAndSwitchGoTogether) {
    Write("quiet.wav", Signal(2, 0.03, 1.0), SF_FORMAT_FLOAT); // -30 dBFS
    Write("loud.wav", Signal(1, 0.5, 1.0), SF_FORMAT_FLOAT);   // -6 dBFS, mono
    Write("other-rate.wav", Signal(1), SF_FORMAT_FLOAT);       // 44.1 kHz
    const std::string io =
        Path("quiet.wav") + " " + Path("out.wav") + " --param Threshold=-20 --param Ratio=10";
    const double quiet = Rms(Read("quiet.wav").channels[0], 24000);
    auto change = [&] {
        return 20.0 * std::log10(Rms(Read("out.wav").channels[0], 24000) / quiet);
    };

    Result r = Run(io + " --sidechain " + Path("loud.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "a recognised switch is selected, not warned about";
    EXPECT_LT(change(), -10.0);

    r = Run(io + " --sidechain " + Path("loud.wav") + " --param 'Sidechain Input=Chn. 1/2'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: --sidechain"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--param 'Sidechain Input=Chn. 3/4'"), std::string::npos) << r.err;
    EXPECT_NEAR(change(), 0.0, 0.01);

    r = Run(io + " --param 'Sidechain Input=Chn. 3/4'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: Sidechain Input is \"Chn. 3/4\" but no --sidechain file"),
              std::string::npos)
        << r.err;
    ExpectRefused(io + " --sidechain " + Path("other-rate.wav"), "44100 Hz");
}

// --rate resamples: a 1 kHz sine at 48 kHz comes out a 1 kHz sine at 44.1 kHz and as long,
// the same whatever the blocks, threads and samples; a side-chain at another rate too.
TEST_F(Render, RateResamplesTheInputAndTheSideChain) {
    Write("in.wav", Signal(2, 0.5, 2.0), SF_FORMAT_FLOAT);
    const std::string io = Path("in.wav") + " " + Path("out.wav") + " --rate 44100";
    std::vector<std::vector<double>> first;
    for (const std::string options : {" --block 512 --jobs 1", " --block 100 --jobs 2",
                                      " --block 4099 --jobs 2", " --double --block 333"}) {
        SCOPED_TRACE(options);
        const Result r = Run(io + options + " --json " + Path("s.json"));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("resampled to 44100 Hz (libsoxr): the input from 48000 Hz; "),
                  std::string::npos)
            << r.out;
        const AudioData out = Read("out.wav");
        EXPECT_EQ(out.sampleRate, 44100.0);
        ASSERT_EQ(out.Frames(), 88200u);
        if (first.empty())
            first = out.channels;
        EXPECT_EQ(out.channels, first);
    }
    // Away from the ends, where the sine starts and stops, it is the sine at the new rate.
    double worst = 0.0;
    for (std::size_t i = 4410; i < 88200 - 4410; ++i)
        worst =
            std::max(worst, std::fabs(first[1][i] - 0.5 * std::sin(2.0 * std::numbers::pi *
                                                                   static_cast<double>(i) / 44.1)));
    EXPECT_LT(worst, 1e-6);

    Write("side.wav", Signal(1), SF_FORMAT_FLOAT); // 1 s at 44.1 kHz
    const Result side = Run(Path("in.wav") + " " + Path("side-out.wav") + " --rate 48000 " +
                            "--sidechain " + Path("side.wav") + " --json " + Path("side.json"));
    ASSERT_EQ(side.status, 0) << side.err;
    EXPECT_NE(side.err.find("ends after 1.00 s, " + Path("in.wav") + " after 2.00 s"),
              std::string::npos)
        << side.err;
    EXPECT_NE(side.out.find("resampled to 48000 Hz (libsoxr): the side-chain from 44100 Hz\n"),
              std::string::npos)
        << side.out;
    EXPECT_EQ(FromJson("s.json side.json", "*(f[k] for f in ds for k in ('resampled_from_hz', "
                                           "'sidechain_resampled_from_hz'))"),
              "48000 None None 44100\n");
}

TEST_F(Render, OutputFormatsComeFromTheExtensionOrAreNamed) {
    const AudioData source = Signal(2, 0.5, 0.5);
    Write("in.wav", source, SF_FORMAT_PCM_16);
    const AudioData in = Read("in.wav");
    const struct {
        const char* out;
        const char* options;
        int format;
        bool lossless;
    } cases[] = {{"o.flac", "", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, true},
                 {"o.aiff", "", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, true},
                 {"o.ogg", "", SF_FORMAT_OGG | SF_FORMAT_VORBIS, false},
                 {"o.audio", " --format flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, true},
                 {"o.wav", " --subtype pcm24", SF_FORMAT_WAV | SF_FORMAT_PCM_24, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        const Result r = Run(Path("in.wav") + " " + Path(c.out) + c.options);
        ASSERT_EQ(r.status, 0) << r.err;
        const AudioData out = Read(c.out);
        EXPECT_EQ(out.format, c.format);
        ASSERT_EQ(out.Frames(), in.Frames());
        if (c.lossless)
            EXPECT_EQ(out.channels, in.channels);
        else
            EXPECT_NEAR(Rms(out.channels[1], 0) / Rms(in.channels[1], 0), 1.0, 0.05);
    }
    const std::string io = Path("in.wav") + " " + Path("never.wav");
    ExpectRefused(io + " --format mod", "unknown output format \"mod\"");
    ExpectRefused(io + " --subtype pcm12", "pcm16, pcm24");
    ExpectRefused(io + " --subtype vorbis", "cannot write 2 channels at 48000 Hz");
    EXPECT_FALSE(std::filesystem::exists(Path("never.wav")));
}

// Integer outputs: a -100 dBFS sine (a third of a 16-bit step) is rounded away without
// dither and kept with it, the dither alike at any --jobs and --block; 24-bit samples are
// the float render's rounded, and those clipped are counted.
TEST_F(Render, IntegerOutputsAreRoundedOrDitheredAndTheirClippingIsCounted) {
    Write("quiet.wav", Signal(2, 1e-5, 3.0), SF_FORMAT_FLOAT);
    const std::pair<std::string, std::string> renders[] = {
        {"plain", " --no-dither"}, {"one", " --jobs 1 --block 100"}, {"two", " --jobs 2"}};
    for (const auto& [name, options] : renders)
        ASSERT_EQ(Run(Path("quiet.wav") + " " + Path(name + ".wav") + " --subtype pcm16 --json " +
                      Path(name + ".json") + options)
                      .status,
                  0);
    const AudioData plain = Read("plain.wav"), one = Read("one.wav");
    EXPECT_EQ(plain.channels, std::vector(2, std::vector(144000, 0.0)));
    EXPECT_NE(one.channels, plain.channels);
    EXPECT_EQ(one.channels, Read("two.wav").channels);
    EXPECT_EQ(FromJson("plain.json one.json", "d['dither'], ds[1]['dither'], d['output_encoding']"),
              "none tpdf Signed 16 bit PCM\n");

    Write("loud.wav", Signal(2, std::pow(10.0, -0.9 / 20.0)), SF_FORMAT_FLOAT);
    const std::string loud = Path("loud.wav") + " --param Gain=20 ";
    ASSERT_EQ(Run(loud + Path("float.wav")).status, 0);
    const Result r = Run(loud + Path("int.wav") + " --subtype pcm24 --json " + Path("c.json"));
    ASSERT_EQ(r.status, 0) << r.err;
    const AudioData stream = Read("float.wav"), written = Read("int.wav");
    uint64_t clipped = 0;
    for (std::size_t ch = 0; ch < 2; ++ch)
        for (std::size_t i = 0; i < stream.Frames(); ++i) {
            const double step = std::rint(stream.channels[ch][i] * 0x1p23);
            clipped += step > 0x1p23 - 1 || step < -0x1p23;
            ASSERT_EQ(written.channels[ch][i] * 0x1p23, std::clamp(step, -0x1p23, 0x1p23 - 1));
        }
    EXPECT_NE(r.out.find("output:  peak    0.00 dBFS"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("dBFS   (before clipping +19.10)\n"), std::string::npos) << r.out;
    EXPECT_EQ(FromJson("c.json", "d['clipped_samples'], d['warnings'][0].split(':')[0]"),
              std::to_string(clipped) + " " + std::to_string(clipped) + " samples clipped\n");
}

// A lossy source is written as the best lossless encoding where the container takes none
// of its codec; every tag goes where the container holds tags; the encoders' quality is set.
TEST_F(Render, LossySourcesTagsAndEncoderQuality) {
    SF_INFO mp3{0, 44100, 1, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 0, 0};
    if (!sf_format_check(&mp3))
        GTEST_SKIP() << "the installed libsndfile cannot write MP3";
    const AudioTags tags = {{SF_STR_TITLE, "A title"}, {SF_STR_ARTIST, "Someone"}};
    const std::vector<double> source = Signal(1).channels[0];
    std::string error;
    const auto writer = AudioWriter::Open(Path("in.flac"), {SF_FORMAT_FLAC, SF_FORMAT_PCM_24}, 1,
                                          44100.0, 0, -1, &error);
    ASSERT_NE(writer, nullptr) << error;
    writer->SetTags(tags);
    ASSERT_TRUE(writer->Write(source.data(), source.size(), &error) && writer->Close(&error));
    const struct {
        const char *in, *out;
        int format;
    } cases[] = {{"in.flac", "in.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
                 {"in.flac", "in.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                 {"in.mp3", "a.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
                 {"in.mp3", "b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
                 {"in.ogg", "c.aiff", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
                 {"in.flac", "e.au", SF_FORMAT_AU | SF_FORMAT_PCM_24}}; // no tags there
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        const Result r = Run(Path(c.in) + " " + Path(c.out));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("written: " + EncodingName(c.format)), std::string::npos) << r.out;
        const auto reader = AudioReader::Open(Path(c.out), &error);
        ASSERT_NE(reader, nullptr) << error;
        EXPECT_EQ(reader->Format(), c.format);
        EXPECT_EQ(reader->Tags(),
                  (c.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_AU ? AudioTags{} : tags);
    }
    std::vector<std::uintmax_t> sizes;
    for (const std::string quality : {" --quality 0", " --quality 5.5", " --quality 10", ""}) {
        ASSERT_EQ(Run(Path("in.flac") + " " + Path("q.ogg") + " --json " + Path("q.json") + quality)
                      .status,
                  0);
        sizes.push_back(std::filesystem::file_size(Path("q.ogg")));
    }
    EXPECT_LT(sizes[0], sizes[1]);
    EXPECT_LT(sizes[1], sizes[2]);
    EXPECT_EQ(sizes[3], sizes[1]) << "the default";
    EXPECT_EQ(FromJson("q.json", "d['output_quality']"), "5.5\n");
}

// Samples that are not finite are heard as silence and counted; silence reads -inf, null in
// the JSON as for loudness.
TEST_F(Render, NonFiniteInputIsCountedAndSilenceIsMinusInfinity) {
    AudioData odd = Signal(2, 0.5);
    odd.channels[0][10] = std::nan("");
    odd.channels[1][20] = HUGE_VAL;
    odd.channels[0][30] = -HUGE_VAL;
    Write("odd.wav", odd, SF_FORMAT_FLOAT);
    Result r = Run(Path("odd.wav") + " " + Path("o.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: 3 samples of " + Path("odd.wav") + " not finite"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.find("nan"), std::string::npos) << r.out;
    std::fill(odd.channels[0].begin(), odd.channels[0].end(), 0.0);
    odd.channels[1] = odd.channels[0];
    Write("silence.wav", odd, SF_FORMAT_PCM_16);
    r = Run(Path("silence.wav") + " " + Path("o.wav") + " --json " + Path("s.json"));
    EXPECT_NE(r.out.find("input:   peak    -inf dBFS   RMS    -inf dBFS"), std::string::npos)
        << r.out;
    EXPECT_EQ(FromJson("s.json", "d['input_levels'], d['output_levels']['peak_dbfs']"),
              "{'peak_dbfs': None, 'rms_dbfs': None} None\n");
}

TEST_F(Render, PipeInputRendersAsTheFileDoes) {
    Write("in.wav", Signal(2), SF_FORMAT_FLOAT);
    const std::string settings = " --param Threshold=-30 --param Attack=0";
    ASSERT_EQ(Run(Path("in.wav") + " " + Path("file.wav") + settings).status, 0);
    const Result r = Run("- " + Path("pipe.wav") + settings, "cat " + Path("in.wav") + " | ");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Read("pipe.wav").channels, Read("file.wav").channels);
}

TEST_F(Render, BatchRendersEveryReadableFileAndReportsTheRest) {
    Write("a.wav", Signal(2), SF_FORMAT_FLOAT);
    Write("b.wav", Signal(1, 0.4), SF_FORMAT_PCM_24);
    std::ofstream(Path("bad.wav")) << "not audio at all";
    std::string error;
    ASSERT_TRUE(WriteAudio(Path("c.flac"), Signal(2, 0.2), SF_FORMAT_PCM_16, &error)) << error;
    const std::string settings = " --param Threshold=-30 --param Ratio=5";
    const Result r = Run("-o " + Path("out") + " --jobs 2 " + Path("a.wav") + " " +
                         Path("bad.wav") + " " + Path("b.wav") + " " + Path("c.flac") + settings);
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '['), 4) << r.out;
    EXPECT_NE(r.out.find("3 of 4 rendered, 1 failed"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos) << "not a terminal: no progress bar";
    EXPECT_NE(r.err.find("bad.wav: cannot read audio file"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(Path("out/bad.wav")));
    // Each worker's instance renders exactly as a single render does.
    for (const std::string name : {"a.wav", "b.wav", "c.flac"}) {
        ASSERT_EQ(Run(Path(name) + " " + Path("single-" + name) + settings).status, 0);
        EXPECT_EQ(Read("out/" + name).channels, Read("single-" + name).channels) << name;
    }
}

TEST_F(Render, JsonAndPictureDescribeTheRender) {
    Write("in.wav", Signal(2), SF_FORMAT_FLOAT);
    const Result r = Run(Path("in.wav") + " " + Path("out.wav") + " --param Threshold=-30 --json " +
                         Path("s.json") + " --plot " + Path("p.png"));
    ASSERT_EQ(r.status, 0) << r.err;
    // The printed lines, made again from the JSON figures.
    const std::string lines = FromJson(
        "s.json", "'input:   peak %7.2f dBFS   RMS %7.2f dBFS' % (d['input_levels']['peak_dbfs'], "
                  "d['input_levels']['rms_dbfs']), "
                  "'loudness out: %6.1f LUFS   range %5.1f LU   true peak %6.1f dBTP' % "
                  "tuple(d['output_loudness'][k] for k in ('integrated_lufs', 'range_lu', "
                  "'true_peak_dbtp')), "
                  "'loudness change: %+.1f LU' % d['loudness_change_lu'], "
                  "'largest cut %+.2f dB' % d['gain_change']['largest_cut_db'], "
                  "'average %+.2f dB' % d['gain_change']['average_db'], "
                  "'%.1fx real time' % d['realtime_factor'], sep='\\n'");
    std::istringstream each(lines);
    int count = 0;
    for (std::string line; std::getline(each, line); ++count)
        EXPECT_NE(r.out.find(line), std::string::npos) << line << " in " << r.out;
    EXPECT_EQ(count, 6);
    EXPECT_EQ(FromJson("s.json", "d['settings']['Threshold']"), "-30.0 dB\n");
    const std::unique_ptr<RAS_IBitmap> picture(RAS_DecodePNGFile(Path("p.png").c_str(), nullptr));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->PixelWidth(), 1200);
    EXPECT_EQ(picture->PixelHeight(), 640);
}

// The EBU's stereo sine is -23 LUFS; in a mono file the same sine is 3 dB less as one
// channel (ITU-R BS.1770), or as loud as dual mono. The summary and the JSON say which.
TEST_F(Render, LoudnessOfTheEbuSineInStereoAndInMonoEitherWay) {
    AudioData sine = Signal(2, std::pow(10.0, -23.0 / 20.0), 20.0);
    Write("stereo.wav", sine, SF_FORMAT_FLOAT);
    sine.channels.resize(1);
    Write("mono.wav", sine, SF_FORMAT_FLOAT);
    const struct {
        const char* arguments;
        double lufs;
        const char *reading, *json;
    } cases[] = {{"stereo.wav", -23.0, "exact mode (every block kept)\n", "None"},
                 {"mono.wav", -23.0 - 10.0 * std::log10(2.0),
                  "exact mode (every block kept); mono as a single channel (ITU-R BS.1770)\n",
                  "single channel"},
                 {"mono.wav --dual-mono", -23.0,
                  "exact mode (every block kept); mono as dual mono (EBU, +3 dB)\n", "dual mono"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const Result r =
            Run(Path(c.arguments) + " " + Path("out.wav") + " --json " + Path("l.json"));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("loudness read: integrated and range in libebur128's " +
                             std::string(c.reading)),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("loudness change: +0.0 LU"), std::string::npos) << r.out;
        const std::string loudness = "d['input_loudness']['integrated_lufs']";
        EXPECT_NEAR(std::stod(FromJson("l.json", loudness)), c.lufs, 0.1);
        EXPECT_NEAR(std::stod(FromJson("l.json", "d['input_loudness']['true_peak_dbtp']")), -23.0,
                    0.1);
        EXPECT_EQ(FromJson("l.json", "*d['loudness_modes'].values()"),
                  "exact exact " + std::string(c.json) + "\n");
    }
}

TEST_F(Render, InfoOnlyReadsAndFilesAreFoundAndReadSafely) {
    Write("in.wav", Signal(2), SF_FORMAT_FLOAT);
    const std::string settings = " --param Threshold=-27.3 --param Ratio=3.3 --param Release=77";
    ASSERT_EQ(Run(Path("in.wav") + " " + Path("plain.wav") + settings).status, 0);
    ASSERT_EQ(Run(Path("in.wav") + " " + Path("info.wav") + settings + " --info").status, 0);
    EXPECT_EQ(Read("info.wav").channels, Read("plain.wav").channels);

    // A bare module name is a file in the current folder.
    std::filesystem::create_symlink(QUELOR_MODULE_PATH, Path("Quelor.so"));
    const Result here = Run("--module Quelor.so --info", "cd " + dir + " && ");
    EXPECT_EQ(here.status, 0) << here.err;
    ExpectRefused("--module Quelor.so --info", "./Quelor.so");

    // Program files are bounded before they are read: a huge file, and a device without end.
    std::filesystem::resize_file(Path("in.wav"), 65u << 20);
    ExpectRefused("--preset " + Path("in.wav") + " --info", "too large");
    ExpectRefused("--preset /dev/zero --info", "too large");
}

TEST_F(Render, BatchRefusesWhatWouldOverwriteAndNamesItsFormat) {
    std::filesystem::create_directories(Path("x"));
    Write("a.wav", Signal(2), SF_FORMAT_FLOAT);
    Write("x/a.wav", Signal(1), SF_FORMAT_FLOAT);
    Result r = Run("-o " + dir + " " + Path("a.wav"));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("would overwrite it"), std::string::npos) << r.err;
    r = Run("-o " + Path("out") + " --format flac " + Path("a.wav") + " " + Path("x/a.wav") + " -");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("1 of 3 rendered, 2 failed"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("another file's output"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("standard input cannot be part of a batch"), std::string::npos) << r.err;
    EXPECT_EQ(Read("out/a.flac").format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);

    ExpectRefused("-o " + Path("out") + " " + Path("a.wav") + " --plot " + Path("p.png"), "--plot");
    ExpectRefused(Path("a.wav") + " " + dir + "/../" +
                      std::filesystem::path(dir).filename().string() + "/a.wav",
                  "IN and OUT both name");
    EXPECT_EQ(Read("a.wav").Frames(), 44100u) << "the input is left whole";
    ExpectRefused(Path("a.wav") + " " + Path("b.wav") + " " + Path("c.wav"), "-o OUTDIR");
    // A failed write says so, and leaves no device or file damaged behind it.
    ExpectRefused(Path("a.wav") + " /dev/full --format wav", "cannot write");
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

TEST_F(Render, OneProgressBarForTheBatchOnATerminal) {
    Write("a.wav", Signal(2), SF_FORMAT_FLOAT);
    Write("b.wav", Signal(2, 0.5), SF_FORMAT_FLOAT);
    // script gives the tool a terminal for its standard output.
    const std::string batch = std::string(QUELOR_RENDER_PATH) + " -o " + Path("out") + " " +
                              Path("a.wav") + " " + Path("b.wav");
    const std::string command = "script -qec '" + batch + "' /dev/null > " + Path("tty");
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Result r{0, Slurp(Path("tty")), ""};
    EXPECT_NE(r.out.find("] 100%"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("]  50%\r[##"), std::string::npos) << "one bar, not one per file";
    EXPECT_NE(r.out.find("[2/2]"), std::string::npos) << r.out;
}

TEST_F(Render, EndsOfRangesAndTextsSetExactValuesAndTheJsonSaysWhichWereSet) {
    Write("in.wav", Signal(2, 0.5, 0.5), SF_FORMAT_FLOAT);
    // Through Quelor's own reading of texts, and by the search where a plug-in has none.
    for (const std::string module : {"", " --module " QUELOR_NO_TEXT_ENTRY_PATH}) {
        SCOPED_TRACE(module);
        // The settings stand before the output: each --param takes one value.
        const std::string in = Path("in.wav") + module;
        Result r = Run(in + " --param Ratio=1 --param Threshold=-60 " + Path("a.wav") + " --json " +
                       Path("a.json"));
        ASSERT_EQ(r.status, 0) << r.err;
        r = Run(in + " --param Ratio=30 --param Threshold=0 --param Gain=30 " + Path("b.wav") +
                " --json " + Path("b.json"));
        ASSERT_EQ(r.status, 0) << r.err;
        // A ratio of 1 leaves the audio as it is: no gain change.
        EXPECT_EQ(FromJson("a.json b.json",
                           "d['normalized']['Ratio'], d['normalized']['Threshold'], "
                           "d['settings']['Ratio'], '%.2f %.2f' % (abs(d['gain_change']"
                           "['largest_db']), abs(d['gain_change']['average_db'])), "
                           "ds[1]['normalized']['Ratio'], ds[1]['normalized']['Threshold'], "
                           "ds[1]['normalized']['Gain']"),
                  "0 0 1.0 0.00 0.00 1 1 1\n");
    }
    // Inside the range the plug-in's reading is exact too: 1.1 is 1.1, not the nearest
    // value the search could tell apart by its display.
    EXPECT_EQ(SavedValue("--param Ratio=1.1", 3),
              static_cast<double>(static_cast<float>(std::pow(0.1 / 29.0, 0.5))));
    ExpectRefused("--param Ratio=1.1x --info", "\"1.1x\" is not a number; Ratio takes 1.0 to 30.0");
}

TEST_F(Render, MonoIsCompressedAsTheSameAudioInTwoChannels) {
    const AudioData mono = Signal(1, 0.5);
    AudioData stereo = mono;
    stereo.channels.push_back(mono.channels[0]);
    Write("mono.wav", mono, SF_FORMAT_FLOAT);
    Write("stereo.wav", stereo, SF_FORMAT_FLOAT);
    const std::string settings =
        " --param Threshold=-30 --param Ratio=4 --param 'Stereo Mode=Average'";
    ASSERT_EQ(Run(Path("mono.wav") + " " + Path("mono-out.wav") + settings).status, 0);
    ASSERT_EQ(Run(Path("stereo.wav") + " " + Path("stereo-out.wav") + settings).status, 0);
    const AudioData out = Read("mono-out.wav");
    ASSERT_EQ(out.channels.size(), 1u);
    EXPECT_EQ(out.channels[0], Read("stereo-out.wav").channels[0]);
}

TEST_F(Render, TheModuleIsFoundBesideTheToolThenInTheVstFolders) {
    // A copy of the tool with nothing beside it, in a home that holds nothing.
    for (const char* folder : {"bin", "vst", "home"})
        std::filesystem::create_directories(Path(folder));
    std::filesystem::copy_file(QUELOR_RENDER_PATH, Path("bin/quelor-render"));
    std::filesystem::create_symlink(QUELOR_MODULE_PATH, Path("vst/Quelor.so"));
    auto run = [&](const std::string& vstPath) {
        const std::string command = "HOME=" + Path("home") + " VST_PATH=" + vstPath + " " +
                                    Path("bin/quelor-render") + " --info > " + Path("stdout") +
                                    " 2> " + Path("stderr");
        const int raw = std::system(command.c_str());
        return Result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(Path("stdout")),
                      Slurp(Path("stderr"))};
    };
    Result r = run(Path("none") + ":" + Path("vst"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("module:      " + Path("vst/Quelor.so")), std::string::npos) << r.out;
    // Beside the tool comes first, even where what lies there is no plug-in.
    std::filesystem::create_symlink(QUELOR_NO_ENTRY_PATH, Path("bin/Quelor.so"));
    r = run(Path("vst"));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(Path("bin/Quelor.so") + " is not a VST 2 plug-in"), std::string::npos)
        << r.err;
}

TEST_F(Render, WhatWentWrongOrWasNotAskedForIsSaidAndWrittenToTheJson) {
    Write("in.wav", Signal(2), SF_FORMAT_FLOAT);
    Write("short.wav", Signal(1, 0.0, 0.5), SF_FORMAT_FLOAT);
    const std::string in = Path("in.wav") + " ";
    // A side-chain that ends first: silence after it, and a warning.
    Result r = Run(in + Path("o.wav") + " --sidechain " + Path("short.wav") + " --json " +
                   Path("side.json"));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string warning = "the side-chain " + Path("short.wav") + " ends after 0.50 s, " +
                                Path("in.wav") + " after 1.00 s";
    EXPECT_NE(r.err.find("quelor-render: warning: " + warning), std::string::npos) << r.err;

    // A rate libebur128 does not measure at is named as the reason, not silence.
    r = Run(in + Path("o.wav") + " --rate 10 --json " + Path("rate.json"));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string refusal = "libebur128 does not measure 2 channels at 10 Hz";
    EXPECT_NE(r.out.find("loudness change: none measured (" + refusal + ")"), std::string::npos)
        << r.out;

    // A name that is not UTF-8 still makes JSON that parses.
    Write("b\xff.wav", Signal(2), SF_FORMAT_FLOAT);
    ASSERT_EQ(Run(Path("b\xff.wav") + " " + Path("o.wav") + " --json " + Path("name.json")).status,
              0);

    // A read that fails halfway is an error, not the end of the file: a FLAC file whose
    // middle is overwritten.
    std::string error;
    ASSERT_TRUE(WriteAudio(Path("torn.flac"), Signal(2), SF_FORMAT_PCM_16, &error)) << error;
    std::string flac = Slurp(Path("torn.flac"));
    for (std::size_t i = flac.size() / 2; i < flac.size() / 2 + 2000; ++i)
        flac[i] = static_cast<char>(i * 37);
    std::ofstream(Path("torn.flac"), std::ios::binary) << flac;
    // Each failure, before the render or during it, leaves its reason in the JSON file.
    const std::pair<std::string, std::string> failures[] = {
        {Path("torn.flac") + " " + Path("never.wav"), "cannot read " + Path("torn.flac")},
        {in + "/dev/full --format wav", "cannot write audio file /dev/full"},
        {in + Path("never.wav") + " --param Loudness=3", "no parameter called \"Loudness\""}};
    std::string files = "side.json rate.json name.json";
    for (const auto& [arguments, mentions] : failures) {
        const std::string json = "failed-" + std::to_string(files.size()) + ".json";
        ExpectRefused(arguments + " --json " + Path(json), mentions);
        files += " " + json;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("never.wav")));
    const std::string shown =
        FromJson(files, "d['warnings'][0], ds[1]['warnings'], ds[2]['input'].endswith("
                        "'/b\\ufffd.wav'), *(f['error'] for f in ds[3:]), sep='\\n'");
    EXPECT_EQ(shown.rfind(warning, 0), 0u) << shown;
    EXPECT_NE(shown.find("\n['no loudness: " + refusal + "']\nTrue\n"), std::string::npos) << shown;
    for (const auto& failure : failures)
        EXPECT_NE(shown.find(failure.second), std::string::npos) << shown;
}

// The pipeline (--jobs 2 for one file) and one thread (--jobs 1) render the same: output,
// picture and figures, with plug-in blocks that do not divide the pipeline's and a
// side-chain that ends first, in 32 and 64 bits, with and without loudness.
TEST_F(Render, PipelineGivesTheOutputPictureAndFiguresOfOneThread) {
    Write("in.wav", Signal(2, 0.0, 3.0), SF_FORMAT_FLOAT);
    Write("side.wav", Signal(1, 0.0, 2.0), SF_FORMAT_PCM_24);
    const std::string settings[] = {" --block 100 --sidechain " + Path("side.wav"),
                                    " --double --no-loudness --param Attack=0"};
    for (const std::string& setting : settings) {
        SCOPED_TRACE(setting);
        for (const std::string jobs : {"1", "2"}) {
            std::filesystem::create_directories(Path(jobs));
            const Result r = Run(Path("in.wav") + " out.wav --param Threshold=-30 --json s.json " +
                                     "--plot p.png --jobs " + jobs + setting,
                                 "cd " + Path(jobs) + " && ");
            ASSERT_EQ(r.status, 0) << r.err;
            const bool measured = setting.find("--no-loudness") == std::string::npos;
            EXPECT_EQ(r.out.find("loudness: not measured (--no-loudness)") == std::string::npos,
                      measured)
                << r.out;
        }
        // The samples, not the file: a float WAV's peak chunk carries the time of writing.
        const AudioData one = Read("1/out.wav"), two = Read("2/out.wav");
        EXPECT_EQ(one.format, two.format);
        EXPECT_EQ(one.channels, two.channels);
        EXPECT_EQ(Slurp(Path("1/p.png")), Slurp(Path("2/p.png")));
        const std::string figures = "{k: v for k, v in d.items() if k not in ('time_seconds', "
                                    "'realtime_factor')}";
        EXPECT_EQ(FromJson("1/s.json", figures), FromJson("2/s.json", figures));
        EXPECT_EQ(FromJson("1/s.json", "d['loudness_measured'], d['output_loudness'] is None"),
                  setting.find("--no-loudness") == std::string::npos ? "True False\n"
                                                                     : "False True\n");
        std::filesystem::remove_all(Path("1"));
        std::filesystem::remove_all(Path("2"));
    }
}

// A failure in any stage of the pipeline ends the render: a reason, a failing status, no
// partial output, and no wait for stages that will never be fed (ctest's timeout guards it).
// The inputs are long enough that reading and writing fail with blocks already under way.
TEST_F(Render, AFailureInAnyStageEndsThePipelinedRender) {
    Write("in.wav", Signal(2, 0.0, 8.0), SF_FORMAT_FLOAT);
    Write("short.wav", Signal(2, 0.0, 1.0), SF_FORMAT_FLOAT);
    // FLAC files torn halfway and near their start.
    for (const auto& [name, at] : {std::pair{"torn.flac", 0.5}, std::pair{"early.flac", 0.1}}) {
        std::string error;
        ASSERT_TRUE(WriteAudio(Path(name), Signal(2, 0.0, 8.0), SF_FORMAT_PCM_16, &error)) << error;
        std::string flac = Slurp(Path(name));
        const auto from = static_cast<std::size_t>(static_cast<double>(flac.size()) * at);
        for (std::size_t i = from; i < from + 2000; ++i)
            flac[i] = static_cast<char>(i * 37);
        std::ofstream(Path(name), std::ios::binary) << flac;
    }
    std::ofstream(Path("file")) << "a file, not a folder";
    const std::string in = Path("in.wav") + " ";
    const struct {
        std::string arguments, before, mentions;
    } failures[] = {
        {Path("torn.flac") + " " + Path("o.wav"), "", "cannot read " + Path("torn.flac")},
        {in + Path("file/o.wav"), "", "cannot write " + Path("file/o.wav") + ": Not a directory"},
        {in + "/dev/full --format wav", "", "cannot write audio file /dev/full"},
        // The file-size limit stops the writing stage halfway through, and a file that fits
        // the write buffer when its header is completed.
        {in + Path("o.wav"), "ulimit -f 200 && ", "cannot write audio file " + Path("o.wav")},
        {Path("short.wav") + " " + Path("o.wav"), "ulimit -f 200 && ",
         "cannot write audio file " + Path("o.wav")},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.arguments);
        const Result r = Run(f.arguments + " --jobs 2", f.before);
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(r.err.rfind("quelor-render: error: " + f.mentions, 0), 0u) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_FALSE(std::filesystem::exists(Path("o.wav")));
    }
    // A render that fails before it has written anything leaves a file already there alone.
    std::ofstream(Path("o.wav")) << "an earlier render";
    EXPECT_NE(Run(Path("early.flac") + " " + Path("o.wav") + " --jobs 2").status, 0);
    EXPECT_EQ(Slurp(Path("o.wav")), "an earlier render");
}

// Every file in the test's folder but the fixture's own, with its bytes.
std::map<std::string, std::string> FolderContents(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name != "stdout" && name != "stderr" && entry.is_regular_file())
            files[name] = Slurp(entry.path().string());
    }
    return files;
}

// A command that cannot be carried out safely fails before anything is written: every
// file stays as it was and none appears, the temporary files of outputs included.
TEST_F(Render, ACommandThatWouldHarmAFileIsRefusedBeforeAnythingIsWritten) {
    Write("in.wav", Signal(2), SF_FORMAT_FLOAT);
    std::ofstream(Path("keep.flac")) << "an earlier render";
    std::filesystem::create_hard_link(Path("in.wav"), Path("hard.wav"));
    std::filesystem::create_symlink(Path("in.wav"), Path("link.wav"));
    const std::string in = Path("in.wav") + " ";
    const std::string out = Path("out.wav");
    const std::pair<std::string, std::string> refusals[] = {
        {in, "one file given"},
        {in + out + " --plot " + Path("in.wav"), "IN and --plot both name"},
        {in + out + " --json " + out, "OUT and --json both name"},
        {in + out + " --json " + dir + "/./in.wav", "IN and --json both name"},
        {in + out + " --plot " + Path("hard.wav"), "IN and --plot both name"},
        {in + out + " --save-fxp " + Path("link.wav"), "IN and --save-fxp both name"},
        {in + out + " --json " + Path("p.json") + " --plot " + Path("p.json"),
         "--json and --plot both name"},
        {in + "- --json -", "OUT and --json both name standard output"},
        {"- " + out + " --sidechain -", "IN and --sidechain both name standard input"},
        {in + out + " --json " + Path("no/s.json"), "the folder " + Path("no") + " does not exist"},
        {in + out + " --plot " + Path("no/p.png"), "the folder " + Path("no") + " does not exist"},
        {in + Path("keep.flac") + " --rate 700000", Path("keep.flac")},
    };
    const auto before = FolderContents(dir);
    for (const auto& [arguments, mentions] : refusals) {
        SCOPED_TRACE(arguments);
        ExpectRefused(arguments, mentions);
        EXPECT_EQ(FolderContents(dir), before);
    }
}

// Feeds a WAV header that announces 2 GiB, then silence, into fd until the reader goes.
void FeedEndlessWav(int fd, const std::string& header) {
    const std::string zeros(65536, '\0');
    bool open = write(fd, header.data(), header.size()) > 0;
    while (open)
        open = write(fd, zeros.data(), zeros.size()) > 0;
}

// SIGINT or SIGTERM in the middle of a render: the temporary files go, a file of the
// output's name stays as it was, and the status tells the signal. A batch keeps the files
// that had completed. The input never ends: a pipe, or a FIFO fed anew at every opening
// (the batch opens it to count its frames, then to render it).
TEST_F(Render, AnInterruptedRenderLeavesTheFilesAsTheyWere) {
    std::signal(SIGPIPE, SIG_IGN);
    Write("short.wav", Signal(2, 0.0, 0.1), SF_FORMAT_FLOAT);
    std::string header = Slurp(Path("short.wav"));
    header.resize(header.find("data") + 8);
    for (const std::size_t at : {std::size_t{4}, header.size() - 4})
        header.replace(at, 4, "\xf0\xff\xff\x7f");
    ASSERT_EQ(mkfifo(Path("endless.wav").c_str(), 0600), 0);
    const std::string tool = QUELOR_RENDER_PATH;
    const struct {
        std::vector<std::string> arguments;
        int signal;
    } cases[] = {
        {{"-", Path("o.wav"), "--json", Path("o.json"), "--plot", Path("o.png")}, SIGINT},
        {{"-", Path("o.wav")}, SIGTERM},
        {{"--jobs", "1", "-o", Path("batch"), Path("short.wav"), Path("endless.wav")}, SIGINT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments[1]);
        std::ofstream(Path("o.wav")) << "an earlier render";
        int feed[2];
        ASSERT_EQ(pipe(feed), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(feed[0], STDIN_FILENO);
            const int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, STDOUT_FILENO);
            dup2(quiet, STDERR_FILENO);
            close(feed[1]);
            std::vector<char*> argv{const_cast<char*>(tool.c_str())};
            for (const std::string& a : c.arguments)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(feed[0]);
        std::atomic<bool> stop{false};
        std::thread piped([&] { FeedEndlessWav(feed[1], header); });
        std::thread fifo([&] {
            while (!stop) {
                const int fd = open(Path("endless.wav").c_str(), O_WRONLY);
                if (fd >= 0 && !stop)
                    FeedEndlessWav(fd, header);
                if (fd >= 0)
                    close(fd);
            }
        });
        // The signal comes once an output is being written, after the batch's first file.
        const auto writing = [&] {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
                if (entry.path().filename().string().find(".quelor-") != std::string::npos)
                    return c.arguments[0] == "-" ||
                           std::filesystem::exists(Path("batch/short.wav"));
            return false;
        };
        for (int i = 0; i < 400 && !writing(); ++i)
            usleep(25000);
        usleep(200000);
        kill(pid, c.signal);
        int status = 0;
        waitpid(pid, &status, 0);
        close(feed[1]);
        stop = true;
        close(open(Path("endless.wav").c_str(), O_RDONLY | O_NONBLOCK));
        piped.join();
        fifo.join();
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 128 + c.signal);
        auto left = FolderContents(dir);
        left.erase("short.wav");
        EXPECT_EQ(left, (std::map<std::string, std::string>{{"o.wav", "an earlier render"}}));
    }
    EXPECT_EQ(Read("batch/short.wav").Frames(), Read("short.wav").Frames());
    EXPECT_FALSE(std::filesystem::exists(Path("batch/endless.wav")));
}

// What sox and ffmpeg users type: standard output for the audio or the JSON, with the text
// on standard error; the version; and the mistakes they make, each answered with what to do.
TEST_F(Render, StreamsAndTheMistakesOfSoxUsers) {
    Write("in.wav", Signal(2), SF_FORMAT_FLOAT);
    const std::string in = Path("in.wav") + " ";
    ASSERT_EQ(Run(in + Path("file.flac")).status, 0);
    Result r = Run(in + "- --format flac");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, Slurp(Path("file.flac"))) << "the audio alone on standard output";
    EXPECT_NE(r.err.find("output:  peak"), std::string::npos) << r.err;
    // A WAV header is completed at the end, which a pipe cannot take.
    std::system((QUELOR_RENDER_PATH + (" " + in) + "- 2> " + Path("pipe-err") + " | cat").c_str());
    EXPECT_NE(Slurp(Path("pipe-err")).find("or redirect standard output to a file"),
              std::string::npos);
    r = Run(in + Path("o.wav") + " --json -");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\n", 0), 0u) << r.out;
    std::ofstream(Path("s.json")) << r.out;
    EXPECT_NE(r.err.find("output:  peak"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists("-"));
    r = Run("--version");
    EXPECT_EQ(r.out.rfind("quelor-render 1.", 0), 0u) << r.out;
    EXPECT_EQ(FromJson("s.json", "'quelor-render ' + d['quelor_render_version']"), r.out);

    const std::pair<std::string, std::string> mistakes[] = {
        {"--param Ratio=4 Threshold=-20 " + in + Path("o.wav"),
         "\"Threshold=-20\" looks like a setting, not a file: give each setting its own --param"},
        {"--param Stereo Mode=Dual Mono " + in + Path("o.wav"), "quote a setting that has spaces"},
        {"--parm Ratio=4 " + in + Path("o.wav"), "did you mean --param?"},
        {"--param Threshold=-60.05 " + in + Path("o.wav"), "Threshold = -60.05 is out of range"},
        {"--param Ratio=0.99 " + in + Path("o.wav"), "Ratio = 0.99 is out of range"},
    };
    for (const auto& [arguments, mentions] : mistakes)
        ExpectRefused(arguments, mentions);
    r = Run("--param Ratio=4 --param Ratio=2 " + in + Path("o.wav"));
    EXPECT_NE(r.err.find("Ratio is set more than once; the last, \"2.0\", holds"),
              std::string::npos)
        << r.err;
}

} // namespace
