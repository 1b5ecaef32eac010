#include "serial/core/comthread.h"

#include "serial/core/comport.h"
#include "serial/core/handover.h"
#include "serial/host/comm_device.h"
#include "serial/host/last_error.h"

#include <sys/resource.h>
#include <unistd.h>

namespace {

// Host bit of each event, by ordinal.
constexpr host::DWORD kEventBits[] = {host::EV_RXCHAR, host::EV_TXEMPTY, host::EV_RXFLAG, host::EV_RING,
                                      host::EV_BREAK,  host::EV_CTS,     host::EV_DSR,    host::EV_ERR,
                                      host::EV_RLSD,   host::EV_RX80FULL};

// The order in which the reactions of one event set run.
constexpr TComEvent kDeliveryOrder[] = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                        evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};

int NiceValue(TThreadPriority p) {
    static constexpr int values[] = {19, 10, 5, 0, -5, -10, -20};
    return values[p];
}

} // namespace

host::DWORD EventsToMask(TComEvents events) {
    host::DWORD mask = 0;
    for (int i = 0; i < 10; ++i)
        if (events.Contains(static_cast<TComEvent>(i))) mask |= kEventBits[i];
    return mask;
}

TComEvents MaskToEvents(host::DWORD mask) {
    TComEvents events;
    for (int i = 0; i < 10; ++i)
        if (mask & kEventBits[i]) events.Include(static_cast<TComEvent>(i));
    return events;
}

TComThread::TComThread(TCustomComPort& port, host::CommDevice& device, THandOver& handOver, unsigned session)
    : port_(port), device_(device), handOver_(handOver), session_(session), syncMethod_(port.SyncMethod()) {
    device_.SetCommMask(EventsToMask(port.Events()));
    const int nice = NiceValue(port.ThreadPriority());
    thread_ = std::thread([this, nice] {
        if (nice != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice); // raising may be refused
        Execute();
    });
}

TComThread::~TComThread() {
    StopThread();
    handOver_.ServeUntil([this] { return ended_.load(); });
    thread_.join();
}

void TComThread::StopThread() {
    stop_.Set();
    stopping_ = true;
    handOver_.Notify(); // a hand-over in progress stops holding the thread
    std::this_thread::yield();
}

void TComThread::Execute() {
    bool waitFailed = false;
    host::DWORD error = 0;
    std::string errorText;
    for (;;) {
        host::DWORD mask = 0;
        if (!device_.WaitCommEvent(&mask, stop_)) {
            if (!stop_.IsSet()) {
                waitFailed = true;
                error = host::GetLastError();
                errorText = host::LastErrorText();
            }
            break;
        }
        if (mask == 0) continue; // the mask was changed under the wait
        events_ = MaskToEvents(mask);
        try {
            DispatchEvents();
        } catch (...) {
            // A failing reaction is shown to the user; delivery goes on.
            handOver_.Post([error = std::current_exception()] { ShowException(error); });
        }
    }
    device_.SetCommMask(0);
    device_.PurgeComm(host::PURGE_TXCLEAR | host::PURGE_RXCLEAR);
    if (waitFailed) {
        TCustomComPort* port = &port_;
        const unsigned session = session_;
        handOver_.Post(
            [port, session, error, errorText] { port->CloseAfterFailedWait(session, error, errorText); });
    }
    ended_ = true;
    handOver_.Notify();
}

void TComThread::DispatchEvents() {
    switch (syncMethod_) {
    case smThreadSync: {
        TCustomComPort* port = &port_;
        const TComEvents events = events_;
        // While the reactions run, arriving bytes go on into the layer's queue (as a driver fills its
        // queue while the program is busy), so the next event set carries all of them and the sender is
        // not held up by the small buffer of the line. Reactions still run one event set at a time.
        handOver_.Run([port, events] { DeliverEvents(*port, events); }, stopping_,
                      [this](int news) { device_.PumpUntil(news); });
        break;
    }
    case smWindowSync:
        SendEventsAsMessages();
        break;
    case smNone:
        DeliverEvents(port_, events_);
        break;
    }
}

void TComThread::DeliverEvents(TCustomComPort& port, TComEvents events) {
    for (TComEvent e : kDeliveryOrder) {
        if (!port.Connected()) return; // a reaction closed the port: the rest has no device to act on
        if (events.Contains(e)) port.ReactToEvent(e);
    }
}

void TComThread::SendEventsAsMessages() {
    TCustomComPort* port = &port_;
    for (TComEvent e : kDeliveryOrder) {
        if (!events_.Contains(e)) continue;
        // Answered at once; the reaction runs only while the port is still open.
        handOver_.Send([port, e] {
            if (port->Connected()) port->ReactToEvent(e);
        });
    }
}
