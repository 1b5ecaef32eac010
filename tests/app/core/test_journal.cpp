#include "app/core/journal.h"

#include "chart/core/item_file.h"
#include "chart/core/item_store.h"
#include "tests/file_size_limit.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
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

// An open marker of a writer that is gone: a child that has ended, on this boot.
void LeaveUnfinished(const std::string& run) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    std::ifstream boot("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(boot, id);
    std::ofstream(run + ".open") << child << ' ' << id << '\n';
}

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
    store.BackWithFile(j.Fd());
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
        Journal j;
        j.Begin(folder, At(2025, 2, killed));
        TItemStore stores[3];
        for (int c : {2, 0, 1}) { // made in any order, joined in channel order
            stores[c].BackWithFile(c == 0 ? j.Fd() : j.ChannelFd(c));
            for (const TChartItem& it : parts[static_cast<std::size_t>(c)])
                stores[c].AppendItem(it);
        }
        const std::string path = j.Path();
        if (!killed) {
            for (TItemStore& s : stores)
                s.SealBacking();
            j.End();
            expect(path, parts);
            continue;
        }
        // As a killed writer leaves it: the marker, and room reserved beyond the records of a channel.
        for (TItemStore& s : stores)
            s.ClearItems();
        std::filesystem::resize_file(path + ".ch3", 50 * kChartItemSize);
        LeaveUnfinished(path);
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
        store.BackWithFile(j.Fd());
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
    store.BackWithFile(j.Fd());
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
    owner.BackWithFile(other.Fd());
    owner.AppendItem(items[0]);
    ASSERT_EQ(viewer.UseDataOf(&owner), TShareResult::Changed);
    for (int i = 1; i < 5; ++i)
        owner.AppendItem(items[static_cast<std::size_t>(i)]);
    EXPECT_FALSE(owner.BackedByFile());
    EXPECT_FALSE(owner.BackingError().empty());
    EXPECT_EQ(viewer.ItemCount(), 5);
    std::string message;
    try {
        j.FollowList(store);
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
