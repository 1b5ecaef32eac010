#pragma once
// The acquisition journal: from Start on, every record of a run goes to a file of the user's data folder
// as it arrives, so that neither a crash nor a kill loses a sample. The file is the plain acquisition
// format (headerless 104-byte records), named by the run's start time. Plain C++ on POSIX.
//
// Records are written to the file at once (a crash of the program loses none of them) and flushed to the
// disk by Sync, which the owner calls at least once a second (a power cut loses at most that second).
// Beside the run lies "<run>.open" with the writer's process id while the run goes on, and
// "<run>.saved" once the user saved it elsewhere.

#include "chart/core/item.h"

#include <cstdint>
#include <ctime>
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
    Journal() = default;
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // $XDG_DATA_HOME/mevrant, else ~/.local/share/mevrant.
    static std::string DefaultFolder();

    // Starts a run in the folder (made when missing): a new file named by the local start time. Throws
    // EJournalError; the journal is then inactive.
    void Begin(const std::string& folder, std::time_t start);
    bool Active() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    std::uint64_t Records() const { return records_; }

    // Writes the records of a growing list that it has not written yet. A changed generation means the
    // list was replaced (the graph cleared): its records are new from the start. A failed write ends the
    // journal and throws EJournalError once; later calls do nothing.
    void AppendNew(const TChartItem* items, int count, std::uint64_t generation);
    // Flushes what was written to the disk. Throws EJournalError as AppendNew does.
    void Sync();
    // Flushes, closes and marks the run finished. Never throws: a failure here loses nothing written.
    void End();

private:
    [[noreturn]] void Fail(const std::string& what, int error);

    int fd_ = -1;
    std::string path_;
    std::uint64_t records_ = 0;
    int written_ = 0; // records of the current list generation written
    std::uint64_t generation_ = 0;
};

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

// The runs of a folder, oldest first.
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
