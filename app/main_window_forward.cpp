// The window's forwarding: the "Weiterleiten" dialog, the targets of each run and their states in the
// status bar.
#include "app/core/source_url.h"
#include "app/forward_dialog.h"
#include "app/forwarding_set.h"
#include "app/main_window.h"
#include "app/secret_store.h"

#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>

#include <cmath>

void TForm1::SetForwardTargets(const QStringList& urls, const QString& device) {
    forwardUrls_ = urls;
    forwardDevice_ = device.isEmpty() ? QSysInfo::machineHostName() : device;
    if (!settings_) return;
    settings_->setValue("forward/targets", forwardUrls_);
    settings_->setValue("forward/device", forwardDevice_);
}

void TForm1::WeiterleitenClick() {
    ForwardDialog dialog(this, forwardUrls_, forwardDevice_);
    if (!dialog.Answered([&] { forwardDialog_ ? forwardDialog_(dialog) : void(dialog.exec()); })) return;
    SetForwardTargets(dialog.Targets(), dialog.Device());
    if (Acquiring()) statusBar()->showMessage(tr("Die Ziele gelten ab dem nächsten Start"), 10000);
}

// The password (or a bucket's token) of a URL's user: the session's, the secret store's, else asked
// for (and kept in the store once the far end took it, where one runs). nullopt: not given.
std::optional<QString> TForm1::SecretFor(const SourceUrl& url) {
    const QString key = QString::fromStdString(SourceServerText(url));
    if (const auto kept = secretsInMemory_.find(key); kept != secretsInMemory_.end()) return kept->second;
    const secrets::Found found = secrets::Read(key.toStdString());
    std::optional<QString> secret;
    if (found.Secret) {
        secret = QString::fromStdString(*found.Secret);
    } else {
        const QString prompt = (IsInfluxBucket(url) ? tr("Token für %1:") : tr("Passwort für %1:")).arg(key);
        if (askSecret_) {
            secret = askSecret_(prompt);
        } else {
            bool ok = false;
            const QString typed =
                QInputDialog::getText(this, tr("Weiterleiten"), prompt, QLineEdit::Password, {}, &ok);
            if (ok) secret = typed;
        }
        if (secret && found.StoreRuns)
            keepOnceTaken_.insert(key); // in the store once the far end took it
        else if (secret)
            statusBar()->showMessage(
                tr("Kein Schlüsselbund: das Passwort für %1 bleibt nur in dieser Sitzung im Speicher")
                    .arg(key),
                10000);
    }
    if (secret) secretsInMemory_[key] = *secret;
    return secret;
}

// The targets of the run that begins now, each with its password or token where it needs one; a target
// whose password is not given is left out and named.
void TForm1::BeginForwarding() {
    std::vector<ForwardTarget> targets;
    QStringList without;
    for (const QString& text : forwardUrls_) {
        std::string error;
        const std::optional<SourceUrl> url = ParseSourceUrl(text.toStdString(), &error);
        if (!url || IsSourceKind(url->Type) != (url->Type == SourceUrl::Kind::Mqtt)) continue;
        ForwardTarget t;
        t.Url = *url;
        t.Device = forwardDevice_.toStdString();
        if (!url->User.empty() || IsInfluxBucket(*url)) {
            const std::optional<QString> secret = SecretFor(*url);
            if (!secret) {
                without << text;
                continue;
            }
            t.Password = secret->toStdString();
        }
        targets.push_back(std::move(t));
    }
    if (!without.isEmpty())
        statusBar()->showMessage(
            tr("Ohne Passwort nicht weitergeleitet: %1").arg(without.join(QStringLiteral(", "))), 10000);
    forwarding_->SetTargets(std::move(targets));
    if (!forwarding_->Targets().empty() && RunJournal().Active()) forwarding_->Begin(RunJournal().Path());
    UpdateForwardStatus();
}

// "MQTT: verbunden, 0 s zurück", "InfluxDB: getrennt, 12.400 Messwerte ausstehend": one a target, the
// finishing ones of ended runs after them.
void TForm1::UpdateForwardStatus() {
    const std::vector<ForwardingSet::State> states = forwarding_->States();
    QStringList texts, tips;
    const QLocale german(QLocale::German);
    for (const ForwardingSet::State& s : states) {
        if (s.Connected && !keepOnceTaken_.empty()) {
            std::string error;
            if (const auto url = ParseSourceUrl(s.Target, &error)) {
                const QString key = QString::fromStdString(SourceServerText(*url));
                if (keepOnceTaken_.erase(key) > 0)
                    secrets::Write(key.toStdString(), secretsInMemory_[key].toStdString());
            }
        }
        const QString kind = QString::fromStdString(s.Kind);
        texts << (s.Connected ? tr("%1: verbunden, %2 s zurück")
                                    .arg(kind)
                                    .arg(static_cast<long long>(std::floor(s.LagSeconds)))
                              : tr("%1: getrennt, %2 Messwerte ausstehend")
                                    .arg(kind, german.toString(static_cast<qulonglong>(s.Pending))));
        tips << QString::fromStdString(s.Target) + (s.Finishing ? tr(" (beendete Erfassung)") : QString());
    }
    ForwardStatusLabel->setText(texts.join(QStringLiteral(" · ")));
    ForwardStatusLabel->setToolTip(tips.join('\n'));
    if (states.empty())
        forwardTimer_->stop();
    else if (!forwardTimer_->isActive())
        forwardTimer_->start();
}
