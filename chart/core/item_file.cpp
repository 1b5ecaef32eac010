#include "chart/core/item_file.h"

#include "chart/core/item_memory.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <new>
#include <string_view>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ErrnoText(int err) {
    return std::generic_category().message(err);
}

constexpr const char* kNotRegular = "it is not a regular file";

// Closes the descriptor when it goes out of scope; Close() reports the error of an explicit close.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }
    // Returns 0 or the errno of a failed close; the descriptor is released either way.
    int Close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// Removes the temporary file unless the save got as far as renaming it over the target.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!committed_) ::unlink(path_.c_str());
    }
    const std::string& Path() const { return path_; }
    void Commit() { committed_ = true; }

private:
    std::string path_;
    bool committed_ = false;
};

// Returns 0 or the errno of the failed write.
int WriteAll(int fd, const std::byte* data, std::size_t size) {
    // Large single writes are split: Linux transfers at most about 2 GiB per call anyway.
    constexpr std::size_t kChunk = std::size_t{1} << 30;
    while (size > 0) {
        ssize_t n = ::write(fd, data, size < kChunk ? size : kChunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

int WriteParts(int fd, std::span<const std::span<const TChartItem>> parts) {
    for (const std::span<const TChartItem>& part : parts)
        if (const int err = WriteAll(fd, reinterpret_cast<const std::byte*>(part.data()), part.size_bytes()))
            return err;
    return 0;
}

// The file actually written: a symbolic link keeps pointing at the file it names, which is replaced.
std::filesystem::path ResolveTarget(const std::string& fileName) {
    std::filesystem::path target(fileName);
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
        auto resolved = std::filesystem::weakly_canonical(target, ec);
        if (!ec) return resolved;
    }
    return target;
}

// Tries fresh hidden names beside the target (its name, the kind, the process id and a counter) until
// `make` creates one (false with errno set when it cannot): returns that name, or an empty one with err
// set (EEXIST when a hundred names were taken).
std::string MakeBeside(const std::filesystem::path& target, const char* kind,
                       const std::function<bool(const std::filesystem::path&)>& make, int& err) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path dir = target.parent_path();
    const std::string base = "." + target.filename().string() + kind + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = dir / (base + std::to_string(counter.fetch_add(1)));
        if (make(candidate)) {
            err = 0;
            return candidate.string();
        }
        if (errno != EEXIST) {
            err = errno;
            return {};
        }
    }
    err = EEXIST;
    return {};
}

FileDescriptor CreateTemporaryBeside(const std::filesystem::path& target, std::string& tempPath, int& err) {
    int fd = -1;
    tempPath = MakeBeside(
        target, ".tmp",
        [&](const std::filesystem::path& candidate) {
            // 0666 lets the umask decide the permissions, as for any newly created file.
            fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            return fd >= 0;
        },
        err);
    return FileDescriptor(fd); // -1 when no name could be made
}

void SyncDirectory(const std::filesystem::path& dir) {
    // Makes the rename itself durable; the data is already safe, so a failure here changes nothing visible.
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

EItemFileError::EItemFileError(const std::string& action, std::string fileName, std::string reason)
    : std::runtime_error(action + " \"" + fileName + "\": " + reason), fileName_(std::move(fileName)),
      reason_(std::move(reason)) {}

namespace {

// Rewrites an existing file in place, for a folder in which no temporary file can be made. The room is
// taken before the first byte changes, so a full disk leaves the old contents as they were.
void SaveInPlace(const std::string& fileName, const std::filesystem::path& target,
                 const std::function<int(int fd)>& write, std::size_t size) {
    FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd.Get() < 0) throw EItemFileError("Cannot write", fileName, ErrnoText(errno));
    if (size > 0) {
        const int err = ::posix_fallocate(fd.Get(), 0, static_cast<off_t>(size));
        if (err != 0 && err != EOPNOTSUPP && err != EINVAL)
            throw EItemFileError("Cannot write", fileName, ErrnoText(err));
    }
    int err = write(fd.Get());
    const off_t written = err == 0 ? ::lseek(fd.Get(), 0, SEEK_CUR) : 0;
    if (err == 0 && written < 0) err = errno;
    if (err == 0 && ::ftruncate(fd.Get(), written) != 0) err = errno;
    if (err == 0 && ::fsync(fd.Get()) != 0) err = errno;
    if (err == 0) err = fd.Close();
    if (err != 0) throw EItemFileError("Cannot write", fileName, ErrnoText(err));
}

} // namespace

void SaveItems(const std::string& fileName, std::span<const TChartItem> items) {
    const std::span<const TChartItem> parts[] = {items};
    SaveItemParts(fileName, parts);
}

void SaveItemParts(const std::string& fileName, std::span<const std::span<const TChartItem>> parts) {
    std::size_t size = 0;
    for (const std::span<const TChartItem>& part : parts)
        size += part.size_bytes();
    SaveWholeFile(
        fileName, [parts](int fd) { return WriteParts(fd, parts); }, [size] { return size; });
}

