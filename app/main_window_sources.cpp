// The window's further sources: the "Quellen" dialog, one recording for each source beside the serial
// port's, all handing their samples to one mix, and where they listen or read in the status bar.
#include "app/local_texts.h"
#include "app/main_window.h"
#include "app/mqtt_source.h"
#include "app/network_sources.h"
#include "app/source_dialog.h"
#include "app/source_mix.h"
#include "app/view_texts.h"
#include "serial/core/comport.h"

#include <QLabel>
#include <QSettings>
#include <QStatusBar>

void TForm1::SetSources(const QStringList& urls, bool remember) {
    sourceUrls_ = urls;
    rememberSources_ = remember;
    if (settings_ && remember) settings_->setValue("sources/extra", sourceUrls_);
}

void TForm1::QuellenClick() {
    SourceDialog dialog(this, QString::fromStdString(port_->Port()), sourceUrls_);
    if (!dialog.Answered([&] { sourceDialog_ ? sourceDialog_(dialog) : void(dialog.exec()); })) return;
    SetSources(dialog.Urls());
    if (Acquiring()) statusBar()->showMessage(tr("Die Quellen gelten ab dem nächsten Start"), 10000);
}

// Before a run: without further sources the port's recording hands its samples to the chart, as it
// always did; with them it is the first lane of a new mix, and each source a recording on the next.
void TForm1::PrepareSources() {
    if (Acquiring()) return; // a run under way keeps what it reads
    extras_.clear();
    std::vector<SourceUrl> urls;
    for (const QString& text : sourceUrls_) {
        std::string error;
        const std::optional<SourceUrl> url = ParseSourceUrl(text.toStdString(), &error);
        if (url && IsSourceKind(url->Type) && url->Type != SourceUrl::Kind::Serial) urls.push_back(*url);
    }
    if (urls.empty() && !mix_) return;
    // What was set on the port's recording (the x axis, the channels' own factors) goes on with it.
    const AcquisitionState state = recording_->Acq().State();
    recording_.reset();
    mix_.reset();
    if (!urls.empty()) mix_ = std::make_unique<SourceMix>(*sink_);
    recording_ = MakeRecording(mix_ ? mix_->AddLane() : static_cast<ListSink&>(*sink_));
    recording_->Acq().State() = state;
    QStringList without;
    for (const SourceUrl& url : urls) {
        ExtraSource x;
        x.Url = url;
        if (url.Type == SourceUrl::Kind::Udp) {
            x.Reader = std::make_unique<UdpSource>(url);
        } else if (url.Type == SourceUrl::Kind::Tcp) {
            x.Reader = std::make_unique<TcpSource>(url);
        } else {
            auto mqtt = std::make_unique<MqttSource>(url);
            if (!url.User.empty()) {
                const std::optional<QString> secret = SecretFor(url);
                if (!secret) {
                    without << QString::fromStdString(SourceUrlText(url));
                    continue;
                }
                mqtt->SetPassword(secret->toStdString());
            }
            x.Reader = std::move(mqtt);
        }
        x.Reader->OnDropped = [this](const std::string& text) {
            statusBar()->showMessage(LocalText(QString::fromStdString(text)), 10000);
        };
        x.Run = std::make_unique<Recording>(*x.Reader, mix_->AddLane());
        x.Run->Acq().State().TimeAxis = state.TimeAxis;
        x.Run->OnShown = [this](std::string_view raw, bool) { shown_ << DeviceText(raw); };
        x.Run->OnReceived = [this](int added) { Received(added); };
        x.Run->OnStateChanged = [this] { UpdateSourcesStatus(); };
        extras_.push_back(std::move(x));
    }
    if (!without.isEmpty())
        statusBar()->showMessage(
            tr("Ohne Passwort nicht gelesen: %1").arg(without.join(QStringLiteral(", "))), 10000);
}

void TForm1::StartSources() {
    try {
        for (ExtraSource& x : extras_)
            if (!x.Run->Running()) x.Run->Start(); // those of a run under way read on
    } catch (...) {
        StopSources();
        throw;
    }
    UpdateSourcesStatus();
}

void TForm1::StopSources() {
    for (std::size_t k = extras_.size(); k-- > 0;)
        if (extras_[k].Run->Running()) extras_[k].Run->Stop();
    UpdateSourcesStatus();
}

// "2: lauscht auf udp://127.0.0.1:5000", "3: wartet auf tcp://bruecke:23 …": each further source by its
// number in the run, while the run goes on.
void TForm1::UpdateSourcesStatus() {
    SayLive(SourcesStatusLabel, [this] {
        QStringList texts;
        for (std::size_t k = 0; k < extras_.size(); ++k) {
            const ExtraSource& x = extras_[k];
            if (!x.Run->Running()) continue;
            const QString where = QString::fromStdString(x.Reader->Where());
            const int number = static_cast<int>(k) + 2;
            texts << (x.Run->Waiting() ? tr("%1: wartet auf %2 …").arg(number).arg(where)
                      : x.Url.Type == SourceUrl::Kind::Udp ? tr("%1: lauscht auf %2").arg(number).arg(where)
                                                           : tr("%1: liest %2").arg(number).arg(where));
        }
        return texts.join(QStringLiteral(" · "));
    });
}
