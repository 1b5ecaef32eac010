#include "app/termination.h"

#include <QObject>
#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};
std::atomic<int> received{0};
int hardExit = 0;

void OnTerminationSignal(int) {
    if (received.fetch_add(1) >= 1 && hardExit != 0) ::_exit(hardExit);
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

} // namespace

void HandleTerminationSignals(QObject* parent, std::function<void()> react, int hardExitStatus) {
    if (signalPipe[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    hardExit = hardExitStatus;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, [react = std::move(react)] {
        char byte;
        while (::read(signalPipe[0], &byte, 1) > 0) {
        }
        react();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

bool TerminationRequested() {
    return received.load() > 0;
}
