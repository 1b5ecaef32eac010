#include "serial/host/comm_device.h"

#include "serial/host/access_advice.h"
#include "serial/host/custom_baud.h"
#include "serial/host/last_error.h"
#include "serial/host/termios_map.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace host {

namespace {

constexpr std::size_t kDefaultQueue = 4096;
constexpr DWORD kLargestQueue = 16u * 1024u * 1024u;

bool NoModemLines(int err) {
    return err == ENOTTY || err == EINVAL;
}

} // namespace

std::string DevicePath(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    if (name.size() > 3 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(name[2])) == 'M' &&
        std::all_of(name.begin() + 3, name.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) &&
        name.size() < 10) {
        const long n = std::stol(name.substr(3));
        if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
    }
    return "/dev/" + name;
}

std::unique_ptr<CommDevice> CommDevice::Open(const std::string& portName) {
    const std::string path = DevicePath(portName);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // A legacy UART node without a chip answers EIO: that port does not exist.
        const int err = errno;
        SetLastError(err == EIO ? ERROR_FILE_NOT_FOUND : ErrorFromErrno(err), err);
        if (err == EACCES || err == EPERM) SetLastErrorAdvice(AccessAdvice(path));
        return nullptr;
    }
    auto fail = [fd](DWORD error, int err) {
        ::close(fd);
        SetLastError(error, err);
        return nullptr;
    };
    termios t{};
    if (tcgetattr(fd, &t) != 0) return fail(ERROR_FILE_NOT_FOUND, errno); // not a serial device
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN && path.rfind("/dev/ttyS", 0) == 0)
        return fail(ERROR_FILE_NOT_FOUND, ENODEV);
    struct stat st {};
    constexpr unsigned kFirstPtySlaveMajor = 136, kLastPtySlaveMajor = 143;
    const bool pseudoTerminal = fstat(fd, &st) == 0 && major(st.st_rdev) >= kFirstPtySlaveMajor &&
                                major(st.st_rdev) <= kLastPtySlaveMajor;
    // The lock keeps other users of this layer out, root included. TIOCEXCL keeps everyone else out of a
    // real line; a simulated device must still look at its own pseudo-terminal to see what was read.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(ERROR_ACCESS_DENIED, errno);
    if (!pseudoTerminal && ioctl(fd, TIOCEXCL) != 0) return fail(ErrorFromErrno(errno), errno);
    std::unique_ptr<CommDevice> dev(new CommDevice(fd, path));
    dev->pseudoTerminal_ = pseudoTerminal;
    // Start from a defined raw state; the port's own settings follow at once.
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = 9600;
    dcb.Flags = fBinary;
    dcb.ByteSize = 8;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    if (!dev->SetCommState(dcb)) return nullptr;
    SetLastError(ERROR_SUCCESS);
    return dev;
}

CommDevice::CommDevice(int fd, std::string path)
    : fd_(fd), path_(std::move(path)), storage_(kDefaultQueue), timeouts_{MAXDWORD, 0, 0, 0, 0} {}

CommDevice::~CommDevice() {
    Close();
}

bool CommDevice::Close() {
    if (fd_ < 0) {
        SetLastError(ERROR_INVALID_HANDLE, EBADF);
        return false;
    }
    ::close(fd_); // the descriptor is released whatever close() says
    fd_ = -1;
    return true;
}

bool CommDevice::CheckOpen() const {
    if (fd_ >= 0) return true;
    SetLastError(ERROR_INVALID_HANDLE, EBADF);
    return false;
}

bool CommDevice::SetupComm(DWORD inQueue, DWORD outQueue) {
    if (!CheckOpen()) return false;
    if (inQueue > kLargestQueue || outQueue > kLargestQueue) {
        SetLastError(ERROR_INVALID_PARAMETER, EINVAL);
        return false;
    }
    std::lock_guard guard(lock_);
    // Like the driver, a queue only grows; what is queued stays.
    if (inQueue > storage_.size()) {
        std::vector<unsigned char> bigger(inQueue);
        const std::size_t n = count_;
        TakeLocked(bigger.data(), n);
        storage_.swap(bigger);
        head_ = 0;
        count_ = n;
    }
    return true;
}

