// The host serial layer on pseudo-terminals: the record → termios mapping, exclusive opening and error
// numbers, reads under the time-out record, the event wait with its stop event, and a device that goes away.

#include "tests/serial/pty_fixture.h"

#include "serial/host/comm_device.h"
#include "serial/host/last_error.h"
#include "serial/host/termios_map.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace host;

namespace {

DCB Record(DWORD baud, BYTE size, BYTE parity, BYTE stop, DWORD flags) {
    DCB d{};
    d.DCBlength = sizeof(DCB);
    d.BaudRate = baud;
    d.ByteSize = size;
    d.Parity = parity;
    d.StopBits = stop;
    d.Flags = fBinary | flags;
    d.XonChar = 17;
    d.XoffChar = 19;
    return d;
}

std::unique_ptr<CommDevice> OpenPty(const Pty& pty) {
    auto dev = CommDevice::Open(pty.Path());
    if (!dev) ADD_FAILURE() << "open failed: " << GetLastError();
    return dev;
}

// Waits (without the event loop) until the device's queue holds n bytes.
bool QueueReaches(CommDevice& dev, DWORD n) {
    return WaitUntil([&] {
        COMSTAT st{};
        dev.ClearCommError(nullptr, &st);
        return st.cbInQue == n;
    });
}

} // namespace

TEST(TermiosMap, LineSettings) {
    termios t{};
    DWORD custom = 1;
    ASSERT_TRUE(DcbToTermios(Record(115200, 8, NOPARITY, ONESTOPBIT, 0), t, &custom));
    EXPECT_EQ(custom, 0u);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B115200));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_EQ(t.c_cc[VMIN], 0);

    ASSERT_TRUE(
        DcbToTermios(Record(250000, 7, MARKPARITY, ONE5STOPBITS, fParity | fOutX | fInX), t, &custom));
    EXPECT_EQ(custom, 250000u);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB),
              tcflag_t(CS7 | PARENB | PARODD | CMSPAR | CSTOPB));
    EXPECT_TRUE(t.c_iflag & INPCK);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));

    ASSERT_TRUE(DcbToTermios(Record(9600, 5, SPACEPARITY, TWOSTOPBITS, fRtsControlHandshake), t, &custom));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CRTSCTS),
              tcflag_t(CS5 | PARENB | CMSPAR | CRTSCTS));
    ASSERT_TRUE(DcbToTermios(Record(9600, 6, ODDPARITY, ONESTOPBIT, fOutxCtsFlow), t, &custom));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CRTSCTS), tcflag_t(CS6 | PARENB | PARODD | CRTSCTS));
    EXPECT_TRUE(t.c_iflag & IGNPAR); // parity without checking: errors are dropped

    const termios before = t;
    EXPECT_FALSE(DcbToTermios(Record(9600, 9, NOPARITY, ONESTOPBIT, 0), t, &custom));
    EXPECT_FALSE(DcbToTermios(Record(9600, 8, 5, ONESTOPBIT, 0), t, &custom));
    EXPECT_FALSE(DcbToTermios(Record(0, 8, NOPARITY, ONESTOPBIT, 0), t, &custom));
    EXPECT_EQ(std::memcmp(&before, &t, sizeof t), 0);
}