void SaveWholeFile(const std::string& fileName, const std::function<int(int fd)>& write,
                   const std::function<std::size_t()>& size) {
    const std::filesystem::path target = ResolveTarget(fileName);
    struct stat old {};
    bool targetExists = ::stat(target.c_str(), &old) == 0;
    if (targetExists && S_ISDIR(old.st_mode))
        throw EItemFileError("Cannot create", fileName, ErrnoText(EISDIR));
    // A device or a pipe would be replaced by a plain file (or, written in place, never be whole).
    if (targetExists && !S_ISREG(old.st_mode)) throw EItemFileError("Cannot write", fileName, kNotRegular);
    // The rename could replace a file the user may not write; such a file stays protected.
    if (targetExists && ::access(target.c_str(), W_OK) != 0)
        throw EItemFileError("Cannot write", fileName, ErrnoText(errno));

    std::string tempPath;
    int err = 0;
    FileDescriptor fd = CreateTemporaryBeside(target, tempPath, err);
    if (fd.Get() < 0) {
        // A writable file in a folder the user may not write: it can only be written where it is, unless
        // it has other names (a recording's journal run), which must keep what they hold.
        if (targetExists && (err == EACCES || err == EPERM) && old.st_nlink == 1)
            return SaveInPlace(fileName, target, write, size());
        throw EItemFileError("Cannot create", fileName, ErrnoText(err));
    }
    TemporaryFile temp(tempPath);

    // Replacing a file keeps its owner and group where the user may set them (the owner only as root, a
    // group the user belongs to), then the permissions the user gave it.
    if (targetExists) {
        if (::fchown(fd.Get(), old.st_uid, old.st_gid) != 0) {
            [[maybe_unused]] const int groupOnly = ::fchown(fd.Get(), static_cast<uid_t>(-1), old.st_gid);
        }
        ::fchmod(fd.Get(), old.st_mode & 07777);
    }

    if ((err = write(fd.Get())) != 0) throw EItemFileError("Cannot write", fileName, ErrnoText(err));
    if (::fsync(fd.Get()) != 0) throw EItemFileError("Cannot write", fileName, ErrnoText(errno));
    if ((err = fd.Close()) != 0) throw EItemFileError("Cannot write", fileName, ErrnoText(err));
    if (::rename(temp.Path().c_str(), target.c_str()) != 0)
        throw EItemFileError("Cannot write", fileName, ErrnoText(errno));
    temp.Commit();
    SyncDirectory(target.parent_path());
}

namespace {
// Fills `into` from the file's bytes at `offset`; a file that ends first is an error.
void ReadExactly(int fd, std::span<std::byte> into, off_t offset, const std::string& fileName) {
    while (!into.empty()) {
        const ssize_t n = ::pread(fd, into.data(), into.size(), offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EItemFileError("Cannot read", fileName, ErrnoText(errno));
        }
        if (n == 0)
            throw EItemFileError("Cannot read", fileName, "the file became shorter while it was read");
        into = into.subspan(static_cast<std::size_t>(n));
        offset += n;
    }
}
} // namespace

std::vector<TChartItem> LoadItems(const std::string& fileName) {
    FileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) throw EItemFileError("Cannot open", fileName, ErrnoText(errno));

    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) throw EItemFileError("Cannot read", fileName, ErrnoText(errno));
    if (S_ISDIR(st.st_mode)) throw EItemFileError("Cannot read", fileName, ErrnoText(EISDIR));

    const std::size_t count = ItemRecordCount(static_cast<std::size_t>(st.st_size));
    // The chart counts its items in a signed 32-bit integer.
    if (count > static_cast<std::size_t>(INT32_MAX))
        throw EItemFileError("Cannot read", fileName, "the file holds more items than a chart can take");

    std::vector<TChartItem> items;
    try {
        ReserveItems(items, count);
        items.resize(count);
    } catch (const std::bad_alloc&) {
        throw EItemFileError("Cannot read", fileName, ErrnoText(ENOMEM));
    } catch (const std::length_error&) {
        throw EItemFileError("Cannot read", fileName, ErrnoText(ENOMEM));
    }

    ReadExactly(fd.Get(), std::as_writable_bytes(std::span(items)), 0, fileName);
    return items;
}

ItemFileReader::ItemFileReader(const std::string& fileName) : fileName_(fileName) {
    FileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) throw EItemFileError("Cannot open", fileName, ErrnoText(errno));
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) throw EItemFileError("Cannot read", fileName, ErrnoText(errno));
    if (S_ISDIR(st.st_mode)) throw EItemFileError("Cannot read", fileName, ErrnoText(EISDIR));
    length_ = static_cast<std::uint64_t>(st.st_size);
    fd_ = fd.Release();
}