bool CommDevice::SetCommState(const DCB& dcb) {
    if (!CheckOpen()) return false;
    termios t{};
    if (tcgetattr(fd_, &t) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    DWORD customRate = 0;
    if (dcb.DCBlength != sizeof(DCB) || !DcbToTermios(dcb, t, &customRate)) {
        SetLastError(ERROR_INVALID_PARAMETER, EINVAL);
        return false;
    }
    // The C library reports EINVAL when the driver did not take parity or character size; a
    // pseudo-terminal never does (it carries bytes, not a line), so there that is not a failure.
    if (tcsetattr(fd_, TCSANOW, &t) != 0 && !(errno == EINVAL && pseudoTerminal_)) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    if (customRate && !SetArbitraryBaudRate(fd_, customRate)) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    // DTR and RTS follow the record; a device without modem lines ignores them.
    int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    const DWORD dtrMode = dcb.Flags & fDtrControlMask;
    const DWORD rtsMode = dcb.Flags & fRtsControlMask;
    if (ioctl(fd_, dtrMode ? TIOCMBIS : TIOCMBIC, &dtr) != 0 && !NoModemLines(errno)) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    if (rtsMode != fRtsControlHandshake &&
        ioctl(fd_, rtsMode == fRtsControlEnable ? TIOCMBIS : TIOCMBIC, &rts) != 0 && !NoModemLines(errno)) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    std::lock_guard guard(lock_);
    dcb_ = dcb;
    return true;
}

bool CommDevice::GetCommState(DCB* dcb) const {
    if (!CheckOpen()) return false;
    std::lock_guard guard(lock_);
    *dcb = dcb_;
    return true;
}

bool CommDevice::SetCommTimeouts(const COMMTIMEOUTS& timeouts) {
    if (!CheckOpen()) return false;
    const bool invalid = timeouts.ReadIntervalTimeout == MAXDWORD &&
                         timeouts.ReadTotalTimeoutMultiplier == MAXDWORD &&
                         timeouts.ReadTotalTimeoutConstant == MAXDWORD;
    if (invalid) {
        SetLastError(ERROR_INVALID_PARAMETER, EINVAL);
        return false;
    }
    std::lock_guard guard(lock_);
    timeouts_ = timeouts;
    return true;
}

bool CommDevice::GetCommTimeouts(COMMTIMEOUTS* timeouts) const {
    if (!CheckOpen()) return false;
    std::lock_guard guard(lock_);
    *timeouts = timeouts_;
    return true;
}

bool CommDevice::ClearCommError(DWORD* errors, COMSTAT* stat) {
    if (!CheckOpen()) return false;
    std::lock_guard guard(lock_);
    PumpLocked();
    if (errors) *errors = errors_;
    errors_ = 0;
    if (stat) *stat = COMSTAT{0, static_cast<DWORD>(count_), 0};
    return true;
}

bool CommDevice::GetCommModemStatus(DWORD* status) {
    if (!CheckOpen()) return false;
    int lines = 0;
    if (ioctl(fd_, TIOCMGET, &lines) != 0) {
        if (!NoModemLines(errno)) {
            SetLastErrorFromErrno(errno);
            return false;
        }
        lines = 0;
    }
    *status = ((lines & TIOCM_CTS) ? MS_CTS_ON : 0) | ((lines & TIOCM_DSR) ? MS_DSR_ON : 0) |
              ((lines & TIOCM_RNG) ? MS_RING_ON : 0) | ((lines & TIOCM_CAR) ? MS_RLSD_ON : 0);
    return true;
}

bool CommDevice::PurgeComm(DWORD flags) {
    if (!CheckOpen()) return false;
    if (flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) {
        SetLastError(ERROR_INVALID_PARAMETER, EINVAL);
        return false;
    }
    std::lock_guard guard(lock_);
    if (flags & PURGE_RXABORT) {
        ++abortGeneration_;
        readWake_.Set();
    }
    if (flags & PURGE_RXCLEAR) {
        const bool wasFull = QueueFullLocked();
        head_ = count_ = 0;
        if (!gone_) tcflush(fd_, TCIFLUSH);
        if (wasFull) waitWake_.Set(); // the wait may watch the descriptor again
    }
    if ((flags & PURGE_TXCLEAR) && !gone_) tcflush(fd_, TCOFLUSH);
    return true;
}

bool CommDevice::WriteFile(const void* buffer, DWORD count, DWORD* written, const ManualEvent& stop) {
    *written = 0;
    if (!CheckOpen()) return false;
    COMMTIMEOUTS to;
    {
        std::lock_guard guard(lock_);
        to = timeouts_;
    }
    using Clock = std::chrono::steady_clock;
    const std::uint64_t totalMs =
        std::uint64_t(to.WriteTotalTimeoutMultiplier) * count + to.WriteTotalTimeoutConstant;
    const auto end = Clock::now() + std::chrono::milliseconds(totalMs);
    const auto* in = static_cast<const unsigned char*>(buffer);
    while (*written < count) {
        const ssize_t n = ::write(fd_, in + *written, count - *written);
        if (n > 0) {
            *written += static_cast<DWORD>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            // EIO, ENXIO, EPIPE: the device went away (its reader finds that too).
            SetLastError(ERROR_DEVICE_NOT_CONNECTED, errno);
            return false;
        }
        long long waitMs = -1;
        if (totalMs > 0) {
            waitMs = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (waitMs <= 0) return true; // timed out: success with what went
        }
        pollfd fds[2] = {{stop.Fd(), POLLIN, 0}, {fd_, POLLOUT, 0}};
        ::poll(fds, 2, static_cast<int>(std::min<long long>(waitMs, 1 << 30)));
        if (fds[0].revents & POLLIN) {
            SetLastError(ERROR_OPERATION_ABORTED, ECANCELED);
            return false;
        }
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            SetLastError(ERROR_DEVICE_NOT_CONNECTED, EIO);
            return false;
        }
    }
    return true;
}

