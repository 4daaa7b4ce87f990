#include "CLAPTestAudio.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

namespace {
// Quiet NaNs with a payload of their own; compared bit for bit.
template <class Sample> Sample GuardValue();
template <> float GuardValue<float>() {
    return std::bit_cast<float>(uint32_t{0x7FE5A5A5u});
}
template <> double GuardValue<double>() {
    return std::bit_cast<double>(uint64_t{0x7FFCA5A5A5A5A5A5u});
}

template <class Sample> bool IsGuard(Sample value) {
    const Sample guard = GuardValue<Sample>();
    return std::memcmp(&value, &guard, sizeof(Sample)) == 0;
}
} // namespace

template <class Sample>
CLAPAudioBuffers<Sample>::CLAPAudioBuffers(const std::vector<uint32_t>& channelsPerPort,
                                           uint32_t length)
    : frames(length) {
    for (const uint32_t count : channelsPerPort) {
        std::vector<Sample*> pointers;
        for (uint32_t channel = 0; channel < count; ++channel) {
            std::vector<Sample>& samples = storage.emplace_back(frames + 2 * kGuard, Sample(0));
            std::fill_n(samples.begin(), kGuard, GuardValue<Sample>());
            std::fill_n(samples.end() - kGuard, kGuard, GuardValue<Sample>());
            pointers.push_back(samples.data() + kGuard);
        }
        channels.push_back(std::move(pointers));
    }
    for (std::vector<Sample*>& pointers : channels) {
        clap_audio_buffer_t buffer{nullptr, nullptr, static_cast<uint32_t>(pointers.size()), 0, 0};
        if constexpr (std::is_same_v<Sample, float>)
            buffer.data32 = pointers.data();
        else
            buffer.data64 = pointers.data();
        buffers.push_back(buffer);
    }
}

template <class Sample>
Sample* CLAPAudioBuffers<Sample>::Channel(uint32_t port, uint32_t channel) const {
    return channels.at(port).at(channel);
}

template <class Sample> void CLAPAudioBuffers<Sample>::Fill(Sample value) {
    for (std::vector<Sample>& samples : storage)
        std::fill(samples.begin() + kGuard, samples.end() - kGuard, value);
}

template <class Sample> bool CLAPAudioBuffers<Sample>::GuardsIntact() const {
    return std::all_of(storage.begin(), storage.end(), [](const std::vector<Sample>& samples) {
        return std::all_of(samples.begin(), samples.begin() + kGuard, IsGuard<Sample>) &&
               std::all_of(samples.end() - kGuard, samples.end(), IsGuard<Sample>);
    });
}

template <class Sample>
void CLAPAudioBuffers<Sample>::ShareWith(uint32_t port, const CLAPAudioBuffers& other,
                                         uint32_t otherPort) {
    channels.at(port) = other.channels.at(otherPort);
    clap_audio_buffer_t& buffer = buffers.at(port);
    buffer.channel_count = static_cast<uint32_t>(channels[port].size());
    if constexpr (std::is_same_v<Sample, float>)
        buffer.data32 = channels[port].data();
    else
        buffer.data64 = channels[port].data();
}

template class CLAPAudioBuffers<float>;
template class CLAPAudioBuffers<double>;
