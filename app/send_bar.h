#pragma once
// The window's bar for talking to the device ("Senden" in the menu shows it): a command line with its
// history (up and down keys), the line end, hex or text with escapes, "Senden", "Wiederholen alle N
// ms" (a polled query), "Marke setzen", and what is sent once when a run starts ("Beim Start senden").

#include "app/core/command_text.h"

#include <QFrame>
#include <QStringList>

#include <functional>

class QCheckBox;
class QLabel;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

class TSendBar : public QFrame {
    Q_OBJECT
public:
    static constexpr int kHistory = 50;
    explicit TSendBar(QWidget* parent);

    QLineEdit* CommandEdit = nullptr;
    QComboBox* LineEndComboBox = nullptr; // "Kein Zeilenende", "CR", "LF", "CR LF" (default)
    QCheckBox* HexCheckBox = nullptr;
    QPushButton* SendButton = nullptr;
    QCheckBox* RepeatCheckBox = nullptr; // "Wiederholen alle"
    QSpinBox* RepeatSpinBox = nullptr;   // ms, 10 at least, 100 by default
    QPushButton* MarkButton = nullptr;   // "Marke setzen"
    QLineEdit* InitEdit = nullptr;       // "Beim Start senden"

    LineEnd End() const;
    // The command line's and the start line's bytes (or why they cannot be sent).
    CommandBytes Command() const;
    CommandBytes Init() const;
    // The command goes to the front of the history (once); the line is kept for the next one.
    void Remember(const QString& command);
    const QStringList& History() const { return history_; }
    void SetHistory(QStringList history);

    std::function<void()> OnSend;          // "Senden" or Enter in the command line
    std::function<void(bool on)> OnRepeat; // "Wiederholen alle" checked or unchecked by the user

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Retranslate(); // every caption in the chosen language
    QLabel* sendLabel_ = nullptr;
    QLabel* initLabel_ = nullptr;
    QStringList history_;
    int browsing_ = -1; // the history entry the line shows, -1: the user's own text
    QString own_;       // what the user had typed before browsing
};
