#pragma once
// One run of an acquisition, the same for the window and "mevrant record": the bytes of a source, cut
// into lines and turned into samples (Acquisition), handed to the sinks (the lists of the chart's
// channels first, then any other), kept in the journal from the first sample and put on the disk once a
// second; a source that goes away is waited for and opened again, or ends the run, as its owner wants.
// Qt Core only (two timers): no widget. A new kind of source is one ByteSource, a new consumer of the
// samples one SampleSink.

#include "app/core/acquisition.h"
#include "app/core/journal.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QTimer;

// Where the bytes of a run come from: the serial port, a network socket or a broker. The recording sets the
// two callbacks; bytes are handed over on the thread the recording lives on, as they are read.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Opens the source for a new run. Throws what it meets (the owner shows it); nothing changed then.
    virtual void Open() = 0;
    // Opens the source again after it went away, where it was at Open. Throws as Open does.
    virtual void Reopen() { Open(); }
    // Closes the source; this is not a loss (OnLost is not called).
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Whether a source that went away looks back (the device's node exists): Reopen may succeed.
    virtual bool Present() const { return true; }
    // Where the source is, for the user ("/dev/serial/by-id/usb-…").
    virtual std::string Where() const = 0;
    // Sends bytes to the device without waiting for it; false when the source cannot (not open, or one
    // that only listens). A failure is shown by the source, as its other errors.
    virtual bool Write(std::string_view /*bytes*/) { return false; }

    std::function<void(std::string_view bytes)> OnBytes;
    // A source of messages rather than a stream (a broker's): one line per message, for a channel of
    // its own (≥ 0) with its name, or as any line (-1). See Acquisition::ReceiveLine.
    std::function<void(std::string_view line, int channel, std::string_view name)> OnLine;
    // The source closed by itself (the device went away).
    std::function<void()> OnLost;
    // Data was lost before it could be read (a datagram flood the reader could not keep up with): the
    // user's text, told once per Open.
    std::function<void(const std::string& text)> OnDropped;
};

class Recording : public QObject {
public:
    enum class State { Idle, Running, Waiting };
    static constexpr int kReconnectMs = 200;
    static constexpr int kSyncMs = 1000;

    Recording(ByteSource& source, ListSink& lists, QObject* parent = nullptr);
    ~Recording() override;

    Acquisition& Acq() { return acquisition_; }
    const Acquisition& Acq() const { return acquisition_; }
    const Journal& RunJournal() const { return journal_; }
    ByteSource& Source() { return source_; }
    State Now() const { return state_; }
    bool Running() const { return state_ != State::Idle; }
    bool Waiting() const { return state_ == State::Waiting; }

    // Further sinks, given every sample after the lists (a forwarder, say). Kept by reference.
    void AddSink(SampleSink& sink) { extra_.push_back(&sink); }
    // The folder the runs are kept in; empty: none (tests, a window without a journal).
    void SetJournalFolder(std::string folder) { journalFolder_ = std::move(folder); }
    // Whether a source that went away is waited for (the window) or ends the run (the recorder).
    void SetReconnect(bool on) { reconnect_ = on; }
    // At most this many lines of samples are taken; OnFull is called when the last was (mevrant record
    // --count). Later lines are dropped.
    void SetLineLimit(long long lines) { limit_ = lines; }
    long long LinesTaken() const { return taken_; }
    bool Full() const { return taken_ >= limit_; }

