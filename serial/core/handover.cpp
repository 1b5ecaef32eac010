#include "serial/core/handover.h"

#include "serial/core/comerror.h"

#include <QCoreApplication>
#include <QEvent>

#include <memory>

namespace {
const QEvent::Type kHandOverEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
} // namespace

THandOver::THandOver() = default;

THandOver::~THandOver() = default;

void THandOver::Enqueue(const std::shared_ptr<Job>& job) {
    // Made before the lock is taken, so the user-interface thread, which takes the lock before it
    // looks at the event, sees it complete (the event loop's own locking is invisible to race checkers).
    auto announce = std::make_unique<QEvent>(kHandOverEvent);
    {
        std::lock_guard guard(lock_);
        queue_.push_back(job);
    }
    changed_.notify_all();
    QCoreApplication::postEvent(this, announce.release());
}

void THandOver::Run(std::function<void()> fn, const std::atomic<bool>& abandon, const Meanwhile& meanwhile) {
    auto job = std::make_shared<Job>();
    job->fn = std::move(fn);
    job->abandon = &abandon;
    Enqueue(job);
    std::unique_lock guard(lock_);
    // Once the user-interface thread runs the work and asks this thread to end, it is inside the work
    // itself (only it can ask): waiting longer would wait for ourselves. Work it started after it asked
    // (serving hand-overs while it waits for this thread) is waited for: going on beside it would let
    // this thread's last steps (purging the queue the work reads) run in the middle of it.
    const auto over = [&] { return job->done || (job->started && job->abandonable && abandon.load()); };
    if (!meanwhile) {
        changed_.wait(guard, over);
    } else {
        for (;;) {
            news_.Reset(); // under the lock, before the look: news after it sets the event again
            if (over()) break;
            guard.unlock();
            meanwhile(news_.Fd());
            guard.lock();
        }
    }
    if (job->error) std::rethrow_exception(job->error);
}

void THandOver::Announce() {
    changed_.notify_all();
    news_.Set();
}

void THandOver::Send(std::function<void()> fn) {
    auto job = std::make_shared<Job>();
    job->answerAtStart = true;
    job->fn = [fn = std::move(fn)] {
        try {
            fn();
        } catch (...) {
            ShowException(std::current_exception());
        }
    };
    Enqueue(job);
    std::unique_lock guard(lock_);
    changed_.wait(guard, [&] { return job->done; });
}

void THandOver::Post(std::function<void()> fn) {
    auto announce = std::make_unique<QEvent>(kHandOverEvent);
    {
        std::lock_guard guard(lock_);
        posted_.push_back(std::move(fn));
    }
    QCoreApplication::postEvent(this, announce.release());
}

void THandOver::RunOne(std::unique_lock<std::mutex>& lock) {
    std::shared_ptr<Job> job = std::move(queue_.front());
    queue_.pop_front();
    job->started = true;
    job->abandonable = !job->abandon || !job->abandon->load();
    if (job->answerAtStart) {
        job->done = true;
        Announce();
    }
    lock.unlock();
    std::exception_ptr error;
    try {
        job->fn();
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    if (!job->answerAtStart) {
        job->error = error;
        job->done = true;
        Announce();
    }
}

void THandOver::ServeUntil(const std::function<bool()>& done) {
    std::unique_lock guard(lock_);
    for (;;) {
        if (!queue_.empty()) {
            RunOne(guard);
            continue;
        }
        if (done()) return;
        changed_.wait(guard);
    }
}

void THandOver::Notify() {
    std::lock_guard guard(lock_);
    Announce();
}

bool THandOver::event(QEvent* e) {
    std::unique_lock guard(lock_);
    if (e->type() != kHandOverEvent) {
        guard.unlock();
        return QObject::event(e);
    }
    // One announcement per queued item; a waiting Close may have run hand-overs already.
    if (!queue_.empty()) {
        RunOne(guard);
    } else if (!posted_.empty()) {
        const std::function<void()> fn = std::move(posted_.front());
        posted_.pop_front();
        guard.unlock();
        try {
            fn();
        } catch (...) {
            ShowException(std::current_exception());
        }
    }
    return true;
}
