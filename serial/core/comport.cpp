#include "serial/core/comport.h"

#include "serial/core/comthread.h"
#include "serial/core/comwriter.h"
#include "serial/core/handover.h"
#include "serial/host/comm_device.h"
#include "serial/host/last_error.h"

#include <algorithm>

TCustomComPort::TCustomComPort()
    : parity_(std::make_unique<TComParity>(this)), flowControl_(std::make_unique<TComFlowControl>(this)),
      timeouts_(std::make_unique<TComTimeouts>(this)), buffer_(std::make_unique<TComBuffer>(this)),
      handOver_(std::make_unique<THandOver>()) {}

TCustomComPort::~TCustomComPort() {
    try {
        Close();
    } catch (...) {
        ShowException(std::current_exception());
    }
    // A close that failed half way must still not leave the threads running on a freed port.
    writer_.reset();
    thread_.reset();
    device_.reset();
    const auto notifications = std::move(freeNotifications_);
    for (const auto& n : notifications)
        n.second();
}

void TCustomComPort::FreeNotification(const void* owner, std::function<void()> destroyed) {
    RemoveFreeNotification(owner);
    freeNotifications_.emplace_back(owner, std::move(destroyed));
}

void TCustomComPort::RemoveFreeNotification(const void* owner) {
    std::erase_if(freeNotifications_, [owner](const auto& n) { return n.first == owner; });
}

// --- errors

void TCustomComPort::ReportError(TComExceptions code, std::int64_t hostError) {
    ReportError(code, hostError, hostError > 0 ? host::LastErrorText() : std::string());
}

void TCustomComPort::ReportError(TComExceptions code, std::int64_t hostError, const std::string& hostText) {
    const std::string message = ComErrorMessage(code);
    if (!OnException) {
        if (hostError > 0)
            throw EComPort(code, hostError, message + " (Error: " + std::to_string(hostError) + ")",
                           hostText);
        throw EComPort(code, -1, message);
    }
    OnException(*this, code, message, hostError, hostError > 0 ? hostText : std::string());
}

// --- properties

void TCustomComPort::SetConnected(bool v) {
    if (loading_) {
        connected_ = v;
        return;
    }
    if (v && !connected_)
        Open();
    else if (!v && connected_)
        Close();
}

void TCustomComPort::SetPort(const std::string& v) {
    if (v == port_) return;
    port_ = v;
    if (connected_ && !loading_) {
        Close();
        Open();
    }
}

void TCustomComPort::SetParity(const TComParity& v) {
    parity_->Assign(v);
    ApplyLineSettings();
}

void TCustomComPort::SetBuffer(const TComBuffer& v) {
    buffer_->Assign(v);
    ApplyQueueSizes();
}

void TCustomComPort::SetFlowControl(const TComFlowControl& v) {
    flowControl_->Assign(v);
    ApplyLineSettings();
}

void TCustomComPort::SetTimeouts(const TComTimeouts& v) {
    timeouts_->Assign(v);
    ApplyTimeoutSettings();
}

bool TCustomComPort::TriggersOnRxChar() const {
    return triggersOnRxChar_ && !hasBufferLink_;
}

void TCustomComPort::SetTriggersOnRxChar(bool v) {
    if (hasBufferLink_) ReportError(peRxBufLinked, -1);
    triggersOnRxChar_ = v;
}

void TCustomComPort::SetSyncMethod(TSyncMethod v) {
    if (v == syncMethod_) return;
    if (connected_ && !loading_) {
        // The running thread keeps the method it started with, so the value is not taken either.
        ReportError(peWhileConnected, -1);
        return;
    }
    syncMethod_ = v;
}

// --- device

bool TCustomComPort::CanApply() const {
    return connected_ && !loading_ && device_;
}

