#include "app/core/journal.h"

#include "chart/core/item_file.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <sys/resource.h>
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

TEST(Journal, WritesEveryRecordOnceAcrossAppendsAndAClearedList) {
    TempDir dir;
    const std::string folder = (dir / "runs").string(); // made when missing
    Journal j;
    j.Begin(folder, At(2026, 9, 7));
    EXPECT_EQ(j.Path(), folder + "/2026-01-09_00-00-07.mvx");
    const std::vector<TChartItem> list = Samples(5), cleared = Samples(2, 10);
    j.AppendNew(list.data(), 3, 1);
    j.AppendNew(list.data(), 3, 1);
    j.AppendNew(list.data(), 5, 1);
    j.AppendNew(cleared.data(), 2, 2); // the graph was cleared: a new list
    j.Sync();
    std::vector<TChartItem> expected = list;
    expected.insert(expected.end(), cleared.begin(), cleared.end());
    const std::vector<TChartItem> kept = LoadItems(j.Path()); // readable while the run goes on
    ASSERT_EQ(kept.size(), expected.size());
    EXPECT_EQ(std::memcmp(kept.data(), expected.data(), kept.size() * sizeof(TChartItem)), 0);

    std::vector<JournalRun> runs = ListJournalRuns(folder);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Name, "2026-01-09 00:00:07");
    EXPECT_EQ(runs[0].Records, 7u);
    EXPECT_TRUE(runs[0].Running);
    j.End();
    runs = ListJournalRuns(folder);
    EXPECT_FALSE(runs[0].Running || runs[0].Unfinished || runs[0].Saved);

    Journal second; // the same second again
    second.Begin(folder, At(2026, 9, 7));
    EXPECT_EQ(second.Path(), folder + "/2026-01-09_00-00-07_2.mvx");
}

TEST(Journal, UnfinishedRunsAreFoundAndOnlySavedOnesAreTrimmed) {
    TempDir dir;
    const std::string folder = dir.Path().string();
    std::vector<std::string> paths;
    for (int i = 0; i < 5; ++i) {
        Journal j;
        j.Begin(folder, At(2025, 1, i));
        const std::vector<TChartItem> items = Samples(10);
        j.AppendNew(items.data(), 10, 1);
        paths.push_back(j.Path());
    }
    LeaveUnfinished(paths[4]);
    for (int saved : {0, 1, 3})
        MarkJournalRunSaved(paths[static_cast<std::size_t>(saved)]);
    std::vector<JournalRun> runs = ListJournalRuns(folder);
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_TRUE(runs[4].Unfinished);
    EXPECT_FALSE(runs[4].Running);
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

// A file that may not grow (as a full disk) fails the journal once, with what the user must know; the
// whole records before it stay readable.
TEST(Journal, AFailedWriteIsReportedOnceAndKeepsTheWholeRecords) {
    TempDir dir;
    Journal j;
    j.Begin(dir.Path().string(), At(2026, 1, 0));
    const std::vector<TChartItem> items = Samples(20);
    j.AppendNew(items.data(), 4, 1);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 10 * kChartItemSize + 50;
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::string message;
    try {
        j.AppendNew(items.data(), 20, 1);
    } catch (const EJournalError& e) {
        message = e.what();
    }
    j.AppendNew(items.data(), 20, 1); // nothing more, no second report
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_NE(message.find("nicht gegen Absturz gesichert"), std::string::npos) << message;
    EXPECT_NE(message.find(j.Path()), std::string::npos) << message;
    EXPECT_FALSE(j.Active());
    EXPECT_EQ(LoadItems(j.Path()).size(), 10u);
    EXPECT_FALSE(ListJournalRuns(dir.Path().string())[0].Unfinished);
}
