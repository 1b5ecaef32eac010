// The receive path through a pseudo-terminal: how long one reading takes from the device's write to the
// handler on the user-interface thread, and how many bytes per second the hand-over carries.

#include "app/port_settings.h"
#include "serial/core/comport.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

struct Device {
    int master = -1;
    std::string path;
    Device() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) throw std::runtime_error("no pty");
        path = ptsname(master);
        const int s = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        termios t{};
        tcgetattr(s, &t);
        cfmakeraw(&t);
        tcsetattr(s, TCSANOW, &t);
        ::close(s);
    }
    ~Device() { ::close(master); }
    void Write(const std::string& s) {
        for (std::size_t done = 0; done < s.size();) {
            const ssize_t n = ::write(master, s.data() + done, s.size() - done);
            if (n <= 0) throw std::runtime_error("write failed");
            done += static_cast<std::size_t>(n);
        }
    }
};

// A port set up like the main window's, counting what its handler reads.
struct Receiver {
    TComPort port;
    std::size_t received = 0;
    explicit Receiver(const std::string& path) {
        ConfigureMainPort(port);
        port.SetPort(path);
        port.OnRxChar = [this](TCustomComPort& p, int count) {
            std::string text;
            received += static_cast<std::size_t>(p.ReadText(text, count));
        };
        port.Open();
    }
    void WaitFor(std::size_t total) {
        while (received < total)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
};

void BM_OneReadingToTheHandler(benchmark::State& state) {
    Device device;
    Receiver r(device.path);
    const std::string line = "123.456\r";
    for (auto _ : state) {
        device.Write(line);
        r.WaitFor(r.received + line.size());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OneReadingToTheHandler)->UseRealTime();

void BM_BulkBytesThroughTheHandOver(benchmark::State& state) {
    Device device;
    Receiver r(device.path);
    const std::string block(static_cast<std::size_t>(state.range(0)), '7');
    for (auto _ : state) {
        const std::size_t target = r.received + block.size();
        device.Write(block); // the kernel takes about 4 KB at a time; the port drains it meanwhile
        r.WaitFor(target);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BulkBytesThroughTheHandOver)->Arg(4096)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
