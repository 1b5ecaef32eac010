#pragma once
// EComPort, the fixed message texts of its codes, and the application-wide error display.

#include "serial/core/comtypes.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

// Message text of a family error code ("Unable to open com port" for 1); empty for an unknown code.
std::string ComErrorMessage(int code);

class EComPort : public std::runtime_error {
public:
    // what() is the complete message, e.g. "Unable to open com port (Error: 2)" or "Port Not Open".
    EComPort(int code, std::int64_t systemError, const std::string& message, std::string hostErrorText = {});
    int ErrorCode() const { return code_; }
    // Windows error number mapped from errno; -1 when none is known.
    std::int64_t SystemError() const { return systemError_; }
    // The system's own text for the errno behind SystemError ("No such file or directory"); may be empty.
    const std::string& HostErrorText() const { return hostErrorText_; }

private:
    int code_;
    std::int64_t systemError_;
    std::string hostErrorText_;
};

// The application's error box. message is the exception's exact text; detail is the host's text for an
// EComPort with a host error (empty otherwise), for a details line. The program installs one that shows a
// message box; until then errors are written to stderr. Called on the user-interface thread only.
using TErrorReporter = std::function<void(const std::string& message, const std::string& detail)>;
void SetErrorReporter(TErrorReporter reporter);

// The message and detail line of an escaped exception: what() and, for an EComPort, the host's text;
// "Unknown error" for what is no std::exception.
struct TErrorText {
    std::string message;
    std::string detail;
};
TErrorText DescribeException(std::exception_ptr error);

// Shows an escaped exception through the error reporter, as the application's standard error box does.
void ShowException(std::exception_ptr error);
