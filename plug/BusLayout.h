#pragma once

#include <cstdint>
#include <span>
#include <vector>

// One legal channel configuration, as VST 2 lists them.
struct IChannelIO {
    int32_t inputs;
    int32_t outputs;
    bool operator==(const IChannelIO&) const = default;
};

enum class BusRole { kMain, kSidechain };
enum class BusDirection { kInput, kOutput };

// A group of channels that a host routes as one. The effect's channels are its buses'
// channels one after the other, inputs and outputs each in the order the buses are listed.
struct BusDescription {
    const char* name; // as hosts list it
    BusRole role;
    int channels;
    // The host may leave it unconnected; where a format routes buses, it starts off.
    bool optional;
    // A host's single channel feeds both channels of the pair, so that a linked detector
    // hears mono as it hears the same audio on two channels.
    bool monoFeedsBoth;
    // Each channel's short and long names, where a format lists channels one by one.
    const char* channelSymbols[2];
    const char* channelNames[2];
};

// Every bus of an effect. Formats derive from it all they tell a host about channels: the
// VST 2 configurations and pins, the VST 3 buses, the CLAP ports and the LV2 ports.
struct BusLayout {
    std::span<const BusDescription> inputs;
    std::span<const BusDescription> outputs;

    std::span<const BusDescription> In(BusDirection direction) const {
        return direction == BusDirection::kInput ? inputs : outputs;
    }
    // All channels of a direction.
    int ChannelCount(BusDirection direction) const;
    // The effect's index of a bus's first channel.
    int FirstChannel(BusDirection direction, int bus) const;
    // The bus of a role, or -1.
    int BusOf(BusDirection direction, BusRole role) const;
    // The configurations a VST 2 host may choose among: the main input in each width it
    // takes (mono too where mono feeds both) with as many outputs, first without the
    // optional inputs, then with them.
    std::vector<IChannelIO> ChannelConfigurations() const;
};
