#include "AudioFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace {
struct CloseFile {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using FileHandle = std::unique_ptr<SNDFILE, CloseFile>;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The container libsndfile knows by this extension, or 0.
int MajorFormatFor(const std::string& path) {
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos)
        return 0;
    std::string extension = Lower(path.substr(dot + 1));
    if (extension == "aif")
        extension = "aiff";
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info);
        if (info.extension && extension == info.extension)
            return info.format;
    }
    return 0;
}
} // namespace

bool ReadAudio(const std::string& path, AudioData* audio, std::string* error) {
    SF_INFO info{};
    FileHandle file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) {
        *error = "cannot read audio file " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    if (info.channels <= 0 || info.frames < 0 || info.samplerate <= 0) {
        *error = path + " holds no usable audio";
        return false;
    }
    const auto channels = static_cast<std::size_t>(info.channels);
    const auto frames = static_cast<std::size_t>(info.frames);
    std::vector<double> interleaved(channels * frames);
    const sf_count_t got = sf_readf_double(file.get(), interleaved.data(), info.frames);
    const auto read = static_cast<std::size_t>(std::max<sf_count_t>(got, 0));
    audio->sampleRate = info.samplerate;
    audio->format = info.format;
    audio->channels.assign(channels, std::vector<double>(read));
    for (std::size_t i = 0; i < read; ++i)
        for (std::size_t ch = 0; ch < channels; ++ch)
            audio->channels[ch][i] = interleaved[i * channels + ch];
    return true;
}

bool WriteAudio(const std::string& path, const AudioData& audio, int sourceFormat,
                std::string* error) {
    const int major = MajorFormatFor(path);
    if (!major) {
        *error = "cannot tell the audio format of " + path + " from its extension";
        return false;
    }
    SF_INFO info{};
    info.samplerate = static_cast<int>(audio.sampleRate);
    info.channels = static_cast<int>(audio.channels.size());
    const int candidates[] = {sourceFormat & SF_FORMAT_SUBMASK,
                              SF_FORMAT_FLOAT,
                              SF_FORMAT_PCM_24,
                              SF_FORMAT_PCM_16,
                              SF_FORMAT_VORBIS,
                              SF_FORMAT_OPUS};
    bool found = false;
    for (int subtype : candidates) {
        info.format = major | subtype;
        if (subtype && sf_format_check(&info)) {
            found = true;
            break;
        }
    }
    if (!found) {
        *error = "no sample format found for writing " + path;
        return false;
    }
    FileHandle file(sf_open(path.c_str(), SFM_WRITE, &info));
    if (!file) {
        *error = "cannot write audio file " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    // Integer formats clip what lies beyond full scale instead of wrapping it.
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const std::size_t channels = audio.channels.size();
    const std::size_t frames = audio.Frames();
    std::vector<double> interleaved(channels * frames);
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t ch = 0; ch < channels; ++ch)
            interleaved[i * channels + ch] = audio.channels[ch][i];
    if (sf_writef_double(file.get(), interleaved.data(), static_cast<sf_count_t>(frames)) !=
        static_cast<sf_count_t>(frames)) {
        *error = "cannot write audio file " + path + ": " + sf_strerror(file.get());
        return false;
    }
    return true;
}
