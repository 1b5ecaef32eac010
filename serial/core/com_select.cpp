#include "serial/core/com_select.h"

#include "serial/core/comport.h"
#include "serial/host/port_list.h"

#include <algorithm>
#include <cctype>

namespace {

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

} // namespace

int IndexOfText(const std::vector<std::string>& items, const std::string& text) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (SameText(items[i], text)) return static_cast<int>(i);
    return -1;
}

std::vector<std::string> TComSelect::Items() const {
    switch (property_) {
    case cpPort:
        return host::SerialPortNames();
    case cpBaudRate:
        return BaudRateTexts();
    case cpDataBits:
        return DataBitsTexts();
    case cpStopBits:
        return StopBitsTexts();
    case cpParity:
        return ParityTexts();
    case cpFlowControl:
        return FlowControlTexts();
    case cpNone:
        break;
    }
    return {};
}

std::string TComSelect::PortValueText() const {
    if (!port_) return {};
    switch (property_) {
    case cpPort:
        return port_->Port();
    case cpBaudRate:
        return BaudRateToStr(port_->BaudRate());
    case cpDataBits:
        return DataBitsToStr(port_->DataBits());
    case cpStopBits:
        return StopBitsToStr(port_->StopBits());
    case cpParity:
        return ParityToStr(port_->Parity().Bits());
    case cpFlowControl:
        return FlowControlToStr(port_->FlowControl().FlowControl());
    case cpNone:
        break;
    }
    return {};
}

int TComSelect::IndexOfPortValue(const std::vector<std::string>& items) {
    int index = IndexOfText(items, PortValueText());
    // A port list may name the port's device differently ("COM5" is ttyS4, a by-id link is ttyUSB0).
    for (std::size_t i = 0; index < 0 && property_ == cpPort && port_ && i < items.size(); ++i)
        if (host::SameDevice(items[i], port_->Port())) index = static_cast<int>(i);
    if (index >= 0) {
        const bool apply = autoApply_;
        autoApply_ = false; // finding the value only takes it as pending
        Choose(items[static_cast<std::size_t>(index)]);
        autoApply_ = apply;
    }
    return index;
}

void TComSelect::Choose(const std::string& text) {
    switch (property_) {
    case cpPort:
        port = text;
        break;
    case cpBaudRate:
        baudRate = StrToBaudRate(text);
        break;
    case cpDataBits:
        dataBits = StrToDataBits(text);
        break;
    case cpStopBits:
        stopBits = StrToStopBits(text);
        break;
    case cpParity:
        parity = StrToParity(text);
        break;
    case cpFlowControl:
        flowControl = StrToFlowControl(text);
        break;
    case cpNone:
        break;
    }
    if (autoApply_) ApplyToPort();
}

void TComSelect::ApplyToPort() {
    if (!port_) return;
    switch (property_) {
    case cpPort:
        port_->SetPort(port);
        break;
    case cpBaudRate:
        port_->SetBaudRate(baudRate);
        break;
    case cpDataBits:
        port_->SetDataBits(dataBits);
        break;
    case cpStopBits:
        port_->SetStopBits(stopBits);
        break;
    case cpParity:
        port_->Parity().SetBits(parity);
        break;
    case cpFlowControl:
        port_->FlowControl().SetFlowControl(flowControl);
        break;
    case cpNone:
        break;
    }
}
