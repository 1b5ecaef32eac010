#pragma once
// The application's standard error box: what escapes an event handler is shown here and the program
// goes on. Tests replace the box to read the message without a modal dialog.

#include "serial/core/comerror.h"

#include <QString>

#include <exception>
#include <functional>

namespace errorbox {

using ShowFn = std::function<void(const QString& message)>;

// Replaces how errors are shown; an empty function restores the message box.
void SetShow(ShowFn fn);
// detail, when given, is shown below the message in the box (the system's text of a port error).
// One box is open at a time: while it is, the same message again is counted in it ("… (3 ×)") and
// another message is shown after it; such calls return at once.
void Show(const QString& message, const QString& detail = {});

// The same, from the event loop once the current handler has returned: for errors met on the receive
// path, where a modal box would hold up the port's event thread (and so the reading of the device) for
// as long as it is open.
void ShowLater(const QString& message, const QString& detail = {});

// Runs a handler; an exception that escapes it is shown in the error box.
template <typename Fn> void Guard(Fn&& fn) {
    try {
        fn();
    } catch (...) {
        const TErrorText text = DescribeException(std::current_exception());
        Show(QString::fromStdString(text.message), QString::fromStdString(text.detail));
    }
}

} // namespace errorbox
