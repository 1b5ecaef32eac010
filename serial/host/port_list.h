#pragma once
// The serial ports this machine has, in place of the registry's list: the serial devices the kernel
// knows (legacy UARTs only when a chip answers), by their stable /dev/serial/by-id names where they
// have one, and the simulated devices that run.

#include <string>
#include <vector>

namespace host {

struct PortListRoots {
    std::string sysClassTty = "/sys/class/tty";
    std::string byId = "/dev/serial/by-id";
    std::string simulators; // empty: the simulator's own registration folder (see SimulatorFolder)
};

// Where a running mevrant-sim registers its device: $XDG_RUNTIME_DIR/mevrant-sim, else
// /tmp/mevrant-sim-<uid>. One file per simulator, named by its process id: device path, link path.
std::string SimulatorFolder();

// Port names sorted by case-insensitive text: a kernel name ("ttyUSB0") or a by-id path for a device,
// the link or device path for a simulator.
std::vector<std::string> SerialPortNames(const PortListRoots& roots = {});

// Whether two port names lead to the same device ("COM5" and "ttyS4", a by-id link and "ttyUSB0").
bool SameDevice(const std::string& a, const std::string& b);

// The name under which the device behind a port comes back after it went away: its /dev/serial/by-id
// name when it has one (a re-plugged adapter may get another kernel number), else the name as given (a
// path, also a symbolic link such as a simulator's). Asked while the device is there.
std::string StablePortName(const std::string& name, const PortListRoots& roots = {});

// The name to prefer when the configured one is missing: the first USB adapter, else the first port;
// empty when there is none.
std::string PreferredPortName(const std::vector<std::string>& names);

} // namespace host
