#pragma once

#include "CLAPInterface.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

// Events as a host builds them: core space, no flags, the size of the record. A test
// changes any field afterwards to make an event hostile (another space, a smaller size).
// A header alone stands for event types we declare no record for (notes, MIDI).
inline clap_event_header_t CLAPEventHeader(uint16_t type, uint32_t time, uint32_t size) {
    return {size, time, CLAP_CORE_EVENT_SPACE_ID, type, 0};
}
inline clap_event_param_value_t CLAPParamValue(uint32_t time, clap_id id, double value) {
    const clap_event_header_t header =
        CLAPEventHeader(CLAP_EVENT_PARAM_VALUE, time, sizeof(clap_event_param_value_t));
    return {header, id, nullptr, -1, -1, -1, -1, value};
}

// An input event list made from the events the test adds, in that order (the test keeps
// them sorted, or not, on purpose). Each event has an allocation of its own, exactly as
// large as its header's size (but never smaller than a header; zeros past the record),
// so that under AddressSanitizer a plug-in reading past a too-small event is caught.
class CLAPInputEvents {
public:
    template <class Event> CLAPInputEvents& Add(const Event& event) {
        clap_event_header_t header;
        std::memcpy(&header, &event, sizeof header);
        const std::size_t size = std::max<std::size_t>(header.size, sizeof header);
        auto& bytes = events.emplace_back(std::make_unique<unsigned char[]>(size)); // zero-filled
        std::memcpy(bytes.get(), &event, std::min(size, sizeof(Event)));
        return *this;
    }
    const clap_input_events_t* List() const { return &list; }

private:
    static uint32_t QUELOR_CLAP_CALL Size(const clap_input_events_t* list);
    static const clap_event_header_t* QUELOR_CLAP_CALL Get(const clap_input_events_t* list,
                                                           uint32_t index);

    clap_input_events_t list{this, Size, Get};
    std::vector<std::unique_ptr<unsigned char[]>> events;
};

// An output event list that keeps a copy of every event the plug-in pushes. It refuses
// (answers false to) an event without a whole header, or one larger than any CLAP record
// could be, and every event once `capacity` are queued. One thread at a time: the
// plug-in's pushes during a call, the test's reads after it.
class CLAPOutputEvents {
public:
    explicit CLAPOutputEvents(std::size_t limit = SIZE_MAX) : capacity(limit) {}
    CLAPOutputEvents(const CLAPOutputEvents&) = delete;
    CLAPOutputEvents& operator=(const CLAPOutputEvents&) = delete;

    const clap_output_events_t* List() const { return &list; }
    std::size_t Count() const { return events.size(); }
    // The event at index as Event, zeros past what the plug-in sent.
    template <class Event = clap_event_header_t> Event As(std::size_t index) const {
        const std::vector<unsigned char>& bytes = events.at(index);
        Event event{};
        std::memcpy(&event, bytes.data(), std::min(bytes.size(), sizeof(Event)));
        return event;
    }
    clap_event_header_t Header(std::size_t index) const { return As(index); }
    std::vector<uint16_t> Types() const;
    uint32_t Refused() const { return refused; }

private:
    static bool QUELOR_CLAP_CALL TryPush(const clap_output_events_t* list,
                                         const clap_event_header_t* event);

    clap_output_events_t list{this, TryPush};
    std::size_t capacity;
    std::vector<std::vector<unsigned char>> events;
    uint32_t refused = 0;
};
