#include "serial/host/manual_event.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

namespace host {

ManualEvent::ManualEvent(bool initiallySet) : fd_(eventfd(initiallySet ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0) throw std::runtime_error("eventfd failed");
}

ManualEvent::~ManualEvent() {
    close(fd_);
}

void ManualEvent::Set() {
    const std::uint64_t one = 1;
    while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void ManualEvent::Reset() {
    std::uint64_t value;
    while (read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool ManualEvent::IsSet() const {
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

} // namespace host
