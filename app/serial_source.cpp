#include "app/serial_source.h"

#include "serial/core/comerror.h"
#include "serial/core/comport.h"
#include "serial/host/comm_device.h"
#include "serial/host/port_list.h"

#include <filesystem>
#include <system_error>

namespace {
// The port's closes within its scope are the source's own.
struct OwnClose {
    bool& closing;
    const bool was;
    explicit OwnClose(bool& flag) : closing(flag), was(flag) { closing = true; }
    ~OwnClose() { closing = was; }
};
} // namespace

SerialSource::SerialSource(TComPort& port) : port_(port) {
    port_.OnRxChar = [this](TCustomComPort&, int count) {
        std::string bytes;
        port_.ReadText(bytes, count);
        if (OnBytes) OnBytes(bytes);
    };
    // The port also closes itself when the device goes away.
    port_.OnAfterClose = [this](TCustomComPort&) {
        if (!closing_ && OnLost) OnLost();
    };
}

SerialSource::~SerialSource() {
    port_.OnRxChar = nullptr;
    port_.OnAfterClose = nullptr;
}

void SerialSource::Open() {
    port_.SetConnected(true);
    // The name the device will come back under, asked while it is there.
    lasting_ = host::StablePortName(port_.Port());
}

void SerialSource::Reopen() {
    if (port_.Port() != lasting_) SetPort(lasting_);
    port_.SetConnected(true);
}

void SerialSource::Close() {
    const OwnClose own(closing_);
    port_.SetConnected(false);
}

bool SerialSource::IsOpen() const {
    return port_.Connected();
}

bool SerialSource::Present() const {
    std::error_code ec;
    return std::filesystem::exists(host::DevicePath(lasting_), ec);
}

void SerialSource::SetPort(const std::string& name) {
    const OwnClose own(closing_);
    port_.SetPort(name);
}

bool SerialSource::Write(std::string_view bytes) {
    if (!port_.Connected()) return false;
    try {
        return port_.WriteBytes(bytes.data(), static_cast<int>(bytes.size()));
    } catch (...) {
        ShowException(std::current_exception());
        return false;
    }
}
