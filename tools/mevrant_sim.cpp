// mevrant-sim: a simulated measuring device on a pseudo-terminal. It prints the device path as its first
// line of output and sends one reading per line while a reader has the device open.

#include "tools/sim_lines.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

const char* const kUsage =
    "usage: mevrant-sim [options]\n"
    "Opens a pseudo-terminal, prints its device path as the first line and sends one reading per line\n"
    "while the device is open on the other side (a reader that opens late misses nothing).\n"
    "  --rate HZ        lines per second (default 50)\n"
    "  --wave KIND      sine, ramp, noise or walk (default sine), values between 0 and 100\n"
    "  --file PATH      replay the values of a file, one per line (repeated when --count is larger)\n"
    "  --count N        send N lines, end when the reader has taken the last one (default: endless)\n"
    "  --eol END        cr, lf or crlf (default cr)\n"
    "  --decimals N     decimals of the generated values (default 3)\n"
    "  --channels N     N values per line, separated by commas, each a fraction of a period later (1 ... "
    "16)\n"
    "  --split          cut a line of every write in two: its rest goes with the next write\n"
    "  --burst K        K lines per write (default 1)\n"
    "  --garbage P      replace a fraction P (0 ... 1) of the lines by non-numbers\n"
    "  --max            send as fast as the reader takes\n"
    "  --seed N         seed of noise, walk and garbage (default 1)\n"
    "  --link PATH      make a symbolic link PATH to the device (removed at the end)\n"
    "  --parent PID     end when the process PID that started this one ends, however it ends\n"
    "  --answer         speak only when asked: one reading per query line received, nothing else\n"
    "  --query TEXT     the query --answer answers (default MEAS?); other lines are taken silently\n"
    "  --log PATH       append every line received from the reader to PATH\n"
    "  --udp HOST:PORT  send each write as a datagram to HOST:PORT instead (no pseudo-terminal)\n"
    "  --tcp-listen PORT  listen on 127.0.0.1:PORT and send to the client that connects instead\n"
    "Ends on SIGINT, SIGTERM or SIGHUP.\n";

struct Options {
    sim::LineOptions lines;
    double rate = 50;
    bool split = false;
    bool max = false;
    std::string link;
    long parent = 0;
    bool answer = false;
    std::string udp;   // HOST:PORT
    int tcpListen = 0; // port
    std::string query = "MEAS?";
    std::string log;
};

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "mevrant-sim: %s\n", message.c_str());
    std::exit(2);
}

double Number(const char* text, const char* what) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (errno || end == text || *end) Fail(std::string("invalid ") + what + ": " + text);
    return v;
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) Fail("missing value after " + a);
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (a == "--rate") {
            o.rate = Number(value(), "rate");
            if (!(o.rate > 0)) Fail("rate must be positive");
        } else if (a == "--wave") {
            const std::string w = value();
            if (w == "sine")
                o.lines.wave = sim::Wave::Sine;
            else if (w == "ramp")
                o.lines.wave = sim::Wave::Ramp;
            else if (w == "noise")
                o.lines.wave = sim::Wave::Noise;
            else if (w == "walk")
                o.lines.wave = sim::Wave::Walk;
            else
                Fail("unknown wave: " + w);
        } else if (a == "--file") {
            o.lines.file = value();
        } else if (a == "--count") {
            const double n = Number(value(), "count");
            if (n < 0 || n != static_cast<long long>(n)) Fail("count must be a whole number");
            o.lines.count = static_cast<long long>(n);
        } else if (a == "--eol") {
            const std::string e = value();
            if (e == "cr")
                o.lines.eol = "\r";
            else if (e == "lf")
                o.lines.eol = "\n";
            else if (e == "crlf")
                o.lines.eol = "\r\n";
            else
                Fail("unknown eol: " + e);
        } else if (a == "--decimals") {
            const double d = Number(value(), "decimals");
            if (d < 0 || d > 12 || d != static_cast<int>(d)) Fail("decimals must be 0 ... 12");
            o.lines.decimals = static_cast<int>(d);
        } else if (a == "--channels") {
            const double c = Number(value(), "channels");
            if (c < 1 || c > 16 || c != static_cast<int>(c)) Fail("channels must be 1 ... 16");
            o.lines.channels = static_cast<int>(c);
        } else if (a == "--split") {
            o.split = true;
        } else if (a == "--burst") {
            const double k = Number(value(), "burst");
            if (k < 1 || k != static_cast<int>(k)) Fail("burst must be a whole number of at least 1");
            o.lines.burst = static_cast<int>(k);
        } else if (a == "--garbage") {
            o.lines.garbage = Number(value(), "garbage fraction");
            if (o.lines.garbage < 0 || o.lines.garbage > 1) Fail("garbage fraction must be 0 ... 1");
        } else if (a == "--max") {
            o.max = true;
        } else if (a == "--seed") {
            o.lines.seed = static_cast<unsigned>(Number(value(), "seed"));
        } else if (a == "--answer") {
            o.answer = true;
        } else if (a == "--query") {
            o.query = value();
        } else if (a == "--log") {
            o.log = value();
        } else if (a == "--udp") {
            o.udp = value();
        } else if (a == "--tcp-listen") {
            const double p = Number(value(), "port");
            if (p < 1 || p > 65535 || p != static_cast<int>(p)) Fail("port must be 1 ... 65535");
            o.tcpListen = static_cast<int>(p);
        } else if (a == "--link") {
            o.link = value();
        } else if (a == "--parent") {
            const double pid = Number(value(), "parent");
            if (pid < 1 || pid != static_cast<long>(pid)) Fail("parent must be a process number");
            o.parent = static_cast<long>(pid);
        } else {
            Fail("unknown option " + a + " (see --help)");
        }
    }
    return o;
}

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The reader has the device open exactly when the master does not report a hang-up.
bool ReaderPresent(int master) {
    pollfd p{master, 0, 0};
    return !(poll(&p, 1, 0) > 0 && (p.revents & POLLHUP));
}

