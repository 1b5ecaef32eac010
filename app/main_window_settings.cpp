// The main window's remembered settings: what LoadSettings takes from the store and SaveSettings writes
// back (a new one is a row of kFields or kChecks, or a key of its own in both).

#include "app/main_window.h"

#include "app/language.h"

#include "app/send_bar.h"
#include "serial/com_combo_box.h"
#include "serial/core/comport.h"
#include "serial/host/comm_device.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

namespace {
// The text fields and check boxes under their keys in the settings.
template <typename Control> struct Remembered {
    const char* Key;
    Control* TForm1::*Member;
};
constexpr Remembered<QLineEdit> kFields[] = {
    {"fields/scale", &TForm1::DatSkaleEdit}, {"fields/offset", &TForm1::DatOffsetEdit},
    {"fields/xmax", &TForm1::GraphXmaxEdit}, {"fields/ymax", &TForm1::GraphYmaxEdit},
    {"fields/ymin", &TForm1::GraphYminEdit},
};
// "Y  Log" before "DoubleTics": checking it checks double ticks, which the user may have unchecked.
constexpr Remembered<QCheckBox> kChecks[] = {
    {"view/grid", &TForm1::GridCheckBox1},
    {"view/logY", &TForm1::LogCheckBox},
    {"view/doubleTicks", &TForm1::DoubleTicsCheckBox},
    {"view/follow", &TForm1::FollowCheckBox},
    {"view/yAuto", &TForm1::YAutoCheckBox},
};
} // namespace

void TForm1::RememberSettings(std::unique_ptr<QSettings> settings, bool port) {
    settings_ = std::move(settings);
    rememberPort_ = port;
    LoadSettings();
}

void TForm1::LoadSettings() {
    QSettings& st = *settings_;
    // A remembered value that cannot be applied (a hand-edited file, an older version's value) is passed
    // over and named in the status bar; the window starts with what it would choose itself.
    QStringList passedOver;
    const auto apply = [&](const char* key, const auto& fn) {
        if (!st.contains(key)) return;
        try {
            fn(st.value(key));
        } catch (const std::exception&) {
            passedOver << QString::fromLatin1(key);
        }
    };
    apply("window/geometry", [&](const QVariant& v) { restoreGeometry(v.toByteArray()); });
    // A device that is gone leaves the port as the list chose it.
    apply("port/name", [&](const QVariant& v) {
        const QString port = v.toString();
        std::error_code ec;
        if (!port.isEmpty() && std::filesystem::exists(host::DevicePath(port.toStdString()), ec))
            SelectPort(port);
    });
    apply("port/baud", [&](const QVariant& v) { SelectBaudRate(v.toString()); });
    const auto loadFields = [&] {
        for (const auto& f : kFields)
            apply(f.Key, [&](const QVariant& v) { (this->*f.Member)->setText(v.toString()); });
    };
    loadFields();
    for (const auto& c : kChecks)
        apply(c.Key, [&](const QVariant& v) { (this->*c.Member)->setChecked(v.toBool()); });
    loadFields(); // "Y  Log" fills Graph Y min
    if (ZoomRadioButton->isEnabled())
        apply("view/zoom", [&](const QVariant& v) {
            (v.toBool() ? ZoomRadioButton : NormalRadioButton)->setChecked(true);
        });
    apply("view/xyTrail", [&](const QVariant& v) { xyTrail_ = std::clamp(v.toInt(), 0, 100'000'000); });
    apply("view/xAxis", [&](const QVariant& v) {
        XAxisComboBox->setCurrentIndex(std::clamp(v.toInt(), 0, XAxisComboBox->count() - 1));
    });
    // The send bar: shown or not, its line end, hex, interval, start command and history (never a
    // poll of its own: nothing is sent unless asked in this run).
    apply("send/bar", [&](const QVariant& v) {
        Senden1->setChecked(v.toBool());
        Senden1Click();
    });
    apply("send/lineEnd", [&](const QVariant& v) {
        SendBar->LineEndComboBox->setCurrentIndex(
            std::clamp(v.toInt(), 0, SendBar->LineEndComboBox->count() - 1));
    });
    apply("send/hex", [&](const QVariant& v) { SendBar->HexCheckBox->setChecked(v.toBool()); });
    apply("send/repeatMs", [&](const QVariant& v) { SendBar->RepeatSpinBox->setValue(v.toInt()); });
    apply("send/init", [&](const QVariant& v) { SendBar->InitEdit->setText(v.toString()); });
    apply("send/history", [&](const QVariant& v) { SendBar->SetHistory(v.toStringList()); });
    // Where every sample goes on to: URLs without a password (a hand-edited one that names no target
    // is passed over at Start).
    apply("window/language", [&](const QVariant& v) {
        if (!Languages().contains(v.toString())) throw std::invalid_argument("language");
        if (v.toString() != language_) SetLanguage(v.toString());
    });
    apply("forward/targets", [&](const QVariant& v) { forwardUrls_ = v.toStringList(); });
    apply("sources/extra", [&](const QVariant& v) { sourceUrls_ = v.toStringList(); });
    apply("forward/device", [&](const QVariant& v) {
        if (!v.toString().isEmpty()) forwardDevice_ = v.toString();
    });
    if (!passedOver.isEmpty())
        statusBar()->showMessage(
            tr("Gespeicherte Einstellung nicht übernommen: %1").arg(passedOver.join(QStringLiteral(", "))),
            10000);
}

void TForm1::SaveSettings() {
    if (!settings_) return;
    QSettings& st = *settings_;
    st.setValue("window/geometry", saveGeometry());
    if (rememberPort_) {
        st.setValue("port/name", QString::fromStdString(port_->Port()));
        // A rate outside the list is kept as its number ("Custom" alone could not be selected again).
        st.setValue("port/baud", port_->BaudRate() == brCustom
                                     ? QString::number(port_->CustomBaudRate())
                                     : QString::fromStdString(ComComboBox1->Text()));
    }
    for (const auto& f : kFields)
        st.setValue(f.Key, (this->*f.Member)->text());
    for (const auto& c : kChecks)
        st.setValue(c.Key, (this->*c.Member)->isChecked());
    st.setValue("view/zoom", ZoomRadioButton->isChecked());
    st.setValue("view/xAxis", XAxisComboBox->currentIndex());
    st.setValue("view/xyTrail", xyTrail_);
    st.setValue("send/bar", Senden1->isChecked());
    st.setValue("send/lineEnd", SendBar->LineEndComboBox->currentIndex());
    st.setValue("send/hex", SendBar->HexCheckBox->isChecked());
    st.setValue("send/repeatMs", SendBar->RepeatSpinBox->value());
    st.setValue("send/init", SendBar->InitEdit->text());
    st.setValue("send/history", SendBar->History());
    st.setValue("forward/targets", forwardUrls_);
    if (rememberSources_) st.setValue("sources/extra", sourceUrls_);
    st.setValue("forward/device", forwardDevice_);
    st.sync();
}
