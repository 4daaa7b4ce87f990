#pragma once

#include <string>
#include <vector>

// Audio files through libsndfile: every format it reads, channels held apart.
struct AudioData {
    double sampleRate = 0.0;
    int format = 0; // libsndfile format word of the file read, 0 for synthesized audio
    std::vector<std::vector<double>> channels;

    std::size_t Frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

// Main thread. false with a one-line reason in error.
bool ReadAudio(const std::string& path, AudioData* audio, std::string* error);
// Main thread. The container comes from the file name's extension; the sample
// format is the source's when the container takes it, else the best it takes.
bool WriteAudio(const std::string& path, const AudioData& audio, int sourceFormat,
                std::string* error);
