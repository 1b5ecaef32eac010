#include "serial/host/last_error.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace host {

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
thread_local int lastErrno = 0;
thread_local std::string lastAdvice;
} // namespace

DWORD ErrorFromErrno(int errnum) {
    switch (errnum) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
    case ERANGE:
        return ERROR_INVALID_PARAMETER;
    case ENOTTY:
    case EOPNOTSUPP:
        return ERROR_NOT_SUPPORTED;
    case ETIMEDOUT:
        return ERROR_SEM_TIMEOUT;
    case ECANCELED:
        return ERROR_OPERATION_ABORTED;
    case EIO:
    case EPIPE:
    case ENOLINK:
        return ERROR_DEVICE_NOT_CONNECTED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

DWORD GetLastError() {
    return lastError;
}

std::string LastErrorText() {
    if (lastErrno == 0) return {};
    char buf[256];
    std::string text = strerror_r(lastErrno, buf, sizeof buf); // GNU form: thread-safe, returns the text
    if (!lastAdvice.empty()) text += "\n" + lastAdvice;
    return text;
}

void SetLastErrorFromErrno(int errnum) {
    SetLastError(ErrorFromErrno(errnum), errnum);
}

void SetLastError(DWORD error, int errnum) {
    lastError = error;
    lastErrno = errnum;
    lastAdvice.clear();
}

void SetLastErrorAdvice(std::string advice) {
    lastAdvice = std::move(advice);
}

} // namespace host
