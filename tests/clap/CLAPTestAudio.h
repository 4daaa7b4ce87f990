#pragma once

#include "CLAPInterface.h"

#include <cstdint>
#include <vector>

// The audio buffers of several ports, 32-bit (float) or 64-bit (double), as a host hands
// them over. Each channel sits between guard samples holding a NaN pattern no signal
// has, so a plug-in that writes before its first frame or past frames_count is caught.
template <class Sample> class CLAPAudioBuffers {
public:
    // One port per entry, with that many channels, each `frames` long and silent.
    CLAPAudioBuffers(const std::vector<uint32_t>& channelsPerPort, uint32_t frames);
    CLAPAudioBuffers(const CLAPAudioBuffers&) = delete;
    CLAPAudioBuffers& operator=(const CLAPAudioBuffers&) = delete;

    // What clap_process_t points at; a test may change any field to make a port hostile.
    clap_audio_buffer_t* Buffers() { return buffers.data(); }
    clap_audio_buffer_t& Port(uint32_t port) { return buffers.at(port); }
    uint32_t Count() const { return static_cast<uint32_t>(buffers.size()); }
    uint32_t Frames() const { return frames; }
    // The channel as the port passes it (another set's after ShareWith).
    Sample* Channel(uint32_t port, uint32_t channel) const;

    // Sets every frame of every channel of our own.
    void Fill(Sample value);
    bool GuardsIntact() const;
    // From now on, port `port` hands over the channels of other's port `otherPort`, as a
    // host does when it processes in place.
    void ShareWith(uint32_t port, const CLAPAudioBuffers& other, uint32_t otherPort);

private:
    static constexpr uint32_t kGuard = 8;

    uint32_t frames;
    // Per channel: kGuard guard samples, the frames, kGuard guard samples.
    std::vector<std::vector<Sample>> storage;
    std::vector<std::vector<Sample*>> channels;
    std::vector<clap_audio_buffer_t> buffers;
};

extern template class CLAPAudioBuffers<float>;
extern template class CLAPAudioBuffers<double>;
