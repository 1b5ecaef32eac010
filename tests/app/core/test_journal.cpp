#include "app/core/journal.h"

#include "chart/core/item_file.h"
#include "chart/core/item_store.h"
#include "tests/file_size_limit.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::vector<TChartItem> Samples(int n, double first = 0) {
    std::vector<TChartItem> items;
    for (int i = 0; i < n; ++i)
        items.push_back(MakeItem(i ? ikLineTo : ikMoveTo, first + i, 0.5 * i, 1.7e9 + i, 0, 0xFF0000));
    return items;
}

std::time_t At(int year, int day, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mday = day;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

// The open marker of a writer that is gone, naming a live process on this boot (as a reused process id
// would): the run's free lock, not the process id, makes it unfinished.
void LeaveUnfinished(const std::string& run) {
    std::ifstream boot("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(boot, id);
    std::ofstream(run + ".open") << ::getpid() << ' ' << id << '\n';
}

// A writer in a process of its own: writes `records` records into each of `channels` channels, then
// says so on the pipe and waits to be killed (or ends the run when told to). Returns its process id.
struct Writer {
    pid_t pid = -1;
    int told = -1; // reads one byte when the records are written
    int go = -1;   // a byte written here ends the run

    Writer(const std::string& folder, std::time_t at, int channels, int records) {
        int up[2], down[2];
        if (::pipe(up) != 0 || ::pipe(down) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            Journal j;
            j.Begin(folder, at);
            std::vector<TItemStore> stores(static_cast<std::size_t>(channels));
            for (int c = 0; c < channels; ++c) {
                stores[static_cast<std::size_t>(c)].SetAllocSize(100000);
                j.Back(stores[static_cast<std::size_t>(c)], c);
                for (const TChartItem& it : Samples(records, 1000.0 * c))
                    stores[static_cast<std::size_t>(c)].AppendItem(it);
            }
            char byte = 1;
            if (::write(up[1], &byte, 1) != 1 || ::read(down[0], &byte, 1) != 1) ::_exit(1);
            j.End();
            ::_exit(0);
        }
        ::close(up[1]);
        ::close(down[0]);
        told = up[0];
        go = down[1];
        char byte;
        if (::read(told, &byte, 1) != 1) pid = -1;
    }
    ~Writer() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        ::close(told);
        ::close(go);
    }
    void EndRun() {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(go, &byte, 1);
    }
};

} // namespace

// A store backed by a run's file appends into it; the run ends cut to its records.
TEST(Journal, TheListLivesInTheRunFile) {
    TempDir dir;
    const std::string folder = (dir / "runs").string(); // made when missing
    Journal j;
    j.Begin(folder, At(2026, 9, 7));
    EXPECT_EQ(j.Path(), folder + "/2026-01-09_00-00-07.mvx");
    TItemStore store;
    store.SetAllocSize(3);
    store.BackWithFile(j.ChannelFd(0));
    for (const TChartItem& it : Samples(5))
        store.AppendItem(it);
    EXPECT_TRUE(store.BackedByFile());
    const std::vector<TChartItem> kept = LoadItems(j.Path()); // readable while the run goes on
    ASSERT_GE(kept.size(), 5u);
    EXPECT_EQ(std::memcmp(kept.data(), store.Items(), 5 * sizeof(TChartItem)), 0);
    EXPECT_TRUE(ListJournalRuns(folder)[0].Running);

    store.SealBacking();
    j.End();
    EXPECT_EQ(std::filesystem::file_size(j.Path()), 5 * kChartItemSize);
    const JournalRun run = ListJournalRuns(folder)[0];
    EXPECT_EQ(run.Name, "2026-01-09 00:00:07");
    EXPECT_EQ(run.Records, 5u);
    EXPECT_FALSE(run.Running || run.Unfinished || run.Saved);
    store.AppendItem(Samples(1)[0]); // the list goes on in memory, the run stays as it was
    EXPECT_EQ(store.ItemCount(), 6);
    EXPECT_EQ(std::filesystem::file_size(j.Path()), 5 * kChartItemSize);

    Journal second, empty; // the same second again; a run without a sample leaves nothing
    second.Begin(folder, At(2026, 9, 7));
    EXPECT_EQ(second.Path(), folder + "/2026-01-09_00-00-07_2.mvx");
    second.End();
    EXPECT_FALSE(std::filesystem::exists(second.Path()));
}

