#pragma once
// TComLed: a lamp that follows one signal of a port through a TComLink (in the main window: whether the
// port is open). The pictures are 15 by 15 lamps per kind, or custom ones; the colour of the bottom-left
// pixel is transparent.

#include "serial/core/comlink.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>

class TComPort;

enum TComLedSignal { lsConn, lsCTS, lsDSR, lsRLSD, lsRing, lsRx, lsTx };
enum TLedKind { lkRedLight, lkGreenLight, lkBlueLight, lkYellowLight, lkPurpleLight, lkBulb, lkCustom };
enum TLedState { lsOff, lsOn };

class TComLed : public QWidget {
    Q_OBJECT
public:
    explicit TComLed(QWidget* parent = nullptr);
    ~TComLed() override;

    TComPort* ComPort() const { return port_; }
    void SetComPort(TComPort* port);
    TComLedSignal LedSignal() const { return signal_; }
    void SetLedSignal(TComLedSignal v);
    TLedKind Kind() const { return kind_; }
    void SetKind(TLedKind v);
    // Custom pictures: taken only while Kind is lkCustom (bottom-left pixel colour becomes transparent).
    const QImage& GlyphOn() const { return on_; }
    void SetGlyphOn(const QImage& v);
    const QImage& GlyphOff() const { return off_; }
    void SetGlyphOff(const QImage& v);
    TLedState State() const { return state_; }
    // Raises EComPort 19 while a port is bound: the port decides the state then.
    void SetState(TLedState v);
    // A blinking lamp alternates its two pictures twice a second whatever its state, which stays the
    // port's (the main window: waiting for a device that went away to come back).
    bool Blinking() const { return blink_.isActive(); }
    void SetBlinking(bool v);
    int RingDuration() const { return ring_.interval(); }
    void SetRingDuration(int ms) { ring_.setInterval(ms); }

    std::function<void(TComLed& sender, TLedState state)> OnChange;

    QSize sizeHint() const override { return {25, 25}; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void LoadKindPictures();
    void ApplyState(TLedState v);
    void SignalChanged(bool on);
    void RingFlash();
    TLedState StateFromSignal();
    void PortDestroyed();

    TComPort* port_ = nullptr;
    TComLedSignal signal_ = lsConn;
    TLedKind kind_ = lkRedLight;
    TLedState state_ = lsOff;
    QImage on_, off_;
    QTimer ring_;
    QTimer blink_;
    bool blinkLit_ = false;
    TComLink link_;
};
