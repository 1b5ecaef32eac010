#include "serial/core/port_options.h"

#include "serial/core/comport.h"

// --- TComParity

void TComParity::Assign(const TComParity& source) {
    bits_ = source.bits_;
    check_ = source.check_;
    replace_ = source.replace_;
    replaceChar_ = source.replaceChar_;
}

void TComParity::Changed() {
    if (port_) port_->ApplyLineSettings();
}

// --- TComFlowControl

void TComFlowControl::Assign(const TComFlowControl& s) {
    outCTSFlow_ = s.outCTSFlow_;
    outDSRFlow_ = s.outDSRFlow_;
    controlDTR_ = s.controlDTR_;
    controlRTS_ = s.controlRTS_;
    xonXoffOut_ = s.xonXoffOut_;
    xonXoffIn_ = s.xonXoffIn_;
    dsrSensitivity_ = s.dsrSensitivity_;
    txContinueOnXoff_ = s.txContinueOnXoff_;
    xonChar_ = s.xonChar_;
    xoffChar_ = s.xoffChar_;
}

void TComFlowControl::Changed() {
    if (port_) port_->ApplyLineSettings();
}

TFlowControl TComFlowControl::FlowControl() const {
    if (controlRTS_ == rtsHandshake && outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) return fcHardware;
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && xonXoffIn_ && xonXoffOut_) return fcSoftware;
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) return fcNone;
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl v) {
    if (v != fcCustom) {
        controlRTS_ = rtsDisable;
        outCTSFlow_ = xonXoffIn_ = xonXoffOut_ = false;
        if (v == fcHardware) {
            controlRTS_ = rtsHandshake;
            outCTSFlow_ = true;
        } else if (v == fcSoftware) {
            xonXoffIn_ = xonXoffOut_ = true;
        }
    }
    Changed();
}

// --- TComTimeouts

void TComTimeouts::Assign(const TComTimeouts& s) {
    readInterval_ = s.readInterval_;
    readTotalMultiplier_ = s.readTotalMultiplier_;
    readTotalConstant_ = s.readTotalConstant_;
    writeTotalMultiplier_ = s.writeTotalMultiplier_;
    writeTotalConstant_ = s.writeTotalConstant_;
}

void TComTimeouts::Set(std::int32_t& field, std::int32_t v) {
    if (StoreChanged(field, v) && port_) port_->ApplyTimeoutSettings();
}

void TComTimeouts::SetReadInterval(std::int32_t v) {
    Set(readInterval_, v);
}
void TComTimeouts::SetReadTotalMultiplier(std::int32_t v) {
    Set(readTotalMultiplier_, v);
}
void TComTimeouts::SetReadTotalConstant(std::int32_t v) {
    Set(readTotalConstant_, v);
}
void TComTimeouts::SetWriteTotalMultiplier(std::int32_t v) {
    Set(writeTotalMultiplier_, v);
}
void TComTimeouts::SetWriteTotalConstant(std::int32_t v) {
    Set(writeTotalConstant_, v);
}

// --- TComBuffer

void TComBuffer::Assign(const TComBuffer& s) {
    inputSize_ = s.inputSize_;
    outputSize_ = s.outputSize_;
}

void TComBuffer::Set(std::int32_t& field, std::int32_t v) {
    if (v == field) return;
    field = (v > 0 && v % 2 == 1) ? v - 1 : v;
    if (port_) port_->ApplyQueueSizes();
}

void TComBuffer::SetInputSize(std::int32_t v) {
    Set(inputSize_, v);
}
void TComBuffer::SetOutputSize(std::int32_t v) {
    Set(outputSize_, v);
}
