#pragma once
// Passwords of network sources and targets: kept in the desktop's secret store (through QtKeychain),
// never in the settings file. Where no store runs (a headless machine, a session without one) the
// owner asks for the password and keeps it in memory for the session only, and tells the user so.
// Each call waits for the store on a local event loop, for at most kWaitMs.

#include <optional>
#include <string>

namespace secrets {

inline constexpr int kWaitMs = 5000;

// The key a password is kept under: the service it opens ("mqtt://rig@broker:1883").
struct Found {
    std::optional<std::string> Secret; // none: not kept, or no store
    bool StoreRuns = false;            // a store answered (whether or not it held the key)
};
Found Read(const std::string& key);
// False when no store took it.
bool Write(const std::string& key, const std::string& secret);

} // namespace secrets
