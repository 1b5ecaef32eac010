// The main window's channel table: each channel's name, unit, own factor and offset, colour, whether
// it is shown, and its y axis; applied to the run, the chart and the loaded file alike, and remembered
// for each device under its stable name.

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/view_texts.h"
#include "chart/core/paint_suppression.h"
#include "chart/kartex.h"
#include "serial/core/comport.h"
#include "serial/host/port_list.h"

#include <QLineEdit>
#include <QSettings>
#include <QTableWidget>

#include <algorithm>
#include <optional>

namespace {
std::optional<double> OwnNumber(const QString& text, const LocaleSeparator& separator) {
    if (text.isEmpty()) return std::nullopt;
    return LocaleTextToDouble(text.toStdString(), separator);
}
} // namespace

int TForm1::ChannelRows() const {
    const int chart = static_cast<int>(ChartChannels(*Kartex1).size());
    return std::clamp(std::max(chart, Acq().State().ChannelCount), 1, kMaxChannels);
}

void TForm1::KanaeleClick() {
    const int rows = ChannelRows();
    std::vector<ChannelSetting> settings(channels_.begin(), channels_.begin() + rows);
    settings[0].Scale = DatSkaleEdit->text();
    settings[0].Offset = DatOffsetEdit->text();
    const std::vector<ChannelSpan> spans = ChartChannels(*Kartex1);
    std::vector<QString> device(static_cast<std::size_t>(rows));
    for (int c = 0; c < rows; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const AcquisitionState& s = Acq().State();
        if (!s.NamedByUser[i] && !s.ChannelNames[i].empty())
            device[i] = DeviceText(::ChannelLabel(s.ChannelNames[i], s.ChannelUnits[i], 256));
        else if (chartLoaded_ && i < spans.size())
            device[i] = DeviceText(ChannelName(*Kartex1, spans[i]));
        if (i < spans.size()) settings[i].Shown = Kartex1->ClassVisible(spans[i].Class);
    }
    auto* dialog = new ChannelDialog(this, settings, device);
    dialog->setObjectName(QStringLiteral("Kanaele"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (Acquiring()) {
        // Channel 1's factor and offset are the fields', which a run takes at its Start.
        for (int column : {ChannelDialog::cScale, ChannelDialog::cOffset}) {
            QTableWidgetItem* item = dialog->Table()->item(0, column);
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            item->setToolTip(QStringLiteral("Gilt ab dem nächsten Start"));
        }
    }
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { errorbox::Guard([&] { ApplyChannelSettings(dialog->Rows()); }); });
    dialog->open();
}

void TForm1::ApplyChannelSettings(const std::vector<ChannelSetting>& rows) {
    // Every number first: a bad one changes nothing.
    std::vector<std::pair<std::optional<double>, std::optional<double>>> own(rows.size());
    for (std::size_t c = 0; c < rows.size(); ++c) {
        if (c == 0) {
            if (!rows[0].Scale.isEmpty()) LocaleTextToFloat(rows[0].Scale.toStdString(), decimalSeparator_);
            if (!rows[0].Offset.isEmpty()) TextToInt(rows[0].Offset.toStdString());
            continue;
        }
        own[c] = {OwnNumber(rows[c].Scale, decimalSeparator_), OwnNumber(rows[c].Offset, decimalSeparator_)};
    }
    TKartex& k = *Kartex1;
    AcquisitionState& s = Acq().State();
    const std::vector<ChannelSpan> spans = ChartChannels(k);
    PaintSuppression once(k);
    for (std::size_t c = 0; c < rows.size() && c < kMaxChannels; ++c) {
        const ChannelSetting& row = rows[c];
        channels_[c] = row;
        const int channel = static_cast<int>(c);
        if (c == 0) {
            if (!row.Scale.isEmpty() && DatSkaleEdit->isEnabled()) DatSkaleEdit->setText(row.Scale);
            if (!row.Offset.isEmpty() && DatOffsetEdit->isEnabled()) DatOffsetEdit->setText(row.Offset);
            channels_[0].Scale.clear(); // the fields keep them
            channels_[0].Offset.clear();
        } else {
            s.Calibrations[c] = {own[c].first, own[c].second};
        }
        // A name of the user's own stays, whatever the device sends; an empty one gives the device's back.
        s.NamedByUser[c] = !row.Name.isEmpty();
        if (s.NamedByUser[c]) {
            s.ChannelNames[c] = row.Name.toStdString();
            s.ChannelUnits[c] = row.Unit.toStdString();
        }
        sink_->SetChannelColor(channel, row.Color);
        sink_->SetChannelLayer(channel, row.Right ? kRightAxisLayer : 1);
        if (c < spans.size()) {
            k.SetClassVisible(spans[c].Class, row.Shown);
            // A loaded file's channel carries its name in its first record, where saving finds it.
            if (chartLoaded_ && !row.Name.isEmpty() && spans[c].End > spans[c].Begin)
                k.SeriesStore(spans[c].Series)
                    .SetItemText(spans[c].Begin,
                                 ::ChannelLabel(row.Name.toStdString(), row.Unit.toStdString()));
        }
    }
    if (!chartLoaded_) sink_->ChannelsChanged(s); // the run's first records take the new names
    const bool wasRight = RightAxisShown(k);
    ArrangeAxes();
    if (!wasRight && RightAxisShown(k)) FitRightAxis(k);
    SaveChannelSettings();
    if (!FollowData()) k.Paint();
    ViewChanged();
}

void TForm1::ArrangeAxes() {
    TKartex& k = *Kartex1;
    if (chartLoaded_) return ShowAxesOfChannels(k);
    bool right = false;
    for (int c = 0; c < kMaxChannels; ++c)
        right = right || sink_->ChannelLayer(c) == kRightAxisLayer;
    SetRightAxis(k, right);
}

void TForm1::ChartLoaded() {
    ShowAxesOfChannels(*Kartex1);
    FitRightAxis(*Kartex1);
}

// Under the device's lasting name (its /dev/serial/by-id name where it has one), so the same device
// on another port finds its channels again.
QString TForm1::ChannelDevice() const {
    const std::string port = port_->Port();
    if (port.empty()) return {};
    QString name = QString::fromStdString(host::StablePortName(port));
    name.replace(QChar('/'), QChar('_'));
    return name;
}

void TForm1::SaveChannelSettings() const {
    const QString device = ChannelDevice();
    if (!settings_ || device.isEmpty()) return;
    QSettings& st = *settings_;
    st.beginGroup(QStringLiteral("channels/") + device);
    st.remove(QString());
    for (int c = 0; c < kMaxChannels; ++c) {
        const ChannelSetting& row = channels_[static_cast<std::size_t>(c)];
        const ChannelSetting plain{{}, {}, {}, {}, ChannelColor(c), true, false};
        if (row.Name == plain.Name && row.Unit == plain.Unit && row.Scale == plain.Scale &&
            row.Offset == plain.Offset && row.Color == plain.Color && row.Right == plain.Right)
            continue;
        st.beginGroup(QString::number(c + 1));
        st.setValue("name", row.Name);
        st.setValue("unit", row.Unit);
        st.setValue("scale", row.Scale);
        st.setValue("offset", row.Offset);
        st.setValue("color", static_cast<qulonglong>(row.Color));
        st.setValue("axis", row.Right ? QStringLiteral("right") : QStringLiteral("left"));
        st.endGroup();
    }
    st.endGroup();
    st.sync();
}

// The remembered rows of the device about to start; a row that cannot be taken is passed over.
void TForm1::LoadChannelSettings() {
    for (int c = 0; c < kMaxChannels; ++c)
        channels_[static_cast<std::size_t>(c)] = {{}, {}, {}, {}, ChannelColor(c), true, false};
    const QString device = ChannelDevice();
    if (settings_ && !device.isEmpty()) {
        QSettings& st = *settings_;
        st.beginGroup(QStringLiteral("channels/") + device);
        const QStringList remembered = st.childGroups();
        for (int c = 0; c < kMaxChannels; ++c) {
            if (!remembered.contains(QString::number(c + 1))) continue;
            st.beginGroup(QString::number(c + 1));
            ChannelSetting& row = channels_[static_cast<std::size_t>(c)];
            row.Name = st.value("name").toString();
            row.Unit = st.value("unit").toString();
            if (c > 0) row.Scale = st.value("scale").toString(), row.Offset = st.value("offset").toString();
            bool ok = false;
            const qulonglong color = st.value("color").toULongLong(&ok);
            if (ok && color <= 0xFFFFFF) row.Color = static_cast<TColor>(color);
            row.Right = st.value("axis").toString() == QStringLiteral("right");
            st.endGroup();
        }
        st.endGroup();
    }
    try {
        ApplyChannelSettings(channels_);
    } catch (const EConvertError&) {
        // A hand-edited number: the channels start as a new device's.
        for (int c = 0; c < kMaxChannels; ++c)
            channels_[static_cast<std::size_t>(c)] = {{}, {}, {}, {}, ChannelColor(c), true, false};
    }
}
