#include "AudioFile.h"

#include "Quantizer.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
// Beyond this a RIFF size field overflows; the header takes the rest of 4 GiB.
constexpr int64_t kLargestWavData = 0xFFFFFFFFll - (1 << 16);
constexpr std::size_t kWholeFileBlock = 1 << 16;

SNDFILE* Handle(void* file) {
    return static_cast<SNDFILE*>(file);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Extension(const std::string& path) {
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    return Lower(path.substr(dot + 1));
}

// Names whose container libsndfile lists under another extension, or whose
// extension fixes the codec too.
struct Alias {
    const char* name;
    int major;
    int subtype;
};
constexpr Alias kAliases[] = {{"aiff", SF_FORMAT_AIFF, 0},
                              {"aif", SF_FORMAT_AIFF, 0},
                              {"ogg", SF_FORMAT_OGG, SF_FORMAT_VORBIS},
                              {"oga", SF_FORMAT_OGG, SF_FORMAT_VORBIS},
                              {"opus", SF_FORMAT_OGG, SF_FORMAT_OPUS},
                              {"mp3", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III}};

struct Subtype {
    const char* name;
    int subtype;
};
constexpr Subtype kSubtypes[] = {
    {"pcm8", SF_FORMAT_PCM_S8},   {"u8", SF_FORMAT_PCM_U8},    {"pcm16", SF_FORMAT_PCM_16},
    {"pcm24", SF_FORMAT_PCM_24},  {"pcm32", SF_FORMAT_PCM_32}, {"float", SF_FORMAT_FLOAT},
    {"double", SF_FORMAT_DOUBLE}, {"ulaw", SF_FORMAT_ULAW},    {"alaw", SF_FORMAT_ALAW},
    {"vorbis", SF_FORMAT_VORBIS}, {"opus", SF_FORMAT_OPUS},    {"mp3", SF_FORMAT_MPEG_LAYER_III}};

// The container libsndfile writes under this name, or false.
bool MajorFor(const std::string& name, OutputFormat* format) {
    for (const Alias& alias : kAliases)
        if (name == alias.name) {
            *format = {alias.major, alias.subtype};
            return true;
        }
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info);
        if (info.extension && name == info.extension) {
            *format = {info.format, 0};
            return true;
        }
    }
    return false;
}

// Whether libsndfile can write this container with any sample format at all.
bool Writable(int major) {
    for (const Subtype& s : kSubtypes) {
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = 2;
        info.format = major | s.subtype;
        if (sf_format_check(&info))
            return true;
    }
    return false;
}

// Codecs that give back only an approximation of what they were given.
bool Lossy(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_IMA_ADPCM:
    case SF_FORMAT_MS_ADPCM:
    case SF_FORMAT_GSM610:
    case SF_FORMAT_VOX_ADPCM:
    case SF_FORMAT_NMS_ADPCM_16:
    case SF_FORMAT_NMS_ADPCM_24:
    case SF_FORMAT_NMS_ADPCM_32:
    case SF_FORMAT_G721_32:
    case SF_FORMAT_G723_24:
    case SF_FORMAT_G723_40:
    case SF_FORMAT_VORBIS:
    case SF_FORMAT_OPUS:
    case SF_FORMAT_MPEG_LAYER_I:
    case SF_FORMAT_MPEG_LAYER_II:
    case SF_FORMAT_MPEG_LAYER_III:
        return true;
    default:
        return false;
    }
}

// Each encoder's default, chosen for about 170 to 190 kbit/s in stereo at 44.1 and 48 kHz.
double DefaultQuality(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_VORBIS:
        return 5.5;
    case SF_FORMAT_OPUS:
        return 3.5;
    case SF_FORMAT_MPEG_LAYER_III:
        return 8.0;
    default:
        return std::nan("");
    }
}

int64_t BytesPerSample(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_16:
        return 2;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 4;
    case SF_FORMAT_DOUBLE:
        return 8;
    default:
        return 1;
    }
}

std::string FormatName(int major) {
    SF_FORMAT_INFO info{};
    info.format = major;
    sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info);
    return info.name ? info.name : "this container";
}
} // namespace

