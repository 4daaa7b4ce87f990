#include "CLAPTestEvents.h"

#include <algorithm>

namespace {
// Larger than any CLAP event record; a size past this is garbage.
constexpr uint32_t kLargestEvent = 64 * 1024;

clap_event_header_t CoreHeader(uint16_t type, uint32_t time, uint32_t size) {
    return {size, time, CLAP_CORE_EVENT_SPACE_ID, type, 0};
}
} // namespace

clap_event_param_value_t CLAPParamValue(uint32_t time, clap_id id, double value, void* cookie) {
    return {CoreHeader(CLAP_EVENT_PARAM_VALUE, time, sizeof(clap_event_param_value_t)),
            id,
            cookie,
            -1,
            -1,
            -1,
            -1,
            value};
}

clap_event_param_mod_t CLAPParamMod(uint32_t time, clap_id id, double amount) {
    return {CoreHeader(CLAP_EVENT_PARAM_MOD, time, sizeof(clap_event_param_mod_t)),
            id,
            nullptr,
            -1,
            -1,
            -1,
            -1,
            amount};
}

clap_event_header_t CLAPEventHeader(uint16_t type, uint32_t time, uint32_t size) {
    return CoreHeader(type, time, size);
}

CLAPInputEvents::CLAPInputEvents() : list{this, Size, Get} {}

uint32_t CLAPInputEvents::Size(const clap_input_events_t* list) {
    return static_cast<const CLAPInputEvents*>(list->ctx)->Count();
}

const clap_event_header_t* CLAPInputEvents::Get(const clap_input_events_t* list, uint32_t index) {
    const auto* self = static_cast<const CLAPInputEvents*>(list->ctx);
    if (index >= self->events.size())
        return nullptr;
    return reinterpret_cast<const clap_event_header_t*>(self->events[index].get());
}

void CLAPInputEvents::AddBytes(const void* event, std::size_t recordSize) {
    clap_event_header_t header;
    std::memcpy(&header, event, sizeof(header));
    const std::size_t size = std::max<std::size_t>(header.size, sizeof(header));
    auto bytes = std::make_unique<unsigned char[]>(size); // zero-filled
    std::memcpy(bytes.get(), event, std::min(size, recordSize));
    events.push_back(std::move(bytes));
}

CLAPOutputEvents::CLAPOutputEvents(std::size_t limit) : list{this, TryPush}, capacity(limit) {}

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

clap_event_header_t CLAPOutputEvents::Header(std::size_t index) const {
    clap_event_header_t header;
    std::memcpy(&header, events.at(index).data(), sizeof(header));
    return header;
}

std::vector<uint16_t> CLAPOutputEvents::Types() const {
    std::vector<uint16_t> types;
    for (std::size_t i = 0; i < events.size(); ++i)
        types.push_back(Header(i).type);
    return types;
}
