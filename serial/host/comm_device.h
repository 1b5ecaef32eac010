#pragma once
// One open serial device with the operations of the Windows comm interface, on POSIX termios.
//
// The kernel keeps only about 4 KB of input whatever is asked for, so the input queue of the requested
// size is kept here and filled from the descriptor whenever the device is waited on, queried or read.
// Filling it is where the event character, the 80 % mark, overflow and line errors become events, as a
// driver would raise them. A lock guards that queue: the event thread and the reading thread share it.
//
// Every operation returns false on failure and leaves the reason in GetLastError()/LastErrorText().

#include "serial/host/comm_types.h"
#include "serial/host/manual_event.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace host {

// Device path of a port name: an absolute path as it is, "COMn" as /dev/ttyS(n-1), any other name below /dev.
std::string DevicePath(const std::string& portName);

class CommDevice {
public:
    // Opens the device exclusively (also against root). nullptr with the last error set on failure:
    // 2 when there is no such port (also a legacy UART node without a chip), 5 when it is in use or denied.
    static std::unique_ptr<CommDevice> Open(const std::string& portName);
    ~CommDevice();
    CommDevice(const CommDevice&) = delete;
    CommDevice& operator=(const CommDevice&) = delete;

    // Closes the descriptor; only when no other thread is inside an operation.
    bool Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

    bool SetupComm(DWORD inQueue, DWORD outQueue);
    bool SetCommState(const DCB& dcb);
    bool GetCommState(DCB* dcb) const;
    bool SetCommTimeouts(const COMMTIMEOUTS& timeouts);
    bool GetCommTimeouts(COMMTIMEOUTS* timeouts) const;
    // Reads and clears the pending line-error flags; stat receives the input-queue count.
    bool ClearCommError(DWORD* errors, COMSTAT* stat);
    // A device without modem lines (a pseudo-terminal) reads all lines off, without an error.
    bool GetCommModemStatus(DWORD* status);
    bool PurgeComm(DWORD flags);
    // Reads up to count bytes as the time-out record says (the defaults return at once with what waits).
    bool ReadFile(void* buffer, DWORD count, DWORD* read);
    // Writes count bytes, waiting for room as the write part of the time-out record allows (multiplier ×
    // count + constant ms; both 0: as long as it takes). Running out of time is no failure, as for the
    // driver: written tells how many went. Fails with ERROR_OPERATION_ABORTED when stop is set, with
    // ERROR_DEVICE_NOT_CONNECTED when the device went away. Safe beside the other operations on another
    // thread (it holds no lock while it waits).
    bool WriteFile(const void* buffer, DWORD count, DWORD* written, const ManualEvent& stop);
    // Changing the mask ends a wait in progress successfully with no events, as the driver does.
    bool SetCommMask(DWORD mask);
    bool GetCommMask(DWORD* mask) const;
    // Blocks until an event of the mask is pending, stop is set or the device goes away. Events that
    // happened while nobody waited are returned at once. Stop: false with ERROR_OPERATION_ABORTED;
    // device gone (hang-up, I/O error): false with ERROR_DEVICE_NOT_CONNECTED, once the events of bytes
    // that arrived before have been returned.
    bool WaitCommEvent(DWORD* events, const ManualEvent& stop);
    // Moves arriving bytes into the queue until the descriptor `news` is readable (it is not read),
    // keeping a chunk's room free: a queue this fills is no overflow. The events the bytes raise wait
    // for the next WaitCommEvent; a device gone is found there too.
    void PumpUntil(int news);

    // Descriptor, for tests that look at the termios the device got.
    int Handle() const { return fd_; }

private:
    CommDevice(int fd, std::string path);
    bool CheckOpen() const;
    // Moves what the kernel holds into the queue and raises the events of what came; lock held.
    void PumpLocked(std::size_t keep = 0); // reads while more than keep bytes of room are left
    void AppendLocked(const unsigned char* data, std::size_t n);
    void TakeLocked(unsigned char* out, std::size_t n);
    void CheckLineCountersLocked();
    void RaiseLocked(DWORD events);
    bool QueueFullLocked() const { return count_ >= storage_.size(); }

    int fd_;
    std::string path_;
    mutable std::mutex lock_;
    std::vector<unsigned char> storage_; // ring buffer of the input queue
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    DWORD errors_ = 0;  // CE_* flags until ClearCommError
    DWORD history_ = 0; // events raised while no wait took them
    DWORD mask_ = 0;
    unsigned maskGeneration_ = 0;
    unsigned abortGeneration_ = 0;
    bool gone_ = false;
    bool pseudoTerminal_ = false; // has no parity, character size or modem lines
    bool countersSupported_ = true;
    bool countersPrimed_ = false;
    struct Counters {
        int cts = 0, dsr = 0, rng = 0, dcd = 0, frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
    } counters_;
    DCB dcb_{};
    COMMTIMEOUTS timeouts_{};
    ManualEvent waitWake_; // wakes the event wait: mask change, events raised by another thread, space freed
    ManualEvent readWake_; // wakes a waiting read: purge with abort
};

} // namespace host
