#include "serial/com_led.h"

#include "serial/core/comport.h"
#include "serial/lamp_pictures.h"

#include <QEvent>
#include <QPainter>

namespace {

const char* const kPictureNames[][2] = {{"LEDREDON", "LEDREDOFF"},       {"LEDGREENON", "LEDGREENOFF"},
                                        {"LEDBLUEON", "LEDBLUEOFF"},     {"LEDYELLOWON", "LEDYELLOWOFF"},
                                        {"LEDPURPLEON", "LEDPURPLEOFF"}, {"LEDBULBON", "LEDBULBOFF"}};

// The colour of the bottom-left pixel becomes transparent.
QImage WithAutoTransparency(const QImage& source) {
    if (source.isNull()) return {};
    QImage img = source.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = img.pixel(0, img.height() - 1);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) == key) img.setPixel(x, y, qRgba(0, 0, 0, 0));
    return img;
}

} // namespace

TComLed::TComLed(QWidget* parent) : QWidget(parent) {
    resize(25, 25);
    setAttribute(Qt::WA_TranslucentBackground);
    link_.ConnectionChanged = [this](TCustomComPort&, bool on) { SignalChanged(on); };
    ring_.setInterval(1000);
    ring_.setSingleShot(false);
    connect(&ring_, &QTimer::timeout, this, [this] {
        ring_.stop();
        ApplyState(lsOff);
    });
    blink_.setInterval(500);
    connect(&blink_, &QTimer::timeout, this, [this] {
        blinkLit_ = !blinkLit_;
        update();
    });
}

void TComLed::SetBlinking(bool v) {
    if (v == Blinking()) return;
    blinkLit_ = v;
    if (v)
        blink_.start();
    else
        blink_.stop();
    update();
}

TComLed::~TComLed() {
    ring_.stop();
    blink_.stop();
    if (port_) {
        port_->RemoveFreeNotification(this);
        port_->DetachLink(&link_);
    }
}

void TComLed::SetComPort(TComPort* port) {
    if (port == port_) return;
    if (port_) {
        port_->RemoveFreeNotification(this);
        port_->DetachLink(&link_);
    }
    port_ = port;
    if (port_) {
        port_->FreeNotification(this, [this] { PortDestroyed(); });
        port_->AttachLink(&link_);
    }
    if (!port_)
        ApplyState(lsOff);
    else if (port_->Connected())
        ApplyState(StateFromSignal());
}

void TComLed::PortDestroyed() {
    // The port is going away: it holds no link of ours any more worth detaching.
    port_ = nullptr;
    ApplyState(lsOff);
}

void TComLed::SetLedSignal(TComLedSignal v) {
    if (v == signal_) return;
    signal_ = v;
    link_.ConnectionChanged = nullptr;
    link_.CTSChanged = nullptr;
    link_.DSRChanged = nullptr;
    link_.RLSDChanged = nullptr;
    link_.RingDetected = nullptr;
    link_.TxActivity = nullptr;
    link_.RxActivity = nullptr;
    auto reaction = [this](TCustomComPort&, bool on) { SignalChanged(on); };
    switch (v) {
    case lsConn:
        link_.ConnectionChanged = reaction;
        break;
    case lsCTS:
        link_.CTSChanged = reaction;
        break;
    case lsDSR:
        link_.DSRChanged = reaction;
        break;
    case lsRLSD:
        link_.RLSDChanged = reaction;
        break;
    case lsRx:
        link_.RxActivity = reaction;
        break;
    case lsTx:
        link_.TxActivity = reaction;
        break;
    case lsRing:
        link_.RingDetected = [this](TCustomComPort&) { RingFlash(); };
        break;
    }
}

void TComLed::SetKind(TLedKind v) {
    if (v == kind_) return;
    kind_ = v;
    LoadKindPictures();
    update();
}

void TComLed::SetGlyphOn(const QImage& v) {
    if (kind_ != lkCustom) return;
    on_ = WithAutoTransparency(v);
    update();
}

void TComLed::SetGlyphOff(const QImage& v) {
    if (kind_ != lkCustom) return;
    off_ = WithAutoTransparency(v);
    update();
}

void TComLed::SetState(TLedState v) {
    if (port_) throw EComPort(peLedState, -1, ComErrorMessage(peLedState));
    ApplyState(v);
}

void TComLed::LoadKindPictures() {
    if (kind_ == lkCustom) return;
    on_ = LampPicture(kPictureNames[kind_][0]);
    off_ = LampPicture(kPictureNames[kind_][1]);
}

void TComLed::ApplyState(TLedState v) {
    state_ = v;
    if (OnChange) OnChange(*this, v);
    update();
}

void TComLed::SignalChanged(bool on) {
    ApplyState(on ? lsOn : lsOff);
    // Show the new picture at once. Only this control is painted: running all pending events here,
    // inside the port's open or close, could start other handlers half way through it.
    if (isVisible()) repaint();
}

void TComLed::RingFlash() {
    ring_.start();
    ApplyState(lsOn);
}

TLedState TComLed::StateFromSignal() {
    switch (signal_) {
    case lsConn:
        return port_ && port_->Connected() ? lsOn : lsOff;
    case lsCTS:
        return port_->ModemSignals().Contains(msCTS) ? lsOn : lsOff;
    case lsDSR:
        return port_->ModemSignals().Contains(msDSR) ? lsOn : lsOff;
    case lsRLSD:
        return port_->ModemSignals().Contains(msRLSD) ? lsOn : lsOff;
    default:
        return lsOff;
    }
}

void TComLed::paintEvent(QPaintEvent*) {
    if (on_.isNull() || off_.isNull()) LoadKindPictures();
    const bool lit = Blinking() ? blinkLit_ : state_ == lsOn;
    const QImage& picture = isEnabled() && lit ? on_ : off_;
    if (picture.isNull()) return;
    QPainter p(this);
    const QRect r = contentsRect();
    const int x = r.left() + std::max(0, (r.width() - picture.width()) / 2);
    const int y = r.top() + std::max(0, (r.height() - picture.height()) / 2);
    p.drawImage(x, y, picture);
}

void TComLed::changeEvent(QEvent* e) {
    if (e->type() == QEvent::EnabledChange) update();
    QWidget::changeEvent(e);
}
