#include "app/core/journal.h"

#include "chart/core/item_file.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <signal.h>
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

// The writer named by a run's open marker is still at work: the same boot and a live process.
bool WriterAlive(const std::string& marker) {
    std::ifstream in(marker);
    long pid = 0;
    std::string boot;
    if (!(in >> pid >> boot) || pid <= 0 || boot != BootId()) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
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
    return run + ".ch" + std::to_string(channel + 1);
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
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::tm local{};
    localtime_r(&start, &local);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    // Two runs in one second get a number.
    for (int n = 1; fd_ < 0; ++n) {
        path_ = folder + "/" + stamp + (n == 1 ? "" : "_" + std::to_string(n)) + ".mvx";
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd_ < 0 && (errno != EEXIST || n >= 1000))
            throw EJournalError("Das Journal der Erfassung kann nicht angelegt werden: \"" + path_ +
                                "\": " + std::strerror(errno) + "." + kNotProtected);
    }
    std::ofstream marker(OpenMarker(path_), std::ios::trunc);
    marker << ::getpid() << ' ' << BootId() << '\n';
}

void Journal::Fail(const std::string& reason) {
    const std::string path = path_;
    End(); // what the file holds stays, as a finished run
    throw EJournalError("Das Journal der Erfassung kann nicht geschrieben werden: \"" + path +
                        "\": " + reason + "." + kNotProtected);
}

void Journal::FollowList(const TItemStore& list) {
    if (Active() && !list.BackedByFile() && !list.BackingError().empty()) Fail(list.BackingError());
}

int Journal::ChannelFd(int channel) {
    if (fd_ < 0 || channel < 1) return fd_;
    const auto c = static_cast<std::size_t>(channel);
    if (channelFds_.size() < c) channelFds_.resize(c, -1);
    int& fd = channelFds_[c - 1];
    if (fd < 0) {
        const std::string path = ChannelPath(path_, channel);
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            throw EJournalError("Das Journal der Erfassung kann nicht angelegt werden: \"" + path +
                                "\": " + std::strerror(errno) + "." + kNotProtected);
    }
    return fd;
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
    if (fd_ < 0) return;
    CutAndSync(fd_);
    for (const int fd : channelFds_)
        if (fd >= 0) ::close(fd);
    channelFds_.clear();
    MergeChannelFiles(path_, fd_);
    const off_t length = ::lseek(fd_, 0, SEEK_END);
    ::close(fd_);
    fd_ = -1;
    std::error_code ec;
    if (length == 0) fs::remove(path_, ec); // a run without a sample is no run
    fs::remove(OpenMarker(path_), ec);
}

std::vector<JournalRun> ListJournalRuns(const std::string& folder) {
    std::vector<JournalRun> runs;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        if (e.path().extension() != ".mvx" || !e.is_regular_file(ec)) continue;
        JournalRun r;
        r.Path = e.path().string();
        r.Name = e.path().stem().string();
        if (const auto cut = r.Name.find('_'); cut != std::string::npos) {
            r.Name[cut] = ' ';
            for (std::size_t i = cut + 1; i < r.Name.size() && i < cut + 9; ++i)
                if (r.Name[i] == '-') r.Name[i] = ':';
        }
        r.Bytes = e.file_size(ec);
        r.Records = ItemRecordCount(r.Bytes);
        r.Saved = fs::exists(SavedMarker(r.Path), ec);
        if (fs::exists(OpenMarker(r.Path), ec))
            (WriterAlive(OpenMarker(r.Path)) ? r.Running : r.Unfinished) = true;
        if (r.Unfinished) {
            // Its writer cannot cut the room it reserved, nor join its channels, any more.
            if (const int fd = ::open(r.Path.c_str(), O_RDWR | O_CLOEXEC); fd >= 0) {
                CutAndSync(fd);
                MergeChannelFiles(r.Path, fd);
                ::close(fd);
            }
            r.Bytes = fs::file_size(r.Path, ec);
            r.Records = ItemRecordCount(r.Bytes);
        }
        runs.push_back(std::move(r));
    }
    std::sort(runs.begin(), runs.end(),
              [](const JournalRun& a, const JournalRun& b) { return a.Path < b.Path; });
    return runs;
}

void MarkJournalRunSaved(const std::string& runPath) {
    std::ofstream(SavedMarker(runPath), std::ios::trunc);
}

void AcknowledgeJournalRun(const std::string& runPath) {
    std::error_code ec;
    if (!WriterAlive(OpenMarker(runPath))) fs::remove(OpenMarker(runPath), ec);
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
        std::error_code ec;
        if (!fs::remove(r.Path, ec)) continue;
        fs::remove(SavedMarker(r.Path), ec);
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
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return 0;
    const off_t length = CutAndSync(fd);
    ::close(fd);
    return static_cast<std::uint64_t>(length) / kChartItemSize;
}

void MergeChannelFiles(const std::string& runPath, int fd) {
    for (int channel = 1; channel < kMaxChannelFiles; ++channel) {
        const std::string path = ChannelPath(runPath, channel);
        const int from = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (from < 0) continue;
        off_t left = CutAndSync(from);
        off_t in = 0;
        const off_t base = ::lseek(fd, 0, SEEK_END);
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
            std::error_code ec;
            fs::remove(path, ec);
        } else if (::ftruncate(fd, base) != 0) {
            // The run keeps the part; its records are whole all the same.
        }
    }
}
