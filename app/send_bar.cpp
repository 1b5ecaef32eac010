#include "app/send_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TSendBar::TSendBar(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(6, 4, 6, 4);
    rows->setSpacing(4);
    auto* first = new QHBoxLayout;
    auto* second = new QHBoxLayout;
    rows->addLayout(first);
    rows->addLayout(second);

    CommandEdit = new QLineEdit(this);
    CommandEdit->installEventFilter(this);
    LineEndComboBox = new QComboBox(this);
    LineEndComboBox->addItems(
        {QString(), QStringLiteral("CR"), QStringLiteral("LF"), QStringLiteral("CR LF")});
    LineEndComboBox->setCurrentIndex(3);
    HexCheckBox = new QCheckBox(this);
    SendButton = new QPushButton(this);
    sendLabel_ = new QLabel(this);
    first->addWidget(sendLabel_);
    first->addWidget(CommandEdit, 1);
    first->addWidget(LineEndComboBox);
    first->addWidget(HexCheckBox);
    first->addWidget(SendButton);

    RepeatCheckBox = new QCheckBox(this);
    RepeatSpinBox = new QSpinBox(this);
    RepeatSpinBox->setRange(10, 3600000);
    RepeatSpinBox->setValue(100);
    RepeatSpinBox->setSuffix(QStringLiteral(" ms"));
    MarkButton = new QPushButton(this);
    InitEdit = new QLineEdit(this);
    second->addWidget(RepeatCheckBox);
    second->addWidget(RepeatSpinBox);
    second->addWidget(MarkButton);
    second->addSpacing(8);
    initLabel_ = new QLabel(this);
    second->addWidget(initLabel_);
    Retranslate();
    second->addWidget(InitEdit, 1);

    connect(SendButton, &QPushButton::clicked, this, [this] {
        if (OnSend) OnSend();
    });
    connect(CommandEdit, &QLineEdit::returnPressed, this, [this] {
        if (OnSend && SendButton->isEnabled()) OnSend();
    });
    connect(RepeatCheckBox, &QCheckBox::clicked, this, [this](bool on) {
        if (OnRepeat) OnRepeat(on);
    });
}

LineEnd TSendBar::End() const {
    static constexpr LineEnd kEnds[] = {LineEnd::None, LineEnd::Cr, LineEnd::Lf, LineEnd::CrLf};
    return kEnds[std::clamp(LineEndComboBox->currentIndex(), 0, 3)];
}

CommandBytes TSendBar::Command() const {
    return CommandToBytes(CommandEdit->text().toStdString(), HexCheckBox->isChecked(), End());
}

CommandBytes TSendBar::Init() const {
    if (InitEdit->text().isEmpty()) return {};
    return CommandToBytes(InitEdit->text().toStdString(), HexCheckBox->isChecked(), End());
}

void TSendBar::Remember(const QString& command) {
    if (command.isEmpty()) return;
    history_.removeAll(command);
    history_.prepend(command);
    while (history_.size() > kHistory)
        history_.removeLast();
    browsing_ = -1;
}

void TSendBar::SetHistory(QStringList history) {
    history.removeAll(QString());
    history_ = history.mid(0, kHistory);
    browsing_ = -1;
}

bool TSendBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched != CommandEdit || event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Up && key != Qt::Key_Down) return false;
    if (browsing_ < 0) own_ = CommandEdit->text();
    // Up goes back in time, down forward and past the newest back to what the user had typed.
    const int next =
        key == Qt::Key_Up ? std::min(browsing_ + 1, static_cast<int>(history_.size()) - 1) : browsing_ - 1;
    browsing_ = std::max(next, -1);
    CommandEdit->setText(browsing_ < 0 ? own_ : history_[browsing_]);
    return true;
}

void TSendBar::Retranslate() {
    CommandEdit->setPlaceholderText(tr("Befehl, z. B. MEAS? oder \\x05"));
    CommandEdit->setToolTip(tr("Text mit \\r, \\n, \\t, \\\\ und \\xNN, oder mit \"Hex\" Bytes wie FF 01 A3; "
                               "↑ und ↓ holen frühere Befehle"));
    LineEndComboBox->setItemText(0, tr("Kein Zeilenende"));
    HexCheckBox->setText(tr("Hex"));
    SendButton->setText(tr("Senden"));
    sendLabel_->setText(tr("Senden:"));
    RepeatCheckBox->setText(tr("Wiederholen alle"));
    MarkButton->setText(tr("Marke setzen"));
    MarkButton->setToolTip(tr("Strg+M: eine Marke mit Text an dieser Stelle der Erfassung"));
    InitEdit->setToolTip(tr("Wird einmal gesendet, sobald die Schnittstelle offen ist, vor jeder Abfrage"));
    initLabel_->setText(tr("Beim Start senden:"));
}

void TSendBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) Retranslate();
    QFrame::changeEvent(event);
}
