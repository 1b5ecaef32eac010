// Local safety: what other users of the machine can reach, and what the program writes. The
// single-instance channel admits this user only; the simulator registers its device only in a folder of
// this user's own, and the port list reads registrations only from such a folder; the headless commands
// write the files named on their command line and nothing else.

#include "app/single_instance.h"
#include "chart/core/item_file.h"
#include "serial/host/port_list.h"
#include "tests/reliability/child_process.h"
#include "tests/serial/pty_fixture.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace fs = std::filesystem;

namespace {

constexpr uid_t kOtherUser = 65534;

// Others may pass through, so only the protection of what lies inside is tested.
struct PassableDir : TempDir {
    PassableDir() : TempDir(nullptr, kPassable) {}
};

// errno of connecting to a local socket, 0 when it connected.
int ConnectError(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    const int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    const int err = rc == 0 ? 0 : errno;
    ::close(fd);
    return err;
}

// Sets an environment variable for the scope of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (had_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

} // namespace

TEST(LocalSafety, SingleInstanceChannelAdmitsThisUserOnly) {
    TestApp();
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    PassableDir dir;
    const std::string name = (dir / "mevrant.sock").string();
    SingleInstance guard(QString::fromStdString(name));
    ASSERT_TRUE(guard.Acquire());

    struct stat st {};
    ASSERT_EQ(::lstat(name.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_uid, ::getuid());
    EXPECT_EQ(st.st_mode & 077, 0u) << std::oct << st.st_mode;
    EXPECT_EQ(ConnectError(name), 0);

    const ChildResult other = RunInChild([&]() -> std::string {
        if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0) return "cannot become another user";
        return std::strerror(ConnectError(name));
    });
    EXPECT_EQ(other.Text, std::strerror(EACCES));
}

// A registration folder that another user made (world-writable, theirs) is not written to, and
// registrations found in it are not offered; the simulator still runs.
TEST(LocalSafety, SimulatorRegistersOnlyInAFolderOfItsOwn) {
    TestApp();
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a folder of another user";
    PassableDir runtime;
    const fs::path foreign = runtime / "mevrant-sim";
    fs::create_directory(foreign);
    ASSERT_EQ(::chown(foreign.c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_EQ(::chmod(foreign.c_str(), 0777), 0);
    {
        ScopedEnv env("XDG_RUNTIME_DIR", (runtime / "").string());
        SimProcess sim({"--rate", "10"});
        ASSERT_FALSE(sim.Device().empty());
        EXPECT_TRUE(fs::is_empty(foreign)) << "the simulator wrote into another user's folder";

        // A registration planted there for a running process and an existing device is not listed.
        std::ofstream(foreign / std::to_string(::getpid())) << sim.Device() << "\n\n";
        host::PortListRoots roots;
        roots.simulators = foreign.string();
        const auto names = host::SerialPortNames(roots);
        EXPECT_EQ(std::count(names.begin(), names.end(), sim.Device()), 0);
    }

    // In a runtime folder of its own the simulator registers, privately, and the port list offers it.
    PassableDir own;
    ScopedEnv env("XDG_RUNTIME_DIR", (own / "").string());
    SimProcess sim({"--rate", "10"});
    ASSERT_FALSE(sim.Device().empty());
    const fs::path folder = own / "mevrant-sim";
    struct stat st {};
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
    ASSERT_FALSE(fs::is_empty(folder));
    for (const auto& entry : fs::directory_iterator(folder)) {
        ASSERT_EQ(::lstat(entry.path().c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 077, 0u);
    }
    host::PortListRoots roots;
    roots.simulators = folder.string();
    const auto names = host::SerialPortNames(roots);
    EXPECT_EQ(std::count(names.begin(), names.end(), sim.Device()), 1);
}

namespace {

// Runs the program with exactly the given environment in the given folder; its exit code, or -1.
int RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& env,
               const fs::path& cwd) {
    std::vector<std::string> all = args;
    std::vector<char*> argv, envp;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envCopy = env;
    for (auto& e : envCopy)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

// With home, configuration, cache, runtime and temporary folders all inside one test folder, the
// headless commands leave exactly the files they were told to write (fontconfig's own cache aside).
TEST(LocalSafety, OnlyTheChosenFilesAreWritten) {
    PassableDir root;
    for (const char* d : {"home", "config", "data", "cache", "run", "tmp", "cwd", "out"})
        fs::create_directory(root / d);
    ::chmod((root / "run").c_str(), 0700);
    TChartItem item{};
    item.Kind = ikMoveTo;
    item.Layer = 1;
    std::vector<TChartItem> items{item};
    item.Kind = ikLineTo;
    item.X = 2;
    item.Y = 5;
    items.push_back(item);
    SaveItems((root / "in.mvx").string(), items);

    const std::string program = std::string(std::getenv("MEVRANT_BUILD_DIR")) + "/app/mevrant";
    const std::vector<std::string> env{"HOME=" + (root / "home").string(),
                                       "XDG_CONFIG_HOME=" + (root / "config").string(),
                                       "XDG_DATA_HOME=" + (root / "data").string(),
                                       "XDG_CACHE_HOME=" + (root / "cache").string(),
                                       "XDG_RUNTIME_DIR=" + (root / "run").string(),
                                       "TMPDIR=" + (root / "tmp").string(),
                                       "QT_QPA_PLATFORM=offscreen",
                                       "PATH=/usr/bin:/bin"};
    const std::string in = (root / "in.mvx").string();
    ASSERT_EQ(RunProgram({program, "csv", in, "-o", (root / "out" / "run.csv").string()}, env, root / "cwd"),
              0);
    ASSERT_EQ(
        RunProgram({program, "render", in, "-o", (root / "out" / "run.bmp").string(), "--size", "200x150"},
                   env, root / "cwd"),
        0);

    std::vector<std::string> written;
    const fs::path fontCache = root / "cache" / "fontconfig";
    for (auto it = fs::recursive_directory_iterator(root / ""); it != fs::recursive_directory_iterator();
         ++it) {
        if (it->path() == fontCache) {
            it.disable_recursion_pending();
            continue;
        }
        if (!it->is_directory()) written.push_back(fs::relative(it->path(), root / "").string());
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"in.mvx", "out/run.bmp", "out/run.csv"}));
}
