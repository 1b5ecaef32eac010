#pragma once
// Waiting in tests: the Qt event loop runs until a condition holds (the port, the windows and timers
// all work through it), with a generous guard against hanging; never a wait for a time.

#include <QCoreApplication>

#include <chrono>
#include <functional>

// Runs the event loop until pred() holds; false if it did not within the guard time. Needs the
// application object of the test.
inline bool WaitUntilHolds(const std::function<bool()>& pred, int guardSeconds = 30) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(guardSeconds);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}
