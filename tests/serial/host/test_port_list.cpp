// The port list of this machine from a made-up sysfs tree, by-id folder and simulator registrations, and
// the binding logic of a selection list (no widgets needed).

#include "serial/core/com_select.h"
#include "serial/core/comport.h"
#include "serial/host/comm_device.h"
#include "serial/host/port_list.h"

#include <QString>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct FakeMachine {
    fs::path root = fs::temp_directory_path() / ("mevrant-ports-" + std::to_string(getpid()));
    host::PortListRoots roots;

    FakeMachine() {
        fs::remove_all(root);
        roots.sysClassTty = (root / "sys").string();
        roots.byId = (root / "by-id").string();
        roots.simulators = (root / "sims").string();
        fs::create_directories(roots.byId);
        fs::create_directories(roots.simulators);
        Tty("ttyUSB0", -1);
        Tty("ttyACM1", -1);
        Tty("ttyS0", 0); // legacy node without a chip
        Tty("ttyS1", 4); // a 16550A answers
        Tty("tty0", -2); // virtual console: no device
        fs::create_directories(root / "dev");
        std::ofstream(root / "dev" / "ttyUSB0") << "";
        fs::create_symlink("../dev/ttyUSB0", root / "by-id" / "usb-FTDI_FT232R_A50285BI-if00-port0");
        // A running simulator (this process) and one that has ended.
        std::ofstream(root / "sims" / std::to_string(getpid()))
            << (root / "dev" / "ttyUSB0").string() << "\n\n";
        std::ofstream(root / "sims" / "999999999") << "/dev/null\n\n";
    }
    ~FakeMachine() { fs::remove_all(root); }
    void Tty(const std::string& name, int type) {
        const fs::path dir = root / "sys" / name;
        fs::create_directories(dir);
        if (type == -2) return;
        fs::create_directories(dir / "device");
        if (type >= 0) std::ofstream(dir / "type") << type << "\n";
    }
};

} // namespace

TEST(PortList, RealDevicesByIdNamesAndRunningSimulators) {
    FakeMachine m;
    const auto names = host::SerialPortNames(m.roots);
    const std::string byId = (m.root / "by-id" / "usb-FTDI_FT232R_A50285BI-if00-port0").string();
    const std::string sim = (m.root / "dev" / "ttyUSB0").string();
    std::vector<std::string> expected{byId, sim, "ttyACM1", "ttyS1"};
    std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
        return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) < 0;
    });
    EXPECT_EQ(names, expected);
    EXPECT_EQ(host::PreferredPortName({"ttyS1", "ttyACM1", "ttyUSB0"}), "ttyACM1");
    EXPECT_EQ(host::PreferredPortName({"ttyS3", "ttyS1"}), "ttyS3");
    EXPECT_EQ(host::PreferredPortName({}), "");
    // A device comes back under its by-id name, whatever name it was opened by; others by their own.
    EXPECT_EQ(host::StablePortName(sim, m.roots), byId);
    EXPECT_EQ(host::StablePortName(byId, m.roots), byId);
    EXPECT_EQ(host::StablePortName("ttyACM1", m.roots), "ttyACM1");
}

TEST(PortList, MissingFoldersGiveAnEmptyListWithoutError) {
    host::PortListRoots roots{"/nonexistent/sys", "/nonexistent/by-id", "/nonexistent/sims"};
    EXPECT_TRUE(host::SerialPortNames(roots).empty());
}

TEST(PortNames, SameDeviceUnderDifferentNames) {
    FakeMachine m;
    const std::string byId = (m.root / "by-id" / "usb-FTDI_FT232R_A50285BI-if00-port0").string();
    EXPECT_TRUE(host::SameDevice(byId, (m.root / "dev" / "ttyUSB0").string()));
    EXPECT_TRUE(host::SameDevice("COM1", "ttyS0"));
    EXPECT_FALSE(host::SameDevice("COM2", "ttyS0"));
}

TEST(PortNames, DevicePaths) {
    EXPECT_EQ(host::DevicePath("COM5"), "/dev/ttyS4");
    EXPECT_EQ(host::DevicePath("com1"), "/dev/ttyS0");
    EXPECT_EQ(host::DevicePath("COM0"), "/dev/COM0");
    EXPECT_EQ(host::DevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(host::DevicePath("/dev/pts/3"), "/dev/pts/3");
    EXPECT_EQ(host::DevicePath("COMX"), "/dev/COMX");
}

TEST(ComSelect, BaudListFindsAndWritesValues) {
    TComPort port;
    TComSelect select;
    select.SetComProperty(cpBaudRate);
    select.SetComPort(&port);
    const auto items = select.Items();
    ASSERT_EQ(items.size(), 16u);
    EXPECT_EQ(select.IndexOfPortValue(items), 7); // br9600
    select.Choose("57600");                       // AutoApply off: only pending
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(select.PendingBaudRate(), br57600);
    select.SetAutoApply(true);
    select.Choose("57600");
    EXPECT_EQ(port.BaudRate(), br57600);
    select.Choose("no such rate"); // the table's fallback
    EXPECT_EQ(port.BaudRate(), br9600);
}

TEST(ComSelect, OtherPropertiesUseTheirTables) {
    TComPort port;
    TComSelect select;
    select.SetComPort(&port);
    select.SetAutoApply(true);
    select.SetComProperty(cpParity);
    EXPECT_EQ(select.Items().size(), 5u);
    select.Choose("even");
    EXPECT_EQ(port.Parity().Bits(), prEven);
    select.SetComProperty(cpFlowControl);
    EXPECT_EQ(select.IndexOfPortValue(select.Items()), 2); // "None"
    select.Choose("Hardware");
    EXPECT_EQ(port.FlowControl().ControlRTS(), rtsHandshake);
    select.SetComProperty(cpStopBits);
    select.Choose("1.5");
    EXPECT_EQ(port.StopBits(), sbOne5StopBits);
    select.SetComProperty(cpDataBits);
    select.Choose("6");
    EXPECT_EQ(port.DataBits(), dbSix);
    select.SetComProperty(cpPort);
    select.Choose("/dev/ttyUSB3");
    EXPECT_EQ(port.Port(), "/dev/ttyUSB3");
    select.SetComProperty(cpNone);
    EXPECT_TRUE(select.Items().empty());
}
