#pragma once

#include "VST2Interface.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// A host stand-in for the tests: it logs every call a plug-in makes into the
// host and answers from fields the test sets.
struct HostCall {
    AEffect* effect;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    float opt;
    // For audioMasterProcessEvents: the events as they were during the call.
    std::vector<VstEvent> events;
    std::vector<VstEvent*> eventPointers;
};

class CheckerHost {
public:
    CheckerHost() { live = this; }
    ~CheckerHost() { live = nullptr; }
    CheckerHost(const CheckerHost&) = delete;
    CheckerHost& operator=(const CheckerHost&) = delete;

    // The callback to hand to an entry point; it reaches the live checker.
    static audioMasterCallback Callback() { return &Dispatch; }

    std::vector<HostCall> Calls() const;
    int CountOf(int32_t opcode) const;
    void ClearLog();

    std::string productText = "Checker Host";
    intptr_t vendorVersion = 1000;
    intptr_t processEventsAnswer = 1;
    // The host's own response to a call, after it is logged and before it is answered:
    // hosts call the plug-in back from their handlers.
    std::function<void(const HostCall&)> reaction;

private:
    static intptr_t Dispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float opt);

    static inline CheckerHost* live = nullptr;
    mutable std::mutex mutex;
    std::vector<HostCall> calls;
};
