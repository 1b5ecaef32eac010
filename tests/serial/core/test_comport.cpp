// TComPort on a real pseudo-terminal: opening and closing with every notification, the failures of the
// host calls with their messages (raised, and through OnException), reading and settings persistence.

#include "tests/serial/port_errors.h"
#include "tests/serial/pty_fixture.h"

#include "app/port_settings.h"
#include "serial/core/comport.h"
#include "serial/host/custom_baud.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace {

// Records every notification of a port and of one attached link, in order.
struct Recorder {
    std::vector<std::string> log;
    TComLink link;
    TComPort& port;

    // Ends before the port: stops listening to it.
    ~Recorder() {
        port.OnBeforeOpen = port.OnAfterOpen = port.OnBeforeClose = port.OnAfterClose = nullptr;
        port.OnCTSChange = port.OnDSRChange = port.OnRLSDChange = nullptr;
        port.DetachLink(&link);
    }

    explicit Recorder(TComPort& p) : port(p) {
        auto note = [this](const std::string& s) { log.push_back(s); };
        p.OnBeforeOpen = [note](TCustomComPort&) { note("BeforeOpen"); };
        p.OnAfterOpen = [note](TCustomComPort&) { note("AfterOpen"); };
        p.OnBeforeClose = [note](TCustomComPort&) { note("BeforeClose"); };
        p.OnAfterClose = [note](TCustomComPort&) { note("AfterClose"); };
        p.OnCTSChange = [note](TCustomComPort&, bool on) { note(std::string("CTS ") + (on ? "1" : "0")); };
        p.OnDSRChange = [note](TCustomComPort&, bool on) { note(std::string("DSR ") + (on ? "1" : "0")); };
        p.OnRLSDChange = [note](TCustomComPort&, bool on) { note(std::string("RLSD ") + (on ? "1" : "0")); };
        link.ConnectionChanged = [note](TCustomComPort&, bool on) {
            note(std::string("link Conn ") + (on ? "1" : "0"));
        };
        link.CTSChanged = [note](TCustomComPort&, bool on) {
            note(std::string("link CTS ") + (on ? "1" : "0"));
        };
        link.DSRChanged = [note](TCustomComPort&, bool on) {
            note(std::string("link DSR ") + (on ? "1" : "0"));
        };
        link.RLSDChanged = [note](TCustomComPort&, bool on) {
            note(std::string("link RLSD ") + (on ? "1" : "0"));
        };
        p.AttachLink(&link);
    }
};

// The main window's configuration.
void ConfigureLikeTheWindow(TComPort& p, const std::string& path) {
    ConfigureMainPort(p);
    p.SetPort(path);
}

std::string Message(const std::function<void()>& f) {
    try {
        f();
    } catch (const EComPort& e) {
        return e.what();
    }
    return "(no exception)";
}

class ComPortTest : public ::testing::Test {
protected:
    void SetUp() override { TestApp(); }
    Pty pty;
};

} // namespace

TEST_F(ComPortTest, OpenCloseReopenNotifyInOrder) {
    TComPort port;
    port.SetPort(pty.Path());
    Recorder r(port);
    port.SetConnected(true);
    ASSERT_TRUE(port.Connected());
    const std::vector<std::string> opened = {"BeforeOpen", "link Conn 1", "AfterOpen",
                                             "link CTS 0", "CTS 0",       "link DSR 0",
                                             "DSR 0",      "link RLSD 0", "RLSD 0"};
    EXPECT_EQ(r.log, opened);
    r.log.clear();
    port.SetConnected(false);
    EXPECT_FALSE(port.Connected());
    const std::vector<std::string> closed = {"link CTS 0", "link DSR 0",  "link RLSD 0", "CTS 0",     "DSR 0",
                                             "RLSD 0",     "BeforeClose", "link Conn 0", "AfterClose"};
    EXPECT_EQ(r.log, closed);
    r.log.clear();
    port.Open(); // the device can be opened again after a close
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(r.log, opened);
}

TEST_F(ComPortTest, ConnectedTwiceOpensOnceAndClosedCloseDoesNothing) {
    TComPort port;
    port.SetPort(pty.Path());
    Recorder r(port);
    port.SetConnected(false);
    EXPECT_TRUE(r.log.empty());
    port.SetConnected(true);
    port.SetConnected(true);
    EXPECT_EQ(std::count(r.log.begin(), r.log.end(), "BeforeOpen"), 1);
    port.Close();
    port.Close();
    EXPECT_EQ(std::count(r.log.begin(), r.log.end(), "AfterClose"), 1);
}

