#include "CheckerHost.h"

#include <algorithm>
#include <cstring>

std::vector<HostCall> CheckerHost::Calls() const {
    std::lock_guard guard(mutex);
    return calls;
}

int CheckerHost::CountOf(int32_t opcode) const {
    std::lock_guard guard(mutex);
    return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                          [&](const HostCall& c) { return c.opcode == opcode; }));
}

void CheckerHost::ClearLog() {
    std::lock_guard guard(mutex);
    calls.clear();
}

intptr_t CheckerHost::Dispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                               void* ptr, float opt) {
    if (!live)
        return 0;
    CheckerHost& host = *live;
    HostCall call{effect, opcode, index, value, opt, {}, {}};
    if (opcode == audioMasterProcessEvents && ptr) {
        const auto* events = static_cast<const VstEvents*>(ptr);
        for (int32_t i = 0; i < events->numEvents; ++i) {
            call.eventPointers.push_back(events->events[i]);
            if (events->events[i])
                call.events.push_back(*events->events[i]);
        }
    }
    {
        std::lock_guard guard(host.mutex);
        host.calls.push_back(call);
    }
    if (host.reaction)
        host.reaction(call);
    switch (opcode) {
    case audioMasterGetProductString:
        // Hosts write at most kVstMaxProductStrLen bytes.
        std::strncpy(static_cast<char*>(ptr), host.productText.c_str(), kVstMaxProductStrLen - 1);
        static_cast<char*>(ptr)[kVstMaxProductStrLen - 1] = '\0';
        return 1;
    case audioMasterGetVendorVersion:
        return host.vendorVersion;
    case audioMasterProcessEvents:
        return host.processEventsAnswer;
    default:
        return 0;
    }
}
