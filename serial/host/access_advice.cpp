#include "serial/host/access_advice.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace host {

namespace {

bool InGroup(gid_t gid) {
    if (getegid() == gid) return true;
    const int n = getgroups(0, nullptr);
    if (n <= 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    const int got = getgroups(n, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<std::size_t>(i)] == gid) return true;
    return false;
}

// The group's name; its number when it has none (usermod takes either).
std::string GroupName(gid_t gid) {
    std::vector<char> buf(4096);
    group entry{};
    group* found = nullptr;
    while (getgrgid_r(gid, &entry, buf.data(), buf.size(), &found) == ERANGE && buf.size() < (1u << 20))
        buf.resize(buf.size() * 2);
    return found && found->gr_name ? std::string(found->gr_name) : std::to_string(gid);
}

} // namespace

std::string AccessAdvice(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
    if (st.st_gid == 0 || (st.st_mode & kGroupReadWrite) != kGroupReadWrite || InGroup(st.st_gid)) return {};
    const std::string name = GroupName(st.st_gid);
    return path + " gehört der Gruppe " + name + ": `sudo usermod -aG " + name + " $USER`, dann neu anmelden";
}

} // namespace host
