#include "app/error_box.h"

#include <QApplication>
#include <QMessageBox>

namespace errorbox {
namespace {
ShowFn& Hook() {
    static ShowFn hook;
    return hook;
}
} // namespace

void SetShow(ShowFn fn) {
    Hook() = std::move(fn);
}

void Show(const QString& message, const QString& detail) {
    if (Hook()) {
        Hook()(message);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    if (!detail.isEmpty()) box.setInformativeText(detail);
    box.exec();
}

} // namespace errorbox