host::DCB TCustomComPort::DeviceControlRecord() const {
    host::DCB d{};
    d.DCBlength = sizeof(host::DCB);
    d.XonLim = static_cast<host::WORD>(buffer_->InputSize() / 4);
    d.XoffLim = d.XonLim;
    d.EvtChar = eventChar_;
    d.Flags = host::fBinary;
    if (discardNull_) d.Flags |= host::fNull;
    d.XonChar = flowControl_->XonChar();
    d.XoffChar = flowControl_->XoffChar();
    if (flowControl_->OutCTSFlow()) d.Flags |= host::fOutxCtsFlow;
    if (flowControl_->OutDSRFlow()) d.Flags |= host::fOutxDsrFlow;
    static constexpr host::DWORD dtrBits[] = {0, host::fDtrControlEnable, host::fDtrControlHandshake};
    static constexpr host::DWORD rtsBits[] = {0, host::fRtsControlEnable, host::fRtsControlHandshake,
                                              host::fRtsControlToggle};
    d.Flags |= dtrBits[flowControl_->ControlDTR()] | rtsBits[flowControl_->ControlRTS()];
    if (flowControl_->XonXoffOut()) d.Flags |= host::fOutX;
    if (flowControl_->XonXoffIn()) d.Flags |= host::fInX;
    if (flowControl_->DSRSensitivity()) d.Flags |= host::fDsrSensitivity;
    if (flowControl_->TxContinueOnXoff()) d.Flags |= host::fTXContinueOnXoff;
    d.Parity = static_cast<host::BYTE>(parity_->Bits());
    d.StopBits = static_cast<host::BYTE>(stopBits_);
    d.BaudRate = baudRate_ == brCustom ? customBaudRate_ : BaudRateValue(baudRate_);
    d.ByteSize = static_cast<host::BYTE>(5 + dataBits_);
    if (parity_->Check()) {
        d.Flags |= host::fParity;
        if (parity_->Replace()) {
            d.Flags |= host::fErrorChar;
            d.ErrorChar = parity_->ReplaceChar();
        }
    }
    return d;
}

void TCustomComPort::ApplyLineSettings() {
    if (!CanApply()) return;
    if (!device_->SetCommState(DeviceControlRecord())) ReportError(peSetCommState, host::GetLastError());
}

void TCustomComPort::ApplyTimeoutSettings() {
    if (!CanApply()) return;
    const host::COMMTIMEOUTS t{static_cast<host::DWORD>(timeouts_->ReadInterval()),
                               static_cast<host::DWORD>(timeouts_->ReadTotalMultiplier()),
                               static_cast<host::DWORD>(timeouts_->ReadTotalConstant()),
                               static_cast<host::DWORD>(timeouts_->WriteTotalMultiplier()),
                               static_cast<host::DWORD>(timeouts_->WriteTotalConstant())};
    if (!device_->SetCommTimeouts(t)) ReportError(peSetCommTimeouts, host::GetLastError());
}

void TCustomComPort::ApplyQueueSizes() {
    if (!CanApply()) return;
    if (!device_->SetupComm(static_cast<host::DWORD>(buffer_->InputSize()),
                            static_cast<host::DWORD>(buffer_->OutputSize())))
        ReportError(peSetupComm, host::GetLastError());
}

void TCustomComPort::ApplyAllSettings() {
    ApplyQueueSizes();
    ApplyLineSettings();
    ApplyTimeoutSettings();
}

void TCustomComPort::OpenDevice() {
    device_ = host::CommDevice::Open(port_);
    if (!device_) ReportError(peUnableToOpen, host::GetLastError());
}

void TCustomComPort::CloseDevice() {
    if (device_ && device_->Close()) device_.reset();
}

// --- open and close

void TCustomComPort::Open() {
    if (connected_) return;
    DoBeforeOpen();
    OpenDevice();
    // With an OnException handler the failure did not raise; there is nothing to run on.
    if (!device_) return;
    connected_ = true;
    try {
        ApplyAllSettings();
    } catch (...) {
        CloseDevice();
        device_.reset();
        connected_ = false;
        throw;
    }
    ++session_;
    if (events_.Empty()) {
        hasThread_ = false;
    } else {
        thread_ = std::make_unique<TComThread>(*this, *device_, *handOver_, session_);
        hasThread_ = true;
    }
    ForEachLink([this](TComLink& l) {
        if (l.ConnectionChanged) l.ConnectionChanged(*this, true);
    });
    DoAfterOpen();
    ReactToSignal(msCTS, &TComLink::CTSChanged, OnCTSChange);
    ReactToSignal(msDSR, &TComLink::DSRChanged, OnDSRChange);
    ReactToSignal(msRLSD, &TComLink::RLSDChanged, OnRLSDChange);
}

