#include "chart/core/item_file.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Every byte of the record differs from its neighbours, padding and unused Text bytes included.
TChartItem PatternItem(int k) {
    TChartItem item;
    auto* bytes = reinterpret_cast<unsigned char*>(&item);
    for (std::size_t i = 0; i < sizeof item; ++i)
        bytes[i] = static_cast<unsigned char>(k * 31 + i * 7 + 1);
    item.Text[0] = 3; // "length 3", the 14 bytes beyond it still carry the pattern
    return item;
}

std::vector<unsigned char> ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& p, const std::vector<unsigned char>& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<unsigned char> AsBytes(const std::vector<TChartItem>& items) {
    const auto* p = reinterpret_cast<const unsigned char*>(items.data());
    return {p, p + items.size() * sizeof(TChartItem)};
}

std::vector<TChartItem> PatternItems(int n) {
    std::vector<TChartItem> items;
    for (int k = 0; k < n; ++k)
        items.push_back(PatternItem(k));
    return items;
}

// Only the named file may be in the folder: a failed save must not leave its temporary file behind.
std::vector<std::string> FolderEntries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    return names;
}

} // namespace

TEST(ItemFile, SavedFileIsTheRecordsByteForByteAndLoadsBackIdentically) {
    TempDir dir;
    const auto items = PatternItems(5);
    SaveItems((dir / "run.mvx").string(), items);

    EXPECT_EQ(ReadBytes(dir / "run.mvx"), AsBytes(items));
    const auto loaded = LoadItems((dir / "run.mvx").string());
    EXPECT_EQ(AsBytes(loaded), AsBytes(items));
}

TEST(ItemFile, AcquisitionRecordHasFieldsAtTheirOffsets) {
    TempDir dir;
    TChartItem item{};
    item.X = 2.0;
    item.Y = -1.5;
    item.Color = 0x00FF0000;
    item.LineWidth = 1;
    item.Kind = ikLineTo;
    item.Layer = 1;
    SaveItems((dir / "one.mvx").string(), std::vector<TChartItem>{item});

    const auto b = ReadBytes(dir / "one.mvx");
    ASSERT_EQ(b.size(), 104u);
    double x, y;
    std::memcpy(&x, &b[0], 8);
    std::memcpy(&y, &b[8], 8);
    EXPECT_EQ(x, 2.0);
    EXPECT_EQ(y, -1.5);
    EXPECT_EQ((std::vector<unsigned char>{b[32], b[33], b[34], b[35]}),
              (std::vector<unsigned char>{0x00, 0x00, 0xFF, 0x00}));
    EXPECT_EQ(b[56], 1);
    EXPECT_EQ(b[61], 3);
    EXPECT_EQ(b[64], 1);
}

TEST(ItemFile, EmptyListAndEmptyFile) {
    TempDir dir;
    SaveItems((dir / "empty.mvx").string(), {});
    EXPECT_EQ(fs::file_size(dir / "empty.mvx"), 0u);
    EXPECT_TRUE(LoadItems((dir / "empty.mvx").string()).empty());
}

TEST(ItemFile, WholeRecordsAreReadAndATrailingPartIsIgnored) {
    TempDir dir;
    const auto two = AsBytes(PatternItems(2));
    WriteBytes(dir / "208.mvx", two);
    auto with42 = two;
    with42.insert(with42.end(), 42, 0xAB);
    WriteBytes(dir / "250.mvx", with42);
    WriteBytes(dir / "103.mvx", std::vector<unsigned char>(103, 0x11));

    EXPECT_EQ(AsBytes(LoadItems((dir / "208.mvx").string())), two);
    EXPECT_EQ(AsBytes(LoadItems((dir / "250.mvx").string())), two);
    EXPECT_TRUE(LoadItems((dir / "103.mvx").string()).empty());
}

TEST(ItemFile, ArbitraryBytesAreTakenAsTheyAre) {
    TempDir dir;
    std::vector<unsigned char> junk(3 * 104);
    for (std::size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<unsigned char>(255 - i);
    WriteBytes(dir / "junk.mvx", junk);
    EXPECT_EQ(AsBytes(LoadItems((dir / "junk.mvx").string())), junk);
}

TEST(ItemFile, LoadFailuresNameTheFileAndTheReason) {
    TempDir dir;
    const std::string missing = (dir / "missing.mvx").string();
    try {
        LoadItems(missing);
        FAIL() << "loading a missing file succeeded";
    } catch (const EItemFileError& e) {
        EXPECT_EQ(e.FileName(), missing);
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos);
        EXPECT_NE(e.Reason().find("No such file"), std::string::npos) << e.Reason();
    }
    EXPECT_THROW(LoadItems(dir.Path().string()), EItemFileError);
}

// A chart counts its items in 32 bits: a (sparse) file with more records is refused before any memory is
// taken for it.
TEST(ItemFile, FileWithMoreRecordsThanAChartCanHoldIsRefused) {
    TempDir dir;
    const fs::path name = dir / "huge.mvx";
    WriteBytes(name, {});
    std::error_code ec;
    fs::resize_file(name, (std::uintmax_t{INT32_MAX} + 1) * 104, ec);
    if (ec) GTEST_SKIP() << "no sparse file of that size here: " << ec.message();
    try {
        LoadItems(name.string());
        FAIL() << "a file of 2^31 records loaded";
    } catch (const EItemFileError& e) {
        EXPECT_NE(e.Reason().find("more items than a chart can take"), std::string::npos) << e.Reason();
    }
}

