#include "HostRunLoop.h"

// Windows hosts have no run loop to offer: editors run on the window's own messages.
// The loop still serves timers for tests that make one anyway; there are no
// descriptors to wait for.
bool HostRunLoop::OfferedOnThisPlatform() {
    return false;
}

std::vector<vst3::Linux::FileDescriptor>
HostRunLoop::WaitForReadable(const std::vector<vst3::Linux::FileDescriptor>&,
                             std::chrono::milliseconds timeout) {
    std::this_thread::sleep_for(timeout);
    return {};
}
