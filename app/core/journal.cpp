#include "app/core/journal.h"

#include "chart/core/item_file.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* kNotProtected = " Die Erfassung läuft im Speicher weiter und ist nicht gegen Absturz gesichert.";

std::string BootId() {
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(in, id);
    return id;
}

constexpr int kMaxChannelFiles = 16;

std::string OpenMarker(const std::string& run) {
    return run + ".open";
}
std::string SavedMarker(const std::string& run) {
    return run + ".saved";
}
std::string MergeProgress(const std::string& run) {
    return run + ".merge";
}

// Every file of the journal is the user's alone, made new (never an existing one, never through a link).
int CreatePrivate(const std::string& path) {
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

// An existing regular file, not followed through a link; −1 for anything else.
int OpenRegular(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The folder and every missing folder above it, made private to the user (as data folders should be).
void MakePrivateFolder(const std::string& folder) {
    fs::path made;
    for (const fs::path& part : fs::path(folder)) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) return; // the run's open names the fault
    }
}

void SyncFolder(const std::string& folder) {
    if (const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A small file put in place whole: written beside, on the disk, then renamed over the name (a link
// planted at the name is replaced, never followed). False when it could not be.
bool PutSmallFile(const std::string& path, const std::string& text) {
    const std::string part = path + ".new";
    ::unlink(part.c_str());
    const int fd = CreatePrivate(part);
    if (fd < 0) return false;
    const bool whole =
        ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fdatasync(fd) == 0;
    ::close(fd);
    if (!whole || ::rename(part.c_str(), path.c_str()) != 0) {
        ::unlink(part.c_str());
        return false;
    }
    SyncFolder(fs::path(path).parent_path().string());
    return true;
}

// The run's lock, taken without waiting: false while its writer (or a recovery) holds it.
bool TakeLock(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

// The length of the file without its zero records at the end.
off_t WrittenLength(int fd) {
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size < 0) return 0;
    const auto record = static_cast<off_t>(kChartItemSize);
    off_t end = size / record * record;
    std::vector<char> chunk(kChartItemSize * 10000);
    while (end > 0) {
        const off_t from = std::max<off_t>(0, end - static_cast<off_t>(chunk.size()));
        const ssize_t n = ::pread(fd, chunk.data(), static_cast<std::size_t>(end - from), from);
        if (n != end - from) return end;
        for (off_t r = n / record; r > 0; --r) {
            const char* first = chunk.data() + (r - 1) * record;
            if (std::any_of(first, first + record, [](char c) { return c != 0; })) return from + r * record;
        }
        end = from;
    }
    return 0;
}

std::string ChannelPath(const std::string& run, int channel) {
    return channel == Journal::kMarks ? run + ".marks" : run + ".ch" + std::to_string(channel + 1);
}

// Cuts the file to its records and puts it on the disk; returns its length.
off_t CutAndSync(int fd) {
    const off_t length = WrittenLength(fd);
    if (::lseek(fd, 0, SEEK_END) != length && ::ftruncate(fd, length) != 0) {
        // The zero tail stays; the file's records are whole all the same.
    }
    ::fdatasync(fd);
    return length;
}

} // namespace

// The thread that puts a run's files on the disk. A second's records of a fast device are hundreds of
// megabytes; waiting for them in the owner's thread held up the receive path for most of each second.
struct Journal::Syncer {
    std::mutex lock;
    std::condition_variable wake;
    std::vector<int> fds; // the files of the next sync; they stay open until the syncer has ended
    bool wanted = false;
    bool stop = false;
    std::string failure; // of the first failed sync
    std::thread thread;

    void Run() {
        std::unique_lock guard(lock);
        for (;;) {
            wake.wait(guard, [&] { return stop || wanted; });
            if (stop) return;
            wanted = false;
            const std::vector<int> now = fds;
            guard.unlock();
            std::string failed;
            for (const int fd : now)
                if (::fdatasync(fd) != 0 && failed.empty()) failed = std::strerror(errno);
            guard.lock();
            if (failure.empty()) failure = failed;
        }
    }
};

std::string JournalChannelPath(const std::string& run, int channel) {
    return channel == 0 ? run : ChannelPath(run, channel);
}

Journal::Journal() = default;

Journal::~Journal() {
    End();
}

std::string Journal::DefaultFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data == '/') return std::string(data) + "/mevrant";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/mevrant";
}

void Journal::Begin(const std::string& folder, std::time_t start) {
    End();
    MakePrivateFolder(folder);
    std::tm local{};
    localtime_r(&start, &local);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    // Two runs in one second get a number.
    for (int n = 1; fd_ < 0; ++n) {
        path_ = folder + "/" + stamp + (n == 1 ? "" : "_" + std::to_string(n)) + ".mvx";
        fd_ = CreatePrivate(path_);
        if (fd_ < 0 && (errno != EEXIST || n >= 1000))
            throw EJournalError("Das Journal der Erfassung kann nicht angelegt werden: \"" + path_ +
                                "\": " + std::strerror(errno) + "." + kNotProtected);
    }
    // Taken before the marker is there, so that no one who sees the marker finds the lock free. Where the
    // file system has no locks the run is taken for running by everyone: never cut, only not recovered.
    TakeLock(fd_);
    PutSmallFile(OpenMarker(path_), std::to_string(::getpid()) + ' ' + BootId() + '\n');
    SyncFolder(folder);
}

