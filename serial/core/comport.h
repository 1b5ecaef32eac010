#pragma once
// The serial port component: every setting of one line, opening and closing the device, reading, and
// reporting each failed host call as EComPort. Reception is noticed by the event thread (comthread.h),
// which hands each event set to the user-interface thread, where the reactions below fire the events.
//
// Threads: create, configure, open, close and read the port on the user-interface thread (the thread
// that runs the Qt event loop; a QCoreApplication must exist before Open). With SyncMethod smThreadSync
// (default) and smWindowSync every event handler and link callback runs on that thread; with smNone on
// the event thread.
//
// Events receive the port as sender. When the device goes away while open, the port closes itself on the
// user-interface thread with the full close sequence (OnBeforeClose … OnAfterClose, links told) and then
// shows "WaitForEvent method failed (Error: 1167)" through OnException or the error reporter (comerror.h).
// A window that must notice that the port closed without being asked uses OnAfterClose.

#include "serial/core/comerror.h"
#include "serial/core/comlink.h"
#include "serial/core/comtext.h"
#include "serial/core/comtypes.h"
#include "serial/core/port_options.h"
#include "serial/host/comm_types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace host {
class CommDevice;
} // namespace host
class QSettings;
class TComThread;
class TComWriter;
class THandOver;

class TCustomComPort {
public:
    using TNotifyEvent = std::function<void(TCustomComPort& sender)>;
    using TRxCharEvent = std::function<void(TCustomComPort& sender, int count)>;
    using TRxBufEvent = std::function<void(TCustomComPort& sender, const void* buffer, int count)>;
    using TComSignalEvent = std::function<void(TCustomComPort& sender, bool onOff)>;
    using TComErrorEvent = std::function<void(TCustomComPort& sender, TComErrors errors)>;
    // Replaces raising: (sender, code, the code's message, host error number or -1, the host's text).
    using TComExceptionEvent =
        std::function<void(TCustomComPort& sender, TComExceptions code, const std::string& comportMessage,
                           std::int64_t winError, const std::string& winMessage)>;

    TCustomComPort();
    virtual ~TCustomComPort();
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    // Component name; the INI section of the persistence operations.
    const std::string& Name() const { return name_; }
    void SetName(const std::string& v) { name_ = v; }

    bool Connected() const { return connected_; }
    void SetConnected(bool v);
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate v) {
        if (StoreChanged(baudRate_, v)) ApplyLineSettings();
    }
    std::uint32_t CustomBaudRate() const { return customBaudRate_; }
    void SetCustomBaudRate(std::uint32_t v) {
        if (StoreChanged(customBaudRate_, v)) ApplyLineSettings();
    }
    // Port name: "COMn" (/dev/ttyS(n-1)), a name below /dev, or an absolute device path.
    const std::string& Port() const { return port_; }
    void SetPort(const std::string& v);
    TComParity& Parity() { return *parity_; }
    const TComParity& Parity() const { return *parity_; }
    void SetParity(const TComParity& v);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits v) {
        if (StoreChanged(stopBits_, v)) ApplyLineSettings();
    }
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits v) {
        if (StoreChanged(dataBits_, v)) ApplyLineSettings();
    }
    bool DiscardNull() const { return discardNull_; }
    void SetDiscardNull(bool v) {
        if (StoreChanged(discardNull_, v)) ApplyLineSettings();
    }
    char EventChar() const { return eventChar_; }
    void SetEventChar(char v) {
        if (StoreChanged(eventChar_, v)) ApplyLineSettings();
    }
    TComEvents Events() const { return events_; }
    void SetEvents(TComEvents v) { events_ = v; } // takes effect at the next Open
    TComBuffer& Buffer() { return *buffer_; }
    const TComBuffer& Buffer() const { return *buffer_; }
    void SetBuffer(const TComBuffer& v);
    TComFlowControl& FlowControl() { return *flowControl_; }
    const TComFlowControl& FlowControl() const { return *flowControl_; }
    void SetFlowControl(const TComFlowControl& v);
    TComTimeouts& Timeouts() { return *timeouts_; }
    const TComTimeouts& Timeouts() const { return *timeouts_; }
    void SetTimeouts(const TComTimeouts& v);
    TStoredProps StoredProps() const { return storedProps_; }
    void SetStoredProps(TStoredProps v) { storedProps_ = v; }
    // True only when set and no attached link has a BufferReceived callback.
    bool TriggersOnRxChar() const;
    void SetTriggersOnRxChar(bool v);
    TSyncMethod SyncMethod() const { return syncMethod_; }
    void SetSyncMethod(TSyncMethod v); // refused with code 14 while connected
    TThreadPriority ThreadPriority() const { return threadPriority_; }
    void SetThreadPriority(TThreadPriority v) { threadPriority_ = v; }
    std::uint32_t CodePage() const { return codePage_; }
    void SetCodePage(std::uint32_t v) { codePage_ = v; }

    TNotifyEvent OnAfterOpen, OnAfterClose, OnBeforeOpen, OnBeforeClose;
    TRxCharEvent OnRxChar;
    TRxBufEvent OnRxBuf;
    TNotifyEvent OnTxEmpty, OnBreak, OnRing, OnRxFlag, OnRx80Full;
    TComSignalEvent OnCTSChange, OnDSRChange, OnRLSDChange;
    TComErrorEvent OnError;
    TComExceptionEvent OnException;

    void Open();
    void Close();
    // Sends count bytes: they are queued and written by a thread of the port's own, each write bounded
    // by the write time-outs, so the call never waits for the device. A write the device does not take
    // in time shows "WriteFile function failed (Error: 121)" once, on the user-interface thread; a device
    // that went away is reported by the reading side. False, reported, when the port is not open or
    // more than TComWriter::kQueueLimit bytes would wait.
    bool WriteBytes(const void* buffer, int count);
    bool WriteText(const std::string& text) { return WriteBytes(text.data(), static_cast<int>(text.size())); }
    // Bytes waiting to be written.
    int OutputQueueCount() const;
    // Waits until nothing waits to be written (or the write failed).
    void DrainOutput();
    // Reads at most count waiting bytes; str gets exactly the bytes read, one character each.
    int ReadText(std::string& str, int count);
    int ReadBytes(void* buffer, int count);
    int InputQueueCount();
    TModemSignals ModemSignals();
    TComErrors PendingLineErrors();
    void AbortPendingIO();
    void AttachLink(TComLink* link);
    void DetachLink(TComLink* link);

    // Components that refer to this port are told when it is destroyed (the bound controls use it).
    void FreeNotification(const void* owner, std::function<void()> destroyed);
    void RemoveFreeNotification(const void* owner);

    // Settings persistence of the groups in StoredProps. The INI form writes the section Name() of the
    // file; the registry form writes below key in the user's settings of this program.
    virtual void SaveToIniFile(const std::string& fileName);
    virtual void LoadFromIniFile(const std::string& fileName);
    virtual void SaveToRegistry(const std::string& key);
    virtual void LoadFromRegistry(const std::string& key);

    // Loading a stored configuration: while loading, setting Connected only stores it and nothing is
    // applied; Loaded() then opens when Connected was stored true (an error goes to the error display).
    void BeginLoading() { loading_ = true; }
    virtual void Loaded();

    // The device-control record the current settings give (ApplyLineSettings sets exactly this).
    host::DCB DeviceControlRecord() const;

    virtual void ApplyLineSettings();
    virtual void ApplyTimeoutSettings();
    virtual void ApplyQueueSizes();

    // Raises EComPort with the code's message (and " (Error: n)" when hostError > 0), or calls OnException
    // instead when it is assigned. hostText is the host's own text of the error (errno text).
    void ReportError(TComExceptions code, std::int64_t hostError, const std::string& hostText);
    void ReportError(TComExceptions code, std::int64_t hostError);