// libsndfile moves a file 8 KiB per system call; under it, stdio's buffer makes that one
// call a MiB, which takes most of a long render's time in the kernel away. Only for files
// on disk: pipes and devices keep libsndfile's own access, which knows them.
class BufferedFile {
public:
    static constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

    // Null where path is not a file on disk (or, to write, about to be one), or where it
    // cannot be opened: libsndfile then opens it, or says why not, itself.
    static std::unique_ptr<BufferedFile> Open(const std::string& path, bool write) {
        struct stat status {};
        const bool exists = stat(path.c_str(), &status) == 0;
        if (path == "-" || (exists ? !S_ISREG(status.st_mode) : !write))
            return nullptr;
        std::FILE* file = std::fopen(path.c_str(), write ? "w+b" : "rb");
        if (!file)
            return nullptr;
        std::unique_ptr<BufferedFile> opened(new BufferedFile(file, write));
        std::setvbuf(file, opened->buffer.get(), _IOFBF, kBufferBytes);
        return opened;
    }
    ~BufferedFile() {
        if (file)
            std::fclose(file);
    }
    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;

    SF_VIRTUAL_IO* Calls() { return &calls; }
    void* User() { return this; }
    // Writes out what the buffer holds and closes; false when that or any call before
    // failed (libsndfile does not hear of a failure while it updates the header).
    bool Close() {
        const int status = std::fclose(file);
        file = nullptr;
        if (status != 0)
            failure = errno;
        return failure == 0;
    }
    // The system's reason for the last call that failed, or "".
    std::string Failure() const { return failure ? std::strerror(failure) : ""; }

private:
    BufferedFile(std::FILE* opened, bool write)
        : file(opened), writing(write), buffer(new char[kBufferBytes]) {}

    static BufferedFile& Of(void* user) { return *static_cast<BufferedFile*>(user); }
    sf_count_t Kept(sf_count_t result) {
        if (result < 0)
            failure = errno;
        return result;
    }
    static sf_count_t Length(void* user) {
        BufferedFile& f = Of(user);
        // fstat64: the name glibc kept before 2.33, which the oldest systems we run on have.
        struct stat64 status {};
        if ((f.writing && std::fflush(f.file) != 0) || fstat64(fileno(f.file), &status) != 0)
            return f.Kept(-1);
        return status.st_size;
    }
    static sf_count_t Seek(sf_count_t offset, int whence, void* user) {
        BufferedFile& f = Of(user);
        return fseeko(f.file, offset, whence) == 0 ? Tell(user) : f.Kept(-1);
    }
    static sf_count_t Read(void* data, sf_count_t count, void* user) {
        BufferedFile& f = Of(user);
        const std::size_t got = std::fread(data, 1, static_cast<std::size_t>(count), f.file);
        if (got < static_cast<std::size_t>(count) && std::ferror(f.file))
            f.failure = errno;
        return static_cast<sf_count_t>(got);
    }
    static sf_count_t Write(const void* data, sf_count_t count, void* user) {
        BufferedFile& f = Of(user);
        const std::size_t put = std::fwrite(data, 1, static_cast<std::size_t>(count), f.file);
        if (put < static_cast<std::size_t>(count))
            f.failure = errno;
        return static_cast<sf_count_t>(put);
    }
    static sf_count_t Tell(void* user) {
        BufferedFile& f = Of(user);
        return f.Kept(ftello(f.file));
    }

    std::FILE* file;
    bool writing;
    int failure = 0;
    std::unique_ptr<char[]> buffer; // stdio's, which outlives the FILE's last use
    SF_VIRTUAL_IO calls{&Length, &Seek, &Read, &Write, &Tell};
};

