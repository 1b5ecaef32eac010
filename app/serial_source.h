#pragma once
// The serial port as a recording's source: a run opens the port as it is set, and a device that went
// away is opened again under the name it had when the run started (its /dev/serial/by-id name where it
// has one), so the same device is found on whatever node it comes back as.

#include "app/recording.h"

#include <string>

class TComPort;

class SerialSource : public ByteSource {
public:
    // Takes the port's receive and close reactions; the port must outlive the source.
    explicit SerialSource(TComPort& port);
    ~SerialSource() override;

    void Open() override;
    void Reopen() override;
    void Close() override;
    bool IsOpen() const override;
    bool Present() const override;
    std::string Where() const override { return lasting_; }
    // Queued on the port (its writer thread); a refusal goes to the error display.
    bool Write(std::string_view bytes) override;

    // Sets the port's device. An open port closes and opens on the new one: that close is no loss.
    void SetPort(const std::string& name);

private:
    TComPort& port_;
    std::string lasting_;  // the device's lasting name, taken at Open
    bool closing_ = false; // a close of the source's own: no device went away
};
