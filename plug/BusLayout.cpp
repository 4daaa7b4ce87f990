#include "BusLayout.h"

#include <algorithm>

int BusLayout::ChannelCount(BusDirection direction) const {
    int count = 0;
    for (const BusDescription& bus : In(direction))
        count += bus.channels;
    return count;
}

int BusLayout::FirstChannel(BusDirection direction, int bus) const {
    int first = 0;
    for (int i = 0; i < bus; ++i)
        first += In(direction)[static_cast<std::size_t>(i)].channels;
    return first;
}

int BusLayout::BusOf(BusDirection direction, BusRole role) const {
    const auto buses = In(direction);
    for (std::size_t i = 0; i < buses.size(); ++i)
        if (buses[i].role == role)
            return static_cast<int>(i);
    return -1;
}

std::vector<IChannelIO> BusLayout::ChannelConfigurations() const {
    int required = 0;
    int optional = 0;
    const BusDescription* main = nullptr;
    for (const BusDescription& bus : inputs) {
        (bus.optional ? optional : required) += bus.channels;
        if (!main && bus.role == BusRole::kMain)
            main = &bus;
    }
    const int outputChannels = ChannelCount(BusDirection::kOutput);
    std::vector<int> mainWidths;
    if (main && main->monoFeedsBoth && main->channels > 1)
        mainWidths.push_back(1);
    mainWidths.push_back(main ? main->channels : 0);
    const int others = required - (main ? main->channels : 0);
    std::vector<IChannelIO> configurations;
    for (const int extra : {0, optional}) {
        for (const int width : mainWidths)
            configurations.push_back(
                {width + others + extra, main ? std::min(width, outputChannels) : outputChannels});
        if (optional == 0)
            break;
    }
    return configurations;
}
