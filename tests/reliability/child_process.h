#pragma once
// Runs a piece of a test in a forked child: for what must not touch the test process itself (SIGKILL,
// lowered limits, another user, a private mount namespace). The child's text comes back through a pipe.

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <string>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

struct ChildResult {
    bool Exited = false; // ended by _exit, not by a signal
    int Status = -1;     // exit code, or the signal that ended it
    std::string Text;    // what the child wrote
};

// The body returns its text; whatever it throws becomes "exception: …". The child never returns into
// the test framework.
inline ChildResult RunInChild(const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {false, -1, std::string("pipe: ") + std::strerror(errno)};
    const pid_t pid = ::fork();
    if (pid < 0) return {false, -1, std::string("fork: ") + std::strerror(errno)};
    if (pid == 0) {
        ::close(fds[0]);
        std::string text;
        try {
            text = body();
        } catch (const std::exception& e) {
            text = std::string("exception: ") + e.what();
        } catch (...) {
            text = "exception";
        }
        std::size_t off = 0;
        while (off < text.size()) {
            const ssize_t n = ::write(fds[1], text.data() + off, text.size() - off);
            if (n <= 0) break;
            off += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    ChildResult r;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n > 0) {
            r.Text.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    r.Exited = WIFEXITED(status);
    r.Status = r.Exited ? WEXITSTATUS(status) : WTERMSIG(status);
    return r;
}
