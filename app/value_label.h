#pragma once
// The window's large value display.

#include <QEvent>
#include <QLabel>
#include <QPixmap>

// The large value: its text changes with every sample, what lies beneath it (group box and window
// background) does not. Once it has a picture of that it paints its text on it, so a new value repaints
// the label alone rather than the group box under it as well. The picture is taken from the event loop,
// not while the window paints; until then, and after anything beneath may have changed, the label paints
// as any label does.
class ValueLabel : public QLabel {
public:
    explicit ValueLabel(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static bool ChangesBeneath(QEvent::Type t);
    void Forget();
    // What the window paints where the label is, the label left out.
    void Capture();

    QPixmap beneath_;
    bool capturing_ = false;
    bool captureDue_ = false;
};
