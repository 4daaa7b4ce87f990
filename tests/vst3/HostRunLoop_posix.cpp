#include "HostRunLoop.h"

#include <poll.h>

using vst3::Linux::FileDescriptor;

bool HostRunLoop::OfferedOnThisPlatform() {
    return true;
}

std::vector<FileDescriptor> HostRunLoop::WaitForReadable(const std::vector<FileDescriptor>& fds,
                                                         std::chrono::milliseconds timeout) {
    std::vector<pollfd> polled;
    for (FileDescriptor fd : fds)
        polled.push_back({fd, POLLIN, 0});
    std::vector<FileDescriptor> readable;
    // An interrupted wait counts as one in which nothing happened.
    if (poll(polled.data(), polled.size(), static_cast<int>(timeout.count())) <= 0)
        return readable;
    // A descriptor that is closed or invalid is left out rather than reported for ever.
    for (const pollfd& entry : polled)
        if ((entry.revents & (POLLIN | POLLHUP | POLLERR)) && !(entry.revents & POLLNVAL))
            readable.push_back(entry.fd);
    return readable;
}