// Bytes written but not yet taken by the reader; -1 when that cannot be seen.
int UnreadBytes(int master) {
    const int peer = ioctl(master, TIOCGPTPEER, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (peer < 0) return -1;
    int n = 0;
    if (ioctl(peer, FIONREAD, &n) != 0) n = -1;
    close(peer);
    return n;
}

// A file that tells the port list of this program that a simulated device runs. Empty when the folder
// is not this user's own: in /tmp another user could have made it, and writing there would follow
// whatever links that user put in it.
std::string RegistrationPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string dir = runtime && *runtime ? std::string(runtime) + "/mevrant-sim"
                                          : "/tmp/mevrant-sim-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return dir + "/" + std::to_string(getpid());
}

constexpr int kParentGone = -1;
constexpr int kParentSignals = -2; // poll() passes over negative descriptors

// A descriptor that becomes readable when the process ends. A program that started this one may die by
// SIGKILL and never end it: watching it is the only sure way. Without process descriptors in the kernel,
// the parent's death sends SIGTERM instead (kParentSignals); kParentGone when it has ended already.
int WatchProcess(long pid) {
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
    if (fd >= 0) return fd;
    if (errno == ESRCH || getppid() != pid) return kParentGone;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    return getppid() == pid ? kParentSignals : kParentGone;
}

} // namespace