void TCustomComPort::Close() {
    // A reaction that runs while Close waits for the event thread may ask to close as well: the close in
    // progress does it.
    if (!connected_ || closing_) return;
    struct Closing {
        bool& flag;
        explicit Closing(bool& f) : flag(f) { flag = true; }
        ~Closing() { flag = false; }
    } closing(closing_);
    for (auto callback : {&TComLink::CTSChanged, &TComLink::DSRChanged, &TComLink::RLSDChanged})
        ForEachLink([this, callback](TComLink& l) {
            if (l.*callback) (l.*callback)(*this, false);
        });
    DoCTSChange(false);
    DoDSRChange(false);
    DoRLSDChange(false);
    DoBeforeClose();
    AbortPendingIO();
    if (hasThread_) {
        thread_.reset(); // waits for the thread's end, running the hand-overs it started
        hasThread_ = false;
    }
    writer_.reset(); // what still waits is not sent
    CloseDevice();
    connected_ = false;
    ForEachLink([this](TComLink& l) {
        if (l.ConnectionChanged) l.ConnectionChanged(*this, false);
    });
    DoAfterClose();
}

void TCustomComPort::CloseAfterFailedWait(unsigned session, std::int64_t hostError,
                                          const std::string& hostText) {
    if (!connected_ || session != session_) return; // closed (and maybe reopened) meanwhile
    Close();
    ReportError(peWaitForEvent, hostError, hostText);
}

void TCustomComPort::Loaded() {
    loading_ = false;
    if (connected_) {
        connected_ = false;
        try {
            Open();
        } catch (...) {
            ShowException(std::current_exception());
        }
    }
}

// --- writing

bool TCustomComPort::WriteBytes(const void* buffer, int count) {
    if (!device_) {
        ReportError(pePortNotOpen, -24);
        return false;
    }
    if (count <= 0) return true;
    if (!writer_) {
        const unsigned session = session_;
        writer_ = std::make_unique<TComWriter>(
            *device_, [this, session](std::int64_t hostError, const std::string& hostText) {
                handOver_->Post([this, session, hostError, hostText] {
                    if (connected_ && session == session_) ReportError(peWriteFile, hostError, hostText);
                });
            });
    }
    if (writer_->Queue(std::string(static_cast<const char*>(buffer), static_cast<std::size_t>(count))))
        return true;
    ReportError(peWriteFile, -1,
                "more than " + std::to_string(TComWriter::kQueueLimit) + " bytes are waiting to be sent");
    return false;
}

int TCustomComPort::OutputQueueCount() const {
    return writer_ ? static_cast<int>(writer_->Waiting()) : 0;
}

void TCustomComPort::DrainOutput() {
    if (writer_) writer_->Drain();
}

// --- reading and status

int TCustomComPort::ReadBytes(void* buffer, int count) {
    if (!device_) {
        ReportError(pePortNotOpen, -24);
        return 0;
    }
    host::DWORD got = 0;
    if (count > 0 && !device_->ReadFile(buffer, static_cast<host::DWORD>(count), &got))
        ReportError(peReadFile, host::GetLastError());
    if (InputQueueCount() == 0)
        ForEachLink([this](TComLink& l) {
            if (l.RxActivity) l.RxActivity(*this, false);
        });
    return static_cast<int>(got);
}

int TCustomComPort::ReadText(std::string& str, int count) {
    std::string text(static_cast<std::size_t>(std::max(count, 0)), '\0');
    const int n = count > 0 ? ReadBytes(text.data(), count) : 0;
    text.resize(static_cast<std::size_t>(n));
    str = std::move(text);
    return n;
}