// Further channels live in files beside the run while it goes on, and become its tail, channel after
// channel, when it ends, or when a run whose writer died is found.
TEST(Journal, ChannelFilesJoinTheRunInChannelOrder) {
    TempDir dir;
    const std::string folder = dir.Path().string();
    const auto expect = [](const std::string& path, const std::vector<std::vector<TChartItem>>& parts) {
        std::vector<TChartItem> whole;
        for (const auto& p : parts)
            whole.insert(whole.end(), p.begin(), p.end());
        const std::vector<TChartItem> got = LoadItems(path);
        ASSERT_EQ(got.size(), whole.size());
        EXPECT_EQ(std::memcmp(got.data(), whole.data(), whole.size() * sizeof(TChartItem)), 0);
        EXPECT_FALSE(std::filesystem::exists(path + ".ch2") || std::filesystem::exists(path + ".ch3"));
    };
    const std::vector<std::vector<TChartItem>> parts = {Samples(7), Samples(5, 100), Samples(3, 200)};
    for (const bool killed : {false, true}) {
        const auto write = [&](Journal& j, TItemStore(&stores)[3]) {
            j.Begin(folder, At(2025, 2, killed));
            for (int c : {2, 0, 1}) { // made in any order, joined in channel order
                j.Back(stores[c], c);
                for (const TChartItem& it : parts[static_cast<std::size_t>(c)])
                    stores[c].AppendItem(it);
            }
        };
        if (!killed) {
            Journal j;
            TItemStore stores[3];
            write(j, stores);
            j.End();
            expect(j.Path(), parts);
            continue;
        }
        // A writer killed mid-run: its lock goes with it, its marker and the room it reserved stay.
        const std::string path = folder + "/2025-01-02_00-00-01.mvx";
        const pid_t child = ::fork();
        if (child == 0) {
            Journal j;
            TItemStore stores[3];
            write(j, stores);
            ::_exit(j.Path() == path ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ASSERT_GT(std::filesystem::file_size(path + ".ch3"), 3 * kChartItemSize);
        const std::vector<JournalRun> runs = ListJournalRuns(folder);
        ASSERT_EQ(runs.size(), 2u);
        EXPECT_TRUE(runs[1].Unfinished);
        EXPECT_EQ(runs[1].Records, 15u);
        expect(path, parts);
        AcknowledgeJournalRun(path);
    }
}

TEST(Journal, UnfinishedRunsAreCutAndFoundAndOnlySavedOnesAreTrimmed) {
    TempDir dir;
    const std::string folder = dir.Path().string();
    std::vector<std::string> paths;
    for (int i = 0; i < 4; ++i) {
        Journal j;
        j.Begin(folder, At(2025, 1, i));
        TItemStore store;
        store.BackWithFile(j.ChannelFd(0));
        for (const TChartItem& it : Samples(10))
            store.AppendItem(it);
        store.SealBacking();
        paths.push_back(j.Path());
    }
    // As a killed writer leaves its run: room reserved beyond the records, the marker still there.
    paths.push_back(folder + "/2025-01-01_00-00-04.mvx");
    SaveItems(paths[4], Samples(10));
    std::filesystem::resize_file(paths[4], 1000 * kChartItemSize);
    LeaveUnfinished(paths[4]);
    for (int saved : {0, 1, 3})
        MarkJournalRunSaved(paths[static_cast<std::size_t>(saved)]);
    std::vector<JournalRun> runs = ListJournalRuns(folder);
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_TRUE(runs[4].Unfinished);
    EXPECT_EQ(runs[4].Records, 10u);
    EXPECT_EQ(std::filesystem::file_size(paths[4]), 10 * kChartItemSize);
    AcknowledgeJournalRun(paths[4]);
    EXPECT_FALSE(ListJournalRuns(folder)[4].Unfinished);

    // Two runs to keep: the saved ones go oldest first, the unsaved stay whatever the limit.
    EXPECT_EQ(TrimJournal(folder, 2, 1ULL << 40), (std::vector<std::string>{paths[0], paths[1], paths[3]}));
    runs = ListJournalRuns(folder);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].Path, paths[2]);
    EXPECT_EQ(runs[1].Path, paths[4]);
    EXPECT_TRUE(TrimJournal(folder, 0, 0).empty());
}