bool CommDevice::ReadFile(void* buffer, DWORD count, DWORD* read) {
    *read = 0;
    if (!CheckOpen()) return false;
    auto* out = static_cast<unsigned char*>(buffer);
    std::unique_lock guard(lock_);
    readWake_.Reset(); // an abort before this read does not end it
    const unsigned abortAtStart = abortGeneration_;
    const COMMTIMEOUTS to = timeouts_;
    auto takeAvailable = [&] {
        const bool wasFull = QueueFullLocked();
        PumpLocked();
        const std::size_t n = std::min<std::size_t>(count - *read, count_);
        TakeLocked(out + *read, n);
        *read += static_cast<DWORD>(n);
        if (wasFull && n > 0) {
            PumpLocked(); // what the kernel held back fits now
            waitWake_.Set();
        }
    };
    takeAvailable();
    if (*read == count || count == 0) return true;

    const bool immediate = to.ReadIntervalTimeout == MAXDWORD && to.ReadTotalTimeoutMultiplier == 0 &&
                           to.ReadTotalTimeoutConstant == 0;
    if (immediate) return true;
    const bool firstByteOnly =
        to.ReadIntervalTimeout == MAXDWORD && to.ReadTotalTimeoutMultiplier == MAXDWORD;
    if (firstByteOnly && *read > 0) return true;

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const std::uint64_t totalMs =
        firstByteOnly ? to.ReadTotalTimeoutConstant
                      : std::uint64_t(to.ReadTotalTimeoutMultiplier) * count + to.ReadTotalTimeoutConstant;
    const bool useInterval =
        !firstByteOnly && to.ReadIntervalTimeout != 0 && to.ReadIntervalTimeout != MAXDWORD;
    auto lastByte = start;
    while (*read < count && !(firstByteOnly && *read > 0)) {
        if (abortGeneration_ != abortAtStart) {
            SetLastError(ERROR_OPERATION_ABORTED, ECANCELED);
            return false;
        }
        if (gone_ && count_ == 0) {
            if (*read > 0) return true;
            SetLastError(ERROR_DEVICE_NOT_CONNECTED, EIO);
            return false;
        }
        long long waitMs = -1;
        const auto now = Clock::now();
        auto msSince = [&](Clock::time_point t) {
            return std::chrono::duration_cast<std::chrono::milliseconds>(now - t).count();
        };
        if (totalMs > 0) waitMs = std::max<long long>(0, static_cast<long long>(totalMs) - msSince(start));
        if (useInterval && *read > 0) {
            const long long left =
                std::max<long long>(0, static_cast<long long>(to.ReadIntervalTimeout) - msSince(lastByte));
            waitMs = waitMs < 0 ? left : std::min(waitMs, left);
        }
        if (waitMs == 0) return true; // timed out: success with what came, as the driver reports it
        pollfd fds[2] = {{readWake_.Fd(), POLLIN, 0}, {gone_ || QueueFullLocked() ? -1 : fd_, POLLIN, 0}};
        guard.unlock();
        ::poll(fds, 2, static_cast<int>(std::min<long long>(waitMs, 1 << 30)));
        guard.lock();
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) gone_ = true;
        const DWORD before = *read;
        takeAvailable();
        if (*read > before) lastByte = Clock::now();
    }
    return true;
}