TEST_F(ComPortTest, ChangingThePortReopensOnTheNewDevice) {
    Pty other;
    TComPort port;
    port.SetPort(pty.Path());
    port.Open();
    Recorder r(port);
    port.SetPort(pty.Path()); // same text: nothing
    EXPECT_TRUE(r.log.empty());
    port.SetPort(other.Path());
    EXPECT_TRUE(port.Connected());
    ASSERT_FALSE(r.log.empty());
    EXPECT_EQ(r.log.front(), "link CTS 0");
    EXPECT_NE(std::find(r.log.begin(), r.log.end(), "AfterClose"), r.log.end());
    EXPECT_EQ(r.log[r.log.size() - 7], "AfterOpen");
    // The old device is free again, the new one is held.
    TComPort probe;
    probe.SetPort(pty.Path());
    EXPECT_NO_THROW(probe.Open());
    probe.Close();
    probe.SetPort(other.Path());
    EXPECT_EQ(Message([&] { probe.Open(); }), "Unable to open com port (Error: 5)");
}

TEST_F(ComPortTest, OpenFailuresLeaveThePortClosed) {
    TComPort port;
    Recorder r(port);
    port.SetPort("/dev/mevrant-no-such-port");
    try {
        port.Open();
        FAIL();
    } catch (const EComPort& e) {
        ExpectDeviceNotFound(e);
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(r.log, std::vector<std::string>{"BeforeOpen"});

    TComPort holder;
    holder.SetPort(pty.Path());
    holder.Open();
    port.SetPort(pty.Path());
    EXPECT_EQ(Message([&] { port.Open(); }), "Unable to open com port (Error: 5)"); // in use, also for root
    EXPECT_FALSE(port.Connected());

    // With a handler nothing is raised, and the port stays closed with no after-open notification.
    std::vector<std::string> seen;
    port.OnException = [&](TCustomComPort&, TComExceptions code, const std::string& msg, std::int64_t err,
                           const std::string& text) {
        seen.push_back(std::to_string(code) + " " + msg + " " + std::to_string(err) + " " + text);
    };
    r.log.clear();
    port.SetPort("/dev/mevrant-no-such-port");
    EXPECT_NO_THROW(port.Open());
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(r.log, std::vector<std::string>{"BeforeOpen"});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "1 Unable to open com port 2 No such file or directory");
}

TEST_F(ComPortTest, SettingsThatTheDeviceRefusesFailWithTheirMessage) {
    TComPort port;
    port.SetPort(pty.Path());
    port.Buffer().SetInputSize(-3); // stored unchanged, refused by the device
    EXPECT_EQ(Message([&] { port.Open(); }), "SetupComm function failed (Error: 87)");
    EXPECT_FALSE(port.Connected());
    port.Buffer().SetInputSize(4096);

    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(0);
    EXPECT_EQ(Message([&] { port.Open(); }), "SetCommState function failed (Error: 87)");
    EXPECT_FALSE(port.Connected());
    // The device was closed again: another port can take it.
    TComPort probe;
    probe.SetPort(pty.Path());
    EXPECT_NO_THROW(probe.Open());
    probe.Close();

    port.SetCustomBaudRate(9600);
    port.Open();
    // On an open port the setter raises, the value stays stored and the port stays open.
    EXPECT_EQ(Message([&] { port.SetCustomBaudRate(0); }), "SetCommState function failed (Error: 87)");
    EXPECT_EQ(port.CustomBaudRate(), 0u);
    EXPECT_TRUE(port.Connected());
    TComTimeouts invalid;
    invalid.SetReadInterval(-1);
    invalid.SetReadTotalMultiplier(-1);
    invalid.SetReadTotalConstant(-1);
    EXPECT_EQ(Message([&] { port.SetTimeouts(invalid); }), "SetCommTimeouts failed (Error: 87)");
    EXPECT_EQ(Message([&] { port.SetSyncMethod(smNone); }), "Cannot set property while connected");
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    TComLink link;
    port.AttachLink(&link);
    EXPECT_EQ(Message([&] { port.AttachLink(&link); }), "Link (un)registration failed");
    port.DetachLink(&link);
    EXPECT_EQ(Message([&] { port.DetachLink(&link); }), "Link (un)registration failed");
}

