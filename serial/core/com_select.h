#pragma once
// TComSelect: the binding of a selection list to one setting of a port. It fills the list with the
// setting's possible values, finds the port's current value, and converts a chosen text into a pending
// value that it can write to the port.

#include "serial/core/comtypes.h"

#include <string>
#include <vector>

class TCustomComPort;

enum TComProperty { cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl };

class TComSelect {
public:
    TComProperty ComProperty() const { return property_; }
    void SetComProperty(TComProperty v) { property_ = v; }
    bool AutoApply() const { return autoApply_; }
    void SetAutoApply(bool v) { autoApply_ = v; }
    TCustomComPort* ComPort() const { return port_; }
    void SetComPort(TCustomComPort* v) { port_ = v; }

    // The list of the property: the port names of this machine, or the texts of a setting's table.
    std::vector<std::string> Items() const;
    // Index of the port's current value in items (case-insensitive); sets the pending value when found.
    int IndexOfPortValue(const std::vector<std::string>& items);
    // The text of the port's current value ("" without a port).
    std::string PortValueText() const;
    // The user chose text: convert it to the pending value; with AutoApply write it to the port.
    void Choose(const std::string& text);
    // Writes the pending value to the bound port (nothing for cpNone or without a port).
    void ApplyToPort();

    const std::string& PendingPort() const { return port; }
    TBaudRate PendingBaudRate() const { return baudRate; }

private:
    TComProperty property_ = cpNone;
    bool autoApply_ = false;
    TCustomComPort* port_ = nullptr;
    std::string port;
    TBaudRate baudRate = br9600;
    TDataBits dataBits = dbEight;
    TStopBits stopBits = sbOneStopBit;
    TParityBits parity = prNone;
    TFlowControl flowControl = fcCustom;
};

// Index of text in items by case-insensitive exact comparison, or -1.
int IndexOfText(const std::vector<std::string>& items, const std::string& text);
