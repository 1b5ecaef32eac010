// The ceiling of a pseudo-terminal on this machine: opens a device as the port does (raw, not blocking),
// reads it in large chunks for a number of seconds and counts the lines (text up to a CR, LF or CR LF).
// Nothing is framed, converted or stored, so no receive path takes more lines per second from the same
// writer.
//   pty_reader DEVICE SECONDS
// Prints lines=N bytes=N seconds=S rate=LINES_PER_SECOND.
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <vector>

namespace {
double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pty_reader DEVICE SECONDS\n");
        return 2;
    }
    const double seconds = std::atof(argv[2]);
    const int fd = ::open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "pty_reader: %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        std::fprintf(stderr, "pty_reader: %s is not a terminal\n", argv[1]);
        return 1;
    }
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    std::vector<char> buffer(1 << 20);
    long long lines = 0, bytes = 0;
    bool atLineEnd = true; // an end right after an end (CR LF, empty lines) ends no line
    const double start = Now();
    double now = start;
    while (now - start < seconds) {
        pollfd p{fd, POLLIN, 0};
        const int left = static_cast<int>((seconds - (now - start)) * 1000) + 1;
        if (::poll(&p, 1, left) < 0 && errno != EINTR) break;
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n > 0) {
            bytes += n;
            for (ssize_t i = 0; i < n; ++i) {
                const bool end = buffer[static_cast<std::size_t>(i)] == '\r' ||
                                 buffer[static_cast<std::size_t>(i)] == '\n';
                lines += end && !atLineEnd;
                atLineEnd = end;
            }
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            break; // the writer went away
        }
        now = Now();
    }
    const double elapsed = now - start;
    std::printf("lines=%lld bytes=%lld seconds=%.3f rate=%.0f\n", lines, bytes, elapsed,
                elapsed > 0 ? static_cast<double>(lines) / elapsed : 0.0);
    ::close(fd);
    return 0;
}