bool CommDevice::SetCommMask(DWORD mask) {
    if (!CheckOpen()) return false;
    std::lock_guard guard(lock_);
    mask_ = mask;
    history_ = 0;
    ++maskGeneration_;
    waitWake_.Set();
    return true;
}

bool CommDevice::GetCommMask(DWORD* mask) const {
    if (!CheckOpen()) return false;
    std::lock_guard guard(lock_);
    *mask = mask_;
    return true;
}

bool CommDevice::WaitCommEvent(DWORD* events, const ManualEvent& stop) {
    *events = 0;
    if (!CheckOpen()) return false;
    std::unique_lock guard(lock_);
    const unsigned generation = maskGeneration_;
    for (;;) {
        if (stop.IsSet()) {
            SetLastError(ERROR_OPERATION_ABORTED, ECANCELED);
            return false;
        }
        if (maskGeneration_ != generation) return true; // mask changed: ends with no events
        waitWake_.Reset();
        PumpLocked();
        if (history_ & mask_) {
            *events = history_ & mask_;
            history_ = 0;
            return true;
        }
        if (gone_) {
            SetLastError(ERROR_DEVICE_NOT_CONNECTED, EIO);
            return false;
        }
        pollfd fds[3] = {{stop.Fd(), POLLIN, 0}, {waitWake_.Fd(), POLLIN, 0}, {fd_, POLLIN, 0}};
        if (QueueFullLocked()) fds[2].events = 0; // hold the rest in the kernel until there is room
        guard.unlock();
        const int n = ::poll(fds, 3, -1);
        const int err = errno;
        guard.lock();
        if (n < 0 && err != EINTR) {
            SetLastErrorFromErrno(err);
            return false;
        }
        if (fds[2].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            PumpLocked(); // take what is still readable before the device counts as gone
            gone_ = true;
        }
    }
}

void CommDevice::PumpUntil(int news) {
    if (!CheckOpen()) return;
    constexpr std::size_t kKeep = 4096;
    std::unique_lock guard(lock_);
    bool watch = true;
    for (;;) {
        PumpLocked(kKeep);
        watch = watch && !gone_ && storage_.size() - count_ > kKeep;
        pollfd fds[2] = {{news, POLLIN, 0}, {watch ? fd_ : -1, POLLIN, 0}};
        guard.unlock();
        const int n = ::poll(fds, 2, -1);
        const int err = errno;
        guard.lock();
        if ((n < 0 && err != EINTR) || (fds[0].revents & (POLLIN | POLLERR | POLLNVAL))) return;
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) watch = false; // WaitCommEvent tells
    }
}

