#pragma once
// Eleven optional callbacks through which another component follows a port. The link belongs to the
// component that made it; the port only keeps it in its list. Sender is the port.

#include <functional>

class TCustomComPort;

class TComLink {
public:
    using TSignal = std::function<void(TCustomComPort& sender, bool onOff)>;
    using TBuffer = std::function<void(TCustomComPort& sender, const void* buffer, int count)>;
    using TNotify = std::function<void(TCustomComPort& sender)>;

    TSignal ConnectionChanged;
    TBuffer BufferReceived;
    TBuffer BufferSent;
    TNotify TxEmptied;
    TNotify FlagReceived;
    TSignal CTSChanged;
    TSignal DSRChanged;
    TSignal RLSDChanged;
    TNotify RingDetected;
    TSignal TxActivity;
    TSignal RxActivity;
};
