#include "CLAPTestEvents.h"

namespace {
// Larger than any CLAP event record; a size past this is garbage.
constexpr uint32_t kLargestEvent = 64 * 1024;
} // namespace

uint32_t CLAPInputEvents::Size(const clap_input_events_t* list) {
    return static_cast<uint32_t>(static_cast<const CLAPInputEvents*>(list->ctx)->events.size());
}

const clap_event_header_t* CLAPInputEvents::Get(const clap_input_events_t* list, uint32_t index) {
    const auto& events = static_cast<const CLAPInputEvents*>(list->ctx)->events;
    return index < events.size() ? reinterpret_cast<const clap_event_header_t*>(events[index].get())
                                 : nullptr;
}

bool CLAPOutputEvents::TryPush(const clap_output_events_t* list, const clap_event_header_t* event) {
    auto* self = static_cast<CLAPOutputEvents*>(list->ctx);
    if (!event || event->size < sizeof(clap_event_header_t) || event->size > kLargestEvent ||
        self->events.size() >= self->capacity) {
        ++self->refused;
        return false;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(event);
    self->events.emplace_back(bytes, bytes + event->size);
    return true;
}

std::vector<uint16_t> CLAPOutputEvents::Types() const {
    std::vector<uint16_t> types;
    for (std::size_t i = 0; i < events.size(); ++i)
        types.push_back(Header(i).type);
    return types;
}
