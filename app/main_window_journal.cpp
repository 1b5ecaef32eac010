// The main window's journal: its folder and limits, the question about a run that did not end properly,
// the "Letzte Erfassungen" menu, and what the window shows of the running run's journal.

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/termination.h"
#include "chart/kartex.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>

#include <cmath>

namespace {
constexpr int kKeepRuns = 20;
constexpr double kKeepGigabytes = 5;
constexpr std::uint64_t kLowSpace = 1'000'000'000;
} // namespace

void TForm1::KeepJournal(const std::string& folder) {
    journalFolder_ = folder;
    // A limit that is no number, or none a folder can keep to, is the default: a hostile value must not
    // make the trim delete every saved run.
    int runs = kKeepRuns;
    double gigabytes = kKeepGigabytes;
    if (settings_) {
        bool ok = false;
        const int r = settings_->value("journal/keepRuns", kKeepRuns).toInt(&ok);
        if (ok && r >= 1) runs = r;
        const double g = settings_->value("journal/keepGigabytes", kKeepGigabytes).toDouble(&ok);
        if (ok && std::isfinite(g) && g >= 0 && g <= 1e9) gigabytes = g;
    }
    if (settings_ && !settings_->contains("journal/keepRuns")) {
        // Written once, so that the limits can be found and changed in the settings file.
        settings_->setValue("journal/keepRuns", runs);
        settings_->setValue("journal/keepGigabytes", gigabytes);
    }
    TrimJournal(folder, static_cast<std::size_t>(runs), static_cast<std::uint64_t>(gigabytes * 1e9));
    for (const JournalRun& r : ListJournalRuns(folder)) {
        if (!r.Unfinished) continue;
        const QString question = tr("Die Erfassung vom %1 wurde nicht ordentlich beendet; %2 Messwerte sind "
                                    "gesichert.\nJetzt öffnen?")
                                     .arg(QString::fromStdString(r.Name))
                                     .arg(r.Records);
        SayLive(JournalStatusLabel, [name = QString::fromStdString(r.Name)] {
            return tr("Nicht beendete Erfassung: %1").arg(name);
        });
        const bool open =
            ask_ ? ask_(question) : QMessageBox::question(this, windowTitle(), question) == QMessageBox::Yes;
        if (TerminationRequested()) return; // not answered: offered again at the next start
        AcknowledgeJournalRun(r.Path);
        if (open) errorbox::Guard([&] { OpenJournalRun(QString::fromStdString(r.Path)); });
    }
}

void TForm1::OpenJournalRun(const QString& path) {
    HideReadOut();
    Kartex1->LoadItemFile(path.toStdString(), true);
    chartLoaded_ = true;
    chartRun_ = path;
    ChartLoaded();
    NoteOddFile(path);
    SayLive(JournalStatusLabel, [file = QFileInfo(path).fileName()] { return tr("Geöffnet: %1").arg(file); });
}

void TForm1::JournalSynced() {
    const std::uint64_t free = FreeBytes(journalFolder_);
    if (free < kLowSpace)
        SayLive(JournalStatusLabel, [free] {
            return tr("Wenig Platz: %1 GB frei")
                .arg(QLocale().toString(static_cast<double>(free) / 1e9, 'f', 2));
        });
}

// Told once: the acquisition goes on in memory, unprotected. The fault is met while samples arrive; the
// box opens after the receive handler returned, so the device is read on while it is open.
void TForm1::JournalFault(const EJournalError& e) {
    chartRun_.clear();
    SayLive(JournalStatusLabel, [] { return tr("Nicht gesichert"); });
    errorbox::ShowLater(QString::fromStdString(e.what()), {});
}

void TForm1::FillRecentRuns() {
    LetzteErfassungen->clear();
    std::vector<JournalRun> runs =
        journalFolder_.empty() ? std::vector<JournalRun>{} : ListJournalRuns(journalFolder_);
    if (runs.empty()) LetzteErfassungen->addAction(tr("(keine)"))->setEnabled(false);
    for (auto r = runs.rbegin(); r != runs.rend(); ++r) {
        const QString name = QString::fromStdString(r->Name);
        // A run in progress has room reserved ahead of its samples: no count yet.
        QAction* a = LetzteErfassungen->addAction(
            r->Running ? tr("%1   läuft").arg(name)
                       : tr("%1   %2 Messwerte   %3")
                             .arg(name)
                             .arg(r->Records)
                             .arg(r->Saved ? tr("gespeichert") : tr("nicht gespeichert")));
        a->setEnabled(!r->Running);
        const QString path = QString::fromStdString(r->Path);
        connect(a, &QAction::triggered, this,
                [this, path] { errorbox::Guard([&] { OpenJournalRun(path); }); });
    }
}
