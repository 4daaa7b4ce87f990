#pragma once

#include "CLAPInterface.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <type_traits>
#include <vector>

// The audio buffers of several ports, 32-bit (float) or 64-bit (double), as a host hands
// them over. Each channel sits between guard samples holding a NaN pattern no signal
// has, so a plug-in that writes before its first frame or past frames_count is caught.
template <class Sample> class CLAPAudioBuffers {
public:
    // One port per entry, with that many channels, each `frames` long and silent.
    CLAPAudioBuffers(const std::vector<uint32_t>& channelsPerPort, uint32_t length)
        : frames(length) {
        for (const uint32_t count : channelsPerPort) {
            std::vector<Sample*>& pointers = channels.emplace_back();
            for (uint32_t channel = 0; channel < count; ++channel) {
                std::vector<Sample>& samples = storage.emplace_back(frames + 2 * kGuard, Sample(0));
                std::fill_n(samples.begin(), kGuard, Guard());
                std::fill_n(samples.end() - kGuard, kGuard, Guard());
                pointers.push_back(samples.data() + kGuard);
            }
        }
        buffers.resize(channels.size());
        for (uint32_t port = 0; port < Count(); ++port)
            Point(port);
    }
    CLAPAudioBuffers(const CLAPAudioBuffers&) = delete;
    CLAPAudioBuffers& operator=(const CLAPAudioBuffers&) = delete;

    // What clap_process_t points at.
    clap_audio_buffer_t* Buffers() { return buffers.data(); }
    uint32_t Count() const { return static_cast<uint32_t>(buffers.size()); }
    uint32_t Frames() const { return frames; }
    // The channel as the port passes it (another set's after ShareWith).
    Sample* Channel(uint32_t port, uint32_t channel) const { return channels.at(port).at(channel); }

    bool GuardsIntact() const {
        const auto guard = [](Sample s) { return std::bit_cast<Bits>(s) == kGuardBits; };
        return std::all_of(storage.begin(), storage.end(), [&](const std::vector<Sample>& samples) {
            return std::all_of(samples.begin(), samples.begin() + kGuard, guard) &&
                   std::all_of(samples.end() - kGuard, samples.end(), guard);
        });
    }
    // From now on the port hands over a null pointer for this channel, as careless hosts do.
    void DropChannel(uint32_t port, uint32_t channel) { channels.at(port).at(channel) = nullptr; }
    // From now on, port `port` hands over the channels of other's port `otherPort`, as a
    // host does when it processes in place.
    void ShareWith(uint32_t port, const CLAPAudioBuffers& other, uint32_t otherPort) {
        channels.at(port) = other.channels.at(otherPort);
        Point(port);
    }

private:
    static constexpr uint32_t kGuard = 8;
    using Bits = std::conditional_t<sizeof(Sample) == 8, uint64_t, uint32_t>;
    // Quiet NaNs with a payload of their own; compared bit for bit.
    static constexpr Bits kGuardBits =
        static_cast<Bits>(sizeof(Sample) == 8 ? 0x7FFCA5A5A5A5A5A5u : 0x7FE5A5A5u);
    static Sample Guard() { return std::bit_cast<Sample>(kGuardBits); }
    void Point(uint32_t port) {
        clap_audio_buffer_t& buffer = buffers[port];
        buffer = {nullptr, nullptr, static_cast<uint32_t>(channels[port].size()), 0, 0};
        if constexpr (std::is_same_v<Sample, float>)
            buffer.data32 = channels[port].data();
        else
            buffer.data64 = channels[port].data();
    }

    uint32_t frames;
    // Per channel: kGuard guard samples, the frames, kGuard guard samples.
    std::vector<std::vector<Sample>> storage;
    std::vector<std::vector<Sample*>> channels;
    std::vector<clap_audio_buffer_t> buffers;
};
