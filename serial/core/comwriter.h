#pragma once
// The writer of an open port: bytes the port is asked to send wait in a queue and go out on a thread of
// their own, so a write never holds the user-interface thread, whatever the device takes. Made by the
// port's first write, ended by Close.
//
// A write the device does not take in time (the write time-outs) is told once through `failed`, and
// what waited behind it is dropped: a device that takes nothing does not pile up polls. The next write
// that goes whole allows the next report. A device that went away ends the queue quietly: the event
// thread finds the loss and reports it, once, as for reading.

#include "serial/host/manual_event.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace host {
class CommDevice;
}

class TComWriter {
public:
    static constexpr std::size_t kQueueLimit = 1 << 20; // bytes that may wait
    // failed(hostError, hostText) runs on the writer's thread; the port hands it over.
    using Failed = std::function<void(std::int64_t hostError, const std::string& hostText)>;
    TComWriter(host::CommDevice& device, Failed failed);
    // Ends a write under way (the device keeps what it took) and waits for the thread.
    ~TComWriter();
    TComWriter(const TComWriter&) = delete;
    TComWriter& operator=(const TComWriter&) = delete;

    // False, and nothing queued, when the bytes would pass kQueueLimit.
    bool Queue(std::string bytes);
    // Bytes waiting or being written.
    std::size_t Waiting() const;
    // Blocks until nothing waits (tests, and a recorder that ends after its last command).
    void Drain() const;

private:
    void Execute();

    host::CommDevice& device_;
    Failed failed_;
    host::ManualEvent stop_;
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::deque<std::string> queue_;
    std::size_t waiting_ = 0;
    bool ending_ = false;
    bool told_ = false; // a time-out was reported; quiet until a write goes whole
    std::thread thread_;
};