TEST_F(ComPortTest, OperationsOnAClosedPortFail) {
    TComPort port;
    std::string s = "x";
    EXPECT_EQ(Message([&] { port.ReadText(s, 5); }), "Port Not Open");
    EXPECT_EQ(Message([&] { port.InputQueueCount(); }), "ClearCommError function failed (Error: 6)");
    EXPECT_EQ(Message([&] { port.PendingLineErrors(); }), "ClearCommError function failed (Error: 6)");
    EXPECT_EQ(Message([&] { port.ModemSignals(); }), "GetCommModemStatus function failed (Error: 6)");
    EXPECT_EQ(Message([&] { port.AbortPendingIO(); }), "PurgeComm function failed (Error: 6)");
    try {
        port.ReadText(s, 1);
    } catch (const EComPort& e) {
        EXPECT_EQ(e.ErrorCode(), 24);
        EXPECT_EQ(e.SystemError(), -1);
    }
    // With a handler every failure arrives there and the operation carries on.
    std::vector<int> codes;
    port.OnException = [&](TCustomComPort&, TComExceptions code, const std::string&, std::int64_t,
                           const std::string&) { codes.push_back(code); };
    EXPECT_EQ(port.ReadText(s, 5), 0);
    EXPECT_EQ(s, "");
    EXPECT_EQ(port.InputQueueCount(), 0);
    EXPECT_TRUE(port.ModemSignals().Empty());
    EXPECT_EQ(codes, (std::vector<int>{24, 10, 11}));
}