bool ResolveOutputFormat(const std::string& path, const std::string& formatName,
                         const std::string& subtypeName, OutputFormat* format, std::string* error) {
    const std::string name = formatName.empty() ? Extension(path) : Lower(formatName);
    if (!MajorFor(name, format) || !Writable(format->major)) {
        *error =
            formatName.empty()
                ? "cannot tell the audio format of " + path +
                      " from its extension (give --format, e.g. wav, flac, ogg, opus)"
                : "unknown output format \"" + formatName + "\" (e.g. wav, flac, aiff, ogg, opus)";
        return false;
    }
    if (!subtypeName.empty()) {
        const Subtype* found =
            std::find_if(std::begin(kSubtypes), std::end(kSubtypes),
                         [&](const Subtype& s) { return Lower(subtypeName) == s.name; });
        if (found == std::end(kSubtypes)) {
            std::string names;
            for (const Subtype& s : kSubtypes)
                names += (names.empty() ? "" : ", ") + std::string(s.name);
            *error = "unknown sample format \"" + subtypeName + "\"; it takes " + names;
            return false;
        }
        format->subtype = found->subtype;
    }
    return true;
}

std::string ExtensionFor(const OutputFormat& format) {
    for (const Alias& alias : kAliases)
        if (format.major == alias.major && format.subtype == alias.subtype &&
            std::string(alias.name) != "oga")
            return alias.name;
    SF_FORMAT_INFO info{};
    info.format = format.major;
    sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info);
    return info.extension ? info.extension : "";
}

int ChosenFormat(const OutputFormat& format, int channels, double sampleRate, int sourceFormat) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = channels;
    // A lossy source's codec is not taken on: decoded, its audio is kept as it now is.
    const int candidates[] = {
        format.subtype,   Lossy(sourceFormat) ? 0 : sourceFormat & SF_FORMAT_SUBMASK,
        SF_FORMAT_FLOAT,  SF_FORMAT_PCM_24,
        SF_FORMAT_PCM_16, SF_FORMAT_VORBIS,
        SF_FORMAT_OPUS};
    for (int subtype : candidates) {
        if (!subtype)
            continue;
        info.format = format.major | subtype;
        if (sf_format_check(&info))
            return info.format;
        if (format.subtype)
            return 0; // asked for, and refused: no silent substitute
    }
    return 0;
}

std::string EncodingName(int format) {
    SF_FORMAT_INFO info{};
    info.format = format & SF_FORMAT_SUBMASK;
    return sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name
               ? info.name
               : "unknown";
}

double EncoderQuality(const OutputFormat& asked, int format) {
    const double fallback = DefaultQuality(format);
    return std::isnan(fallback) || asked.quality < 0.0 ? fallback : asked.quality;
}

int IntegerBits(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_DPCM_8:
        return 8;
    case SF_FORMAT_DWVW_12:
        return 12;
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_DPCM_16:
    case SF_FORMAT_DWVW_16:
    case SF_FORMAT_ALAC_16:
        return 16;
    case SF_FORMAT_ALAC_20:
        return 20;
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_DWVW_24:
    case SF_FORMAT_ALAC_24:
        return 24;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_ALAC_32:
        return 32;
    default:
        return 0;
    }
}