protected:
    virtual void OpenDevice();
    virtual void CloseDevice();
    virtual void ApplyAllSettings();

    virtual void DoAfterClose();
    virtual void DoAfterOpen();
    virtual void DoBeforeClose();
    virtual void DoBeforeOpen();
    virtual void DoRxChar(int count);
    virtual void DoRxBuf(const void* buffer, int count);
    virtual void DoTxEmpty();
    virtual void DoBreak();
    virtual void DoRing();
    virtual void DoRxFlag();
    virtual void DoCTSChange(bool onOff);
    virtual void DoDSRChange(bool onOff);
    virtual void DoError(TComErrors errors);
    virtual void DoRLSDChange(bool onOff);
    virtual void DoRx80Full();

private:
    friend class TComThread;
    bool CanApply() const;
    // The reaction of one event, run on the thread SyncMethod selects.
    void ReactToEvent(TComEvent event);
    void ReactToRxChar();
    void ReactToSignal(TModemSignal signal, TComLink::TSignal TComLink::*callback,
                       const TComSignalEvent& event);
    template <typename F> void ForEachLink(F&& f);
    // Posted by the event thread when its wait failed: close on the UI thread, then report.
    void CloseAfterFailedWait(unsigned session, std::int64_t hostError, const std::string& hostText);
    void WriteSettings(const std::function<void(const std::string&, const std::string&)>& writeText,
                       const std::function<void(const std::string&, std::int64_t)>& writeInt);
    void ReadSettings(const std::function<std::string(const std::string&, const std::string&)>& readText,
                      const std::function<std::int64_t(const std::string&, std::int64_t)>& readInt);
    // Reads the settings below group of an INI file or the user's settings.
    void ReadFrom(QSettings& store, const std::string& group);

    std::string name_;
    bool connected_ = false;
    bool loading_ = false;
    bool closing_ = false;
    TBaudRate baudRate_ = br9600;
    std::uint32_t customBaudRate_ = 9600;
    std::string port_ = "COM1";
    TStopBits stopBits_ = sbOneStopBit;
    TDataBits dataBits_ = dbEight;
    bool discardNull_ = false;
    char eventChar_ = 0;
    TComEvents events_ = AllComEvents;
    TStoredProps storedProps_{spBasic};
    bool triggersOnRxChar_ = true;
    TSyncMethod syncMethod_ = smThreadSync;
    TThreadPriority threadPriority_ = tpNormal;
    std::uint32_t codePage_ = 0;

    std::unique_ptr<TComParity> parity_;
    std::unique_ptr<TComFlowControl> flowControl_;
    std::unique_ptr<TComTimeouts> timeouts_;
    std::unique_ptr<TComBuffer> buffer_;

    std::unique_ptr<host::CommDevice> device_; // the device handle; empty when closed
    std::unique_ptr<THandOver> handOver_;      // lives on the thread that created the port
    std::unique_ptr<TComThread> thread_;
    std::unique_ptr<TComWriter> writer_; // made by the first write of a session, ended by Close
    bool hasThread_ = false;
    unsigned session_ = 0; // counts Opens, so a late self-close does not close a newer session
    std::vector<TComLink*> links_;
    bool hasBufferLink_ = false;
    std::vector<std::pair<const void*, std::function<void()>>> freeNotifications_;
};

class TComPort : public TCustomComPort {
public:
    TComPort() = default;
};
