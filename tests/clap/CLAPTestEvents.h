#pragma once

#include "CLAPInterface.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

// Events as a host builds them: core space, no flags, the size of the record. A test
// changes any field afterwards to make an event hostile (another space, a smaller size).
clap_event_param_value_t CLAPParamValue(uint32_t time, clap_id id, double value,
                                        void* cookie = nullptr);
clap_event_param_mod_t CLAPParamMod(uint32_t time, clap_id id, double amount);
// A header alone, for event types we declare no record for (notes, MIDI); the list pads
// it with zeros up to size.
clap_event_header_t CLAPEventHeader(uint16_t type, uint32_t time, uint32_t size);

// An input event list made from the events the test adds, in that order (the test keeps
// them sorted, or not, on purpose). Each event has an allocation of its own, exactly as
// large as its header's size (but never smaller than a header), so that under
// AddressSanitizer a plug-in reading past a too-small event is caught.
class CLAPInputEvents {
public:
    CLAPInputEvents();
    CLAPInputEvents(const CLAPInputEvents&) = delete;
    CLAPInputEvents& operator=(const CLAPInputEvents&) = delete;

    // Copies the event's first header.size bytes (zeros past the record).
    template <class Event> CLAPInputEvents& Add(const Event& event) {
        AddBytes(&event, sizeof(Event));
        return *this;
    }

    const clap_input_events_t* List() const { return &list; }
    uint32_t Count() const { return static_cast<uint32_t>(events.size()); }

private:
    static uint32_t QUELOR_CLAP_CALL Size(const clap_input_events_t* list);
    static const clap_event_header_t* QUELOR_CLAP_CALL Get(const clap_input_events_t* list,
                                                           uint32_t index);
    void AddBytes(const void* event, std::size_t recordSize);

    clap_input_events_t list;
    std::vector<std::unique_ptr<unsigned char[]>> events;
};

// An output event list that keeps a copy of every event the plug-in pushes. It refuses
// (answers false to) an event without a whole header, or one larger than any CLAP record
// could be, and every event once `capacity` are queued. One thread at a time: the
// plug-in's pushes during a call, the test's reads after it.
class CLAPOutputEvents {
public:
    explicit CLAPOutputEvents(std::size_t capacity = SIZE_MAX);
    CLAPOutputEvents(const CLAPOutputEvents&) = delete;
    CLAPOutputEvents& operator=(const CLAPOutputEvents&) = delete;

    const clap_output_events_t* List() const { return &list; }
    std::size_t Count() const { return events.size(); }
    clap_event_header_t Header(std::size_t index) const;
    // The event at index as Event, when it has that type and is large enough.
    template <class Event> std::optional<Event> As(std::size_t index, uint16_t type) const {
        const std::vector<unsigned char>& bytes = events.at(index);
        if (Header(index).type != type || bytes.size() < sizeof(Event))
            return std::nullopt;
        Event event;
        std::memcpy(&event, bytes.data(), sizeof(Event));
        return event;
    }
    std::vector<uint16_t> Types() const;
    uint32_t Refused() const { return refused; }

private:
    static bool QUELOR_CLAP_CALL TryPush(const clap_output_events_t* list,
                                         const clap_event_header_t* event);

    clap_output_events_t list;
    std::size_t capacity;
    std::vector<std::vector<unsigned char>> events;
    uint32_t refused = 0;
};
