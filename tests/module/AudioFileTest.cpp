// Output formats by name and extension, and WAV files that may outgrow 4 GiB.
#include "AudioFile.h"
#include "Quantizer.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

TEST(AudioFile, FormatsComeFromExtensionsNamesAndSampleFormats) {
    const struct {
        const char *path, *format, *subtype;
        int major, sub;
    } cases[] = {{"a.wav", "", "", SF_FORMAT_WAV, 0},
                 {"b.AIF", "", "", SF_FORMAT_AIFF, 0},
                 {"c.flac", "", "", SF_FORMAT_FLAC, 0},
                 {"d.ogg", "", "", SF_FORMAT_OGG, SF_FORMAT_VORBIS},
                 {"e.opus", "", "", SF_FORMAT_OGG, SF_FORMAT_OPUS},
                 {"f.mp3", "", "", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III},
                 {"g.bin", "FLAC", "", SF_FORMAT_FLAC, 0},
                 {"h.wav", "", "Pcm24", SF_FORMAT_WAV, SF_FORMAT_PCM_24},
                 {"i.caf", "", "double", SF_FORMAT_CAF, SF_FORMAT_DOUBLE}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        OutputFormat format;
        std::string error;
        ASSERT_TRUE(ResolveOutputFormat(c.path, c.format, c.subtype, &format, &error)) << error;
        EXPECT_EQ(format.major, c.major);
        EXPECT_EQ(format.subtype, c.sub);
    }
    const struct {
        const char *path, *format, *subtype, *mentions;
    } refused[] = {{"folder.wav/out", "", "", "from its extension"},
                   {"out", "", "", "give --format"},
                   {"out.wav", "mod", "", "unknown output format \"mod\""},
                   {"out.wav", "", "pcm12", "it takes pcm8, u8, pcm16"}};
    for (const auto& r : refused) {
        OutputFormat format;
        std::string error;
        EXPECT_FALSE(ResolveOutputFormat(r.path, r.format, r.subtype, &format, &error)) << r.path;
        EXPECT_NE(error.find(r.mentions), std::string::npos) << error;
    }
    EXPECT_EQ(ExtensionFor({SF_FORMAT_OGG, SF_FORMAT_VORBIS}), "ogg");
    EXPECT_EQ(ExtensionFor({SF_FORMAT_OGG, SF_FORMAT_OPUS}), "opus");
    EXPECT_EQ(ExtensionFor({SF_FORMAT_FLAC, 0}), "flac");
    EXPECT_EQ(ExtensionFor({SF_FORMAT_AIFF, 0}), "aiff");

    std::string error;
    EXPECT_FALSE(
        AudioWriter::Check("x.wav", {SF_FORMAT_WAV, SF_FORMAT_VORBIS}, 2, 48000.0, 0, &error));
    EXPECT_NE(error.find("cannot write 2 channels at 48000 Hz"), std::string::npos) << error;
    EXPECT_TRUE(AudioWriter::Check("x.flac", {SF_FORMAT_FLAC, 0}, 1, 44100.0,
                                   SF_FORMAT_WAV | SF_FORMAT_FLOAT, &error))
        << "FLAC takes no float: the best it does take";
}

TEST(AudioFile, WavThatMayPassFourGibibytesStartsAsRf64AndEndsAsWavWhenSmall) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("quelor-audio-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const int64_t huge = (int64_t{5} << 30) / 8; // 5 GiB of stereo float
    const struct {
        int64_t expected;
        int major;
    } cases[] = {{1000, SF_FORMAT_WAV}, {huge, SF_FORMAT_RF64}, {-1, SF_FORMAT_RF64}};
    const std::vector<double> frames(2000, 0.25);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        const std::string path = (dir / "x.wav").string();
        std::string error;
        std::unique_ptr<AudioWriter> writer = AudioWriter::Open(
            path, {SF_FORMAT_WAV, SF_FORMAT_FLOAT}, 2, 48000.0, 0, c.expected, &error);
        ASSERT_NE(writer, nullptr) << error;
        EXPECT_EQ(writer->Format() & SF_FORMAT_TYPEMASK, c.major);
        ASSERT_TRUE(writer->Write(frames.data(), 1000, &error)) << error;
        ASSERT_TRUE(writer->Close(&error)) << error;
        // Small files stay plain RIFF WAVE files, whatever they were opened as.
        std::string head(4, '\0');
        std::ifstream(path, std::ios::binary).read(head.data(), 4);
        EXPECT_EQ(head, "RIFF");
        AudioData back;
        ASSERT_TRUE(ReadAudio(path, &back, &error)) << error;
        EXPECT_EQ(back.format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT);
        ASSERT_EQ(back.Frames(), 1000u);
        EXPECT_EQ(back.channels[1][999], 0.25);
    }
    std::filesystem::remove_all(dir);
}

// Each sample, in steps of the format, comes back as the nearest step within the range.
TEST(AudioFile, IntegerFormatsHoldTheNearestStepClippedAtFullScale) {
    const double steps[] = {0.3, 0.7, -0.3, -0.7, 1.5, -2.5, 1e10, -1e10, std::nan("")};
    const std::string path = ::testing::TempDir() + "quelor-steps-" + std::to_string(getpid());
    for (const int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_AIFF | SF_FORMAT_PCM_24,
                             SF_FORMAT_FLAC | SF_FORMAT_PCM_16, SF_FORMAT_WAV | SF_FORMAT_PCM_U8,
                             SF_FORMAT_WAV | SF_FORMAT_PCM_32}) {
        SCOPED_TRACE(format);
        const double full = std::ldexp(1.0, IntegerBits(format) - 1);
        std::vector<double> samples;
        for (const double step : steps)
            samples.push_back(step / full);
        std::string error;
        std::unique_ptr<AudioWriter> writer =
            AudioWriter::Open(path, {format & SF_FORMAT_TYPEMASK, format & SF_FORMAT_SUBMASK}, 1,
                              48000.0, 0, 9, &error);
        ASSERT_NE(writer, nullptr) << error;
        ASSERT_TRUE(writer->Write(samples.data(), samples.size(), &error) && writer->Close(&error));
        AudioData back;
        ASSERT_TRUE(ReadAudio(path, &back, &error)) << error;
        const std::vector<double> expected = {0, 1, 0, -1, 2, -2, full - 1, -full, 0};
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(back.channels[0][i] * full, expected[i]) << steps[i];
    }
    std::filesystem::remove(path);
}

// A sine of 0.3 steps, which rounding alone makes silence, is there with dither, centred.
// Samples on a step stay there, and the dither's own overs are no clipping.
TEST(AudioFile, DitherKeepsWhatRoundingLosesAndLeavesStepsAlone) {
    Quantizer dithered(16, true), steady(16, true);
    double projection = 0.0;
    constexpr int kCount = 48000;
    for (int i = 0; i < kCount; ++i) {
        const double sine = std::sin(2.0 * std::numbers::pi * i / 48.0);
        projection += dithered.Step(0.3 * sine / 32768.0) * sine * 2.0 / kCount;
        ASSERT_EQ(steady.Step(-5.0 / 32768.0), -5.0);
        steady.Step(32766.8 / 32768.0); // dithered past full scale at times
    }
    EXPECT_NEAR(projection, 0.3, 0.02);
    EXPECT_EQ(steady.Clipped(), 0u);
    EXPECT_EQ(steady.Step(-1.5), -32768.0);
    EXPECT_EQ(steady.Clipped(), 1u);
}

} // namespace
