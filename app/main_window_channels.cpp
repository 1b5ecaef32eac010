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
#include <QTimer>

#include <algorithm>
#include <optional>

namespace {
// A new device's row: the channel's colour on the left axis, shown, nothing else of its own.
ChannelSetting PlainRow(int channel) {
    ChannelSetting row;
    row.Color = ChannelColor(channel);
    return row;
}

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
    auto* dialog = new ChannelDialog(this, settings, device, xyTrail_);
    dialog->setObjectName(QStringLiteral("Kanaele"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (Acquiring()) {
        // Channel 1's factor and offset are the fields', which a run takes at its Start.
        for (int column : {ChannelDialog::cScale, ChannelDialog::cOffset}) {
            QTableWidgetItem* item = dialog->Table()->item(0, column);
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            item->setToolTip(tr("Gilt ab dem nächsten Start"));
        }
    }
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        errorbox::Guard([&] {
            ApplyChannelSettings(dialog->Rows());
            xyTrail_ = dialog->Trail();
            if (Kartex1->XYSeries() >= 0) {
                Kartex1->SetXYView(Kartex1->XYSeries(), xyTrail_);
                if (!FollowData()) Kartex1->Paint();
            }
        });
    });
    dialog->open();
}

// The factor and offset of a row as numbers; throws EConvertError for a bad one. Channel 1's are the
// fields' texts, checked as the fields are.
TForm1::OwnCalibration TForm1::RowNumbers(std::size_t channel, const ChannelSetting& row) const {
    if (channel == 0) {
        if (!row.Scale.isEmpty()) LocaleTextToFloat(row.Scale.toStdString(), decimalSeparator_);
        if (!row.Offset.isEmpty()) TextToInt(row.Offset.toStdString());
        return {};
    }
    return {OwnNumber(row.Scale, decimalSeparator_), OwnNumber(row.Offset, decimalSeparator_)};
}

void TForm1::ApplyChannelRow(std::size_t c, const ChannelSetting& row, const OwnCalibration& own) {
    TKartex& k = *Kartex1;
    AcquisitionState& s = Acq().State();
    channels_[c] = row;
    const int channel = static_cast<int>(c);
    if (c == 0) {
        if (!row.Scale.isEmpty() && DatSkaleEdit->isEnabled()) DatSkaleEdit->setText(row.Scale);
        if (!row.Offset.isEmpty() && DatOffsetEdit->isEnabled()) DatOffsetEdit->setText(row.Offset);
        channels_[0].Scale.clear(); // the fields keep them
        channels_[0].Offset.clear();
    } else {
        s.Calibrations[c] = {own.first, own.second};
    }
    // A name of the user's own stays, whatever the device sends; an empty one gives the device's back.
    s.NamedByUser[c] = !row.Name.isEmpty();
    s.ChannelNames[c] = s.NamedByUser[c] ? row.Name.toStdString() : s.DeviceNames[c];
    s.ChannelUnits[c] = s.NamedByUser[c] ? row.Unit.toStdString() : s.DeviceUnits[c];
    sink_->SetChannelColor(channel, row.Color);
    sink_->SetChannelLayer(channel, row.Lane && CanHaveLane(channel) ? LaneLayer(channel)
                                    : row.Right                      ? kRightAxisLayer
                                                                     : 1);
    const std::vector<ChannelSpan> spans = ChartChannels(k);
    if (c < spans.size()) {
        k.SetClassVisible(spans[c].Class, row.Shown);
        // A loaded file's channel carries its name in its first record, where saving finds it.
        if (chartLoaded_ && !row.Name.isEmpty() && spans[c].End > spans[c].Begin)
            k.SeriesStore(spans[c].Series)
                .SetItemText(spans[c].Begin, ::ChannelLabel(row.Name.toStdString(), row.Unit.toStdString()));
    }
}

void TForm1::ApplyChannelSettings(const std::vector<ChannelSetting>& rows) {
    // Every number first: a bad one changes nothing.
    std::vector<OwnCalibration> own(rows.size());
    for (std::size_t c = 0; c < rows.size(); ++c)
        own[c] = RowNumbers(c, rows[c]);
    TKartex& k = *Kartex1;
    PaintSuppression once(k);
    for (std::size_t c = 0; c < rows.size() && c < kMaxChannels; ++c)
        ApplyChannelRow(c, rows[c], own[c]);
    if (!chartLoaded_) sink_->ChannelsChanged(Acq().State()); // the run's first records take the new names
    const bool wasRight = RightAxisShown(k);
    if (ArrangeAxes()) FitLanes(k);
    if (!wasRight && RightAxisShown(k)) FitRightAxis(k);
    SaveChannelSettings();
    if (!FollowData()) k.Paint();
    ViewChanged();
}

