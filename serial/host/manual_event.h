#pragma once
// A manual-reset event on an eventfd: it stays set until reset, and poll() can wait for it together with
// a device. This is how a stop request wakes the event wait without any timer.

namespace host {

class ManualEvent {
public:
    explicit ManualEvent(bool initiallySet = false);
    ~ManualEvent();
    ManualEvent(const ManualEvent&) = delete;
    ManualEvent& operator=(const ManualEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    int Fd() const { return fd_; }

private:
    int fd_;
};

} // namespace host
