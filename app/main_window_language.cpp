// The window in the chosen language: every caption is said through Say and said again when the
// language changes; texts made as the run goes are made anew.
#include "app/language.h"
#include "app/main_window.h"
#include "app/raw_pane.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QSettings>

void TForm1::Say(const char* text, std::function<void(const QString&)> set) {
    set(text ? tr(text) : QString());
    captions_.emplace_back(text, std::move(set));
}

void TForm1::SayLive(QLabel* label, std::function<QString()> text) {
    label->setText(text());
    liveTexts_[label] = std::move(text);
}

void TForm1::Retranslate() {
    for (const auto& [text, set] : captions_)
        set(text ? tr(text) : QString());
    for (const auto& [label, text] : liveTexts_)
        label->setText(text());
    // The pane's first words, until a run's lines take their place.
    const QString pane = RichEdit1->toPlainText();
    if (pane == QLatin1String("Rohdaten ...") || pane == panePlaceholder_) {
        panePlaceholder_ = tr("Rohdaten ...");
        RichEdit1->setPlainText(panePlaceholder_);
    }
    UpdateStatus();
    UpdateForwardStatus();
    UpdateLegend();
}

void TForm1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) Retranslate();
    QMainWindow::changeEvent(event);
}

void TForm1::SetLanguage(const QString& code, bool remember) {
    if (!InstallLanguage(code)) return;
    language_ = code;
    for (QAction* a : LanguageActions)
        a->setChecked(a->data().toString() == code);
    if (settings_ && remember) settings_->setValue("window/language", code);
}