// A file that may not grow (as a full disk) ends the backing: the list goes on in memory, the journal
// fails once with what the user must know, and the records the file took stay readable.
TEST(Journal, AFileThatCannotGrowEndsTheBackingAndKeepsItsRecords) {
    TempDir dir;
    Journal j;
    j.Begin(dir.Path().string(), At(2026, 1, 0));
    TItemStore store;
    store.SetAllocSize(100);
    store.BackWithFile(j.ChannelFd(0));
    const std::vector<TChartItem> items = Samples(1000);
    {
        FileSizeLimit full(300 * kChartItemSize);
        for (const TChartItem& it : items)
            store.AppendItem(it);
    }
    ASSERT_EQ(store.ItemCount(), 1000);
    EXPECT_EQ(std::memcmp(store.Items(), items.data(), 1000 * sizeof(TChartItem)), 0);
    EXPECT_FALSE(store.BackedByFile());
    ASSERT_FALSE(store.BackingError().empty());

    // Another chart showing a list that lives in a file: when the list must grow, it goes on in memory
    // and says so, rather than leaving the file behind unnoticed.
    Journal other;
    other.Begin(dir.Path().string(), At(2026, 1, 1));
    TItemStore owner, viewer;
    owner.SetAllocSize(2);
    owner.BackWithFile(other.ChannelFd(0));
    owner.AppendItem(items[0]);
    ASSERT_EQ(viewer.UseDataOf(&owner), TShareResult::Changed);
    for (int i = 1; i < 5; ++i)
        owner.AppendItem(items[static_cast<std::size_t>(i)]);
    EXPECT_FALSE(owner.BackedByFile());
    EXPECT_FALSE(owner.BackingError().empty());
    EXPECT_EQ(viewer.ItemCount(), 5);
    std::string message;
    try {
        j.FollowList(store); // backed by hand: not one of the journal's own lists
    } catch (const EJournalError& e) {
        message = e.what();
    }
    EXPECT_NE(message.find("nicht gegen Absturz gesichert"), std::string::npos) << message;
    EXPECT_NE(message.find(dir.Path().string()), std::string::npos) << message;
    EXPECT_FALSE(j.Active());
    const std::vector<TChartItem> kept = LoadItems(ListJournalRuns(dir.Path().string())[0].Path);
    ASSERT_GT(kept.size(), 0u);
    ASSERT_LE(kept.size(), 300u);
    EXPECT_EQ(std::memcmp(kept.data(), items.data(), kept.size() * sizeof(TChartItem)), 0);
}

// A run whose writer is alive is never cut or recovered, whatever its marker says (another process
// namespace, another machine); one whose writer is gone always is. Killed at any point of ending, a run
// of several channels recovers to exactly its records.
TEST(Journal, TheWritersLockAloneTellsARunningRunAndEndingSurvivesAKill) {
    TempDir dir;
    const std::string folder = dir.Path().string();
    std::vector<TChartItem> whole;
    for (int c = 0; c < 3; ++c) {
        const std::vector<TChartItem> part = Samples(100000, 1000.0 * c);
        whole.insert(whole.end(), part.begin(), part.end());
    }
    {
        Writer alive(folder, At(2024, 1, 0), 1, 10);
        ASSERT_GT(alive.pid, 0);
        const std::string path = folder + "/2024-01-01_00-00-00.mvx";
        std::ofstream(path + ".open") << "1 a-boot-of-another-machine\n";
        const auto size = std::filesystem::file_size(path);
        std::vector<JournalRun> runs = ListJournalRuns(folder);
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_TRUE(runs[0].Running);
        EXPECT_EQ(std::filesystem::file_size(path), size); // its reserved room is its writer's
        AcknowledgeJournalRun(path);
        EXPECT_TRUE(std::filesystem::exists(path + ".open"));
        EXPECT_TRUE(TrimJournal(folder, 0, 0).empty());
    }
    std::mt19937 random(23);
    int killedWhileJoining = 0;
    for (int trial = 0; trial < 12; ++trial) {
        TempDir runs;
        const std::string path = runs.Path().string() + "/2024-01-02_00-00-00.mvx";
        {
            Writer w(runs.Path().string(), At(2024, 2, 0), 3, 100000);
            ASSERT_GT(w.pid, 0);
            w.EndRun();
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 150000));
        } // killed
        killedWhileJoining +=
            std::filesystem::exists(path + ".merge") || std::filesystem::exists(path + ".ch2");
        const std::vector<JournalRun> found = ListJournalRuns(runs.Path().string());
        ASSERT_EQ(found.size(), 1u);
        const std::vector<TChartItem> got = LoadItems(path);
        ASSERT_EQ(got.size(), whole.size()) << "trial " << trial;
        EXPECT_EQ(std::memcmp(got.data(), whole.data(), whole.size() * sizeof(TChartItem)), 0);
        EXPECT_FALSE(std::filesystem::exists(path + ".merge") || std::filesystem::exists(path + ".ch3"));
    }
    RecordProperty("killedWhileJoining", killedWhileJoining);
}