std::unique_ptr<AudioReader> AudioReader::Open(const std::string& path, std::string* error) {
    SF_INFO info{};
    std::unique_ptr<BufferedFile> buffered = BufferedFile::Open(path, false);
    // libsndfile reads standard input for "-", and streams it without seeking.
    SNDFILE* handle = buffered
                          ? sf_open_virtual(buffered->Calls(), SFM_READ, &info, buffered->User())
                          : sf_open(path.c_str(), SFM_READ, &info);
    const std::string shown = path == "-" ? "standard input" : path;
    if (!handle) {
        *error = "cannot read audio file " + shown + ": " + sf_strerror(nullptr);
        return nullptr;
    }
    std::unique_ptr<AudioReader> reader(new AudioReader);
    reader->buffered = std::move(buffered);
    reader->file = handle;
    if (info.channels <= 0 || info.frames < 0 || info.samplerate <= 0) {
        *error = shown + " holds no usable audio";
        return nullptr;
    }
    reader->channels = info.channels;
    reader->sampleRate = info.samplerate;
    reader->format = info.format;
    reader->floats = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT ||
                     (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_DOUBLE;
    reader->shown = shown;
    for (int id = SF_STR_FIRST; id <= SF_STR_LAST; ++id)
        if (const char* text = sf_get_string(handle, id); text && *text)
            reader->tags.emplace_back(id, text);
    // A pipe's header may announce a length libsndfile cannot vouch for.
    reader->frames = info.seekable && info.frames < SF_COUNT_MAX ? info.frames : -1;
    return reader;
}

AudioReader::AudioReader() = default;

AudioReader::~AudioReader() {
    if (file)
        sf_close(Handle(file));
}

std::size_t AudioReader::Read(double* data, std::size_t count) {
    if (!error.empty())
        return 0;
    return Got(data, sf_readf_double(Handle(file), data, static_cast<sf_count_t>(count)), count);
}

std::size_t AudioReader::Read(float* data, std::size_t count) {
    if (!error.empty())
        return 0;
    return Got(data, sf_readf_float(Handle(file), data, static_cast<sf_count_t>(count)), count);
}

template <class Sample> std::size_t AudioReader::Got(Sample* data, int64_t got, std::size_t count) {
    if (floats)
        for (int64_t i = 0; i < got * channels; ++i)
            if (!std::isfinite(data[i])) {
                data[i] = 0;
                ++nonFinite;
            }
    // A short read is the end of the audio, unless the decoder or the disk says it failed.
    if (got < static_cast<sf_count_t>(count)) {
        const std::string diskFailure = buffered ? buffered->Failure() : "";
        if (!diskFailure.empty() || sf_error(Handle(file)) != SF_ERR_NO_ERROR) {
            error = "cannot read " + shown + ": " +
                    (diskFailure.empty() ? sf_strerror(Handle(file)) : diskFailure);
            return 0;
        }
    }
    return static_cast<std::size_t>(std::max<int64_t>(got, 0));
}

bool AudioWriter::Check(const std::string& path, const OutputFormat& format, int channels,
                        double sampleRate, int sourceFormat, std::string* error) {
    if (ChosenFormat(format, channels, sampleRate, sourceFormat))
        return true;
    *error = "cannot write " + std::to_string(channels) + " channel" + (channels == 1 ? "" : "s") +
             " at " + std::to_string(static_cast<int>(sampleRate)) + " Hz as " +
             FormatName(format.major) + (format.subtype ? " in the sample format asked for" : "") +
             " to " + path;
    return false;
}

std::unique_ptr<AudioWriter> AudioWriter::Open(const std::string& path, const OutputFormat& format,
                                               int channels, double sampleRate, int sourceFormat,
                                               int64_t expectedFrames, std::string* error) {
    if (!Check(path, format, channels, sampleRate, sourceFormat, error))
        return nullptr;
    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = channels;
    info.format = ChosenFormat(format, channels, sampleRate, sourceFormat);
    const bool mayOverflow =
        expectedFrames < 0 ||
        expectedFrames > kLargestWavData / (BytesPerSample(info.format) * channels);
    const bool rf64 = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV && mayOverflow;
    if (rf64)
        info.format = SF_FORMAT_RF64 | (info.format & SF_FORMAT_SUBMASK);
    std::unique_ptr<BufferedFile> buffered = BufferedFile::Open(path, true);
    SNDFILE* handle = buffered
                          ? sf_open_virtual(buffered->Calls(), SFM_WRITE, &info, buffered->User())
                          : sf_open(path.c_str(), SFM_WRITE, &info);
    if (!handle) {
        *error = "cannot write audio file " + path + ": " + sf_strerror(nullptr);
        return nullptr;
    }
    std::unique_ptr<AudioWriter> writer(new AudioWriter);
    writer->buffered = std::move(buffered);
    writer->file = handle;
    writer->path = path;
    writer->format = info.format;
    writer->channels = channels;
    if (rf64)
        sf_command(handle, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
    // libsndfile's own conversion to integers truncates (with clipping on) or scales to
    // one step short of full scale (without): integers are made here.
    if (const int bits = IntegerBits(info.format))
        writer->rounding = std::make_unique<Quantizer>(bits, false);
    // The other formats clip what lies beyond full scale instead of wrapping it.
    sf_command(handle, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    if (double quality = EncoderQuality(format, info.format); !std::isnan(quality)) {
        quality /= 10.0;
        sf_command(handle, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    }
    return writer;
}

AudioWriter::AudioWriter() = default;

AudioWriter::~AudioWriter() {
    if (file)
        sf_close(Handle(file));
}

void AudioWriter::SetTags(const AudioTags& tags) {
    for (const auto& [id, text] : tags)
        sf_set_string(Handle(file), id, text.c_str());
}

bool AudioWriter::Write(const double* data, std::size_t count, std::string* error) {
    if (rounding)
        return Put(PutIntegers(data, count), count, error);
    return Put(sf_writef_double(Handle(file), data, static_cast<sf_count_t>(count)), count, error);
}

bool AudioWriter::Write(const float* data, std::size_t count, std::string* error) {
    if (rounding)
        return Put(PutIntegers(data, count), count, error);
    return Put(sf_writef_float(Handle(file), data, static_cast<sf_count_t>(count)), count, error);
}

// libsndfile takes integers of any width in the top bits of 32.
template <class Sample> int64_t AudioWriter::PutIntegers(const Sample* data, std::size_t count) {
    integers.resize(count * static_cast<std::size_t>(channels));
    if (onSteps) {
        // Full scale itself is one step past the largest of 32 bits, which a float can hold.
        for (std::size_t i = 0; i < integers.size(); ++i)
            integers[i] =
                static_cast<int32_t>(std::min(static_cast<double>(data[i]) * 0x1p31, 2147483647.0));
    } else {
        rounding->Round(data, integers.data(), integers.size(),
                        std::ldexp(1.0, 32 - IntegerBits(format)));
    }
    return sf_writef_int(Handle(file), integers.data(), static_cast<sf_count_t>(count));
}

bool AudioWriter::Put(int64_t put, std::size_t count, std::string* error) {
    if (put == static_cast<sf_count_t>(count))
        return true;
    const std::string diskFailure = buffered ? buffered->Failure() : "";
    *error = "cannot write audio file " + path + ": " +
             (diskFailure.empty() ? sf_strerror(Handle(file)) : diskFailure);
    return false;
}

bool AudioWriter::Close(std::string* error) {
    const int status = sf_close(Handle(file));
    file = nullptr;
    if (buffered && !buffered->Close()) {
        *error = "cannot write audio file " + path + ": " + buffered->Failure();
        return false;
    }
    if (status == 0)
        return true;
    *error = "cannot complete audio file " + path + ": " + sf_error_number(status);
    return false;
}

bool ReadAudio(const std::string& path, AudioData* audio, std::string* error) {
    const std::unique_ptr<AudioReader> reader = AudioReader::Open(path, error);
    if (!reader)
        return false;
    const auto channels = static_cast<std::size_t>(reader->Channels());
    audio->sampleRate = reader->SampleRate();
    audio->format = reader->Format();
    audio->channels.assign(channels, {});
    std::vector<double> block(kWholeFileBlock * channels);
    while (const std::size_t got = reader->Read(block.data(), kWholeFileBlock))
        for (std::size_t ch = 0; ch < channels; ++ch)
            for (std::size_t i = 0; i < got; ++i)
                audio->channels[ch].push_back(block[i * channels + ch]);
    *error = reader->Error();
    return error->empty();
}

bool WriteAudio(const std::string& path, const AudioData& audio, int sourceFormat,
                std::string* error) {
    OutputFormat format;
    if (!ResolveOutputFormat(path, "", "", &format, error))
        return false;
    const std::size_t channels = audio.channels.size();
    const std::size_t frames = audio.Frames();
    const std::unique_ptr<AudioWriter> writer =
        AudioWriter::Open(path, format, static_cast<int>(channels), audio.sampleRate, sourceFormat,
                          static_cast<int64_t>(frames), error);
    if (!writer)
        return false;
    std::vector<double> interleaved(channels * frames);
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t ch = 0; ch < channels; ++ch)
            interleaved[i * channels + ch] = audio.channels[ch][i];
    return writer->Write(interleaved.data(), frames, error) && writer->Close(error);
}
