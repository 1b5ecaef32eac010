#include "app/value_label.h"

#include <QEvent>
#include <QMetaObject>
#include <QPainter>

ValueLabel::ValueLabel(QWidget* parent) : QLabel(parent) {
    for (QWidget* w = parent; w; w = w->parentWidget())
        w->installEventFilter(this);
}

void ValueLabel::paintEvent(QPaintEvent* event) {
    if (capturing_) return;
    const qreal ratio = devicePixelRatioF();
    if (!beneath_.isNull() && (beneath_.devicePixelRatio() != ratio || beneath_.size() != size() * ratio))
        Forget();
    if (beneath_.isNull()) {
        if (!captureDue_) {
            captureDue_ = true;
            QMetaObject::invokeMethod(
                this, [this] { Capture(); }, Qt::QueuedConnection);
        }
    } else {
        QPainter p(this);
        p.drawPixmap(0, 0, beneath_);
    }
    QLabel::paintEvent(event);
}

bool ValueLabel::event(QEvent* event) {
    if (ChangesBeneath(event->type())) Forget();
    return QLabel::event(event);
}

bool ValueLabel::eventFilter(QObject* watched, QEvent* event) {
    if (ChangesBeneath(event->type())) Forget();
    return QLabel::eventFilter(watched, event);
}

bool ValueLabel::ChangesBeneath(QEvent::Type t) {
    switch (t) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::FontChange:
    case QEvent::EnabledChange:
    case QEvent::ActivationChange:
    case QEvent::WindowStateChange:
    case QEvent::ParentChange:
    case QEvent::LayoutDirectionChange:
    case QEvent::ApplicationPaletteChange:
        return true;
    default:
        return false;
    }
}

void ValueLabel::Forget() {
    beneath_ = QPixmap();
    setAttribute(Qt::WA_OpaquePaintEvent, false); // the widgets beneath paint their part again
}

void ValueLabel::Capture() {
    captureDue_ = false;
    if (!isVisible() || !beneath_.isNull()) return;
    QWidget* top = window();
    const qreal ratio = devicePixelRatioF();
    QPixmap picture(size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(top->palette().color(QPalette::Window)); // opaque: the pixmap stays without alpha
    capturing_ = true;
    top->render(&picture, QPoint(), QRegion(QRect(mapTo(top, QPoint(0, 0)), size())),
                QWidget::DrawWindowBackground | QWidget::DrawChildren);
    capturing_ = false;
    beneath_ = picture;
    setAttribute(Qt::WA_OpaquePaintEvent);
}