TEST(HostDevice, OpenErrorsAndExclusiveAccess) {
    EXPECT_EQ(CommDevice::Open("/dev/mevrant-missing"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LastErrorText(), "No such file or directory");
    const std::string plain = std::filesystem::temp_directory_path() / "mevrant-not-a-tty";
    std::ofstream(plain) << "x";
    EXPECT_EQ(CommDevice::Open(plain), nullptr); // not a serial device
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    std::filesystem::remove(plain);

    Pty pty;
    auto first = OpenPty(pty);
    EXPECT_EQ(CommDevice::Open(pty.Path()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    first.reset();
    EXPECT_NE(CommDevice::Open(pty.Path()), nullptr);
}

TEST(HostDevice, ModemLinesOfAPseudoTerminalReadOff) {
    Pty pty;
    auto dev = OpenPty(pty);
    DWORD status = 0xFF;
    EXPECT_TRUE(dev->GetCommModemStatus(&status));
    EXPECT_EQ(status, 0u);
    EXPECT_TRUE(dev->Close());
    EXPECT_FALSE(dev->GetCommModemStatus(&status));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(dev->Close());
}

TEST(HostDevice, ReadsFollowTheTimeoutRecord) {
    Pty pty;
    auto dev = OpenPty(pty);
    char buf[16] = {};
    DWORD got = 99;
    ASSERT_TRUE(dev->ReadFile(buf, 8, &got)); // defaults: at once, nothing waiting
    EXPECT_EQ(got, 0u);

    ASSERT_TRUE(dev->SetCommTimeouts({0, 0, 30, 0, 0})); // total 30 ms: partial result when it runs out
    pty.Write("ab");
    ASSERT_TRUE(dev->ReadFile(buf, 8, &got));
    EXPECT_EQ(std::string(buf, got), "ab");

    ASSERT_TRUE(dev->SetCommTimeouts({MAXDWORD, MAXDWORD, 10000, 0, 0})); // the first byte ends the wait
    std::thread late([&] { pty.Write("c"); });
    ASSERT_TRUE(dev->ReadFile(buf, 8, &got));
    late.join();
    EXPECT_EQ(std::string(buf, got), "c");

    ASSERT_TRUE(dev->SetCommTimeouts({0, 0, 0, 0, 0})); // no time-outs: wait for all bytes
    std::thread writer([&] {
        pty.Write("12");
        pty.Write("345");
    });
    ASSERT_TRUE(dev->ReadFile(buf, 5, &got));
    writer.join();
    EXPECT_EQ(std::string(buf, got), "12345");

    // An abort ends a waiting read with its error (repeated until the read has seen one).
    std::atomic<bool> returned{false};
    std::thread aborter([&] {
        while (!returned) {
            dev->PurgeComm(PURGE_RXABORT);
            std::this_thread::yield();
        }
    });
    EXPECT_FALSE(dev->ReadFile(buf, 5, &got));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    returned = true;
    aborter.join();
    EXPECT_FALSE(dev->SetCommTimeouts({MAXDWORD, MAXDWORD, MAXDWORD, 0, 0}));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(HostDevice, WaitReportsEventsStopsAndMaskChanges) {
    Pty pty;
    auto dev = OpenPty(pty);
    DCB d = Record(9600, 8, NOPARITY, ONESTOPBIT, fNull);
    d.EvtChar = '\r';
    ASSERT_TRUE(dev->SetCommState(d));
    ASSERT_TRUE(dev->SetCommMask(EV_RXCHAR | EV_RXFLAG | EV_RX80FULL));
    ManualEvent stop;
    DWORD events = 0;

    pty.Write(std::string("1\0\0002\r", 5));
    for (int i = 0; i < 5 && !(events & EV_RXFLAG); ++i)
        ASSERT_TRUE(dev->WaitCommEvent(&events, stop));
    EXPECT_TRUE(events & EV_RXFLAG);
    char buf[8];
    DWORD got = 0;
    ASSERT_TRUE(dev->ReadFile(buf, 8, &got));
    EXPECT_EQ(std::string(buf, got), "12\r"); // nulls discarded

    // Events that happen while nobody waits are kept for the next wait.
    pty.Write(std::string(3300, 'x')); // past 80 % of the 4096-byte queue
    ASSERT_TRUE(QueueReaches(*dev, 3300));
    ASSERT_TRUE(dev->WaitCommEvent(&events, stop));
    EXPECT_EQ(events, EV_RXCHAR | EV_RX80FULL);
    ASSERT_TRUE(dev->PurgeComm(PURGE_RXCLEAR));
    ASSERT_TRUE(QueueReaches(*dev, 0));

    std::thread stopper([&] { stop.Set(); });
    EXPECT_FALSE(dev->WaitCommEvent(&events, stop));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    stopper.join();
    stop.Reset();

    // Changing the mask ends a wait in progress, successfully and with no events.
    std::atomic<bool> returned{false};
    std::thread changer([&] {
        while (!returned) {
            dev->SetCommMask(EV_RXCHAR | EV_ERR);
            std::this_thread::yield();
        }
    });
    DWORD mask = 7;
    const bool ok = dev->WaitCommEvent(&mask, stop);
    returned = true;
    changer.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(mask, 0u);
}

TEST(HostDevice, ADeviceThatGoesAwayFailsTheWaitAfterItsLastBytes) {
    Pty pty;
    auto dev = OpenPty(pty);
    ASSERT_TRUE(dev->SetCommMask(EV_RXCHAR));
    ManualEvent stop;
    pty.Write("last\r");
    ASSERT_TRUE(QueueReaches(*dev, 5)); // taken into the queue before the device goes
    pty.CloseMaster();
    DWORD events = 0;
    ASSERT_TRUE(dev->WaitCommEvent(&events, stop));
    EXPECT_EQ(events, EV_RXCHAR);
    EXPECT_FALSE(dev->WaitCommEvent(&events, stop));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    char buf[8];
    DWORD got = 0;
    ASSERT_TRUE(dev->ReadFile(buf, 8, &got)); // what was received stays readable
    EXPECT_EQ(std::string(buf, got), "last\r");
}