ItemFileReader::~ItemFileReader() {
    ::close(fd_);
}

TChartItem ItemFileReader::Record(std::uint64_t index) const {
    TChartItem item;
    Read(index, std::span(&item, 1));
    return item;
}

void ItemFileReader::Read(std::uint64_t first, std::span<TChartItem> into) const {
    ReadExactly(fd_, std::as_writable_bytes(into), static_cast<off_t>(first * kChartItemSize), fileName_);
}

std::shared_ptr<TItemBlock> LoadItemBlock(const std::string& fileName) {
    FileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) throw EItemFileError("Cannot open", fileName, ErrnoText(errno));
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) throw EItemFileError("Cannot read", fileName, ErrnoText(errno));
    const std::size_t count = ItemRecordCount(static_cast<std::size_t>(st.st_size));
    if (!S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) < kMapFrom || count > INT32_MAX)
        return std::make_shared<TItemBlock>(LoadItems(fileName));
    try {
        return TItemBlock::MapFile(fd.Get(), count);
    } catch (const std::system_error& e) {
        throw EItemFileError("Cannot read", fileName, ErrnoText(e.code().value()));
    }
}

std::vector<std::pair<int, int>> ChannelRanges(std::span<const TChartItem> items) {
    std::vector<std::pair<int, int>> ranges;
    for (const auto& [begin, end] : ChannelRecordRanges(
             items.size(), [items](std::uint64_t i) { return items[static_cast<std::size_t>(i)].ItemClass; }))
        ranges.emplace_back(static_cast<int>(begin), static_cast<int>(end));
    return ranges;
}

std::vector<std::pair<std::uint64_t, std::uint64_t>> ChannelRanges(const ItemFileReader& file) {
    return ChannelRecordRanges(file.Records(), [&file](std::uint64_t i) { return file.Record(i).ItemClass; });
}

std::string RecordText(const TChartItem& item) {
    const int length = std::min<int>(item.Text[0], 17);
    return std::string(reinterpret_cast<const char*>(item.Text + 1), static_cast<std::size_t>(length));
}

TLoadedChannels LoadItemChannels(const std::string& fileName) {
    TLoadedChannels loaded{LoadItemBlock(fileName), {}};
    const TChartItem* items = loaded.Block->Data();
    for (const auto& [begin, end] : ChannelRecordRanges(loaded.Block->Size(), [items](std::uint64_t i) {
             return items[static_cast<std::size_t>(i)].ItemClass;
         }))
        loaded.Channels.emplace_back(static_cast<std::size_t>(begin), static_cast<std::size_t>(end));
    return loaded;
}

std::string ItemFileLengthNote(std::uint64_t fileLength) {
    const std::uint64_t rest = fileLength % kChartItemSize;
    if (fileLength < kChartItemSize)
        return "holds no record (" + std::to_string(fileLength) + " bytes, a record has " +
               std::to_string(kChartItemSize) + ")";
    if (rest != 0)
        return "ends in " + std::to_string(rest) +
               " bytes that are no whole record (its length is not a multiple of " +
               std::to_string(kChartItemSize) + "); they are passed over";
    return {};
}

namespace {
// The permissions a newly created file gets here: 0666 less the process's umask (read from the kernel's
// status, which leaves the umask untouched; where that is not there, set and put back at once).
mode_t NewFileMode() {
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found) return 0666 & ~static_cast<mode_t>(mask);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}
} // namespace

bool LinkWholeFile(const std::string& source, const std::string& fileName) {
    const std::filesystem::path target = ResolveTarget(fileName);
    struct stat old {};
    struct stat run {};
    if (::stat(source.c_str(), &run) != 0 || !S_ISREG(run.st_mode)) return false;
    const bool targetExists = ::stat(target.c_str(), &old) == 0;
    // A target that is no plain file or may not be written: SaveWholeFile says why. One of another owner
    // or group keeps them when it is replaced, which only a new file can do.
    if (targetExists && (!S_ISREG(old.st_mode) || ::access(target.c_str(), W_OK) != 0 ||
                         old.st_uid != run.st_uid || old.st_gid != run.st_gid))
        return false;
    int err = 0;
    const std::string name = MakeBeside(
        target, ".link",
        [&](const std::filesystem::path& candidate) {
            return ::link(source.c_str(), candidate.c_str()) == 0;
        },
        err);
    if (name.empty()) return false; // another file system, or one without links
    // The permissions a saved file has: those of the file it replaces, or a new file's. The other name
    // stays private through its folder.
    if (::chmod(name.c_str(), targetExists ? (old.st_mode & 07777) : NewFileMode()) != 0 ||
        ::rename(name.c_str(), target.c_str()) != 0) {
        ::unlink(name.c_str());
        return false;
    }
    SyncDirectory(target.parent_path());
    return true;
}
