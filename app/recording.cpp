#include "app/recording.h"

#include "serial/core/comerror.h"

#include <QTimer>

#include <ctime>
#include <exception>

// Every sample goes to the lists first, then to each further sink; the line limit is asked here.
class Recording::Fan : public SampleSink {
public:
    explicit Fan(Recording& r) : r_(r) {}
    void MoveToPoint(int channel, double x, double y, double time) override {
        r_.lists_.MoveToPoint(channel, x, y, time);
        for (SampleSink* s : r_.extra_)
            s->MoveToPoint(channel, x, y, time);
    }
    void LineToPoint(int channel, double x, double y, double time) override {
        r_.lists_.LineToPoint(channel, x, y, time);
        for (SampleSink* s : r_.extra_)
            s->LineToPoint(channel, x, y, time);
    }
    void ChannelsChanged(const AcquisitionState& state) override {
        r_.lists_.ChannelsChanged(state);
        for (SampleSink* s : r_.extra_)
            s->ChannelsChanged(state);
    }
    void Mark(double x, double time, std::string_view text) override {
        r_.lists_.Mark(x, time, text);
        for (SampleSink* s : r_.extra_)
            s->Mark(x, time, text);
    }
    bool TakesLine() override {
        if (r_.taken_ >= r_.limit_ || !r_.lists_.TakesLine()) return false;
        ++r_.taken_;
        return true;
    }

private:
    Recording& r_;
};

Recording::Recording(ByteSource& source, ListSink& lists, QObject* parent)
    : QObject(parent), source_(source), lists_(lists), fan_(std::make_unique<Fan>(*this)) {
    source_.OnBytes = [this](std::string_view bytes) { Received(bytes); };
    source_.OnLine = [this](std::string_view line, int channel, std::string_view name) {
        ReceivedLine(line, channel, name);
    };
    source_.OnLost = [this] { Lost(); };
    // A channel's list lives in the journal from its first sample on.
    lists_.OnNewList = [this](int channel, TItemStore& list) {
        try {
            journal_.Back(list, channel);
        } catch (const EJournalError& e) {
            Fault(e);
        }
    };
    syncTimer_ = new QTimer(this);
    syncTimer_->setInterval(kSyncMs);
    connect(syncTimer_, &QTimer::timeout, this, [this] { Sync(); });
    reconnectTimer_ = new QTimer(this);
    reconnectTimer_->setInterval(kReconnectMs);
    connect(reconnectTimer_, &QTimer::timeout, this, [this] { TryReopen(); });
    pollTimer_ = new QTimer(this);
    pollTimer_->setTimerType(Qt::PreciseTimer);
    connect(pollTimer_, &QTimer::timeout, this, [this] { Poll(); });
}

Recording::~Recording() {
    source_.OnBytes = nullptr;
    source_.OnLine = nullptr;
    source_.OnLost = nullptr;
    lists_.OnNewList = nullptr;
}

void Recording::Start() {
    if (state_ == State::Waiting) return; // the run goes on once the source is back; Stop ends it
    source_.Open();
    state_ = State::Running;
    if (OnRunBegins) OnRunBegins();
    Opened();
    losses_ = 0;
    lossReportDue_ = false;
    lossMessage_.clear();
    taken_ = 0;
    fullTold_ = false;
    lists_.Restart();
    acquisition_.Restart();
    if (!journalFolder_.empty()) {
        try {
            journal_.Begin(journalFolder_, std::time(nullptr));
            syncTimer_->start();
            Sync();
        } catch (const EJournalError& e) {
            Fault(e);
        }
    }
    for (const std::string& mark : initMarks_)
        AddMark(mark);
}

Recording::Ended Recording::Stop() {
    if (state_ == State::Idle) return {};
    const bool wasWaiting = state_ == State::Waiting;
    StopPoll();
    state_ = State::Idle;
    reconnectTimer_->stop();
    lossReportDue_ = false;
    if (!wasWaiting) source_.Close();
    TakePendingLine();
    syncTimer_->stop();
    if (OnEnding) OnEnding();
    Ended ended{journal_.Path(), journal_.Active()};
    journal_.End();
    if (wasWaiting && OnStateChanged) OnStateChanged();
    return ended;
}

void Recording::Received(std::string_view bytes) {
    if (state_ == State::Waiting && source_.IsOpen()) Back();
    if (state_ != State::Running) return;
    Took(acquisition_.Receive(bytes, *fan_, OnShown));
}

void Recording::ReceivedLine(std::string_view line, int channel, std::string_view name) {
    if (state_ == State::Waiting && source_.IsOpen()) Back();
    if (state_ != State::Running) return;
    Took(acquisition_.ReceiveLine(line, channel, name, *fan_, OnShown));
}