void Journal::Fail(const std::string& reason) {
    const std::string path = path_;
    // The lists leave their files before the journal cuts and joins them: a list that went on writing
    // into a file cut short would die in the attempt.
    for (TItemStore* list : lists_)
        list->LeaveFile();
    End(); // what the files hold stays, as a finished run
    throw EJournalError("Das Journal der Erfassung kann nicht geschrieben werden: \"" + path +
                        "\": " + reason + "." + kNotProtected);
}

void Journal::FollowList(const TItemStore& list) {
    if (Active() && !list.BackedByFile() && !list.BackingError().empty()) Fail(list.BackingError());
}

void Journal::Follow() {
    for (const TItemStore* list : lists_)
        FollowList(*list);
}

int Journal::ChannelFd(int channel) {
    if (fd_ < 0 || channel < 1) return fd_;
    const auto c = static_cast<std::size_t>(channel);
    if (channelFds_.size() < c) channelFds_.resize(c, -1);
    int& fd = channelFds_[c - 1];
    if (fd < 0) {
        const std::string path = ChannelPath(path_, channel);
        ::unlink(path.c_str()); // a leftover, or a link planted at the name: the run's own file is new
        fd = CreatePrivate(path);
        if (fd < 0)
            throw EJournalError("Das Journal der Erfassung kann nicht angelegt werden: \"" + path +
                                "\": " + std::strerror(errno) + "." + kNotProtected);
    }
    return fd;
}

void Journal::Back(TItemStore& list, int channel) {
    if (fd_ < 0 || std::find(lists_.begin(), lists_.end(), &list) != lists_.end()) return;
    list.BackWithFile(ChannelFd(channel));
    lists_.push_back(&list);
}

void Journal::Sync() {
    if (fd_ < 0) return;
    if (!syncer_) {
        syncer_ = std::make_unique<Syncer>();
        syncer_->thread = std::thread([s = syncer_.get()] { s->Run(); });
    }
    std::string failure;
    {
        std::lock_guard guard(syncer_->lock);
        failure = syncer_->failure;
        syncer_->fds.assign(1, fd_);
        for (const int fd : channelFds_)
            if (fd >= 0) syncer_->fds.push_back(fd);
        syncer_->wanted = true;
    }
    if (!failure.empty()) Fail(failure);
    syncer_->wake.notify_one();
}

void Journal::End() {
    if (syncer_) {
        {
            std::lock_guard guard(syncer_->lock);
            syncer_->stop = true;
        }
        syncer_->wake.notify_one();
        syncer_->thread.join(); // a sync under way ends first: the files it uses stay open until then
        syncer_.reset();
    }
    for (TItemStore* list : lists_)
        list->SealBacking();
    lists_.clear();
    if (fd_ < 0) return;
    CutAndSync(fd_);
    for (const int fd : channelFds_)
        if (fd >= 0) ::close(fd);
    channelFds_.clear();
    MergeChannelFiles(path_, fd_);
    const off_t length = ::lseek(fd_, 0, SEEK_END);
    if (length == 0) ::unlink(path_.c_str()); // a run without a sample is no run
    // The marker goes while the lock is still held: whoever finds the lock free finds the run finished.
    ::unlink(OpenMarker(path_).c_str());
    SyncFolder(fs::path(path_).parent_path().string());
    ::close(fd_);
    fd_ = -1;
}

bool RecoverJournalRun(const std::string& runPath) {
    if (!Exists(OpenMarker(runPath))) return false;
    const int fd = OpenRegular(runPath, O_RDWR);
    if (fd < 0) return false;
    const bool unfinished = TakeLock(fd);
    if (unfinished) {
        // Its writer cannot cut the room it reserved, nor join its channels, any more.
        CutAndSync(fd);
        MergeChannelFiles(runPath, fd);
    }
    ::close(fd);
    return unfinished;
}

std::vector<JournalRun> ListJournalRuns(const std::string& folder) {
    std::vector<JournalRun> runs;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        if (e.path().extension() != ".mvx" || !e.is_regular_file(ec) || e.is_symlink(ec)) continue;
        JournalRun r;
        r.Path = e.path().string();
        r.Name = e.path().stem().string();
        if (const auto cut = r.Name.find('_'); cut != std::string::npos) {
            r.Name[cut] = ' ';
            for (std::size_t i = cut + 1; i < r.Name.size() && i < cut + 9; ++i)
                if (r.Name[i] == '-') r.Name[i] = ':';
        }
        r.Saved = Exists(SavedMarker(r.Path));
        if (Exists(OpenMarker(r.Path))) (RecoverJournalRun(r.Path) ? r.Unfinished : r.Running) = true;
        r.Bytes = fs::file_size(r.Path, ec);
        if (ec) r.Bytes = 0;
        r.Records = ItemRecordCount(r.Bytes);
        runs.push_back(std::move(r));
    }
    std::sort(runs.begin(), runs.end(),
              [](const JournalRun& a, const JournalRun& b) { return a.Path < b.Path; });
    return runs;
}

