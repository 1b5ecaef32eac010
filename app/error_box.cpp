#include "app/error_box.h"

#include "app/local_texts.h"

#include "app/termination.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <deque>

namespace errorbox {
namespace {
ShowFn& Hook() {
    static ShowFn hook;
    return hook;
}

// One message and how often it came while it waited or was shown.
struct Entry {
    QString message;
    QString detail;
    int count = 1;
    bool Same(const QString& m, const QString& d) const { return message == m && detail == d; }
    QString Text() const { return count > 1 ? QStringLiteral("%1 (%2 ×)").arg(message).arg(count) : message; }
};

// The box on screen and the messages behind it. An error that escapes a handler on every notification
// would otherwise open a box per notification, each nested in the previous one's event loop.
struct Boxes {
    Entry shown;
    QPointer<QMessageBox> box;
    std::deque<Entry> waiting;
};

Boxes& State() {
    static Boxes boxes;
    return boxes;
}
} // namespace

void SetShow(ShowFn fn) {
    Hook() = std::move(fn);
}

void Show(const QString& said, const QString& saidDetail) {
    // What the plain layers said in German, in the window's language.
    const QString message = LocalText(said), detail = LocalText(saidDetail);
    if (Hook()) {
        Hook()(message);
        return;
    }
    Boxes& s = State();
    if (s.box) {
        // A box is open: the same message again is counted there, another one waits for its turn.
        if (s.shown.Same(message, detail)) {
            ++s.shown.count;
            s.box->setText(s.shown.Text());
            return;
        }
        for (Entry& e : s.waiting)
            if (e.Same(message, detail)) {
                ++e.count;
                return;
            }
        s.waiting.push_back({message, detail});
        return;
    }
    s.waiting.push_back({message, detail});
    while (!s.waiting.empty() && !TerminationRequested()) {
        s.shown = std::move(s.waiting.front());
        s.waiting.pop_front();
        QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), s.shown.Text(),
                        QMessageBox::Ok, QApplication::activeWindow());
        if (!s.shown.detail.isEmpty()) box.setInformativeText(s.shown.detail);
        s.box = &box;
        box.exec();
        s.box = nullptr;
    }
}

void ShowLater(const QString& message, const QString& detail) {
    QTimer::singleShot(0, qApp, [message, detail] { Show(message, detail); });
}

} // namespace errorbox
