#pragma once
// The host's "last error" of the calling thread, as a Windows error number plus the system's own text
// for the errno it came from, so the user sees both.

#include "serial/host/comm_types.h"

#include <string>

namespace host {

// Windows error number for an errno value (not found 2, access denied or in use 5, device gone 1167, …).
DWORD ErrorFromErrno(int errnum);

// The calling thread's last error; every failing host call sets it.
DWORD GetLastError();
// Text of the errno behind the last error ("No such file or directory"), with the advice given for it on
// a line of its own; empty when there was none.
std::string LastErrorText();

// Records a failure from errno (mapped) or an explicit error number with an optional errno for the text.
void SetLastErrorFromErrno(int errnum);
void SetLastError(DWORD error, int errnum = 0);
// Advice for the last error, kept until the next one is recorded.
void SetLastErrorAdvice(std::string advice);

} // namespace host
