#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
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
};

// The output format for path: the container named by formatName ("flac", "ogg",
// "opus", "mp3", ...; empty for path's extension) and the sample format named by
// subtypeName ("pcm16", "float", "vorbis", ...; empty to choose later). false with
// a one-line reason when either is unknown or the installed libsndfile cannot write it.
bool ResolveOutputFormat(const std::string& path, const std::string& formatName,
                         const std::string& subtypeName, OutputFormat* format, std::string* error);
// The extension files of this container carry, without the dot.
std::string ExtensionFor(const OutputFormat& format);

class BufferedFile;

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
    // read that failed, which Error() then tells.
    std::size_t Read(double* data, std::size_t count);
    std::size_t Read(float* data, std::size_t count);
    // Why the last read failed, or "" while reads succeed.
    const std::string& Error() const { return error; }

private:
    AudioReader();
    std::size_t Got(int64_t got, std::size_t count);
    std::unique_ptr<BufferedFile> buffered; // under file, for files on disk
    void* file = nullptr;
    int channels = 0;
    double sampleRate = 0.0;
    int format = 0;
    int64_t frames = -1;
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
    // count interleaved frames; false with a reason in error.
    bool Write(const double* data, std::size_t count, std::string* error);
    bool Write(const float* data, std::size_t count, std::string* error);
    // Completes the header; false with a reason in error.
    bool Close(std::string* error);

private:
    AudioWriter();
    bool Put(int64_t put, std::size_t count, std::string* error);
    std::unique_ptr<BufferedFile> buffered; // under file, for files on disk
    void* file = nullptr;
    std::string path;
    int format = 0;
};

// Whole files, for short material. false with a one-line reason in error, a read
// that fails halfway included.
bool ReadAudio(const std::string& path, AudioData* audio, std::string* error);
// The container comes from the file name's extension; the sample format is the
// source's when the container takes it, else the best it takes.
bool WriteAudio(const std::string& path, const AudioData& audio, int sourceFormat,
                std::string* error);