void CommDevice::PumpLocked(std::size_t keep) {
    if (gone_ || fd_ < 0) return;
    unsigned char chunk[4096];
    for (;;) {
        const std::size_t room = storage_.size() - count_;
        if (room <= keep && keep > 0) break;
        if (room == 0) {
            // The queue is full; the kernel keeps the rest. Report the overflow once per clear.
            int waiting = 0;
            if (ioctl(fd_, FIONREAD, &waiting) == 0 && waiting > 0 && !(errors_ & CE_RXOVER)) {
                errors_ |= CE_RXOVER;
                RaiseLocked(EV_ERR);
            }
            break;
        }
        const ssize_t n = ::read(fd_, chunk, std::min(room - keep, sizeof chunk));
        if (n > 0) {
            AppendLocked(chunk, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) {
            // A terminal in raw mode with VMIN = VTIME = 0 answers 0 when empty; after a hang-up too.
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR))) gone_ = true;
            break;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN) gone_ = true; // EIO: the device went away
        break;
    }
    CheckLineCountersLocked();
}

void CommDevice::AppendLocked(const unsigned char* data, std::size_t n) {
    const std::size_t size = storage_.size();
    const std::size_t mark = size * 8 / 10;
    const std::size_t before = count_;
    DWORD raised = 0;
    const bool stripNull = (dcb_.Flags & fNull) != 0;
    const auto flag = static_cast<unsigned char>(dcb_.EvtChar);
    // Runs of bytes that are kept go into the ring as whole pieces; a null byte is dropped when asked.
    for (std::size_t i = 0; i < n;) {
        std::size_t run = n - i;
        if (stripNull) {
            const void* zero = std::memchr(data + i, 0, run);
            if (zero == data + i) {
                ++i;
                continue;
            }
            if (zero) run = static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - (data + i));
        }
        if (!(raised & EV_RXFLAG) && std::memchr(data + i, flag, run)) raised |= EV_RXFLAG;
        for (std::size_t done = 0; done < run;) {
            const std::size_t tail = (head_ + count_) % size;
            const std::size_t piece = std::min(run - done, size - tail);
            std::memcpy(storage_.data() + tail, data + i + done, piece);
            count_ += piece;
            done += piece;
        }
        raised |= EV_RXCHAR;
        i += run;
    }
    if (before < mark && count_ >= mark) raised |= EV_RX80FULL;
    RaiseLocked(raised);
}

void CommDevice::TakeLocked(unsigned char* out, std::size_t n) {
    const std::size_t size = storage_.size();
    for (std::size_t done = 0; done < n;) {
        const std::size_t run = std::min(n - done, size - head_);
        std::memcpy(out + done, storage_.data() + head_, run);
        head_ = (head_ + run) % size;
        count_ -= run;
        done += run;
    }
    if (count_ == 0) head_ = 0;
}

void CommDevice::CheckLineCountersLocked() {
    if (!countersSupported_) return;
    serial_icounter_struct now{};
    if (ioctl(fd_, TIOCGICOUNT, &now) != 0) {
        countersSupported_ = false; // a pseudo-terminal has no line counters
        return;
    }
    if (!countersPrimed_) {
        countersPrimed_ = true; // what happened before the open is not this session's
        counters_ = {now.cts,     now.dsr,    now.rng, now.dcd,        now.frame,
                     now.overrun, now.parity, now.brk, now.buf_overrun};
        return;
    }
    DWORD err = 0, ev = 0;
    if (now.frame != counters_.frame) err |= CE_FRAME;
    if (now.parity != counters_.parity) err |= CE_RXPARITY;
    if (now.overrun != counters_.overrun || now.buf_overrun != counters_.bufOverrun) err |= CE_OVERRUN;
    if (now.brk != counters_.brk) err |= CE_BREAK, ev |= EV_BREAK;
    if (now.cts != counters_.cts) ev |= EV_CTS;
    if (now.dsr != counters_.dsr) ev |= EV_DSR;
    if (now.dcd != counters_.dcd) ev |= EV_RLSD;
    if (now.rng != counters_.rng) ev |= EV_RING;
    counters_ = {now.cts,     now.dsr,    now.rng, now.dcd,        now.frame,
                 now.overrun, now.parity, now.brk, now.buf_overrun};
    errors_ |= err;
    RaiseLocked(ev | (err ? EV_ERR : 0));
}

void CommDevice::RaiseLocked(DWORD events) {
    if (!events) return;
    const bool wasPending = (history_ & mask_) != 0;
    history_ |= events;
    if (!wasPending && (history_ & mask_)) waitWake_.Set(); // a waiter in poll() must see it
}

} // namespace host
