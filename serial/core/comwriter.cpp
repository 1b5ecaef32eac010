#include "serial/core/comwriter.h"

#include "serial/host/comm_device.h"
#include "serial/host/last_error.h"

#include <utility>

TComWriter::TComWriter(host::CommDevice& device, Failed failed)
    : device_(device), failed_(std::move(failed)), thread_([this] { Execute(); }) {}

TComWriter::~TComWriter() {
    {
        std::lock_guard guard(lock_);
        ending_ = true;
    }
    stop_.Set();
    changed_.notify_all();
    thread_.join();
}

bool TComWriter::Queue(std::string bytes) {
    if (bytes.empty()) return true;
    {
        std::lock_guard guard(lock_);
        if (waiting_ + bytes.size() > kQueueLimit) return false;
        waiting_ += bytes.size();
        queue_.push_back(std::move(bytes));
    }
    changed_.notify_all();
    return true;
}

std::size_t TComWriter::Waiting() const {
    std::lock_guard guard(lock_);
    return waiting_;
}

void TComWriter::Drain() const {
    std::unique_lock guard(lock_);
    changed_.wait(guard, [this] { return waiting_ == 0 || ending_; });
}

void TComWriter::Execute() {
    std::unique_lock guard(lock_);
    for (;;) {
        changed_.wait(guard, [this] { return ending_ || !queue_.empty(); });
        if (ending_) return;
        const std::string bytes = std::move(queue_.front());
        queue_.pop_front();
        guard.unlock();
        host::DWORD written = 0;
        const bool ok =
            device_.WriteFile(bytes.data(), static_cast<host::DWORD>(bytes.size()), &written, stop_);
        const host::DWORD error = ok ? host::ERROR_SEM_TIMEOUT : host::GetLastError();
        const std::string text = ok ? "the device took " + std::to_string(written) + " of " +
                                          std::to_string(bytes.size()) + " bytes in the write time-out"
                                    : host::LastErrorText();
        guard.lock();
        if (ok && written == bytes.size()) {
            told_ = false;
        } else if (error == host::ERROR_OPERATION_ABORTED) {
            return;
        } else {
            // Nothing behind a write that failed goes out: the device is stuck or gone.
            for (const std::string& b : queue_)
                waiting_ -= b.size();
            queue_.clear();
            const bool tell = error != host::ERROR_DEVICE_NOT_CONNECTED && !told_;
            told_ = told_ || tell;
            if (tell) { // told before the bytes count as gone, so a Drain sees the report made
                guard.unlock();
                failed_(error, text);
                guard.lock();
            }
        }
        waiting_ -= bytes.size();
        changed_.notify_all();
    }
}
