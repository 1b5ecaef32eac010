#pragma once
// Runs work of the event thread on the user-interface thread (the thread that created this object).
//
// Run blocks the calling thread until the work has run there and brings its exception back. Send blocks
// only until the work has been taken (answered at once, the work then runs on its own). Both are queued
// here and announced by a posted event, so they run from the event loop; a user-interface thread that
// waits for the event thread's end runs them itself (ServeUntil), so the wait never deadlocks on a
// hand-over in progress. Post runs work later from the event loop and is dropped with this object.
// Every item is announced by an event made before the item is queued under this object's lock, so the
// user-interface thread sees it complete (the event loop's own locking is invisible to race checkers).

#include "serial/host/manual_event.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

class THandOver : public QObject {
    Q_OBJECT
public:
    THandOver();
    ~THandOver() override;

    // Other thread: run fn on the user-interface thread and wait for its end; rethrows its exception.
    // Gives up waiting when abandon becomes true while fn runs: the user-interface thread wants this
    // thread to end from inside fn (e.g. a handler that closes the port). Work not yet started is still
    // waited for to its end, also when abandon was set before it started: the user-interface thread
    // runs it while it waits for this thread's end, and this thread must not go on beside it.
    // With meanwhile, the calling thread runs it while it waits instead of sleeping: it gets a descriptor
    // that becomes readable when there is news of the work (ended, or abandon may apply) and must return
    // then (or sooner; it is called again until the wait is over). One such waiter at a time.
    using Meanwhile = std::function<void(int news)>;
    void Run(std::function<void()> fn, const std::atomic<bool>& abandon, const Meanwhile& meanwhile = {});
    // Other thread: hand fn over and wait only until the user-interface thread has taken it. An exception
    // from fn is shown by the application's error display.
    void Send(std::function<void()> fn);
    // Any thread: run fn later from the event loop; an exception goes to the error display.
    void Post(std::function<void()> fn);

    // User-interface thread: run queued hand-overs until done() is true; done is checked under the lock.
    void ServeUntil(const std::function<bool()>& done);
    // Any thread: make ServeUntil look at its condition again.
    void Notify();

protected:
    bool event(QEvent* e) override;

private:
    struct Job {
        std::function<void()> fn;
        bool answerAtStart = false;
        const std::atomic<bool>* abandon = nullptr; // Run's flag
        bool abandonable = false;                   // the flag was clear when the work started
        bool started = false;
        bool done = false;
        std::exception_ptr error;
    };
    void Enqueue(const std::shared_ptr<Job>& job);
    void RunOne(std::unique_lock<std::mutex>& lock);
    void Announce(); // under lock_: a waiter in Run looks at its work again

    std::mutex lock_;
    std::condition_variable changed_;
    host::ManualEvent news_; // set with each Announce, for a waiter of Run that polls
    std::deque<std::shared_ptr<Job>> queue_;
    std::deque<std::function<void()>> posted_; // run from the event loop only, never inside ServeUntil
};
