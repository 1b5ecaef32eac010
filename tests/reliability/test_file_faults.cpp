// Acquisition files under faults: saves killed at random moments, read-only folders, and files larger
// than the memory the process may use. The target is always the old file or the complete new one.
//
// MEVRANT_KILL_SAVES and MEVRANT_KILL_ITEMS enlarge the kill run (scripts/kill-saves runs 200 × 1M).

#include "chart/core/item_file.h"
#include "chart/core/item_store.h"
#include "tests/reliability/child_process.h"
#include "tests/reliability/sanitized.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

// An acquisition as the window records it: a pen move, then one line item per sample.
std::vector<TChartItem> Acquisition(int samples, double seed) {
    TItemStore store;
    store.SetAllocSize(TItemStore::kMaxAllocSize);
    store.SetDataColor(0xFF0000);
    store.MoveToPoint(0, seed);
    for (int i = 2; i <= samples; ++i)
        store.LineToPoint(i, seed + (i * 7919 % 1000) / 10.0);
    return {store.Items(), store.Items() + store.ItemCount()};
}

std::vector<char> ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool SameBytes(const std::vector<char>& file, const std::vector<TChartItem>& items) {
    return file.size() == items.size() * kChartItemSize &&
           (file.empty() || std::memcmp(file.data(), items.data(), file.size()) == 0);
}

std::vector<std::string> FolderEntries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    return names;
}

int EnvInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

std::string SaveFailureText(const std::string& name, const std::vector<TChartItem>& items) {
    try {
        SaveItems(name, items);
        return "saved";
    } catch (const EItemFileError& e) {
        return e.what();
    }
}

} // namespace

// Each round a child process saves the other acquisition over the target and is killed after a random
// delay spread over the duration of one whole save.
TEST(FileFaults, SaveKilledAtARandomMomentLeavesTheOldOrTheCompleteNewFile) {
    const int kills = EnvInt("MEVRANT_KILL_SAVES", 20);
    const int samples = EnvInt("MEVRANT_KILL_ITEMS", 100000);
    TempDir dir(nullptr, TempDir::kPassable);
    const std::string target = (dir / "run.mvx").string();
    const std::vector<TChartItem> first = Acquisition(samples, 1.0);
    const std::vector<TChartItem> second = Acquisition(samples + samples / 7, 2.0);
    SaveItems(target, first);

    // How long an uninterrupted save takes here, to spread the kills over it (not checked): the shorter
    // of two, so a slow first write does not push most kills past the end of the save.
    auto saveTime = std::chrono::steady_clock::duration::max();
    for (int i = 0; i < 2; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const ChildResult whole = RunInChild([&] { return SaveFailureText(target, second); });
        saveTime = std::min(saveTime, std::chrono::steady_clock::now() - start);
        ASSERT_EQ(whole.Text, "saved");
        ASSERT_TRUE(SameBytes(ReadBytes(target), second));
        SaveItems(target, first);
    }

    std::mt19937_64 random(EnvInt("MEVRANT_KILL_SEED", 12345));
    const auto spread = std::chrono::duration_cast<std::chrono::microseconds>(saveTime * 11 / 10).count();
    std::uniform_int_distribution<long> delay(0, spread > 0 ? spread : 1);
    const std::vector<TChartItem>* current = &first;
    int keptOld = 0, tookNew = 0, finished = 0, leftovers = 0;
    for (int round = 0; round < kills; ++round) {
        const std::vector<TChartItem>* next = current == &first ? &second : &first;
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                SaveItems(target, *next);
            } catch (...) {
                ::_exit(2);
            }
            ::_exit(0);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        if (WIFEXITED(status)) {
            ASSERT_EQ(WEXITSTATUS(status), 0) << "the save failed by itself in round " << round;
            ++finished;
        }

        const std::vector<char> now = ReadBytes(target);
        if (SameBytes(now, *current)) {
            ++keptOld;
        } else if (SameBytes(now, *next)) {
            ++tookNew;
            current = next;
        } else {
            FAIL() << "round " << round << ": the target is neither the old nor the new file (" << now.size()
                   << " bytes)";
        }
        // A killed save cannot remove its temporary file; it is the only other file there may be.
        for (const std::string& name : FolderEntries(dir.Path())) {
            if (name == "run.mvx") continue;
            ASSERT_EQ(name.rfind(".run.mvx.tmp", 0), 0u) << name;
            fs::remove(dir / name);
            ++leftovers;
        }
    }
    std::printf("kills %d of %d-item saves (one save %.3f s): old file kept %d, new file complete %d "
                "(of which the save had finished %d), temporary files left by killed saves %d\n",
                kills, samples, std::chrono::duration<double>(saveTime).count(), keptOld, tookNew, finished,
                leftovers);
    EXPECT_EQ(keptOld + tookNew, kills);
}

