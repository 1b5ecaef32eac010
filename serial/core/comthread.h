#pragma once
// The event thread of an open port: waits on the device and hands each event set to the port's
// reactions, as SyncMethod says. Created by Open, destroyed by Close.

#include "serial/core/comtypes.h"
#include "serial/host/comm_types.h"
#include "serial/host/manual_event.h"

#include <atomic>
#include <thread>

class TCustomComPort;
class THandOver;
namespace host {
class CommDevice;
}

// Host event-mask bits of an event set and back; exact inverses.
host::DWORD EventsToMask(TComEvents events);
TComEvents MaskToEvents(host::DWORD mask);

class TComThread {
public:
    // Sets the device's event mask from the port's Events and starts waiting.
    TComThread(TCustomComPort& port, host::CommDevice& device, THandOver& handOver, unsigned session);
    // Stops the thread and waits for its end, running the hand-overs it has started meanwhile.
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    void StopThread();
    // Runs the port's reactions of an event set in their fixed order.
    static void DeliverEvents(TCustomComPort& port, TComEvents events);

private:
    void Execute();
    void DispatchEvents();
    void SendEventsAsMessages();

    TCustomComPort& port_;
    host::CommDevice& device_;
    THandOver& handOver_;
    const unsigned session_;
    const TSyncMethod syncMethod_;
    host::ManualEvent stop_;
    TComEvents events_; // written by the event thread before a hand-over, read during it
    std::atomic<bool> stopping_{false};
    std::atomic<bool> ended_{false};
    std::thread thread_;
};