void MarkJournalRunSaved(const std::string& runPath) {
    const std::string marker = SavedMarker(runPath);
    int fd = CreatePrivate(marker);
    if (fd < 0 && errno == EEXIST && (fd = OpenRegular(marker, O_RDONLY)) < 0) {
        ::unlink(marker.c_str()); // not a plain file: a link planted at the name goes, its target stays
        fd = CreatePrivate(marker);
    }
    if (fd >= 0) ::close(fd);
}

void AcknowledgeJournalRun(const std::string& runPath) {
    const int fd = OpenRegular(runPath, O_RDONLY);
    if (fd < 0) return;
    if (TakeLock(fd)) ::unlink(OpenMarker(runPath).c_str());
    ::close(fd);
}

std::vector<std::string> TrimJournal(const std::string& folder, std::size_t keepRuns,
                                     std::uint64_t keepBytes) {
    const std::vector<JournalRun> runs = ListJournalRuns(folder);
    std::size_t count = runs.size();
    std::uint64_t bytes = 0;
    for (const JournalRun& r : runs)
        bytes += r.Bytes;
    std::vector<std::string> deleted;
    for (const JournalRun& r : runs) {
        if (count <= keepRuns && bytes <= keepBytes) break;
        if (!r.Saved || r.Running || r.Unfinished) continue;
        // Under the run's lock: a run someone still holds is never deleted.
        const int fd = OpenRegular(r.Path, O_RDONLY);
        if (fd < 0) continue;
        const bool gone = TakeLock(fd) && ::unlink(r.Path.c_str()) == 0;
        ::close(fd);
        if (!gone) continue;
        ::unlink(SavedMarker(r.Path).c_str());
        deleted.push_back(r.Path);
        --count;
        bytes -= r.Bytes;
    }
    return deleted;
}

std::uint64_t FreeBytes(const std::string& folder) {
    struct statvfs s {};
    if (::statvfs(folder.c_str(), &s) != 0) return 0;
    return static_cast<std::uint64_t>(s.f_bavail) * s.f_frsize;
}

std::uint64_t CutZeroTail(const std::string& path) {
    const int fd = OpenRegular(path, O_RDWR);
    if (fd < 0) return 0;
    const off_t length = CutAndSync(fd);
    ::close(fd);
    return static_cast<std::uint64_t>(length) / kChartItemSize;
}

void MergeChannelFiles(const std::string& runPath, int fd) {
    // A merge cut short left where the channel it was joining begins in the run: that channel is joined
    // again from there. A channel whose file is gone was joined whole.
    const std::string progress = MergeProgress(runPath);
    int resumeChannel = 0;
    long long resumeBase = -1;
    if (const int in = OpenRegular(progress, O_RDONLY); in >= 0) {
        char text[64] = {};
        if (::read(in, text, sizeof text - 1) > 0 &&
            std::sscanf(text, "%d %lld", &resumeChannel, &resumeBase) != 2)
            resumeChannel = 0;
        ::close(in);
    }
    // The marks go right after channel 1, whose class they share (see IsEventMark).
    std::vector<int> order{Journal::kMarks};
    for (int channel = 1; channel < kMaxChannelFiles; ++channel)
        order.push_back(channel);
    for (const int channel : order) {
        const std::string path = ChannelPath(runPath, channel);
        const int from = OpenRegular(path, O_RDWR);
        if (from < 0) continue;
        const off_t end = ::lseek(fd, 0, SEEK_END);
        const off_t base = channel == resumeChannel && resumeBase >= 0 && resumeBase <= end
                               ? static_cast<off_t>(resumeBase)
                               : end;
        if (base != end && ::ftruncate(fd, base) != 0) {
            ::close(from);
            break; // the run cannot be put back to where the channel begins: it stays as it is
        }
        if (!PutSmallFile(progress, std::to_string(channel) + ' ' + std::to_string(base) + '\n')) {
            ::close(from);
            break; // without a record of its progress a merge could join a channel twice
        }
        off_t left = CutAndSync(from);
        off_t in = 0;
        ::lseek(fd, base, SEEK_SET);
        std::vector<char> chunk(1 << 20);
        bool whole = true;
        while (left > 0 && whole) {
            const ssize_t n = ::pread(
                from, chunk.data(), std::min<std::size_t>(chunk.size(), static_cast<std::size_t>(left)), in);
            whole = n > 0 && ::write(fd, chunk.data(), static_cast<std::size_t>(n)) == n;
            in += n > 0 ? n : 0;
            left -= n > 0 ? n : 0;
        }
        ::close(from);
        // A channel that could not be joined stays beside the run, and the run as it was.
        if (whole && ::fdatasync(fd) == 0) {
            ::unlink(path.c_str());
        } else if (::ftruncate(fd, base) != 0) {
            // The run keeps the part; its records are whole all the same.
        }
    }
    ::unlink(progress.c_str());
}
