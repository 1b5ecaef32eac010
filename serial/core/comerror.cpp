#include "serial/core/comerror.h"

#include <cstdio>
#include <utility>

namespace {

TErrorReporter& Reporter() {
    static TErrorReporter reporter;
    return reporter;
}

} // namespace

std::string ComErrorMessage(int code) {
    static const char* const texts[] = {"Unable to open com port",
                                        "WriteFile function failed",
                                        "ReadFile function failed",
                                        "Invalid Async parameter",
                                        "PurgeComm function failed",
                                        "Unable to get async status",
                                        "SetCommState function failed",
                                        "SetCommTimeouts failed",
                                        "SetupComm function failed",
                                        "ClearCommError function failed",
                                        "GetCommModemStatus function failed",
                                        "EscapeCommFunction function failed",
                                        "TransmitCommChar function failed",
                                        "Cannot set property while connected",
                                        "EnumPorts function failed",
                                        "Failed to store settings",
                                        "Failed to load settings",
                                        "Link (un)registration failed",
                                        "Cannot change led state if ComPort is selected",
                                        "Cannot wait for event if event thread is created",
                                        "WaitForEvent method failed",
                                        "A component is linked to OnRxBuf event",
                                        "Registry error",
                                        "Port Not Open"};
    if (code < 1 || code > static_cast<int>(std::size(texts))) return {};
    return texts[code - 1];
}

EComPort::EComPort(int code, std::int64_t systemError, const std::string& message, std::string hostErrorText)
    : std::runtime_error(message), code_(code), systemError_(systemError),
      hostErrorText_(std::move(hostErrorText)) {}

void SetErrorReporter(TErrorReporter reporter) {
    Reporter() = std::move(reporter);
}

TErrorText DescribeException(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const EComPort& e) {
        return {e.what(), e.HostErrorText()};
    } catch (const std::exception& e) {
        return {e.what(), {}};
    } catch (...) {
    }
    return {"Unknown error", {}};
}

void ShowException(std::exception_ptr error) {
    const TErrorText text = DescribeException(error);
    if (Reporter()) {
        Reporter()(text.message, text.detail);
        return;
    }
    std::fprintf(stderr, "%s%s%s\n", text.message.c_str(), text.detail.empty() ? "" : ": ",
                 text.detail.c_str());
}
