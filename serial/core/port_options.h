#pragma once
// The four settings objects of a port. Each has a back reference to its port; a setter stores the value
// and, when the back reference is set, asks the port to apply its group. Assign copies every field but
// the back reference.

#include "serial/core/comtypes.h"

#include <cstdint>

class TCustomComPort;

// Stores v in field when it differs; true when it did, and the setting must be applied.
template <typename T> bool StoreChanged(T& field, const T& v) {
    if (field == v) return false;
    field = v;
    return true;
}

class TComParity {
public:
    explicit TComParity(TCustomComPort* port = nullptr) : port_(port) {}
    TComParity(const TComParity& o) : TComParity() { Assign(o); }
    TComParity& operator=(const TComParity& o) { return Assign(o), *this; }
    void Assign(const TComParity& source);

    TParityBits Bits() const { return bits_; }
    void SetBits(TParityBits v) {
        if (StoreChanged(bits_, v)) Changed();
    }
    bool Check() const { return check_; }
    void SetCheck(bool v) {
        if (StoreChanged(check_, v)) Changed();
    }
    bool Replace() const { return replace_; }
    void SetReplace(bool v) {
        if (StoreChanged(replace_, v)) Changed();
    }
    char ReplaceChar() const { return replaceChar_; }
    void SetReplaceChar(char v) {
        if (StoreChanged(replaceChar_, v)) Changed();
    }

private:
    void Changed();
    TCustomComPort* port_;
    TParityBits bits_ = prNone;
    bool check_ = false;
    bool replace_ = false;
    char replaceChar_ = 0;
};

class TComFlowControl {
public:
    explicit TComFlowControl(TCustomComPort* port = nullptr) : port_(port) {}
    TComFlowControl(const TComFlowControl& o) : TComFlowControl() { Assign(o); }
    TComFlowControl& operator=(const TComFlowControl& o) { return Assign(o), *this; }
    void Assign(const TComFlowControl& source);

    // Computed from ControlRTS, OutCTSFlow, XonXoffIn and XonXoffOut (first match wins).
    TFlowControl FlowControl() const;
    void SetFlowControl(TFlowControl v);
    bool OutCTSFlow() const { return outCTSFlow_; }
    void SetOutCTSFlow(bool v) {
        if (StoreChanged(outCTSFlow_, v)) Changed();
    }
    bool OutDSRFlow() const { return outDSRFlow_; }
    void SetOutDSRFlow(bool v) {
        if (StoreChanged(outDSRFlow_, v)) Changed();
    }
    TDTRFlowControl ControlDTR() const { return controlDTR_; }
    void SetControlDTR(TDTRFlowControl v) {
        if (StoreChanged(controlDTR_, v)) Changed();
    }
    TRTSFlowControl ControlRTS() const { return controlRTS_; }
    void SetControlRTS(TRTSFlowControl v) {
        if (StoreChanged(controlRTS_, v)) Changed();
    }
    bool XonXoffOut() const { return xonXoffOut_; }
    void SetXonXoffOut(bool v) {
        if (StoreChanged(xonXoffOut_, v)) Changed();
    }
    bool XonXoffIn() const { return xonXoffIn_; }
    void SetXonXoffIn(bool v) {
        if (StoreChanged(xonXoffIn_, v)) Changed();
    }
    bool DSRSensitivity() const { return dsrSensitivity_; }
    void SetDSRSensitivity(bool v) {
        if (StoreChanged(dsrSensitivity_, v)) Changed();
    }
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }
    void SetTxContinueOnXoff(bool v) {
        if (StoreChanged(txContinueOnXoff_, v)) Changed();
    }
    char XonChar() const { return xonChar_; }
    void SetXonChar(char v) {
        if (StoreChanged(xonChar_, v)) Changed();
    }
    char XoffChar() const { return xoffChar_; }
    void SetXoffChar(char v) {
        if (StoreChanged(xoffChar_, v)) Changed();
    }

private:
    void Changed();
    TCustomComPort* port_;
    bool outCTSFlow_ = false;
    bool outDSRFlow_ = false;
    TDTRFlowControl controlDTR_ = dtrDisable;
    TRTSFlowControl controlRTS_ = rtsDisable;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
    char xonChar_ = 17;
    char xoffChar_ = 19;
};

// Milliseconds; -1 stands for the all-ones value of the host record.
class TComTimeouts {
public:
    explicit TComTimeouts(TCustomComPort* port = nullptr) : port_(port) {}
    TComTimeouts(const TComTimeouts& o) : TComTimeouts() { Assign(o); }
    TComTimeouts& operator=(const TComTimeouts& o) { return Assign(o), *this; }
    void Assign(const TComTimeouts& source);

    std::int32_t ReadInterval() const { return readInterval_; }
    void SetReadInterval(std::int32_t v);
    std::int32_t ReadTotalMultiplier() const { return readTotalMultiplier_; }
    void SetReadTotalMultiplier(std::int32_t v);
    std::int32_t ReadTotalConstant() const { return readTotalConstant_; }
    void SetReadTotalConstant(std::int32_t v);
    std::int32_t WriteTotalMultiplier() const { return writeTotalMultiplier_; }
    void SetWriteTotalMultiplier(std::int32_t v);
    std::int32_t WriteTotalConstant() const { return writeTotalConstant_; }
    void SetWriteTotalConstant(std::int32_t v);

private:
    void Set(std::int32_t& field, std::int32_t v);
    TCustomComPort* port_;
    std::int32_t readInterval_ = -1;
    std::int32_t readTotalMultiplier_ = 0;
    std::int32_t readTotalConstant_ = 0;
    std::int32_t writeTotalMultiplier_ = 100;
    std::int32_t writeTotalConstant_ = 1000;
};

// Queue sizes in bytes; a positive odd size is stored one less (queue sizes are even).
class TComBuffer {
public:
    explicit TComBuffer(TCustomComPort* port = nullptr) : port_(port) {}
    TComBuffer(const TComBuffer& o) : TComBuffer() { Assign(o); }
    TComBuffer& operator=(const TComBuffer& o) { return Assign(o), *this; }
    void Assign(const TComBuffer& source);

    std::int32_t InputSize() const { return inputSize_; }
    void SetInputSize(std::int32_t v);
    std::int32_t OutputSize() const { return outputSize_; }
    void SetOutputSize(std::int32_t v);

private:
    void Set(std::int32_t& field, std::int32_t v);
    TCustomComPort* port_;
    std::int32_t inputSize_ = 1024;
    std::int32_t outputSize_ = 1024;
};
