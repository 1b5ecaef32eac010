#pragma once
// A real pseudo-terminal for serial tests: the test plays the device on the master side, the port under
// test opens the slave path. Waiting helpers run the Qt event loop, since the port hands events over
// through it; they wait for a condition (with a generous guard against hanging), never for a time.

#include "tests/wait.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

inline QCoreApplication& TestApp() {
    if (QCoreApplication* existing = QCoreApplication::instance()) return *existing; // a widget test's
    static int argc = 1;
    static char name[] = "serial-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Runs the event loop until pred() holds; false if it did not within the guard time.
inline bool WaitUntil(const std::function<bool()>& pred, int guardSeconds = 30) {
    TestApp();
    return WaitUntilHolds(pred, guardSeconds);
}

class Pty {
public:
    Pty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            throw std::runtime_error("no pty");
        path_ = ptsname(master_);
        // Raw from the start, so nothing the test writes before the port sets up is translated.
        const int s = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        tcgetattr(s, &t);
        cfmakeraw(&t);
        tcsetattr(s, TCSANOW, &t);
        ::close(s);
    }
    ~Pty() { CloseMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& Path() const { return path_; }
    int Master() const { return master_; }
    void Write(const std::string& s) {
        std::size_t done = 0;
        while (done < s.size()) {
            const ssize_t n = ::write(master_, s.data() + done, s.size() - done);
            if (n < 0) throw std::runtime_error("pty write failed");
            done += static_cast<std::size_t>(n);
        }
    }
    // The device goes away, as an unplugged adapter does.
    void CloseMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }
    // Bytes the kernel still holds for the slave side (not yet taken by the port).
    int KernelQueued() const {
        const int peer = ioctl(master_, TIOCGPTPEER, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        int n = -1;
        if (peer >= 0) {
            ioctl(peer, FIONREAD, &n);
            ::close(peer);
        }
        return n;
    }

private:
    int master_ = -1;
    std::string path_;
};

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

// mevrant-sim as a child process. Started with posix_spawn rather than QProcess: the race checker
// loses track of the parent's locks after Qt's way of starting processes.
class SimProcess {
public:
    // Starts the simulator with args; Device() is its first line of output, empty when it failed.
    explicit SimProcess(const std::vector<std::string>& args) {
        const std::string program = std::string(std::getenv("MEVRANT_BUILD_DIR")) + "/tools/mevrant-sim";
        std::vector<std::string> all{program};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) {
            pid_ = -1;
            ::close(out[0]);
            return;
        }
        out_ = out[0];
        char c;
        while (::read(out_, &c, 1) == 1 && c != '\n')
            device_ += c;
    }
    ~SimProcess() {
        if (Running()) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& Device() const { return device_; }
    bool Running() {
        if (pid_ <= 0 || exited_) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            exitedNormally_ = WIFEXITED(status);
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return !exited_;
    }
    void Terminate() { ::kill(pid_, SIGTERM); }
    bool ExitedNormally() const { return exitedNormally_; }
    int ExitCode() const { return exitCode_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string device_;
    bool exited_ = false;
    bool exitedNormally_ = false;
    int exitCode_ = -1;
};
