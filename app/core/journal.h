#pragma once
// The acquisition journal: from Start on, a run's records live in a file of the user's data folder, so
// that neither a crash nor a kill loses a sample and no length of run is limited by memory. The file is
// the plain acquisition format (headerless 104-byte records), named by the run's start time. Plain C++
// on POSIX.
//
// The chart's item list is a shared mapping of the file (TItemStore::BackWithFile): a record is in the
// file's pages the moment it is appended, so a crash of the program loses none, and Sync, which the
// owner calls at least once a second, has them put on the disk by a thread of the journal's own (a
// power cut loses at most that second and the one sync then under way; the owner never waits for the
// disk).
// The file grows ahead of the list in reserved steps; what lies beyond the last record is zero and is
// cut off when the run ends, or when a run whose writer died is found. Further channels of a run live in
// files of their own beside it until it ends (see ChannelFd). Beside the run lies "<run>.open"
// with the writer's process id while the run goes on, and "<run>.saved" once the user saved it.

#include "chart/core/item.h"
#include "chart/core/item_store.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// A journal that cannot be written; what() is the message the user sees.
class EJournalError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Journal {
public:
    Journal();
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // $XDG_DATA_HOME/mevrant, else ~/.local/share/mevrant.
    static std::string DefaultFolder();

    // Starts a run in the folder (made when missing, private to the user): a new file named by the local
    // start time. The journal holds a lock on the run's file for as long as the run goes on: that lock,
    // not the process id beside it, tells a running run from one whose writer is gone, whatever process
    // namespace or machine the writer runs in. Throws EJournalError; the journal is then inactive.
    void Begin(const std::string& folder, std::time_t start);
    bool Active() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    // The file a channel's list lives in, open for reading and writing: channel 1 (0) in the run's file,
    // channel c + 1 in "<run>.ch<c + 1>", made empty on first use. When the run ends every channel's
    // records are appended to the run's file, channel after channel, so a finished run is one plain
    // file. Throws EJournalError.
    int ChannelFd(int channel);
    // The channel number of the run's event marks: "<run>.marks", joined right after channel 1.
    static constexpr int kMarks = 16;
    // The list of a channel (0: the run's file) lives in the run from now on (TItemStore::BackWithFile).
    // The journal keeps it until the run ends and then seals it; when the run fails, it first moves every
    // such list into memory, so that no list goes on writing into a file the journal cuts. A list must
    // outlive the run or be cleared first. Throws EJournalError (the list then stays in memory).
    void Back(TItemStore& list, int channel);

    // Has what the lists wrote put on the disk (fdatasync of every file of the run) on the journal's
    // own thread and returns at once; a sync still under way is followed by one more. A failure of an
    // earlier sync ends the journal and throws EJournalError here.
    void Sync();
    // Called after the lists grew: when one of them could not go on in the file and went on in memory,
    // the journal ends, keeping what the files hold, and throws (once) the EJournalError the user is told.
    void Follow();
    // The same for a list backed without Back (it is not sealed or moved by the journal).
    void FollowList(const TItemStore& list);
    // Seals every list, flushes, cuts the zero tail, joins the channels, closes and marks the run
    // finished; a run without a record is removed. Never throws.
    void End();

private:
    [[noreturn]] void Fail(const std::string& reason);
    struct Syncer;

    int fd_ = -1;
    std::string path_;
    std::vector<TItemStore*> lists_; // those backed through Back
    std::vector<int> channelFds_;    // [c − 1]: channel c's file, −1 until used
    std::unique_ptr<Syncer> syncer_; // from the first Sync to End
};

// The file channel c's records live in while the run goes on: the run's own for channel 1 (0),
// "<run>.ch<c + 1>" for the others, "<run>.marks" for Journal::kMarks.
std::string JournalChannelPath(const std::string& run, int channel);

// Appends the channel files of a run ("<run>.ch2" …) to the run's file in channel order, each without
// its zero tail, and removes them. fd is the run's file, open for writing, already cut to its records.
// Its progress is kept in "<run>.merge", so that a merge cut short at any point (a kill, a power cut)
// is finished by the next one exactly once: no channel is lost or joined twice.
void MergeChannelFiles(const std::string& runPath, int fd);

// A run whose writer is gone (its open marker stays, its lock is free) is made whole: its zero tail is
// cut and its channels are joined, under its lock, so two recoveries never run at once and a running
// run is never touched. The marker stays (the run is still offered as unfinished). Returns whether the
// run was unfinished.
bool RecoverJournalRun(const std::string& runPath);

// Cuts the zero records at the end of a file (room reserved but never written). Returns the records left.
std::uint64_t CutZeroTail(const std::string& path);

// One kept run of a journal folder.
struct JournalRun {
    std::string Path;
    std::string Name;          // the start time, "2026-12-09 05:12:33"
    std::uint64_t Records = 0; // whole records
    std::uint64_t Bytes = 0;
    bool Saved = false;      // the user saved it elsewhere
    bool Running = false;    // its writer is still at work
    bool Unfinished = false; // its writer ended without finishing it (a crash, a kill, a power cut)
};

// The runs of a folder, oldest first. Unfinished runs are recovered (RecoverJournalRun) on the way.
std::vector<JournalRun> ListJournalRuns(const std::string& folder);

// Marks a run saved; it may then go when the folder holds more than it should keep.
void MarkJournalRunSaved(const std::string& runPath);

// Marks an unfinished run as seen: it stays kept (unsaved), and is no longer offered as unfinished.
void AcknowledgeJournalRun(const std::string& runPath);

// Deletes the oldest saved, finished runs while the folder holds more than keepRuns runs or more than
// keepBytes bytes of them. Unsaved runs are never deleted. Returns the paths deleted.
std::vector<std::string> TrimJournal(const std::string& folder, std::size_t keepRuns,
                                     std::uint64_t keepBytes);

// Free bytes for an unprivileged writer in the folder's file system (0 when it cannot be read).
std::uint64_t FreeBytes(const std::string& folder);