int main(int argc, char** argv) {
    Options o = Parse(argc, argv);
    sim::LineSource source(o.lines);
    if (!source.Error().empty()) Fail(source.Error());

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int sfd = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    std::signal(SIGPIPE, SIG_IGN);
    const int parent = o.parent ? WatchProcess(o.parent) : -1;
    if (o.parent && parent == kParentGone) return 0; // the program that wanted this device is gone

    // Over the network the device is a datagram socket or the client of a listening one; the lines,
    // their timing and the end are the same.
    const bool network = !o.udp.empty() || o.tcpListen > 0;
    int master = -1, listener = -1;
    std::string device;
    if (!o.udp.empty()) {
        const std::size_t colon = o.udp.rfind(':');
        sockaddr_in to{};
        to.sin_family = AF_INET;
        if (colon == std::string::npos ||
            inet_pton(AF_INET, o.udp.substr(0, colon).c_str(), &to.sin_addr) != 1)
            Fail("--udp needs an IPv4 HOST:PORT, not " + o.udp);
        to.sin_port = htons(static_cast<std::uint16_t>(Number(o.udp.substr(colon + 1).c_str(), "port")));
        master = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (master < 0 || connect(master, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
            Fail(std::string("no datagram socket: ") + std::strerror(errno));
        device = "udp://" + o.udp;
    } else if (o.tcpListen > 0) {
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        at.sin_port = htons(static_cast<std::uint16_t>(o.tcpListen));
        listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int one = 1;
        setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
            listen(listener, 1) != 0)
            Fail("cannot listen on 127.0.0.1:" + std::to_string(o.tcpListen) + ": " + std::strerror(errno));
        device = "tcp://127.0.0.1:" + std::to_string(o.tcpListen);
    } else {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            Fail(std::string("no pseudo-terminal: ") + std::strerror(errno));
        device = ptsname(master);
    }
    if (!network) {
        // Raw from the start, so nothing written before the reader sets up is translated; the open and
        // close also makes the master report a hang-up while no reader is there.
        const int slave = open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave < 0) Fail("cannot open " + device + ": " + std::strerror(errno));
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        close(slave);
    }
    if (!o.link.empty()) {
        struct stat st {};
        if (lstat(o.link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) unlink(o.link.c_str());
        if (symlink(device.c_str(), o.link.c_str()) != 0)
            Fail("cannot link " + o.link + ": " + std::strerror(errno));
    }
    const std::string registration = network ? std::string() : RegistrationPath();
    const int reg = registration.empty() ? -1
                                         : open(registration.c_str(),
                                                O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (reg >= 0) {
        const std::string text = device + "\n" + o.link + "\n";
        if (write(reg, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            unlink(registration.c_str());
        close(reg);
    }
    std::printf("%s\n", device.c_str());
    std::fflush(stdout);

    sim::Chunker chunker(source, o.split);
    const double interval = o.max ? 0.0 : o.lines.burst / o.rate;
    std::string pending;
    std::size_t offset = 0;
    double due = 0;
    bool stop = false;
    int drainedChecks = 0;
    FILE* log = o.log.empty() ? nullptr : std::fopen(o.log.c_str(), "ae");
    if (!o.log.empty() && !log) Fail("cannot open " + o.log + ": " + std::strerror(errno));
    std::string heard; // what the reader sent, up to its next line end
    // Whether someone takes the lines: the pseudo-terminal's reader, any datagram's, the TCP client.
    const auto present = [&] {
        if (!o.udp.empty()) return true;
        if (o.tcpListen == 0) return ReaderPresent(master);
        if (master >= 0) {
            pollfd p{master, POLLRDHUP, 0};
            if (poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR))) {
                close(master);
                master = -1;
            }
        }
        return master >= 0;
    };
    const auto unreadBytes = [&] {
        if (!o.udp.empty()) return 0;
        if (o.tcpListen == 0) return UnreadBytes(master);
        int n = 0;
        return ioctl(master, SIOCOUTQ, &n) == 0 ? n : -1;
    };
    while (!stop) {
        pollfd fds[3] = {{sfd, POLLIN, 0}, {master, 0, 0}, {parent, POLLIN, 0}};
        int timeoutMs = 50;
        if (o.answer) {
            // Only asked: every query line gets the next reading. The end comes as without --answer.
            if (!present()) {
                if (source.Done() && offset >= pending.size()) break;
                fds[1].fd = -1;
            } else if (source.Done() && offset >= pending.size()) {
                drainedChecks = unreadBytes() == 0 ? drainedChecks + 1 : 0;
                if (drainedChecks >= 2) break;
                fds[1].events = POLLIN;
                timeoutMs = 20;
            } else {
                fds[1].events = POLLIN | (offset < pending.size() ? POLLOUT : 0);
            }
        } else if (!present()) {
            if (chunker.Done() && offset >= pending.size()) break; // all sent; the reader has left
            due = 0;                                               // start at once when a reader comes
            fds[1].fd = -1; // the hang-up would wake poll() at once: look again after the time-out
        } else if (offset < pending.size()) {
            fds[1].events = POLLOUT;
            timeoutMs = -1;
        } else if (!chunker.Done()) {
            const double now = Now();
            if (due == 0) due = now;
            if (now >= due) {
                pending = chunker.Next();
                offset = 0;
                due += interval;
                if (due < now - 1.0) due = now; // after a stall, do not rush to catch up
                continue;
            }
            timeoutMs = static_cast<int>((due - now) * 1000.0) + 1;
        } else {
            // Everything written: end once the reader has taken it (seen empty twice, for bytes in flight).
            const int unread = unreadBytes();
            drainedChecks = unread == 0 ? drainedChecks + 1 : 0;
            if (drainedChecks >= 2) break;
            timeoutMs = 20;
        }
        if (listener >= 0 && master < 0) fds[1] = {listener, POLLIN, 0};
        poll(fds, 3, timeoutMs);
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (read(sfd, &info, sizeof info) > 0) stop = true;
        }
        if (fds[2].revents & POLLIN) stop = true;
        if (listener >= 0 && master < 0) {
            if (fds[1].revents & POLLIN) {
                master = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                const int one = 1;
                if (master >= 0) setsockopt(master, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            }
            continue;
        }
        if (o.answer && (fds[1].revents & POLLIN)) {
            char in[4096];
            const ssize_t n = read(master, in, sizeof in);
            for (ssize_t i = 0; i < n; ++i) {
                if (in[i] != '\r' && in[i] != '\n') {
                    heard += in[i];
                    continue;
                }
                if (heard.empty()) continue; // the second half of CR LF, or an empty line
                if (log) std::fprintf(log, "%s\n", heard.c_str());
                if (heard == o.query && !source.Done()) {
                    if (offset >= pending.size()) pending.clear(), offset = 0;
                    pending += source.Next();
                }
                heard.clear();
            }
            if (log) std::fflush(log);
        }
        if ((fds[1].revents & POLLOUT) && offset < pending.size() && present()) {
            const ssize_t n = write(master, pending.data() + offset, pending.size() - offset);
            if (n > 0)
                offset += static_cast<std::size_t>(n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR && !o.udp.empty())
                offset = pending.size(); // nobody listens at the address yet: the datagram is gone
            else if (n < 0 && errno != EAGAIN && errno != EINTR && o.tcpListen > 0)
                close(master), master = -1; // the client went: the next one gets the rest
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                Fail(std::string("write failed: ") + std::strerror(errno));
        }
    }
    if (log) std::fclose(log);
    if (!o.link.empty()) unlink(o.link.c_str());
    if (reg >= 0) unlink(registration.c_str());
    if (master >= 0) close(master);
    if (listener >= 0) close(listener);
    if (parent >= 0) close(parent);
    return 0;
}
