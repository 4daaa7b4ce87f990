#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Audio files through libsndfile: every format it reads and writes, streamed in
// blocks of interleaved frames so that memory does not grow with the length.
struct AudioData {
    double sampleRate = 0.0;
    int format = 0; // libsndfile format word of the file read, 0 for synthesized audio
    std::vector<std::vector<double>> channels;

    std::size_t Frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

// A container and sample format as libsndfile format words; subtype 0 lets the
// writer choose from the source.
struct OutputFormat {
    int major = 0;
    int subtype = 0;
    double quality = -1.0; // Vorbis, Opus and MP3: 0 (smallest) to 10 (best); < 0: default
};

// libsndfile's string ids (SF_STR_TITLE, SF_STR_ARTIST, ...) with their texts.
using AudioTags = std::vector<std::pair<int, std::string>>;

// The output format for path: the container named by formatName ("flac", "ogg",
// "opus", "mp3", ...; empty for path's extension) and the sample format named by
// subtypeName ("pcm16", "float", "vorbis", ...; empty to choose later). false with
// a one-line reason when either is unknown or the installed libsndfile cannot write it.
bool ResolveOutputFormat(const std::string& path, const std::string& formatName,
                         const std::string& subtypeName, OutputFormat* format, std::string* error);
// The extension files of this container carry, without the dot.
std::string ExtensionFor(const OutputFormat& format);
// The full format word AudioWriter::Open writes with these arguments, or 0 where none.
int ChosenFormat(const OutputFormat& format, int channels, double sampleRate, int sourceFormat);
// libsndfile's name for the sample format of a format word: "Signed 24 bit PCM", "Vorbis".
std::string EncodingName(int format);
// The quality, 0 to 10, that format's encoder is set to for asked; NaN where it takes none.
double EncoderQuality(const OutputFormat& asked, int format);
// Bits of the integer samples a format word holds; 0 for floats and lossy codecs.
int IntegerBits(int format);

class BufferedFile;
class Quantizer;

class AudioReader {
public:
    // "-" reads standard input (a pipe). Null with a one-line reason in error.
    static std::unique_ptr<AudioReader> Open(const std::string& path, std::string* error);
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    int Channels() const { return channels; }
    double SampleRate() const { return sampleRate; }
    int Format() const { return format; }
    // Frames the file announces, or -1 where it cannot tell (a pipe).
    int64_t Frames() const { return frames; }
    // Up to count interleaved frames into data; 0 at the end of the audio, or from a
    // read that failed, which Error() then tells. Samples of a float file that are not
    // finite (NaN, infinity) come as silence, which no processing or measure can take for
    // a level.
    std::size_t Read(double* data, std::size_t count);
    std::size_t Read(float* data, std::size_t count);
    // The samples read as silence so far for not being finite.
    uint64_t NonFinite() const { return nonFinite; }
    // Why the last read failed, or "" while reads succeed.
    const std::string& Error() const { return error; }
    // Every text the file holds that libsndfile reads.
    const AudioTags& Tags() const { return tags; }

private:
    AudioReader();
    template <class Sample> std::size_t Got(Sample* data, int64_t got, std::size_t count);
    std::unique_ptr<BufferedFile> buffered; // under file, for files on disk
    void* file = nullptr;
    int channels = 0;
    double sampleRate = 0.0;
    int format = 0;
    int64_t frames = -1;
    AudioTags tags;
    bool floats = false;
    uint64_t nonFinite = 0;
    std::string shown;
    std::string error;
};

class AudioWriter {
public:
    // The file that takes channels at sampleRate in format; a sample format left open is
    // the source's where the container takes it, else the best it takes. A WAV file that
    // may pass 4 GiB (expectedFrames beyond it, or -1 for unknown) is written as RF64,
    // which stays a plain WAV file when it ends smaller. Null with a reason in error.
    static std::unique_ptr<AudioWriter> Open(const std::string& path, const OutputFormat& format,
                                             int channels, double sampleRate, int sourceFormat,
                                             int64_t expectedFrames, std::string* error);
    // Checks, without creating the file, what Open would refuse; the same arguments.
    static bool Check(const std::string& path, const OutputFormat& format, int channels,
                      double sampleRate, int sourceFormat, std::string* error);
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    int Format() const { return format; }
    // The samples to come are on this integer format's steps within full scale already, as a
    // Quantizer of its bits leaves them: they are converted, not rounded a second time.
    void TakeSteps() { onSteps = true; }
    // Before the first write; those the container cannot hold are left out.
    void SetTags(const AudioTags& tags);
    // count interleaved frames; false with a reason in error. Integer formats take each
    // sample's nearest step.
    bool Write(const double* data, std::size_t count, std::string* error);
    bool Write(const float* data, std::size_t count, std::string* error);
    // Completes the header; false with a reason in error.
    bool Close(std::string* error);

private:
    AudioWriter();
    bool Put(int64_t put, std::size_t count, std::string* error);
    template <class Sample> int64_t PutIntegers(const Sample* data, std::size_t count);
    std::unique_ptr<BufferedFile> buffered; // under file, for files on disk
    void* file = nullptr;
    std::string path;
    int format = 0;
    int channels = 0;
    std::unique_ptr<Quantizer> rounding; // for integer formats
    bool onSteps = false;
    std::vector<int32_t> integers;
};

// Whole files, for short material. false with a one-line reason in error, a read
// that fails halfway included.
bool ReadAudio(const std::string& path, AudioData* audio, std::string* error);
// The container comes from the file name's extension; the sample format is the
// source's when the container takes it, else the best it takes.
bool WriteAudio(const std::string& path, const AudioData& audio, int sourceFormat,
                std::string* error);