// A fault of one channel's file ends the run for all: every list leaves its file first and goes on in
// memory with all its samples, so none writes into a file the journal cuts or removes.
TEST(Journal, AFaultMovesEveryListIntoMemoryBeforeTheRunEnds) {
    TempDir dir;
    Journal j;
    j.Begin(dir.Path().string(), At(2026, 3, 0));
    TItemStore stores[3];
    const std::vector<TChartItem> items = Samples(2000);
    for (int c = 0; c < 3; ++c) {
        stores[c].SetAllocSize(100);
        j.Back(stores[c], c);
        stores[c].AppendItem(items[0]);
    }
    std::string message;
    {
        FileSizeLimit full(300 * kChartItemSize);
        for (std::size_t i = 1; i < 1000; ++i)
            stores[1].AppendItem(items[i]); // channel 2's file cannot grow
        try {
            j.Follow();
        } catch (const EJournalError& e) {
            message = e.what();
        }
    }
    EXPECT_NE(message.find("nicht gegen Absturz gesichert"), std::string::npos) << message;
    EXPECT_FALSE(j.Active());
    for (int c = 0; c < 3; ++c) {
        EXPECT_FALSE(stores[c].BackedByFile()) << c;
        for (std::size_t i = stores[c].ItemCount(); i < 2000; ++i)
            stores[c].AppendItem(items[i]); // into a cut file this dies of SIGBUS
        ASSERT_EQ(stores[c].ItemCount(), 2000);
        EXPECT_EQ(std::memcmp(stores[c].Items(), items.data(), 2000 * sizeof(TChartItem)), 0) << c;
    }
    const std::vector<TChartItem> kept = LoadItems(ListJournalRuns(dir.Path().string())[0].Path);
    ASSERT_GE(kept.size(), 3u);
    EXPECT_EQ(std::memcmp(kept.data(), items.data(), sizeof(TChartItem)), 0);
}

// The journal's folder and files are the user's alone, and no name planted beside a run makes the
// journal write through a link.
TEST(Journal, FilesArePrivateAndNeverFollowALink) {
    TempDir dir;
    const std::string folder = (dir / "data/mevrant").string();
    const std::string target = (dir / "victim").string();
    std::ofstream(target) << "keep";
    Journal j;
    const std::string run = folder + "/2026-01-04_00-00-00.mvx";
    j.Begin(folder, At(2026, 4, 0)); // the folders are made by the journal
    ASSERT_EQ(j.Path(), run);
    for (const char* side : {".ch2", ".saved"})
        std::filesystem::create_symlink(target, run + side);
    TItemStore stores[2];
    for (int c = 0; c < 2; ++c) {
        j.Back(stores[c], c);
        for (const TChartItem& it : Samples(10))
            stores[c].AppendItem(it);
    }
    const auto mode = [](const std::string& path) {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    EXPECT_EQ(mode(folder), 0700u);
    EXPECT_EQ(mode((dir / "data").string()), 0700u);
    for (const std::string& file : {run, run + ".open", run + ".ch2"})
        EXPECT_EQ(mode(file), 0600u) << file;
    j.End();
    MarkJournalRunSaved(run);
    EXPECT_EQ(mode(run + ".saved"), 0600u);
    std::ifstream in(target);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text, "keep");
    EXPECT_EQ(LoadItems(run).size(), 20u);
}