TEST_F(ComPortTest, EmptyEventsOpenWithoutThread) {
    TComPort port;
    port.SetPort(pty.Path());
    port.SetEvents({});
    int rxChar = 0;
    port.OnRxChar = [&](TCustomComPort&, int) { ++rxChar; };
    port.Open();
    pty.Write("12.5\r");
    ASSERT_TRUE(WaitUntil([&] { return port.InputQueueCount() == 5; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(rxChar, 0);
    std::string text;
    EXPECT_EQ(port.ReadText(text, 0), 0); // a zero count does not read
    EXPECT_EQ(port.InputQueueCount(), 5);
    EXPECT_EQ(port.ReadText(text, 100), 5); // returns at once with what waits
    EXPECT_EQ(text, "12.5\r");
    EXPECT_EQ(port.ReadText(text, 10), 0);
    EXPECT_EQ(text, "");
}

TEST_F(ComPortTest, ReadingFromADeviceThatWentAwayFails) {
    TComPort port;
    port.SetPort(pty.Path());
    port.SetEvents({}); // no event thread: the read itself meets the hang-up
    TComTimeouts wait;  // a read waits for its bytes (30 s at most, should the hang-up go unnoticed)
    wait.SetReadInterval(0);
    wait.SetReadTotalConstant(30000);
    port.SetTimeouts(wait);
    port.Open();
    pty.Write("ab");
    ASSERT_TRUE(WaitUntil([&] { return port.InputQueueCount() == 2; }));
    pty.CloseMaster();
    std::string text;
    EXPECT_EQ(port.ReadText(text, 5), 2); // what came before the device went is still read
    EXPECT_EQ(text, "ab");
    try {
        port.ReadText(text, 5);
        ADD_FAILURE() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.ErrorCode(), 3);
        EXPECT_STREQ(e.what(), "ReadFile function failed (Error: 1167)");
        EXPECT_EQ(e.SystemError(), 1167);
        EXPECT_FALSE(e.HostErrorText().empty());
    }
    EXPECT_TRUE(port.Connected()); // a failed read does not close the port

    std::vector<std::string> seen;
    port.OnException = [&](TCustomComPort&, TComExceptions code, const std::string& msg, std::int64_t err,
                           const std::string&) {
        seen.push_back(std::to_string(code) + " " + msg + " " + std::to_string(err));
    };
    text = "x";
    EXPECT_EQ(port.ReadText(text, 5), 0);
    EXPECT_EQ(text, "");
    EXPECT_EQ(seen, std::vector<std::string>{"3 ReadFile function failed 1167"});
}

// Writing: the bytes arrive exactly and the call never waits for the device. A device that takes
// nothing is told once, however much is sent after; one unplugged during a write is told once, by the
// reading side, which closes the port.
TEST_F(ComPortTest, WritesArriveExactlyAndAStuckOrGoneDeviceIsToldOnce) {
    TComPort port;
    ConfigureLikeTheWindow(port, pty.Path());
    std::vector<std::string> seen;
    port.OnException = [&](TCustomComPort&, TComExceptions, const std::string& msg, std::int64_t err,
                           const std::string&) { seen.push_back(msg + " " + std::to_string(err)); };
    port.Open();
    std::string sent;
    for (int i = 0; i < 4096; ++i)
        sent += static_cast<char>(i % 256);
    sent += "MEAS?\r\n";
    ASSERT_TRUE(port.WriteText(sent.substr(0, 1000)));
    ASSERT_TRUE(port.WriteText(sent.substr(1000)));
    std::string got;
    while (got.size() < sent.size()) {
        pollfd p{pty.Master(), POLLIN, 0};
        ASSERT_GT(::poll(&p, 1, 30000), 0);
        char buf[4096];
        const ssize_t n = ::read(pty.Master(), buf, sizeof buf);
        ASSERT_GT(n, 0);
        got.append(buf, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(got, sent);

    TComTimeouts timeouts = port.Timeouts();
    timeouts.SetWriteTotalMultiplier(0);
    timeouts.SetWriteTotalConstant(100);
    port.SetTimeouts(timeouts);
    const std::string block(64 * 1024, 'x'); // more than the pseudo-terminal holds
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(port.WriteText(block));
    EXPECT_GT(port.OutputQueueCount(), 0); // the calls did not wait for the device
    ASSERT_TRUE(WaitUntil([&] { return !seen.empty(); }));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(port.WriteText(block));
        port.DrainOutput();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(seen, std::vector<std::string>{"WriteFile function failed 121"});

    timeouts.SetWriteTotalConstant(30000);
    port.SetTimeouts(timeouts);
    ASSERT_TRUE(port.WriteText(block));
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return !port.Connected(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(seen,
              (std::vector<std::string>{"WriteFile function failed 121", "WaitForEvent method failed 1167"}));
}

TEST_F(ComPortTest, WindowSettingsReachTheDevice) {
    // Hold the slave open to look at the terminal settings the port gave it.
    const int look = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(look, 0);
    TComPort port;
    ConfigureLikeTheWindow(port, pty.Path());
    port.Open();
    termios t{};
    ASSERT_EQ(tcgetattr(look, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B115200));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);

    // A pseudo-terminal keeps neither parity nor character size (the mapping has its own test); it
    // takes them without an error, and keeps stop bits and software flow control.
    port.Parity().SetBits(prMark);
    port.SetDataBits(dbSeven);
    port.SetStopBits(sbTwoStopBits);
    port.FlowControl().SetFlowControl(fcSoftware);
    ASSERT_EQ(tcgetattr(look, &t), 0);
    EXPECT_EQ(t.c_cflag & CSTOPB, tcflag_t(CSTOPB));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));

    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(250000);
    EXPECT_EQ(host::GetOutputBaudRate(look), 250000u);
    port.SetBaudRate(br56000); // not a rate of the C library either
    EXPECT_EQ(host::GetOutputBaudRate(look), 56000u);
    ::close(look);
}

TEST_F(ComPortTest, IniPersistenceRoundTrip) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("port.ini").toStdString();
    TComPort a;
    a.SetName("ComPort1");
    a.SetStoredProps({spBasic, spOthers, spParity, spBuffer, spTimeouts, spFlowControl});
    a.SetPort("ttyUSB7");
    a.SetBaudRate(brCustom);
    a.SetCustomBaudRate(250000);
    a.SetEventChar(13);
    a.SetDataBits(dbSeven);
    a.Parity().SetBits(prEven);
    a.Parity().SetCheck(true);
    a.Parity().SetReplaceChar('#');
    a.Buffer().SetInputSize(64000);
    a.Timeouts().SetReadTotalConstant(250);
    a.FlowControl().SetFlowControl(fcHardware);
    a.FlowControl().SetXonChar(1);
    a.SaveToIniFile(file);

    QSettings ini(QString::fromStdString(file), QSettings::IniFormat);
    EXPECT_EQ(ini.value("ComPort1/EventChar").toString(), "#13");
    EXPECT_EQ(ini.value("ComPort1/BaudRate").toString(), "Custom");
    EXPECT_EQ(ini.value("ComPort1/Parity.Check").toString(), "Yes");
    EXPECT_EQ(ini.value("ComPort1/FlowControl").toString(), "Hardware");

    TComPort b;
    b.SetName("ComPort1");
    b.SetStoredProps(a.StoredProps());
    b.LoadFromIniFile(file);
    EXPECT_EQ(b.Port(), "ttyUSB7");
    EXPECT_EQ(b.BaudRate(), brCustom);
    EXPECT_EQ(b.CustomBaudRate(), 250000u);
    EXPECT_EQ(b.EventChar(), 13);
    EXPECT_EQ(b.DataBits(), dbSeven);
    EXPECT_EQ(b.Parity().Bits(), prEven);
    EXPECT_TRUE(b.Parity().Check());
    EXPECT_EQ(b.Parity().ReplaceChar(), '#');
    EXPECT_EQ(b.Buffer().InputSize(), 64000);
    EXPECT_EQ(b.Timeouts().ReadTotalConstant(), 250);
    EXPECT_EQ(b.FlowControl().FlowControl(), fcHardware);
    EXPECT_EQ(b.FlowControl().XonChar(), 1);

    // Only the selected groups are read; missing keys keep the current values.
    TComPort c;
    c.SetName("ComPort1");
    c.LoadFromIniFile(file);
    EXPECT_EQ(c.Port(), "ttyUSB7");
    EXPECT_EQ(c.EventChar(), 0);
    c.SetName("Other");
    c.LoadFromIniFile(file);
    EXPECT_EQ(c.Port(), "ttyUSB7");
}

TEST_F(ComPortTest, IniFilesThatCannotBeWrittenOrReadFail) {
    QTemporaryDir dir;
    const std::string plain = dir.filePath("plain").toStdString(); // a file where a folder would be
    {
        QFile f(QString::fromStdString(plain));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    const std::string folder = dir.filePath("folder").toStdString(); // a folder where the file would be
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    TComPort port;
    port.SetName("ComPort1");
    port.SetPort("ttyUSB3");
    for (const std::string& file : {plain + "/port.ini", folder}) {
        try {
            port.SaveToIniFile(file);
            ADD_FAILURE() << file << ": no exception";
        } catch (const EComPort& e) {
            EXPECT_EQ(e.ErrorCode(), 16) << file;
            EXPECT_STREQ(e.what(), "Failed to store settings");
        }
    }
    EXPECT_EQ(Message([&] { port.LoadFromIniFile(folder); }), "Failed to load settings");
    EXPECT_EQ(port.Port(), "ttyUSB3");

    // A file that is not there is no failure: every key keeps its value.
    EXPECT_NO_THROW(port.LoadFromIniFile(dir.filePath("none/port.ini").toStdString()));
    EXPECT_EQ(port.Port(), "ttyUSB3");

    std::vector<int> codes;
    port.OnException = [&](TCustomComPort&, TComExceptions code, const std::string&, std::int64_t err,
                           const std::string&) {
        codes.push_back(code);
        EXPECT_EQ(err, -1);
    };
    port.SaveToIniFile(folder);
    port.LoadFromIniFile(folder);
    EXPECT_EQ(codes, (std::vector<int>{16, 17}));
}

TEST_F(ComPortTest, RegistryPersistenceRoundTrip) {
    // The user's settings of the program go to a temporary folder, never to the real ones.
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    TComPort a;
    a.SetStoredProps({spBasic, spOthers, spParity, spBuffer, spTimeouts, spFlowControl});
    a.SetPort("ttyUSB7");
    a.SetBaudRate(brCustom);
    a.SetCustomBaudRate(250000);
    a.SetEventChar(13);
    a.SetStopBits(sbTwoStopBits);
    a.Parity().SetBits(prOdd);
    a.Parity().SetReplace(true);
    a.Buffer().SetOutputSize(2048);
    a.Timeouts().SetReadInterval(7);
    a.Timeouts().SetWriteTotalConstant(250);
    a.FlowControl().SetFlowControl(fcSoftware);
    a.FlowControl().SetXoffChar(0x7F);
    a.SaveToRegistry("Port/Device1");

    const QStringList files = QDir(dir.path()).entryList(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    EXPECT_FALSE(files.isEmpty()); // written under the temporary folder

    TComPort b;
    b.SetStoredProps(a.StoredProps());
    b.LoadFromRegistry("Port/Device1");
    EXPECT_EQ(b.Port(), "ttyUSB7");
    EXPECT_EQ(b.BaudRate(), brCustom);
    EXPECT_EQ(b.CustomBaudRate(), 250000u);
    EXPECT_EQ(b.EventChar(), 13);
    EXPECT_EQ(b.StopBits(), sbTwoStopBits);
    EXPECT_EQ(b.Parity().Bits(), prOdd);
    EXPECT_TRUE(b.Parity().Replace());
    EXPECT_EQ(b.Buffer().OutputSize(), 2048);
    EXPECT_EQ(b.Timeouts().ReadInterval(), 7);
    EXPECT_EQ(b.Timeouts().WriteTotalConstant(), 250);
    EXPECT_EQ(b.FlowControl().FlowControl(), fcSoftware);
    EXPECT_EQ(b.FlowControl().XoffChar(), 0x7F);

    // Another key is empty: the values stay as they are.
    TComPort c;
    c.SetStoredProps(a.StoredProps());
    c.LoadFromRegistry("Port/Device2");
    EXPECT_EQ(c.Port(), TComPort().Port());
    EXPECT_EQ(c.Buffer().OutputSize(), TComPort().Buffer().OutputSize());
}

TEST_F(ComPortTest, LoadingDefersOpeningToItsEnd) {
    TComPort port;
    port.BeginLoading();
    port.SetConnected(true); // only stored
    port.SetPort(pty.Path());
    port.SetBaudRate(br115200);
    EXPECT_TRUE(port.Connected());
    std::string text;
    EXPECT_THROW(port.ReadText(text, 1), EComPort); // nothing is open yet
    port.Loaded();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.ReadText(text, 1), 0);

    // A failure at the end of loading goes to the error display, and loading goes on.
    std::vector<std::string> shown;
    SetErrorReporter([&](const std::string& m, const std::string&) { shown.push_back(m); });
    TComPort missing;
    missing.BeginLoading();
    missing.SetPort("/dev/mevrant-no-such-port");
    missing.SetConnected(true);
    EXPECT_NO_THROW(missing.Loaded());
    SetErrorReporter(nullptr);
    EXPECT_FALSE(missing.Connected());
    EXPECT_EQ(shown, std::vector<std::string>{"Unable to open com port (Error: 2)"});
}

// Opening a device as nobody:nogroup in a child (root is never denied): "message|detail" of the failure.
std::string OpenAsNobody(const std::string& path, uid_t uid, gid_t gid) {
    int out[2];
    if (pipe(out) != 0) return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        ::close(out[0]);
        std::string result = "opened";
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) result = "no drop";
        try {
            TComPort port;
            port.SetPort(path);
            if (result == "opened") port.Open();
        } catch (const EComPort& e) {
            result = std::string(e.what()) + "|" + e.HostErrorText();
        }
        const ssize_t n = ::write(out[1], result.data(), result.size());
        _exit(n == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    ::close(out[1]);
    std::string result;
    char buf[512];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
        result.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);
    waitpid(child, nullptr, 0);
    return result;
}

// A device whose group the user is not in: the detail names that group and the command that joins it;
// where joining would not help (root's group, a group without read and write) it stays the system's text.
TEST(ComPortAccess, ADeniedDeviceNamesItsGroupAndTheFix) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a device to another group and to become nobody";
    const passwd* nobody = getpwnam("nobody");
    const group* nogroup = getgrnam("nogroup");
    if (!nobody || !nogroup) GTEST_SKIP() << "needs the user nobody and the group nogroup";
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nogroup->gr_gid; // before the next look-up reuses the entry
    if (!getgrnam("dialout") || !getgrnam("audio")) GTEST_SKIP() << "needs the groups dialout and audio";
    struct Case {
        const char* group;
        mode_t mode;
        bool advice;
    };
    for (const Case& c : {Case{"dialout", 0660, true}, Case{"audio", 0660, true},
                          Case{"dialout", 0620, false}, Case{"root", 0660, false}}) {
        Pty pty;
        ASSERT_EQ(chown(pty.Path().c_str(), 0, getgrnam(c.group)->gr_gid), 0);
        ASSERT_EQ(chmod(pty.Path().c_str(), c.mode), 0);
        std::string expected = "Unable to open com port (Error: 5)|Permission denied";
        if (c.advice)
            expected += "\n" + pty.Path() + " gehört der Gruppe " + c.group + ": `sudo usermod -aG " +
                        c.group + " $USER`, dann neu anmelden";
        EXPECT_EQ(OpenAsNobody(pty.Path(), uid, gid), expected) << c.group << " " << std::oct << c.mode;
    }
}