TEST(ItemFile, SaveToAnImpossibleTargetFailsAndLeavesNothingBehind) {
    TempDir dir;
    const std::string noFolder = (dir / "no-such-folder" / "run.mvx").string();
    try {
        SaveItems(noFolder, PatternItems(1));
        FAIL() << "saving into a missing folder succeeded";
    } catch (const EItemFileError& e) {
        EXPECT_NE(std::string(e.what()).find(noFolder), std::string::npos);
    }

    fs::create_directory(dir / "adir");
    EXPECT_THROW(SaveItems((dir / "adir").string(), PatternItems(1)), EItemFileError);
    EXPECT_TRUE(fs::is_directory(dir / "adir"));
    // A pipe is no file to replace: it stays a pipe.
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_THROW(SaveItems((dir / "pipe").string(), PatternItems(1)), EItemFileError);
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
    fs::remove(dir / "pipe");
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"adir"});
}

TEST(ItemFile, OverwriteKeepsOwnerPermissionsAndFollowsSymbolicLinks) {
    TempDir dir;
    const auto first = PatternItems(3);
    const auto second = PatternItems(1);
    SaveItems((dir / "run.mvx").string(), first);
    fs::permissions(dir / "run.mvx", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("run.mvx", dir / "link.mvx");
    // Only root may give a file to another user; others keep their own file anyway.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown((dir / "run.mvx").c_str(), 65534, 65534), 0);
    }

    SaveItems((dir / "link.mvx").string(), second);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "run.mvx").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, root ? 65534u : ::geteuid());
    EXPECT_EQ(st.st_gid, root ? 65534u : ::getegid());

    EXPECT_TRUE(fs::is_symlink(dir / "link.mvx"));
    EXPECT_EQ(ReadBytes(dir / "run.mvx"), AsBytes(second));
    EXPECT_EQ(fs::status(dir / "run.mvx").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// A write that fails half way (here: the process may not write files beyond 1000 bytes) must leave the
// previous acquisition file exactly as it was.
TEST(ItemFile, InterruptedSaveLeavesTheOldFileIntact) {
    TempDir dir;
    const std::string name = (dir / "run.mvx").string();
    const auto old = PatternItems(4);
    SaveItems(name, old);

    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::string message;
    try {
        SaveItems(name, PatternItems(100));
    } catch (const EItemFileError& e) {
        message = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_NE(message.find("Cannot write"), std::string::npos) << message;
    EXPECT_EQ(ReadBytes(name), AsBytes(old));
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"run.mvx"});
}

TEST(ItemFile, SaveOnAFullDiskLeavesTheOldFileIntact) {
    TempDir dir;
    const fs::path mnt = dir / "small";
    fs::create_directory(mnt);
    if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    struct Unmount {
        fs::path p;
        ~Unmount() { ::umount(p.c_str()); }
    } unmount{mnt};

    const std::string name = (mnt / "run.mvx").string();
    const auto old = PatternItems(10);
    SaveItems(name, old);

    try {
        SaveItems(name, PatternItems(1000)); // 104 000 bytes do not fit in 64 KiB
        FAIL() << "a save onto a full disk reported success";
    } catch (const EItemFileError& e) {
        EXPECT_NE(e.Reason().find("No space left"), std::string::npos) << e.Reason();
    }
    EXPECT_EQ(ReadBytes(name), AsBytes(old));
    EXPECT_EQ(FolderEntries(mnt), std::vector<std::string>{"run.mvx"});
}

namespace {
// Memory the kernel has promised, in kB (/proc/meminfo's Committed_AS).
long long CommittedKilobytes() {
    std::ifstream in("/proc/meminfo");
    for (std::string key; in >> key;) {
        long long value = 0;
        in >> value;
        if (key == "Committed_AS:") return value;
        in.ignore(INT_MAX, '\n');
    }
    return -1;
}
} // namespace

// A large file is the file's own pages, not memory promised: a run larger than memory loads. And a
// mapped file that someone cuts short while it is shown is noted and reads as zero beyond its new end,
// where it killed the program with SIGBUS.
TEST(ItemFile, ALargeFileIsMappedWithoutMemoryAndMayBeCutShortWhileShown) {
    TempDir dir;
    const std::string huge = (dir / "huge.mvx").string();
    const std::vector<TChartItem> first = {MakeItem(ikMoveTo, 1, 2, 3, 4, 5)};
    SaveItems(huge, first);
    std::filesystem::resize_file(huge, 32ULL << 30); // sparse: 32 GiB, more than this machine's memory
    {
        const long long before = CommittedKilobytes();
        const std::shared_ptr<TItemBlock> block = LoadItemBlock(huge);
        ASSERT_EQ(block->Size(), (32ULL << 30) / kChartItemSize);
        EXPECT_LT(CommittedKilobytes() - before, 1LL << 20) << "kB promised for a mapped file";
        EXPECT_EQ(block->Data()[0].X, 1);
        EXPECT_EQ(block->Data()[block->Size() - 1].Kind, 0);
    }

    const std::string cut = (dir / "cut.mvx").string();
    std::vector<TChartItem> items(700000, MakeItem(ikLineTo, 7, 8, 0, 0, 0xFF)); // 72.8 MB: mapped
    SaveItems(cut, items);
    const std::shared_ptr<TItemBlock> block = LoadItemBlock(cut);
    ASSERT_EQ(block->Size(), items.size());
    EXPECT_FALSE(block->FileCut());
    std::filesystem::resize_file(cut, 10000 * kChartItemSize);
    EXPECT_EQ(block->Data()[699999].Kind, 0);
    EXPECT_EQ(block->Data()[5].Kind, ikLineTo);
    EXPECT_TRUE(block->FileCut());
}