    // Opens the source and starts a new run: sample number, time axis, channels' lists and the journal
    // begin again. Throws what the source's Open throws, and nothing has changed then.
    void Start();
    // What a run leaves: the journal's file and whether it holds the whole run (no fault).
    struct Ended {
        std::string Run;
        bool Whole = false;
    };
    // ---- talking to the device: nothing is sent unless asked for ----
    // Commands sent once each time the source opens (Start and every reopen after a loss), before
    // anything is read, and before the first poll.
    // marks: one mark per non-empty text, made when a run starts (not at a reopen).
    void SetInitCommands(std::vector<std::string> commands, std::vector<std::string> marks = {}) {
        initCommands_ = std::move(commands);
        initMarks_ = std::move(marks);
    }
    // Sends a command now; false when no source is open to take it. A non-empty mark is told to OnMark.
    bool Send(std::string_view bytes, const std::string& mark = {});
    // A polled query: the bytes every intervalMs (kLeastPollMs at least; the window offers 10 and up)
    // while the run goes on, paused while the source is away; Stop and StopPoll end it. Its start and
    // its end are each one mark ("Abfrage MEAS?", "Ende MEAS?"), none per poll.
    static constexpr int kLeastPollMs = 1;
    void StartPoll(std::string bytes, int intervalMs, const std::string& mark = {});
    void StopPoll();
    bool Polling() const { return !pollBytes_.empty(); }
    // Marks this moment of the run (a mark of the user's; commands and polls make their own): to the
    // sinks' Mark (the chart's marks, kept in the journal) and to OnMark. False with no run or no text.
    bool AddMark(const std::string& text, std::optional<Acquisition::MarkPlace> at = std::nullopt);
    // A moment marked: a command sent, a poll begun or ended, a mark of the user's.
    std::function<void(const std::string& text)> OnMark;
    // Start opened the source: what shows the last run is cleared now (before the init commands).
    std::function<void()> OnRunBegins;
    // Stop took the last line and the journal's run is about to be finished (its channels joined):
    // what reads the run's files as it is written is done with them now.
    std::function<void()> OnEnding;

    // Ends the run (also while it waits for the source): a line without its line end is taken, the
    // source closed, the journal ended. Nothing happens when no run goes on.
    Ended Stop();

    // How often the source went away in this run, and the report that came with the last loss.
    int Losses() const { return losses_; }
    const std::string& LossMessage() const { return lossMessage_; }
    // A report of the source's (the port's error reporter). True when it is the report of the loss just
    // met: it is then kept as LossMessage, and only the first loss of a run is worth a box.
    bool TakeLossReport(const std::string& message);

    // Every received line shown to the user; sample tells whether it gave samples.
    std::function<void(std::string_view raw, bool sample)> OnShown;
    // After each notification's lines (and the pending line at the end): how many gave samples.
    std::function<void(int added)> OnReceived;
    // The line limit was reached.
    std::function<void()> OnFull;
    // The source went away without reconnecting (the run still goes on until Stop).
    std::function<void()> OnGone;
    // Waiting for the source began, a try to open it failed (LossMessage), or it is back.
    std::function<void()> OnStateChanged;
    // The journal cannot keep the run: it goes on in memory. Told once per run.
    std::function<void(const EJournalError& e)> OnJournalFault;
    // After each sync of the journal (the window looks at the free room then).
    std::function<void()> OnSynced;

private:
    class Fan;
    void Received(std::string_view bytes);
    void ReceivedLine(std::string_view line, int channel, std::string_view name);
    void Took(int added);
    void TakePendingLine();
    void Lost();
    void TryReopen();
    void Back();
    void Sync();
    void Follow();
    void Fault(const EJournalError& e);
    bool Put(std::string_view bytes);
    void Opened();
    void Poll();

    ByteSource& source_;
    ListSink& lists_;
    std::vector<SampleSink*> extra_;
    std::unique_ptr<Fan> fan_;
    Acquisition acquisition_;
    Journal journal_;
    std::string journalFolder_;
    QTimer* syncTimer_ = nullptr;
    QTimer* reconnectTimer_ = nullptr;
    QTimer* pollTimer_ = nullptr;
    std::vector<std::string> initCommands_;
    std::vector<std::string> initMarks_;
    std::string pollBytes_;
    std::string pollMark_;
    State state_ = State::Idle;
    bool reconnect_ = true;
    long long limit_ = 1LL << 62;
    long long taken_ = 0;
    bool fullTold_ = false;
    int losses_ = 0;
    bool lossReportDue_ = false;
    std::string lossMessage_;
};