// A folder the user may not write to, and a file system mounted read-only: the save of a file the user
// may not write says why and the old file stays as it was, with nothing beside it; a file the user may
// write is written where it is.
TEST(FileFaults, ReadOnlyFolderRefusesTheSaveAndKeepsTheOldFile) {
    TempDir dir(nullptr, TempDir::kPassable);
    const fs::path folder = dir / "ro";
    fs::create_directory(folder);
    const std::string target = (folder / "run.mvx").string();
    const std::vector<TChartItem> old = Acquisition(50, 3.0);
    const std::vector<TChartItem> next = Acquisition(500, 4.0);
    SaveItems(target, old);

    // Write permission taken away; root ignores permissions, so the child becomes an ordinary user.
    const auto saveAsUser = [&](fs::perms file) {
        fs::permissions(target, file);
        return RunInChild([&]() -> std::string {
            fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return "cannot drop root";
            return SaveFailureText(target, next);
        });
    };
    const ChildResult denied =
        saveAsUser(fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(folder, fs::perms::owner_all);
    ASSERT_NE(denied.Text, "saved");
    EXPECT_NE(denied.Text.find(target), std::string::npos) << denied.Text;
    EXPECT_NE(denied.Text.find("Permission denied"), std::string::npos) << denied.Text;
    EXPECT_TRUE(SameBytes(ReadBytes(target), old));
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"run.mvx"});

    const fs::perms writable = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                               fs::perms::group_write | fs::perms::others_read | fs::perms::others_write;
    EXPECT_EQ(saveAsUser(writable).Text, "saved");
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_TRUE(SameBytes(ReadBytes(target), next));
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"run.mvx"});
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, writable);

    // A read-only file system, in a mount namespace of the child's own so nothing outlives it.
    const ChildResult readOnly = RunInChild([&]() -> std::string {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=1m") != 0)
            return std::string("skip: ") + std::strerror(errno);
        SaveItems(target, old);
        if (::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            return std::string("skip: ") + std::strerror(errno);
        const std::string text = SaveFailureText(target, next);
        if (!SameBytes(ReadBytes(target), old)) return "old file changed: " + text;
        if (FolderEntries(folder) != std::vector<std::string>{"run.mvx"}) return "files left behind: " + text;
        return text;
    });
    if (readOnly.Text.rfind("skip: ", 0) == 0) GTEST_SKIP() << "no private mounts here: " << readOnly.Text;
    EXPECT_NE(readOnly.Text.find(target), std::string::npos) << readOnly.Text;
    EXPECT_NE(readOnly.Text.find("Read-only file system"), std::string::npos) << readOnly.Text;
}

// With the address space limited to what the process has plus 512 MiB, a file of 8 GiB (sparse: it
// takes no disk) cannot be held: loading is refused with a message and the chart keeps its items. A file
// of 10 MB still loads under the same limit.
TEST(FileFaults, FileTooLargeForTheMemoryIsRefusedAndTheChartKeepsItsItems) {
#ifdef MEVRANT_SANITIZED
    GTEST_SKIP() << "the sanitizers reserve address space beyond any useful limit";
#else
    TempDir dir(nullptr, TempDir::kPassable);
    const std::string huge = (dir / "huge.mvx").string();
    const std::string fits = (dir / "fits.mvx").string();
    {
        const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t{8} << 30), 0);
        ::close(fd);
    }
    SaveItems(fits, Acquisition(100000, 5.0));

    const ChildResult r = RunInChild([&]() -> std::string {
        std::ifstream status("/proc/self/status");
        std::string line;
        rlim_t vmKiB = 0;
        while (std::getline(status, line))
            if (line.rfind("VmSize:", 0) == 0) vmKiB = std::strtoull(line.c_str() + 7, nullptr, 10);
        const rlimit limit{vmKiB * 1024 + (rlim_t{512} << 20), vmKiB * 1024 + (rlim_t{512} << 20)};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) return "setrlimit failed";

        TItemStore chart;
        const std::vector<TChartItem> own = Acquisition(1000, 6.0);
        chart.AssignItems(own);
        std::string message;
        try {
            chart.AssignItems(LoadItems(huge));
            return "the 8 GiB file was loaded";
        } catch (const EItemFileError& e) {
            message = e.what();
        }
        if (chart.ItemCount() != 1000 ||
            std::memcmp(chart.Items(), own.data(), own.size() * kChartItemSize) != 0)
            return "the chart lost its items: " + message;
        chart.AssignItems(LoadItems(fits));
        if (chart.ItemCount() != 100000) return "the 10 MB file did not load";
        return message;
    });
    ASSERT_TRUE(r.Exited) << "the child died by signal " << r.Status;
    EXPECT_NE(r.Text.find("Cannot read \"" + huge + "\""), std::string::npos) << r.Text;
    EXPECT_NE(r.Text.find("Cannot allocate memory"), std::string::npos) << r.Text;
#endif
}