// The device named a channel during the run: the row remembered for that name (the same signal on
// another column) applies to it from its next sample.
void TForm1::DeviceNamed() {
    const QString device = ChannelDevice();
    if (!settings_ || device.isEmpty() || chartLoaded_) return;
    const AcquisitionState& s = Acq().State();
    bool applied = false;
    for (std::size_t c = 0; c < kMaxChannels; ++c) {
        const std::string& name = s.DeviceNames[c];
        if (name.empty() || name == namedRows_[c]) continue;
        namedRows_[c] = name;
        // A channel the device names takes the row remembered for that name; without one it keeps the
        // row of its column unless that row was another signal's.
        std::optional<ChannelSetting> row = ReadChannelRow(
            QStringLiteral("channels/%1/named/%2").arg(device, QString::fromStdString(name)), c);
        if (!row && !channels_[c].For.isEmpty() && channels_[c].For.toStdString() != name)
            row = PlainRow(static_cast<int>(c));
        if (!row) continue;
        try {
            ApplyChannelRow(c, *row, RowNumbers(c, *row));
            applied = true;
        } catch (const EConvertError&) {
            // A hand-edited number: the channel stays as it was.
        }
    }
    if (!applied) return; // the sink writes the names into the records when this returns
    QTimer::singleShot(0, this, [this] {
        if (ArrangeAxes()) FitLanes(*Kartex1);
        if (!FollowData()) Kartex1->Paint();
    });
}

bool TForm1::ArrangeAxes() {
    TKartex& k = *Kartex1;
    if (chartLoaded_) {
        ShowAxesOfChannels(k);
        return false; // fitted there
    }
    bool right = false;
    std::vector<int> lanes;
    for (int c = 0; c < kMaxChannels; ++c) {
        const int layer = sink_->ChannelLayer(c);
        right = right || layer == kRightAxisLayer;
        if (layer >= kFirstLaneLayer) lanes.push_back(layer);
    }
    SetRightAxis(k, right);
    return ArrangeLanes(k, lanes);
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

namespace {
bool Plain(const ChannelSetting& row, int channel) {
    return row.Name.isEmpty() && row.Unit.isEmpty() && row.Scale.isEmpty() && row.Offset.isEmpty() &&
           row.Color == ChannelColor(channel) && !row.Right && !row.Lane;
}

void WriteRow(QSettings& st, const QString& group, const ChannelSetting& row, const std::string& name) {
    st.beginGroup(group);
    st.setValue("for", QString::fromStdString(name));
    st.setValue("name", row.Name);
    st.setValue("unit", row.Unit);
    st.setValue("scale", row.Scale);
    st.setValue("offset", row.Offset);
    st.setValue("color", static_cast<qulonglong>(row.Color));
    st.setValue("axis", row.Lane    ? QStringLiteral("lane")
                        : row.Right ? QStringLiteral("right")
                                    : QStringLiteral("left"));
    st.endGroup();
}
} // namespace

// Each row that is not a new device's under its number, and under the device's name of the channel
// where it has one.
void TForm1::SaveChannelSettings() const {
    const QString device = ChannelDevice();
    if (!settings_ || device.isEmpty()) return;
    QSettings& st = *settings_;
    const QString base = QStringLiteral("channels/") + device;
    for (int c = 0; c < kMaxChannels; ++c) {
        const ChannelSetting& row = channels_[static_cast<std::size_t>(c)];
        const std::string& name = Acq().State().DeviceNames[static_cast<std::size_t>(c)];
        const QString number = base + "/" + QString::number(c + 1);
        const QString named = base + "/named/" + QString::fromStdString(name);
        if (Plain(row, c)) {
            st.remove(number);
            if (!name.empty()) st.remove(named);
            continue;
        }
        WriteRow(st, number, row, name);
        if (!name.empty()) WriteRow(st, named, row, name);
    }
    st.sync();
}

std::optional<ChannelSetting> TForm1::ReadChannelRow(const QString& group, std::size_t channel) const {
    QSettings& st = *settings_;
    if (!st.contains(group + "/axis")) return std::nullopt;
    ChannelSetting row = PlainRow(static_cast<int>(channel));
    st.beginGroup(group);
    row.Name = st.value("name").toString();
    row.Unit = st.value("unit").toString();
    if (channel > 0) row.Scale = st.value("scale").toString(), row.Offset = st.value("offset").toString();
    bool ok = false;
    const qulonglong color = st.value("color").toULongLong(&ok);
    if (ok && color <= 0xFFFFFF) row.Color = static_cast<TColor>(color);
    row.Right = st.value("axis").toString() == QStringLiteral("right");
    row.Lane = st.value("axis").toString() == QStringLiteral("lane");
    row.For = st.value("for").toString();
    st.endGroup();
    return row;
}

// The remembered rows of the device about to start; a row that cannot be taken is passed over.
void TForm1::LoadChannelSettings() {
    lanesFitted_.reset();
    for (int c = 0; c < kMaxChannels; ++c) {
        channels_[static_cast<std::size_t>(c)] = PlainRow(c);
        namedRows_[static_cast<std::size_t>(c)].clear();
    }
    const QString device = ChannelDevice();
    if (settings_ && !device.isEmpty())
        for (std::size_t c = 0; c < kMaxChannels; ++c)
            if (const auto row = ReadChannelRow(QStringLiteral("channels/%1/%2").arg(device).arg(c + 1), c))
                channels_[c] = *row;
    try {
        ApplyChannelSettings(channels_);
    } catch (const EConvertError&) {
        // A hand-edited number: the channels start as a new device's.
        for (int c = 0; c < kMaxChannels; ++c)
            channels_[static_cast<std::size_t>(c)] = PlainRow(c);
        ApplyChannelSettings(channels_);
    }
}