int TCustomComPort::InputQueueCount() {
    host::DWORD errors = 0;
    host::COMSTAT stat{};
    if (!device_) {
        host::SetLastError(host::ERROR_INVALID_HANDLE);
        ReportError(peClearCommError, host::ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!device_->ClearCommError(&errors, &stat)) ReportError(peClearCommError, host::GetLastError());
    return static_cast<int>(stat.cbInQue);
}

TComErrors TCustomComPort::PendingLineErrors() {
    host::DWORD e = 0;
    if (!device_) {
        host::SetLastError(host::ERROR_INVALID_HANDLE);
        ReportError(peClearCommError, host::ERROR_INVALID_HANDLE);
        return {};
    }
    if (!device_->ClearCommError(&e, nullptr)) ReportError(peClearCommError, host::GetLastError());
    TComErrors r;
    if (e & host::CE_FRAME) r.Include(errFrame);
    if ((e & host::CE_RXPARITY) && parity_->Check()) r.Include(errRxParity);
    if (e & host::CE_OVERRUN) r.Include(errOverrun);
    if (e & host::CE_RXOVER) r.Include(errRxOverflow);
    if (e & host::CE_TXFULL) r.Include(errTxFull);
    if (e & host::CE_BREAK) r.Include(errBreak);
    if (e & host::CE_IOE) r.Include(errIO);
    if (e & host::CE_MODE) r.Include(errMode);
    return r;
}

TModemSignals TCustomComPort::ModemSignals() {
    host::DWORD s = 0;
    if (!device_) {
        host::SetLastError(host::ERROR_INVALID_HANDLE);
        ReportError(peGetModemStatus, host::ERROR_INVALID_HANDLE);
        return {};
    }
    if (!device_->GetCommModemStatus(&s)) ReportError(peGetModemStatus, host::GetLastError());
    TModemSignals r;
    if (s & host::MS_CTS_ON) r.Include(msCTS);
    if (s & host::MS_DSR_ON) r.Include(msDSR);
    if (s & host::MS_RING_ON) r.Include(msRing);
    if (s & host::MS_RLSD_ON) r.Include(msRLSD);
    return r;
}

void TCustomComPort::AbortPendingIO() {
    if (!device_) {
        host::SetLastError(host::ERROR_INVALID_HANDLE);
        ReportError(pePurgeComm, host::ERROR_INVALID_HANDLE);
        return;
    }
    if (!device_->PurgeComm(host::PURGE_TXABORT | host::PURGE_RXABORT))
        ReportError(pePurgeComm, host::GetLastError());
}

// --- links

template <typename F> void TCustomComPort::ForEachLink(F&& f) {
    const std::vector<TComLink*> links = links_; // a callback may attach or detach
    for (TComLink* l : links)
        f(*l);
}

void TCustomComPort::AttachLink(TComLink* link) {
    if (!link || std::find(links_.begin(), links_.end(), link) != links_.end())
        ReportError(peLinkRegistration, -1);
    else
        links_.push_back(link);
    hasBufferLink_ =
        std::any_of(links_.begin(), links_.end(), [](TComLink* l) { return bool(l->BufferReceived); });
}

void TCustomComPort::DetachLink(TComLink* link) {
    const auto it = std::find(links_.begin(), links_.end(), link);
    if (it == links_.end())
        ReportError(peLinkRegistration, -1);
    else
        links_.erase(it);
    hasBufferLink_ =
        std::any_of(links_.begin(), links_.end(), [](TComLink* l) { return bool(l->BufferReceived); });
}

// --- reactions

void TCustomComPort::ReactToSignal(TModemSignal signal, TComLink::TSignal TComLink::*callback,
                                   const TComSignalEvent& event) {
    const bool on = ModemSignals().Contains(signal);
    ForEachLink([this, callback, on](TComLink& l) {
        if (l.*callback) (l.*callback)(*this, on);
    });
    if (event) event(*this, on);
}

void TCustomComPort::ReactToEvent(TComEvent event) {
    switch (event) {
    case evError: {
        const TComErrors errors = PendingLineErrors();
        if (!errors.Empty()) DoError(errors);
        break;
    }
    case evRxChar:
        ReactToRxChar();
        break;
    case evTxEmpty:
        ForEachLink([this](TComLink& l) {
            if (l.TxActivity) l.TxActivity(*this, false);
        });
        ForEachLink([this](TComLink& l) {
            if (l.TxEmptied) l.TxEmptied(*this);
        });
        DoTxEmpty();
        break;
    case evBreak:
        DoBreak();
        break;
    case evRing:
        ForEachLink([this](TComLink& l) {
            if (l.RingDetected) l.RingDetected(*this);
        });
        DoRing();
        break;
    case evCTS:
        ReactToSignal(msCTS, &TComLink::CTSChanged, OnCTSChange);
        break;
    case evDSR:
        ReactToSignal(msDSR, &TComLink::DSRChanged, OnDSRChange);
        break;
    case evRxFlag:
        ForEachLink([this](TComLink& l) {
            if (l.FlagReceived) l.FlagReceived(*this);
        });
        DoRxFlag();
        break;
    case evRLSD:
        ReactToSignal(msRLSD, &TComLink::RLSDChanged, OnRLSDChange);
        break;
    case evRx80Full:
        DoRx80Full();
        break;
    }
}

void TCustomComPort::ReactToRxChar() {
    int count = InputQueueCount();
    if (count > 0)
        ForEachLink([this](TComLink& l) {
            if (l.RxActivity) l.RxActivity(*this, true);
        });
    if (count > 0 && !TriggersOnRxChar()) {
        std::vector<unsigned char> buffer;
        bool read = false;
        int got = 0;
        auto readOnce = [&] {
            if (read) return;
            buffer.resize(static_cast<std::size_t>(count));
            got = ReadBytes(buffer.data(), count);
            read = true;
            DoRxBuf(buffer.data(), got); // only the bytes actually read
        };
        ForEachLink([&](TComLink& l) {
            if (!l.BufferReceived) return;
            readOnce();
            l.BufferReceived(*this, buffer.data(), got);
        });
        if (!read && !triggersOnRxChar_) readOnce();
        if (read) count = 0;
    }
    if (count > 0) DoRxChar(count);
}

// --- firing

void TCustomComPort::DoAfterClose() {
    if (OnAfterClose) OnAfterClose(*this);
}
void TCustomComPort::DoAfterOpen() {
    if (OnAfterOpen) OnAfterOpen(*this);
}
void TCustomComPort::DoBeforeClose() {
    if (OnBeforeClose) OnBeforeClose(*this);
}
void TCustomComPort::DoBeforeOpen() {
    if (OnBeforeOpen) OnBeforeOpen(*this);
}
void TCustomComPort::DoRxChar(int count) {
    if (OnRxChar) OnRxChar(*this, count);
}
void TCustomComPort::DoRxBuf(const void* buffer, int count) {
    if (OnRxBuf) OnRxBuf(*this, buffer, count);
}
void TCustomComPort::DoTxEmpty() {
    if (OnTxEmpty) OnTxEmpty(*this);
}
void TCustomComPort::DoBreak() {
    if (OnBreak) OnBreak(*this);
}
void TCustomComPort::DoRing() {
    if (OnRing) OnRing(*this);
}
void TCustomComPort::DoRxFlag() {
    if (OnRxFlag) OnRxFlag(*this);
}
void TCustomComPort::DoCTSChange(bool onOff) {
    if (OnCTSChange) OnCTSChange(*this, onOff);
}
void TCustomComPort::DoDSRChange(bool onOff) {
    if (OnDSRChange) OnDSRChange(*this, onOff);
}
void TCustomComPort::DoError(TComErrors errors) {
    if (OnError) OnError(*this, errors);
}
void TCustomComPort::DoRLSDChange(bool onOff) {
    if (OnRLSDChange) OnRLSDChange(*this, onOff);
}
void TCustomComPort::DoRx80Full() {
    if (OnRx80Full) OnRx80Full(*this);
}
