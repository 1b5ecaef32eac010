#include "serial/host/port_list.h"

#include "serial/host/comm_device.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace host {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool IsUsbName(const std::string& name) {
    return name.find("ttyUSB") != std::string::npos || name.find("ttyACM") != std::string::npos ||
           name.find("/by-id/usb") != std::string::npos;
}

// A legacy UART node exists whether or not a chip is behind it; its port type tells (0: unknown).
bool ChipAnswers(const fs::path& ttyDir) {
    std::ifstream type(ttyDir / "type");
    int value = -1;
    if (type >> value) return value != 0;
    return true; // devices without a type file are real (USB, ACM, platform UARTs)
}

bool ProcessRuns(long pid) {
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

} // namespace

std::string SimulatorFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return std::string(runtime) + "/mevrant-sim";
    return "/tmp/mevrant-sim-" + std::to_string(getuid());
}

std::vector<std::string> SerialPortNames(const PortListRoots& roots) {
    std::error_code ec;
    // Kernel name of every by-id link's target.
    std::map<std::string, std::string> byId;
    for (const auto& entry : fs::directory_iterator(roots.byId, ec)) {
        const fs::path target =
            fs::weakly_canonical(entry.path().parent_path() / fs::read_symlink(entry.path(), ec), ec);
        if (!ec) byId.emplace(target.filename().string(), entry.path().string());
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(roots.sysClassTty, ec)) {
        const fs::path dir = entry.path();
        if (!fs::exists(dir / "device", ec)) continue; // virtual terminals and pseudo-terminals have none
        const std::string kernelName = dir.filename().string();
        if (kernelName.rfind("ttyS", 0) == 0 && !ChipAnswers(dir)) continue;
        const auto link = byId.find(kernelName);
        names.push_back(link != byId.end() ? link->second : kernelName);
    }
    const std::string simulators = roots.simulators.empty() ? SimulatorFolder() : roots.simulators;
    // Registrations count only in a folder of this user's that nobody else may write to: in /tmp another
    // user could make the folder first and offer devices of theirs.
    struct stat folder {};
    const bool ownFolder = ::lstat(simulators.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode) &&
                           folder.st_uid == ::getuid() && (folder.st_mode & 022) == 0;
    for (const auto& entry : fs::directory_iterator(ownFolder ? simulators : std::string(), ec)) {
        char* end = nullptr;
        const std::string pidText = entry.path().filename().string();
        const long pid = std::strtol(pidText.c_str(), &end, 10);
        if (*end || !ProcessRuns(pid)) continue;
        std::ifstream in(entry.path());
        std::string device, link;
        std::getline(in, device);
        std::getline(in, link);
        const std::string name = !link.empty() && fs::exists(link, ec) ? link : device;
        if (!name.empty() && fs::exists(name, ec)) names.push_back(name);
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

bool SameDevice(const std::string& a, const std::string& b) {
    std::error_code ec1, ec2;
    const fs::path pa = fs::weakly_canonical(DevicePath(a), ec1);
    const fs::path pb = fs::weakly_canonical(DevicePath(b), ec2);
    return !ec1 && !ec2 && pa == pb;
}

std::string StablePortName(const std::string& name, const PortListRoots& roots) {
    std::error_code ec;
    if (fs::path(name).parent_path() == fs::path(roots.byId)) return name;
    for (const auto& entry : fs::directory_iterator(roots.byId, ec))
        if (SameDevice(entry.path().string(), name)) return entry.path().string();
    return name;
}

std::string PreferredPortName(const std::vector<std::string>& names) {
    for (const auto& n : names)
        if (IsUsbName(n)) return n;
    return names.empty() ? std::string() : names.front();
}

} // namespace host
