#pragma once
// What a user can do about a device the system would not open for them (access denied).

#include <string>

namespace host {

// "/dev/ttyUSB0 gehört der Gruppe dialout: `sudo usermod -aG dialout $USER`, dann neu anmelden", from the
// device's own group. Empty when joining that group would not help: the group may not both read and
// write, it is root's group, or the caller is in it already.
std::string AccessAdvice(const std::string& path);

} // namespace host