void Recording::Took(int added) {
    if (added > 0) Follow();
    if (OnReceived) OnReceived(added);
    if (Full() && !fullTold_) {
        fullTold_ = true;
        if (OnFull) OnFull();
    }
}

// A line that came without its line end is taken as a sample.
void Recording::TakePendingLine() {
    const int added = acquisition_.Finish(*fan_, OnShown);
    Follow();
    if (OnReceived) OnReceived(added);
}

// The source closed by itself. The run, its lists and its journal stay as they are and wait for it; its
// next sample starts a new stretch of the line.
void Recording::Lost() {
    if (state_ != State::Running) return;
    TakePendingLine(); // the source sends no more of it
    ++losses_;
    if (!reconnect_) {
        if (OnGone) OnGone();
        return;
    }
    acquisition_.BreakLine();
    state_ = State::Waiting;
    lossMessage_.clear();
    lossReportDue_ = true; // the port reports the loss right after it closed
    reconnectTimer_->start();
    if (OnStateChanged) OnStateChanged();
}

bool Recording::TakeLossReport(const std::string& message) {
    if (!lossReportDue_) return false;
    lossReportDue_ = false;
    lossMessage_ = message;
    if (state_ == State::Waiting && OnStateChanged) OnStateChanged();
    return true;
}

// Once a tick while waiting: the source is back when it is there and opens. One that does not open yet
// (a device node still being set up) is tried again at the next tick.
void Recording::TryReopen() {
    if (state_ != State::Waiting) return reconnectTimer_->stop();
    lossReportDue_ = false; // the report came with the loss, or none will
    if (!source_.Present()) return;
    try {
        source_.Reopen();
    } catch (...) {
        lossMessage_ = DescribeException(std::current_exception()).message;
        if (OnStateChanged) OnStateChanged();
    }
    if (source_.IsOpen()) Back();
}

// The source is open again: the run goes on from here. A source that connects on its own (a TCP
// server, a broker) may bring its first bytes before the next reconnect tick sees it open; they
// are the run's too.
void Recording::Back() {
    reconnectTimer_->stop();
    state_ = State::Running;
    Opened();
    if (OnStateChanged) OnStateChanged();
}

void Recording::Sync() {
    if (!journal_.Active()) return;
    try {
        journal_.Sync();
    } catch (const EJournalError& e) {
        return Fault(e);
    }
    if (OnSynced) OnSynced();
}

// The samples are in the journal's files as they are appended; when a file could take no more, its list
// went on in memory and the owner is told.
void Recording::Follow() {
    try {
        journal_.Follow();
    } catch (const EJournalError& e) {
        Fault(e);
    }
}

void Recording::Fault(const EJournalError& e) {
    syncTimer_->stop();
    if (OnJournalFault) OnJournalFault(e);
}

// Only a source that is there is written to.
bool Recording::Put(std::string_view bytes) {
    return state_ == State::Running && source_.IsOpen() && source_.Write(bytes);
}

// The source has just opened: its init commands go before anything else is sent or read.
void Recording::Opened() {
    for (const std::string& command : initCommands_)
        Put(command);
}

bool Recording::Send(std::string_view bytes, const std::string& mark) {
    if (!Put(bytes)) return false;
    AddMark(mark);
    return true;
}

bool Recording::AddMark(const std::string& text, std::optional<Acquisition::MarkPlace> place) {
    if (state_ == State::Idle || text.empty()) return false;
    if (TItemStore* marks = lists_.MarksList(); marks && journal_.Active() && !marks->BackedByFile()) {
        try {
            if (marks->ItemCount() == 0) journal_.Back(*marks, Journal::kMarks);
        } catch (const EJournalError& e) {
            Fault(e);
        }
    }
    const Acquisition::MarkPlace at = place ? *place : acquisition_.MarkNow();
    fan_->Mark(at.X, at.Time, text);
    if (OnMark) OnMark(text);
    return true;
}

void Recording::StartPoll(std::string bytes, int intervalMs, const std::string& mark) {
    StopPoll();
    if (bytes.empty()) return;
    pollBytes_ = std::move(bytes);
    pollMark_ = mark;
    if (!mark.empty()) AddMark("Abfrage " + mark);
    pollTimer_->start(std::max(intervalMs, kLeastPollMs));
    Poll(); // the first query at once
}

void Recording::StopPoll() {
    if (pollBytes_.empty()) return;
    pollTimer_->stop();
    pollBytes_.clear();
    if (!pollMark_.empty()) AddMark("Ende " + pollMark_);
    pollMark_.clear();
}

// A tick of the poll: a source that is away is not asked (the poll goes on when it is back).
void Recording::Poll() {
    Put(pollBytes_);
}
