#include "app/channel_legend.h"
#include "app/core/conversions.h"
#include "app/core/journal.h"
#include "app/error_box.h"
#include "app/info_window.h"
#include "app/main_window.h"
#include "app/raw_pane.h"
#include "app/send_bar.h"
#include "chart/core/item_file.h"
#include "chart/kartex.h"
#include "serial/com_combo_box.h"
#include "serial/com_led.h"
#include "serial/core/comport.h"
#include "sim_process.h"
#include "tests/file_size_limit.h"
#include "tests/wait.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSet>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

bool WaitFor(const std::function<bool()>& done) {
    return WaitUntilHolds(done, 10);
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        errorbox::SetShow([this](const QString& m) { errors << m; });
        form = std::make_unique<TForm1>();
        form->SetDecimalSeparator(',');
        form->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        form.reset();
        // What the port told before it closed reaches this test's list, not the next test's.
        for (int turn = 0; turn < 3; ++turn)
            QApplication::processEvents();
        errorbox::SetShow({});
    }
    bool GroupsEnabled() const {
        return form->ClearGraphButton->isEnabled() && form->GroupBox1->isEnabled() &&
               form->GroupBox2->isEnabled() && form->LogCheckBox->isEnabled();
    }

    QStringList errors;
    std::unique_ptr<TForm1> form;
};

} // namespace

TEST_F(MainWindow, StartsWithItsCaptionsAndDefaults) {
    const QStringList captions{form->windowTitle(),           form->StartButton->text(),
                               form->StopButton->text(),      form->ClearGraphButton->text(),
                               form->ResetAxisButton->text(), form->GroupBox1->title(),
                               form->GroupBox2->title(),      form->RichEdit1->toPlainText()};
    EXPECT_EQ(captions, (QStringList{"  M e v r a n t", " Start", " Stop", " Clear Graph", "Reset Axis",
                                     "  Schnittstelle  ", "  Graph Parameter ", "Rohdaten ..."}));
    const QStringList fields{form->DatSkaleEdit->text(), form->DatOffsetEdit->text(),
                             form->GraphXmaxEdit->text(), form->GraphYmaxEdit->text(),
                             form->GraphYminEdit->text()};
    EXPECT_EQ(fields, (QStringList{"1", "0", "100", "100", "0"}));
    EXPECT_TRUE(form->GridCheckBox1->isChecked());
    EXPECT_FALSE(form->DoubleTicsCheckBox->isChecked());
    EXPECT_TRUE(form->NormalRadioButton->isChecked());
    EXPECT_EQ(form->Kartex1->GridStyle(), gsLines);
    EXPECT_EQ(form->Kartex1->MouseAction(), maPan);
    // The chart's design range until the first Start.
    EXPECT_EQ(form->Kartex1->Scale1X()->RangeLow(), 0.0);
    EXPECT_EQ(form->Kartex1->Scale1X()->RangeHigh(), 100.0);
    EXPECT_EQ(form->Kartex1->Scale1Y()->RangeLow(), 1.0);
    EXPECT_EQ(form->Kartex1->Scale1Y()->RangeHigh(), 200.0);
    EXPECT_EQ(form->Kartex1->AllocSize(), 250000);
    EXPECT_FALSE(form->Kartex1->Scale2Y()->Visible());
    EXPECT_EQ(form->ComPort1().BaudRate(), br115200);
    EXPECT_EQ(form->ComLed1->State(), lsOff);
    EXPECT_TRUE(GroupsEnabled());
    EXPECT_GE(form->width(), 900);
}

// The design's place where the window fits on its screen, else moved in as far as it needs (a screen
// scaled by two, or the test platform's small one, has less room than the design's place assumes).
TEST_F(MainWindow, StartsOnItsScreen) {
    const QRect free = form->screen()->availableGeometry();
    const QRect at = form->frameGeometry();
    EXPECT_GE(at.left(), free.left());
    EXPECT_GE(at.top(), free.top());
    EXPECT_TRUE(at.right() <= free.right() || at.left() == free.left()) << at.left() << " " << free.right();
    EXPECT_TRUE(at.bottom() <= free.bottom() || at.top() == free.top()) << at.top() << " " << free.bottom();
}

TEST_F(MainWindow, NoCaptionIsClippedInEitherLanguage) {
    form->Info1->trigger();   // the info window's captions as well
    form->Senden1->trigger(); // and the send bar's
    for (const char* language : {"de", "en"}) {
        form->SetLanguage(language, false);
        QApplication::processEvents();
        for (QWidget* w : form->findChildren<QWidget*>()) {
            if (!w->isVisible() || !w->parentWidget()) continue;
            QString text;
            if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
            if (auto* c = qobject_cast<QAbstractButton*>(w)) text = c->text();
            if (text.isEmpty()) continue;
            EXPECT_GE(w->width(), w->sizeHint().width()) << language << ": " << text.toStdString();
            EXPECT_LE(w->geometry().right(), w->parentWidget()->width())
                << language << ": " << text.toStdString();
        }
    }
    form->SetLanguage("de", false);
}

namespace {
// The German source texts whose English is another text, from the translation file.
QSet<QString> GermanOnly() {
    QFile ts(qEnvironmentVariable("MEVRANT_SOURCE_DIR") + "/translations/mevrant_en.ts");
    EXPECT_TRUE(ts.open(QIODevice::ReadOnly));
    QSet<QString> german;
    QXmlStreamReader xml(&ts);
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("source")) source = xml.readElementText();
        if (xml.name() == QLatin1String("translation") && xml.readElementText() != source) german << source;
    }
    return german;
}

// Every caption the window shows, its menus' and its own widgets'.
QStringList Captions(TForm1& form) {
    QStringList texts;
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (auto* l = qobject_cast<QLabel*>(w)) texts << l->text() << l->toolTip();
        if (auto* b = qobject_cast<QAbstractButton*>(w)) texts << b->text() << b->toolTip();
        if (auto* g = qobject_cast<QGroupBox*>(w)) texts << g->title();
        if (auto* e = qobject_cast<QLineEdit*>(w)) texts << e->placeholderText() << e->toolTip();
        if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i)
                texts << c->itemText(i);
    }
    for (QAction* a : form.findChildren<QAction*>())
        texts << a->text();
    texts << form.RichEdit1->toPlainText();
    texts.removeAll(QString());
    return texts;
}
} // namespace

// "Sprache / Language" switches every caption at once, Qt's own buttons with it, and is remembered; a
// window started later speaks the remembered language.
TEST_F(MainWindow, TheLanguageSwitchesAtOnceAndIsRemembered) {
    QTemporaryDir dir;
    const QString ini = dir.filePath("mevrant.conf");
    form->RememberSettings(std::make_unique<QSettings>(ini, QSettings::IniFormat));
    const QSet<QString> german = GermanOnly();
    ASSERT_GT(german.size(), 50);
    const auto switchTo = [&](const QString& code) {
        for (QAction* a : form->LanguageActions)
            if (a->data().toString() == code) a->trigger();
        QApplication::processEvents();
    };
    const auto cancel = [] { // a standard button as Qt says it
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        return box.button(QDialogButtonBox::Cancel)->text().remove('&');
    };
    EXPECT_EQ(cancel(), "Abbrechen");
    switchTo("en");
    EXPECT_EQ(form->Language(), "en");
    EXPECT_EQ(form->Kanaele1->text(), "Channels …");
    EXPECT_EQ(form->FollowCheckBox->text(), "Follow");
    EXPECT_EQ(form->GroupBox2->title(), "  Graph parameters ");
    EXPECT_EQ(form->XAxisComboBox->itemText(0), "X: Sample no.");
    EXPECT_EQ(form->SendBar->SendButton->text(), "Send");
    EXPECT_EQ(cancel(), "Cancel");
    for (const QString& text : Captions(*form))
        EXPECT_FALSE(german.contains(text)) << "left German: " << text.toStdString();
    EXPECT_EQ(QSettings(ini, QSettings::IniFormat).value("window/language").toString(), "en");

    auto later = std::make_unique<TForm1>();
    later->RememberSettings(std::make_unique<QSettings>(ini, QSettings::IniFormat));
    EXPECT_EQ(later->Language(), "en");
    EXPECT_EQ(later->StopButton->text(), " Stop");
    EXPECT_EQ(later->Erfassungladen->text(), "Load acquisition");
    later.reset();

    switchTo("de");
    EXPECT_EQ(form->Kanaele1->text(), "Kanäle …");
    EXPECT_EQ(form->FollowCheckBox->text(), "Mitlaufen");
    EXPECT_EQ(form->XAxisComboBox->itemText(0), "X: Messwert-Nr.");
    EXPECT_EQ(cancel(), "Abbrechen");
    EXPECT_EQ(QSettings(ini, QSettings::IniFormat).value("window/language").toString(), "de");
}

// The value label paints its text on a kept picture of what lies beneath it: on screen it shows what a
// whole paint of the window draws there, after new values and after the window's palette changed.
TEST_F(MainWindow, TheValueOnScreenIsWhatAWholePaintDraws) {
    const auto same = [&](const char* when) {
        QTest::qWait(20); // the window's repaint after a palette change comes a turn later
        const QRect at(form->Label10->mapTo(form.get(), QPoint(0, 0)), form->Label10->size());
        const QImage screen = form->screen()->grabWindow(form->winId()).toImage().copy(at);
        // The reference as any label paints it: without the label's picture of what lies beneath.
        QEvent restyled(QEvent::StyleChange);
        QCoreApplication::sendEvent(form->Label10, &restyled);
        const QImage whole = form->grab(at).toImage();
        EXPECT_TRUE(screen.convertToFormat(QImage::Format_RGB32) ==
                    whole.convertToFormat(QImage::Format_RGB32))
            << when;
        QTest::qWait(20); // the label takes its picture again before the next change
    };
    for (const QColor& button : {form->palette().color(QPalette::Button), QColor(Qt::darkCyan)}) {
        QPalette palette = form->palette();
        palette.setColor(QPalette::Button, button);
        form->setPalette(palette);
        for (const char* value : {"12,5", "-1234567,25", "7"}) {
            form->Label10->setText(value);
            same(value);
        }
    }
}

TEST_F(MainWindow, BadFieldLeavesWindowChartAndPaneAsTheyWere) {
    form->Kartex1->MoveToPoint(0, 1);
    form->DatSkaleEdit->setText("abc");
    QTest::mouseClick(form->StartButton, Qt::LeftButton);
    ASSERT_EQ(errors, QStringList{"'abc' ist kein gültiger Gleitkommawert"});
    EXPECT_TRUE(GroupsEnabled());
    EXPECT_FALSE(form->Acquiring());
    EXPECT_EQ(form->RichEdit1->toPlainText(), "Rohdaten ...");
    EXPECT_EQ(form->Kartex1->ItemCount(), 1);

    errors.clear();
    form->DatSkaleEdit->setText("1,5");
    form->DatOffsetEdit->setText("1,5");
    QTest::mouseClick(form->StartButton, Qt::LeftButton);
    EXPECT_EQ(errors, QStringList{"'1,5' ist kein gültiger Integerwert"});
    EXPECT_TRUE(GroupsEnabled());
}

TEST_F(MainWindow, MissingPortIsReportedAndTheWindowStaysIdle) {
    form->SelectPort("/dev/mevrant-no-such-port");
    QTest::mouseClick(form->StartButton, Qt::LeftButton);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith("Unable to open com port (Error: 2)")) << errors[0].toStdString();
    EXPECT_TRUE(GroupsEnabled());
    EXPECT_FALSE(form->Acquiring());
    EXPECT_EQ(form->RichEdit1->toPlainText(), "Rohdaten ...");
    EXPECT_EQ(form->ComLed1->State(), lsOff);
}

TEST_F(MainWindow, AcquisitionFillsChartPaneAndLabel) {
    SimProcess sim({"--count", "40", "--rate", "400", "--wave", "ramp", "--burst", "3", "--split"});
    form->SelectPort(sim.Path());
    form->DatSkaleEdit->setText("2");
    form->DatOffsetEdit->setText("1");
    QTest::mouseClick(form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    EXPECT_TRUE(form->Acquiring());
    EXPECT_FALSE(GroupsEnabled());
    EXPECT_TRUE(form->StopButton->isEnabled());
    EXPECT_EQ(form->ComLed1->State(), lsOn);
    ASSERT_TRUE(WaitFor([&] { return form->Acq().State().SampleCount == 40; }));

    TKartex& k = *form->Kartex1;
    ASSERT_EQ(k.ItemCount(), 40);
    EXPECT_EQ(k.Item(0).Kind, ikMoveTo);
    EXPECT_EQ(k.Item(0).X, 0.0);
    EXPECT_EQ(k.Item(39).Kind, ikLineTo);
    EXPECT_EQ(k.Item(39).X, 40.0);
    EXPECT_EQ(k.Item(39).Color, 0xFF0000u);
    const QStringList pane = form->RichEdit1->toPlainText().split('\n');
    ASSERT_EQ(pane.size(), 40);
    // Every plotted value is the received text scaled by 2 and offset by 1.
    for (int i = 0; i < 40; ++i) {
        const float raw = static_cast<float>(*ReceivedTextToDouble(pane[i].toStdString()));
        EXPECT_EQ(k.Item(i).Y, static_cast<float>(static_cast<long double>(raw) * 2 + 1)) << i;
    }
    EXPECT_EQ(form->Label10->text().toStdString(), FormatPlotValue(form->Acq().State().PlotValue, ','));

    QTest::mouseClick(form->StopButton, Qt::LeftButton);
    EXPECT_FALSE(form->Acquiring());
    EXPECT_TRUE(GroupsEnabled());
    EXPECT_EQ(form->ComLed1->State(), lsOff);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(MainWindow, DeviceGoneWaitsForItUntilStopAndKeepsTheSamples) {
    SimProcess sim({"--rate", "200"});
    form->SelectPort(sim.Path());
    QTest::mouseClick(form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return form->Acq().State().SampleCount >= 5; }));
    sim.Kill();
    ASSERT_TRUE(WaitFor([&] { return form->WaitingForDevice(); }));
    EXPECT_EQ(errors, QStringList{"WaitForEvent method failed (Error: 1167)"});
    EXPECT_TRUE(form->Acquiring());
    EXPECT_FALSE(form->GroupBox1->isEnabled() || form->GroupBox2->isEnabled() ||
                 form->StartButton->isEnabled());
    EXPECT_TRUE(form->ComLed1->Blinking());
    EXPECT_EQ(form->PortStatusLabel->text(), QString("Warte auf das Gerät …"));
    QTest::mouseClick(form->StartButton, Qt::LeftButton); // unusable while waiting
    EXPECT_TRUE(form->WaitingForDevice());

    QTest::mouseClick(form->StopButton, Qt::LeftButton);
    EXPECT_FALSE(form->Acquiring() || form->WaitingForDevice() || form->ComLed1->Blinking());
    EXPECT_TRUE(GroupsEnabled() && form->StartButton->isEnabled());
    EXPECT_EQ(form->ComLed1->State(), lsOff);
    EXPECT_FALSE(form->ComPort1().Connected());
    EXPECT_EQ(form->Kartex1->ItemCount(), form->Acq().State().SampleCount);
    EXPECT_GE(form->Kartex1->ItemCount(), 5);
    EXPECT_EQ(errors.size(), 1);
}

// Drags across the chart with the left button held, as a user pans it.
void DragChart(TKartex& k, QPoint from, QPoint to) {
    const auto send = [&k](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(at), k.mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(&k, &e);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

TEST_F(MainWindow, TheViewFollowsTheNewestSamplesUntilTheUserMovesIt) {
    TKartex& k = *form->Kartex1;
    ASSERT_TRUE(form->FollowCheckBox->isChecked());
    EXPECT_FALSE(form->YAutoCheckBox->isChecked());
    SimProcess sim({"--count", "600", "--rate", "300", "--wave", "ramp"});
    form->SelectPort(sim.Path());
    QTest::mouseClick(form->StartButton, Qt::LeftButton);
    // X max is 100: past it the view keeps its width and ends at the newest sample.
    ASSERT_TRUE(WaitFor([&] { return k.Scale1X()->RangeHigh() >= 150; }));
    EXPECT_EQ(k.Scale1X()->RangeHigh() - k.Scale1X()->RangeLow(), 100);
    EXPECT_LT(form->Acq().State().SampleCount, 600);

    // A pan freezes the view while the samples keep arriving, every one of them kept.
    DragChart(k, {200, 150}, {300, 150});
    EXPECT_FALSE(form->FollowCheckBox->isChecked());
    const double low = k.Scale1X()->RangeLow(), high = k.Scale1X()->RangeHigh();
    ASSERT_TRUE(WaitFor([&] { return k.ItemCount() == 600; }));
    QTest::qWait(50); // frames after the last sample
    EXPECT_EQ(k.Scale1X()->RangeLow(), low);
    EXPECT_EQ(k.Scale1X()->RangeHigh(), high);

    // Checking it again jumps back to the newest data.
    form->FollowCheckBox->setChecked(true);
    EXPECT_EQ(k.Scale1X()->RangeLow(), 500);
    EXPECT_EQ(k.Scale1X()->RangeHigh(), 600);
}

// Three channels: a legend row each; a click on a row hides the channel's line and takes it out of Y
// auto, a second click shows it again.
TEST_F(MainWindow, TheLegendShowsEveryChannelAndHidesOneOnAClick) {
    TKartex& k = *form->Kartex1;
    form->YAutoCheckBox->setChecked(true);
    SimProcess sim(
        {"--channels", "3", "--count", "150", "--rate", "1000", "--wave", "ramp", "--decimals", "0"});
    form->SelectPort(sim.Path());
    QTest::mouseClick(form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return k.SeriesCount() == 3 && k.SeriesStore(2).ItemCount() == 150; }));
    QTest::qWait(50);
    TChannelLegend& legend = *form->Legend;
    ASSERT_TRUE(legend.isVisible());
    ASSERT_EQ(legend.Rows().size(), 3u);
    EXPECT_EQ(legend.Rows()[1].Name, "Kanal 2");
    EXPECT_EQ(legend.Rows()[1].Color, ChannelColor(1));
    // The view follows: the newest samples are at the right, and the legend is not over them.
    const int newest = k.WorldToPixel(1, k.Item(k.ItemCount() - 1).X, 0).X;
    EXPECT_FALSE(newest >= legend.x() && newest < legend.x() + legend.width()) << newest << " " << legend.x();
    const QImage before = k.PlotBitmap().copy();
    const int rowHeight = legend.height() / 3;
    QTest::mouseClick(&legend, Qt::LeftButton, {}, QPoint(10, rowHeight * 3 / 2));
    EXPECT_FALSE(k.ClassVisible(1));
    EXPECT_FALSE(legend.Rows()[1].Shown);
    EXPECT_TRUE(k.ClassVisible(0) && k.ClassVisible(2));
    EXPECT_FALSE(k.PlotBitmap() == before);
    QTest::mouseClick(&legend, Qt::LeftButton, {}, QPoint(10, rowHeight * 3 / 2));
    EXPECT_TRUE(k.ClassVisible(1));
    EXPECT_TRUE(k.PlotBitmap() == before);
    // "Im Bild" is the first channel shown, named; hiding it passes the figures to the next.
    EXPECT_TRUE(form->ViewStatusLabel->text().startsWith("Im Bild (Kanal 1): Min "))
        << form->ViewStatusLabel->text().toStdString();
    QTest::mouseClick(&legend, Qt::LeftButton, {}, QPoint(10, rowHeight / 2));
    EXPECT_TRUE(form->ViewStatusLabel->text().startsWith("Im Bild (Kanal 2): Min "))
        << form->ViewStatusLabel->text().toStdString();
    QTest::mouseClick(&legend, Qt::LeftButton, {}, QPoint(10, rowHeight / 2));
    EXPECT_TRUE(k.PlotBitmap() == before);

    // The PNG is the chart as shown, the legend on it: they differ inside the legend's box only.
    QTemporaryDir dir;
    form->SetFileDialog([&](bool, const QString&, const QString&) { return dir.filePath("c.png"); });
    form->GrafikSpeichernPNG->trigger();
    const QImage png = QImage(dir.filePath("c.png")).convertToFormat(QImage::Format_RGB32);
    const QImage shown = k.ChartBitmap().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(png.size(), shown.size());
    int inside = 0, outside = 0;
    for (int y = 0; y < png.height(); ++y)
        for (int x = 0; x < png.width(); ++x)
            if (png.pixel(x, y) != shown.pixel(x, y)) ++(legend.geometry().contains(x, y) ? inside : outside);
    EXPECT_GT(inside, 100);
    EXPECT_EQ(outside, 0);
}

// A channel that so far had only gaps has an empty series: the read-out passes over it.
TEST_F(MainWindow, TheReadOutPassesOverAChannelWithoutSamples) {
    TKartex& k = *form->Kartex1;
    QTemporaryDir dir;
    QFile values(dir.filePath("gaps.txt"));
    ASSERT_TRUE(values.open(QIODevice::WriteOnly));
    values.write("1,,3\n2,,4\n");
    values.close();
    SimProcess sim({"--file", values.fileName(), "--count", "40", "--max"});
    form->SelectPort(sim.Path());
    QTest::mouseClick(form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return k.SeriesCount() == 3 && k.SeriesStore(2).ItemCount() == 40; }));
    EXPECT_EQ(k.SeriesStore(1).ItemCount(), 0);
    k.SetScaleRange(1, 0, 0, 50, 10);
    const TPoint p = k.WorldToPixel(1, 20, 2);
    QMouseEvent move(QEvent::MouseMove, QPointF(p.X, p.Y), k.mapToGlobal(QPointF(p.X, p.Y)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&k, &move);
    EXPECT_EQ(k.TextLabel(1).Caption(), "Nr. 20: 2  |  4");
}

TEST_F(MainWindow, YAutoSpansTheSamplesInViewAndFollowsAStep) {
    QTemporaryDir dir;
    QFile values(dir.filePath("step.txt"));
    ASSERT_TRUE(values.open(QIODevice::WriteOnly));
    for (int i = 0; i < 300; ++i)
        values.write(i < 150 ? "10\n" : "50\n");
    values.close();
    TKartex& k = *form->Kartex1;
    form->YAutoCheckBox->setChecked(true);
    SimProcess sim({"--file", values.fileName(), "--count", "300", "--max"});
    form->SelectPort(sim.Path());
    QTest::mouseClick(form->StartButton, Qt::LeftButton);
    // The newest 100 samples are all 50: the range is 50 with a margin of a twentieth of it.
    ASSERT_TRUE(WaitFor([&] { return k.ItemCount() == 300 && k.Scale1X()->RangeHigh() == 300; }));
    EXPECT_DOUBLE_EQ(k.Scale1Y()->RangeLow(), 47.5);
    EXPECT_DOUBLE_EQ(k.Scale1Y()->RangeHigh(), 52.5);
    // A view of all 300 spans the step, 10 to 50, with a margin of a twentieth of the span.
    ASSERT_TRUE(WaitFor([&] { return form->WaitingForDevice(); })); // the device ended
    form->StopButton->click();
    form->GraphXmaxEdit->setText("300");
    form->ResetAxisButton->click();
    EXPECT_DOUBLE_EQ(k.Scale1Y()->RangeLow(), 8);
    EXPECT_DOUBLE_EQ(k.Scale1Y()->RangeHigh(), 52);
    EXPECT_EQ(k.Scale1X()->RangeLow(), 0);
    EXPECT_EQ(k.Scale1X()->RangeHigh(), 300);
}

TEST_F(MainWindow, PngIsThePictureOnTheScreenAndCsvTheSamples) {
    QTemporaryDir dir;
    TKartex& k = *form->Kartex1;
    k.SetDataColor(0xFF0000);
    k.MoveToPoint(0, 30);
    k.LineToPoint(2, 45.5);
    k.LineToPoint(3, -1e-3);
    k.Redraw();
    QString file;
    form->SetFileDialog([&](bool save, const QString&, const QString& suffix) {
        EXPECT_TRUE(save);
        return file = dir.filePath("export." + suffix);
    });
    form->GrafikSpeichernPNG->trigger();
    ASSERT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    const QImage png = QImage(file).convertToFormat(QImage::Format_RGB32);
    const QImage shown = k.ChartBitmap().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(png, shown);
    EXPECT_TRUE(std::any_of(reinterpret_cast<const QRgb*>(png.constBits()),
                            reinterpret_cast<const QRgb*>(png.constBits()) + png.width() * png.height(),
                            [](QRgb c) { return qBlue(c) == 255 && qRed(c) == 0; }))
        << "the line in its own colour";

    form->DatenExportierenCSV->trigger();
    QFile csv(file);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(csv.readAll()), "sample,time,value\r\n1,,30\r\n2,,45.5\r\n3,,-0.001\r\n");
}

TEST_F(MainWindow, CheckBoxesAndRadioButtonsReachTheChart) {
    TKartex& k = *form->Kartex1;
    form->GridCheckBox1->setChecked(false);
    EXPECT_EQ(k.GridStyle(), gsNone);
    form->GridCheckBox1->setChecked(true);
    EXPECT_EQ(k.GridStyle(), gsLines);

    form->DoubleTicsCheckBox->setChecked(true);
    EXPECT_EQ(k.Scale1X()->MinTicks(), 6);
    EXPECT_EQ(k.Scale1Y()->MinTicks(), 6);
    form->DoubleTicsCheckBox->setChecked(false);
    EXPECT_EQ(k.Scale1Y()->MinTicks(), 3);

    form->ZoomRadioButton->setChecked(true);
    EXPECT_EQ(k.MouseAction(), maZoomDrag);

    form->LogCheckBox->setChecked(true);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    EXPECT_EQ(form->GraphYminEdit->text(), "0,1");
    EXPECT_TRUE(form->DoubleTicsCheckBox->isChecked());
    EXPECT_TRUE(form->NormalRadioButton->isChecked());
    EXPECT_EQ(k.MouseAction(), maPan);
    EXPECT_FALSE(form->ZoomRadioButton->isEnabled());
    EXPECT_TRUE(k.Scale1Y()->Logarithmic());
    EXPECT_FLOAT_EQ(static_cast<float>(k.Scale1Y()->RangeLow()), 0.1f);

    form->LogCheckBox->setChecked(false);
    EXPECT_EQ(form->GraphYminEdit->text(), "0");
    EXPECT_TRUE(form->ZoomRadioButton->isEnabled());
    EXPECT_FALSE(k.Scale1Y()->Logarithmic());
    EXPECT_TRUE(form->DoubleTicsCheckBox->isChecked());
    // The lower limit stays until Reset Axis.
    EXPECT_FLOAT_EQ(static_cast<float>(k.Scale1Y()->RangeLow()), 0.1f);
    QTest::mouseClick(form->ResetAxisButton, Qt::LeftButton);
    EXPECT_EQ(k.Scale1Y()->RangeLow(), 0.0);
    EXPECT_EQ(k.Scale1X()->RangeHigh(), 100.0);
}

TEST_F(MainWindow, YLogWithABadFieldUnchecksAndStaysLinear) {
    form->SetDecimalSeparator('.');
    form->LogCheckBox->setChecked(true);
    EXPECT_EQ(form->GraphYminEdit->text(), "0.1"); // the locale's separator, so the field converts
    EXPECT_TRUE(form->Kartex1->Scale1Y()->Logarithmic());
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    form->LogCheckBox->setChecked(false);

    form->GraphYmaxEdit->setText("1,5");
    form->LogCheckBox->setChecked(true);
    EXPECT_EQ(errors, QStringList{"'1,5' ist kein gültiger Gleitkommawert"});
    EXPECT_FALSE(form->LogCheckBox->isChecked());
    EXPECT_FALSE(form->Kartex1->Scale1Y()->Logarithmic());
}

TEST_F(MainWindow, ALocaleSeparatorBeyondLatin1StillConverts) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    TForm1 arabic;
    QLocale::setDefault(before);
    const QString sep = QLocale(QLocale::Arabic, QLocale::Egypt).decimalPoint();
    ASSERT_GT(sep.front().unicode(), 0xFF) << "the locale must use a separator beyond Latin-1";
    arabic.LogCheckBox->setChecked(true);
    EXPECT_EQ(arabic.GraphYminEdit->text(), "0" + sep + "1");
    EXPECT_TRUE(arabic.Kartex1->Scale1Y()->Logarithmic());
    arabic.GraphXmaxEdit->setText("12" + sep + "5");
    arabic.ResetAxisButton->click();
    EXPECT_EQ(arabic.Kartex1->Scale1X()->RangeHigh(), 12.5);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(MainWindow, PortAndBaudListsFollowThePort) {
    EXPECT_EQ(form->ComComboBox1->currentText(), "115200");
    const int index9600 = form->ComComboBox1->findText("9600");
    ASSERT_EQ(index9600, 7);
    form->ComComboBox1->setCurrentIndex(index9600);
    emit form->ComComboBox1->activated(index9600); // as the user's choice in the list
    EXPECT_EQ(form->ComPort1().BaudRate(), br9600);

    SimProcess sim({"--rate", "10"});
    form->SelectPort(sim.Path());
    EXPECT_EQ(form->ComPort1().Port(), sim.Path().toStdString());
    EXPECT_EQ(form->ComComboBox3->currentText(), sim.Path());
}

TEST_F(MainWindow, InfoWindowShowsAndHides) {
    EXPECT_FALSE(form->FormInfo->isVisible());
    form->Info1->trigger();
    EXPECT_TRUE(form->FormInfo->isVisible());
    EXPECT_EQ(form->FormInfo->windowTitle(), "  Info");
    EXPECT_EQ(form->FormInfo->Label2->text(), "Version  0.2");
    QTest::mouseClick(form->FormInfo->Button1, Qt::LeftButton);
    EXPECT_FALSE(form->FormInfo->isVisible());
}

TEST_F(MainWindow, AcquisitionFilesThroughTheMenu) {
    QTemporaryDir dir;
    const QString file = dir.filePath("Messlauf-ü-µV.mvx"); // names stay Unicode end to end
    TKartex& k = *form->Kartex1;
    k.SetDataColor(0xFF0000);
    k.MoveToPoint(0, 3);
    k.LineToPoint(2, 4);
    form->SetFileDialog([&](bool save, const QString& filter, const QString& suffix) {
        EXPECT_EQ(filter, "Mevrant Files (*.mvx *.MVX)");
        EXPECT_EQ(suffix, "mvx");
        (void)save;
        return file;
    });
    form->ErfassungSpeichern->trigger();
    EXPECT_EQ(QFileInfo(file).size(), 208);
    k.ClearItems();
    form->Erfassungladen->trigger();
    ASSERT_EQ(k.ItemCount(), 2);
    EXPECT_EQ(k.Item(1).Y, 4.0);

    // A file that cannot be written is reported, not passed over.
    form->SetFileDialog(
        [&](bool, const QString&, const QString&) { return dir.filePath("no/such/dir/x.mvx"); });
    form->ErfassungSpeichern->trigger();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("x.mvx")) << errors[0].toStdString();
}

// The status bar against a direct computation over the samples in view, and the read-out under the mouse.
TEST_F(MainWindow, StatusBarAndReadOutShowTheSamples) {
    TKartex& k = *form->Kartex1;
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> value(-50, 50);
    k.MoveToPoint(0, value(rng));
    for (int x = 2; x <= 1000; ++x)
        k.LineToPoint(x, value(rng));
    struct View {
        double low, high;
    };
    for (const View v : {View{0, 10}, View{250.5, 610}, View{2000, 3000}}) {
        k.SetScaleRange(1, v.low, -100, v.high, 100);
        float lo = 1e9f, hi = -1e9f;
        double sum = 0;
        int n = 0;
        for (int i = 0; i < k.ItemCount(); ++i)
            if (k.Item(i).X >= v.low && k.Item(i).X <= v.high) {
                const auto y = static_cast<float>(k.Item(i).Y);
                lo = std::min(lo, y), hi = std::max(hi, y), sum += y, ++n;
            }
        const auto text = [](double y) {
            return QString::fromStdString(FormatPlotValue(static_cast<float>(y), ','));
        };
        EXPECT_EQ(form->ViewStatusLabel->text(),
                  n == 0 ? QString("Im Bild: keine Messwerte")
                         : QString("Im Bild: Min %1   Max %2   Mittel %3")
                               .arg(text(lo), text(hi), QString::number(sum / n, 'g', 6).replace('.', ',')))
            << v.low;
        // The field keeps its size over shorter texts and grows for longer ones: never cut.
        QApplication::processEvents();
        EXPECT_GE(form->ViewStatusLabel->width(), form->ViewStatusLabel->sizeHint().width()) << v.low;
    }
    EXPECT_EQ(form->CountStatusLabel->text(), "Messwerte: 1000");

    // x 280 is the 280th sample; a pixel spans less than half a sample here.
    k.SetScaleRange(1, 250, -100, 300, 100);
    const TPoint p = k.WorldToPixel(1, 280, 0);
    QMouseEvent move(QEvent::MouseMove, QPointF(p.X, p.Y), k.mapToGlobal(QPointF(p.X, p.Y)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&k, &move);
    EXPECT_EQ(k.CrossHair(1).Mode(), chBoth);
    EXPECT_EQ(k.CrossHair(1).PosX(), 280);
    EXPECT_EQ(k.CrossHair(1).PosY(), k.Item(279).Y);
    EXPECT_EQ(k.TextLabel(1).Caption(),
              "Nr. 280: " + FormatPlotValue(static_cast<float>(k.Item(279).Y), ','));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&k, &leave);
    EXPECT_EQ(k.CrossHair(1).Mode(), chOff);
    EXPECT_EQ(k.TextLabel(1).Mode(), tlOff);
}

// With "X: Zeit (s)" x is the receive time since Start, on a clock the test runs; every record keeps its
// calendar time, which the CSV gives back.
TEST_F(MainWindow, TimeAxisPlotsReceiveTimesAndTheCsvGivesThemBack) {
    double now = 5000;
    form->Acq().SetClock([&] {
        now += 0.05;
        return ReceiveTime{now, 1.7e9 + now};
    });
    form->XAxisComboBox->setCurrentIndex(1);
    form->GraphXmaxEdit->setText("0,2");
    TKartex& k = *form->Kartex1;
    EXPECT_EQ(k.Scale1X()->LabelType(), ftTime);
    SimProcess sim({"--count", "200", "--rate", "500", "--wave", "ramp"});
    form->SelectPort(sim.Path());
    QTest::mouseClick(form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return k.ItemCount() == 200; }));
    QTest::qWait(50);
    form->StopButton->click();
    // The lines of one notification share its time; the start lies a tick or a few before the first.
    EXPECT_GT(k.Item(0).X, 0);
    EXPECT_LT(k.Item(0).X, 0.5);
    ASSERT_GT(k.Item(199).X, 0.2); // more than a few notifications
    for (int i = 1; i < k.ItemCount(); ++i) {
        EXPECT_GE(k.Item(i).X, k.Item(i - 1).X);
        EXPECT_DOUBLE_EQ(k.Item(i).X2 - k.Item(i).X, k.Item(0).X2 - k.Item(0).X);
    }
    EXPECT_DOUBLE_EQ(k.Scale1X()->RangeHigh(), k.Item(199).X); // the newest second in view
    EXPECT_DOUBLE_EQ(k.Scale1X()->RangeLow(), k.Item(199).X - 0.2f);

    QTemporaryDir dir;
    form->SetFileDialog([&](bool, const QString&, const QString&) { return dir.filePath("t.csv"); });
    form->DatenExportierenCSV->trigger();
    QFile csv(dir.filePath("t.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(csv.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 201);
    for (int i = 0; i < 200; ++i) {
        const QStringList cells = rows[i + 1].split(',');
        ASSERT_EQ(cells.size(), 3) << rows[i + 1].toStdString();
        EXPECT_EQ(cells[0].toInt(), i + 1);
        const QDateTime t = QDateTime::fromString(cells[1], Qt::ISODateWithMs);
        EXPECT_NEAR(t.toMSecsSinceEpoch() / 1000.0, k.Item(i).X2, 0.001) << cells[1].toStdString();
        EXPECT_EQ(cells[2].toDouble(), k.Item(i).Y);
    }
}

TEST_F(MainWindow, SettingsComeBackInTheNextRunButNotAPortThatIsGone) {
    QTemporaryDir dir;
    const QString ini = dir.filePath("mevrant.conf");
    const auto store = [&] { return std::make_unique<QSettings>(ini, QSettings::IniFormat); };
    SimProcess sim({"--count", "1"});
    form->RememberSettings(store());
    form->SelectPort(sim.Path());
    form->SelectBaudRate("19200");
    form->DatSkaleEdit->setText("2,5");
    form->GraphXmaxEdit->setText("500");
    form->LogCheckBox->setChecked(true);
    form->GraphYminEdit->setText("0,5");
    form->GridCheckBox1->setChecked(false);
    form->FollowCheckBox->setChecked(false);
    form->YAutoCheckBox->setChecked(true);
    form->XAxisComboBox->setCurrentIndex(1);
    ASSERT_TRUE(QDir(dir.path()).mkdir("out"));
    form->SetFileDialog([&](bool, const QString&, const QString&) { return dir.filePath("out/a.csv"); });
    form->DatenExportierenCSV->trigger();
    form->close();
    form = std::make_unique<TForm1>();
    const std::string listChose = form->ComPort1().Port();
    form->RememberSettings(store());
    EXPECT_EQ(form->ComPort1().Port(), sim.Path().toStdString());
    EXPECT_EQ(form->ComComboBox1->currentText(), "19200");
    const QStringList fields{form->DatSkaleEdit->text(), form->GraphXmaxEdit->text(),
                             form->GraphYminEdit->text()};
    EXPECT_EQ(fields, (QStringList{"2,5", "500", "0,5"}));
    const std::vector<bool> checks{
        form->LogCheckBox->isChecked(),   form->DoubleTicsCheckBox->isChecked(),
        form->GridCheckBox1->isChecked(), form->FollowCheckBox->isChecked(),
        form->YAutoCheckBox->isChecked(), form->XAxisComboBox->currentIndex() == 1};
    EXPECT_EQ(checks, (std::vector<bool>{true, true, false, false, true, true}));
    EXPECT_EQ(QSettings(ini, QSettings::IniFormat).value("dialogs/csv-save").toString(), dir.filePath("out"));

    QSettings(ini, QSettings::IniFormat).setValue("port/name", dir.filePath("unplugged"));
    form = std::make_unique<TForm1>();
    form->RememberSettings(store());
    EXPECT_EQ(form->ComPort1().Port(), listChose);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

// A rate outside the list comes back as itself; a remembered value that cannot be applied is passed over
// and named, never a crash, and no limit read from the file makes the journal delete saved runs.
TEST_F(MainWindow, RemembersACustomRateAndPassesOverHostileValues) {
    QTemporaryDir dir;
    const QString ini = dir.filePath("mevrant.conf");
    const auto store = [&] { return std::make_unique<QSettings>(ini, QSettings::IniFormat); };
    form->RememberSettings(store());
    form->SelectBaudRate("250000");
    form->close();
    form = std::make_unique<TForm1>();
    form->RememberSettings(store());
    EXPECT_EQ(form->ComPort1().BaudRate(), brCustom);
    EXPECT_EQ(form->ComPort1().CustomBaudRate(), 250000u);

    const std::string journal = dir.filePath("journal").toStdString();
    std::filesystem::create_directories(journal);
    for (const char* run : {"/2026-01-01_00-00-00.mvx", "/2026-01-02_00-00-00.mvx"}) {
        std::ofstream(journal + run) << std::string(kChartItemSize, '\1');
        MarkJournalRunSaved(journal + run);
    }
    const struct {
        const char* key;
        QVariant value;
        bool named; // said in the status bar
    } hostile[] = {
        {"port/baud", "Custom", true},
        {"port/baud", "-5", true},
        {"port/baud", "99999999999", true},
        {"port/baud", QVariant(), true},
        {"port/name", "/dev/../\x01\n", false},
        {"window/geometry", "\xff\xfe garbage", false},
        {"fields/xmax", QString(100000, '9'), false},
        {"view/xAxis", "-7", false},
        {"view/zoom", "vielleicht", false},
        {"journal/keepRuns", "abc", false},
        {"journal/keepRuns", "-3", false},
        {"journal/keepGigabytes", "nan", false},
        {"journal/keepGigabytes", "-1", false},
        {"journal/keepGigabytes", "1e300", false},
    };
    for (const auto& h : hostile) {
        QFile::remove(ini);
        store()->setValue(h.key, h.value);
        form = std::make_unique<TForm1>();
        form->RememberSettings(store());
        form->KeepJournal(journal);
        const QString said = form->statusBar()->currentMessage();
        EXPECT_EQ(said.contains(h.key), h.named) << h.key << ": " << said.toStdString();
        EXPECT_EQ(ListJournalRuns(journal).size(), 2u) << h.key;
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

// Every run is kept from its first sample; a saved one is marked, an unfinished one offered at the next
// start, and a journal that cannot be written is reported once while the acquisition goes on.
TEST_F(MainWindow, TheJournalKeepsEveryRun) {
    QTemporaryDir dir;
    const std::string folder = dir.filePath("journal").toStdString();
    TKartex& k = *form->Kartex1;
    form->KeepJournal(folder);
    // A device that goes on sending: the runs end by Stop, never by the device.
    SimProcess sim({"--rate", "1000", "--wave", "ramp"});
    form->SelectPort(sim.Path());
    form->StartButton->click();
    ASSERT_TRUE(WaitFor([&] { return k.ItemCount() >= 50; }));
    form->StopButton->click();
    const int n = k.ItemCount();
    std::vector<JournalRun> runs = ListJournalRuns(folder);
    ASSERT_EQ(runs.size(), 1u);
    const std::vector<TChartItem> kept = LoadItems(runs[0].Path);
    ASSERT_EQ(kept.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(std::memcmp(kept.data(), k.Items(), sizeof(TChartItem) * kept.size()), 0);
    form->SetFileDialog([&](bool, const QString&, const QString&) { return dir.filePath("saved.mvx"); });
    form->ErfassungSpeichern->trigger();
    EXPECT_TRUE(ListJournalRuns(folder)[0].Saved);

    // A run whose program was killed: its open marker names a process that is gone.
    const std::string lost = folder + "/2020-01-01_00-00-00.mvx";
    std::filesystem::copy_file(runs[0].Path, lost);
    {
        std::ifstream boot("/proc/sys/kernel/random/boot_id");
        std::string id;
        std::getline(boot, id);
        std::ofstream(lost + ".open") << 999999999 << ' ' << id << '\n';
    }
    form = std::make_unique<TForm1>();
    form->show();
    QStringList asked;
    form->SetAsk([&](const QString& q) { return asked << q, true; });
    form->KeepJournal(folder);
    ASSERT_EQ(asked.size(), 1);
    const QString records = QString::number(n) + " Messwerte";
    EXPECT_TRUE(asked[0].contains("2020-01-01 00:00:00") && asked[0].contains(records))
        << asked[0].toStdString();
    EXPECT_EQ(form->Kartex1->ItemCount(), n);
    emit form->LetzteErfassungen->aboutToShow(); // lists the runs, newest first
    const QList<QAction*> entries = form->LetzteErfassungen->actions();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_TRUE(entries[0]->text().endsWith(" gespeichert")) << entries[0]->text().toStdString();
    EXPECT_TRUE(entries[1]->text().startsWith("2020-01-01 00:00:00   " + records + "   nicht gespeichert"))
        << entries[1]->text().toStdString();
    EXPECT_FALSE(ListJournalRuns(folder)[0].Unfinished); // asked once

    // No room for the journal: one report, and every sample still arrives.
    TKartex& again = *form->Kartex1;
    bool all = false;
    {
        FileSizeLimit full(20 * kChartItemSize);
        form->SelectPort(sim.Path());
        form->StartButton->click();
        all = WaitFor([&] { return again.ItemCount() >= 300; });
    }
    EXPECT_TRUE(all);
    form->StopButton->click();
    EXPECT_EQ(again.ItemCount(), form->Acq().State().SampleCount);
    ASSERT_EQ(errors.size(), 1) << errors.join("; ").toStdString();
    EXPECT_TRUE(errors[0].contains("nicht gegen Absturz gesichert")) << errors[0].toStdString();
    EXPECT_EQ(form->JournalStatusLabel->text(), "Nicht gesichert");
}

// A journal that fails while three channels arrive: the error box opens after the receive handler
// returned, the device is read on while it is open, and every channel goes on in memory (with the box
// shown inside the handler reading stopped until OK; with the lists still in their files, OK crashed).
TEST_F(MainWindow, AJournalFaultIsToldWhileReadingGoesOn) {
    QTemporaryDir dir;
    form->KeepJournal(dir.filePath("journal").toStdString());
    SimProcess sim({"--rate", "2000", "--wave", "ramp", "--channels", "3"});
    errorbox::SetShow({}); // the real box
    TKartex& k = *form->Kartex1;
    int atBox = -1, whileOpen = -1;
    QElapsedTimer open;
    QTimer probe;
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        if (atBox < 0) {
            atBox = k.ItemCount();
            open.start();
        } else if (k.ItemCount() >= atBox + 500 || open.elapsed() > 3000) {
            whileOpen = k.ItemCount() - atBox;
            errors << box->text();
            box->accept();
        }
    });
    probe.start();
    {
        FileSizeLimit full(2000 * kChartItemSize);
        form->SelectPort(sim.Path());
        form->StartButton->click();
        ASSERT_TRUE(WaitFor([&] { return whileOpen >= 0; }));
        ASSERT_TRUE(WaitFor([&] { return k.SeriesCount() == 3 && k.SeriesStore(2).ItemCount() >= 3000; }));
    }
    // The top bar gives the measured rate during an acquisition, and claims no limit.
    ASSERT_TRUE(WaitFor([&] { return form->Label11->text() != "0 Messwerte/s"; }));
    const int rate = form->Label11->text().section(' ', 0, 0).toInt();
    EXPECT_TRUE(rate > 1000 && rate < 3000 && form->Label11->text().endsWith(" Messwerte/s"))
        << form->Label11->text().toStdString();
    form->StopButton->click();
    EXPECT_TRUE(form->Label11->text().isEmpty());
    EXPECT_GE(whileOpen, 500);
    ASSERT_EQ(errors.size(), 1) << errors.join("; ").toStdString();
    EXPECT_TRUE(errors[0].contains("nicht gegen Absturz gesichert")) << errors[0].toStdString();
    for (int c = 0; c < 3; ++c) {
        const TItemStore& list = k.SeriesStore(c);
        EXPECT_FALSE(list.BackedByFile());
        ASSERT_EQ(list.ItemCount(), form->Acq().State().SampleCount) << c;
        for (int i = 1; i < list.ItemCount(); ++i)
            ASSERT_GT(list.Item(i).X, list.Item(i - 1).X) << c << " " << i;
    }
}

// A file that is no whole number of records loads what it holds, and the status bar says what is odd.
TEST_F(MainWindow, AnOddFileLoadsAndIsToldInTheStatusBar) {
    QTemporaryDir dir;
    const struct {
        std::size_t bytes;
        const char* said;
    } cases[] = {{50, "keinen Messwert-Datensatz"},
                 {3 * kChartItemSize + 7, "endet in 7 Bytes"},
                 {kChartItemSize, ""}};
    for (const auto& c : cases) {
        const QString name = dir.filePath(QString::number(c.bytes) + ".mvx");
        std::ofstream(name.toStdString(), std::ios::binary) << std::string(c.bytes, '\1');
        form->statusBar()->clearMessage();
        form->SetFileDialog([&](bool, const QString&, const QString&) { return name; });
        form->Erfassungladen->trigger();
        EXPECT_EQ(form->Kartex1->ItemCount(), static_cast<int>(c.bytes / kChartItemSize));
        const QString said = form->statusBar()->currentMessage();
        EXPECT_TRUE(*c.said ? said.contains(c.said) : said.isEmpty()) << said.toStdString();
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The channel table over a real device: a name and unit of the user's own, a factor and offset for
// channel 3 that apply to its next samples, channel 2 on the right axis, each remembered for the
// device; a bad number changes nothing and says why.
TEST_F(MainWindow, TheChannelTableSetsEachChannelAndIsRememberedForTheDevice) {
    QTemporaryDir dir;
    const QString ini = dir.filePath("mevrant.conf");
    const auto store = [&] { return std::make_unique<QSettings>(ini, QSettings::IniFormat); };
    // The device as its link, its lasting name: the second run finds it under the same name.
    const QString link = dir.filePath("device");
    const auto device = [&](const char* lines) {
        QFile values(dir.filePath("values.txt"));
        EXPECT_TRUE(values.open(QIODevice::WriteOnly));
        values.write(lines);
        values.close();
        return std::make_unique<SimProcess>(
            QStringList{"--file", values.fileName(), "--rate", "200", "--count", "1000000", "--link", link});
    };
    auto sim = device("t[°C],p,I\n1,10,100\n");
    const auto start = [&](TForm1& f) {
        f.RememberSettings(store());
        f.SelectPort(link);
        f.YAutoCheckBox->setChecked(true);
        QTest::mouseClick(f.StartButton, Qt::LeftButton);
        return WaitFor(
            [&] { return f.Kartex1->SeriesCount() == 3 && f.Kartex1->SeriesStore(2).ItemCount() > 3; });
    };
    ASSERT_TRUE(start(*form));
    TKartex& k = *form->Kartex1;
    const auto table = [&](const std::function<void(QTableWidget&)>& edit) {
        form->Kanaele1->trigger();
        auto* dialog = form->findChild<ChannelDialog*>("Kanaele");
        ASSERT_TRUE(dialog);
        QTableWidget& t = *dialog->Table();
        ASSERT_EQ(t.rowCount(), 3);
        EXPECT_FALSE(t.item(0, ChannelDialog::cScale)->flags() & Qt::ItemIsEditable); // the field's, at Start
        edit(t);
        dialog->accept();
        QApplication::processEvents();
    };
    table([](QTableWidget& t) {
        t.item(1, ChannelDialog::cName)->setText("Druck");
        t.item(1, ChannelDialog::cUnit)->setText("bar");
        t.item(2, ChannelDialog::cScale)->setText("0,5");
        t.item(2, ChannelDialog::cOffset)->setText("-2,25");
        static_cast<QComboBox*>(t.cellWidget(1, ChannelDialog::cAxis))->setCurrentIndex(1);
        static_cast<QComboBox*>(t.cellWidget(2, ChannelDialog::cAxis))->setCurrentIndex(2); // a lane
    });
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    EXPECT_TRUE(RightAxisShown(k));
    const TItemStore& p = k.SeriesStore(1);
    EXPECT_TRUE(std::all_of(p.Items(), p.Items() + p.ItemCount(),
                            [](const TChartItem& it) { return it.Layer == kRightAxisLayer; }));
    const TItemStore& current = k.SeriesStore(2);
    ASSERT_TRUE(WaitFor([&] { return current.Item(current.ItemCount() - 1).Y == 47.75; }));
    ASSERT_TRUE(WaitFor(
        [&] { return form->Legend->Rows().size() == 3 && form->Legend->Rows()[1].Name == "Druck [bar]"; }));
    EXPECT_EQ(form->Legend->Rows()[0].Name, QString::fromUtf8("t [°C]"));
    // Y auto fits each axis to its own channels: the right one to 10 alone, the left one to 1 alone,
    // channel 3's lane to its own samples.
    EXPECT_TRUE(k.Banded());
    EXPECT_EQ(current.Item(0).Layer, LaneLayer(2));
    EXPECT_EQ(k.ScaleY(kRightAxisLayer)->RangeLow(), 9.5);
    EXPECT_EQ(k.ScaleY(kRightAxisLayer)->RangeHigh(), 10.5);
    EXPECT_DOUBLE_EQ(k.Scale1Y()->RangeLow(), 0.95);
    EXPECT_TRUE(WaitFor([&] { // once a frame has shown the new samples
        return k.ScaleY(LaneLayer(2))->RangeLow() < 47.75 && k.ScaleY(LaneLayer(2))->RangeHigh() > 47.75;
    }));

    table([](QTableWidget& t) { t.item(2, ChannelDialog::cScale)->setText("x"); });
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("'x' ist kein gültiger Gleitkommawert")) << errors[0].toStdString();
    EXPECT_EQ(form->ChannelSettings()[2].Scale, "0,5");
    errors.clear();

    // The next window finds them again for the same device, by the channels' names: "p" now comes
    // first and takes its row there; "t" in the second column takes none.
    QTest::mouseClick(form->StopButton, Qt::LeftButton);
    form->close();
    sim.reset(); // its link goes with it
    sim = device("p,t[°C],I\n10,1,100\n");
    form = std::make_unique<TForm1>();
    form->SetDecimalSeparator(',');
    form->show();
    ASSERT_TRUE(start(*form));
    TKartex& next = *form->Kartex1;
    ASSERT_TRUE(WaitFor(
        [&] { return RightAxisShown(next) && next.SeriesStore(0).Item(0).Layer == kRightAxisLayer; }));
    EXPECT_EQ(form->ChannelSettings()[0].Name, "Druck");
    EXPECT_EQ(form->ChannelSettings()[1].Name, "");
    EXPECT_EQ(next.SeriesStore(1).Item(0).Layer, 1);
    EXPECT_EQ(next.SeriesStore(2).Item(0).Layer, LaneLayer(2));
    const TItemStore& again = next.SeriesStore(2);
    ASSERT_TRUE(WaitFor([&] { return again.Item(again.ItemCount() - 1).Y == 47.75; }));
    ASSERT_TRUE(WaitFor(
        [&] { return form->Legend->Rows().size() == 3 && form->Legend->Rows()[0].Name == "Druck [bar]"; }));
    EXPECT_EQ(form->Legend->Rows()[1].Name, QString::fromUtf8("t [°C]"));
    // The read-out gives each value with its unit, its crosshair on the axis of the first channel.
    const TPoint at{next.LRim() + next.PlotWidth() / 2, next.TRim() + next.PlotHeight() / 2};
    QMouseEvent move(QEvent::MouseMove, QPointF(at.X, at.Y), next.mapToGlobal(QPointF(at.X, at.Y)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&next, &move);
    EXPECT_NE(next.TextLabel(1).Caption().find(": 10 bar  |  1 °C  |  "), std::string::npos)
        << next.TextLabel(1).Caption();
    EXPECT_EQ(next.CrossHair(1).Layer(), kRightAxisLayer);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

// "X: Kanal 1" over a real device: the other channels against channel 1, Mitlaufen and Y auto fit both
// axes to the values, the read-out stays off (x is no sample's number), and the choice comes back.
TEST_F(MainWindow, XAgainstAChannelFitsBothAxesToTheValues) {
    QTemporaryDir dir;
    const QString ini = dir.filePath("mevrant.conf");
    form->RememberSettings(std::make_unique<QSettings>(ini, QSettings::IniFormat));
    QFile values(dir.filePath("values.txt"));
    ASSERT_TRUE(values.open(QIODevice::WriteOnly));
    values.write("1,10\n2,20\n3,30\n");
    values.close();
    SimProcess sim({"--file", values.fileName(), "--rate", "300", "--count", "120"});
    TKartex& k = *form->Kartex1;
    form->YAutoCheckBox->setChecked(true);
    form->XAxisComboBox->setCurrentText("X: Kanal 1");
    EXPECT_EQ(k.XYSeries(), 0);
    form->SelectPort(sim.Path());
    QTest::mouseClick(form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return k.SeriesCount() == 2 && k.SeriesStore(1).ItemCount() == 120; }));
    ASSERT_TRUE(WaitFor([&] { return k.Scale1X()->RangeLow() == 0.9 && k.Scale1Y()->RangeLow() == 9; }));
    EXPECT_DOUBLE_EQ(k.Scale1X()->RangeHigh(), 3.1);
    EXPECT_DOUBLE_EQ(k.Scale1Y()->RangeHigh(), 31);
    const TPoint p = k.WorldToPixel(1, 2, 20);
    QMouseEvent move(QEvent::MouseMove, QPointF(p.X, p.Y), k.mapToGlobal(QPointF(p.X, p.Y)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&k, &move);
    EXPECT_EQ(k.TextLabel(1).Mode(), tlOff);
    QTest::mouseClick(form->StopButton, Qt::LeftButton);
    form->close();
    form = std::make_unique<TForm1>();
    form->RememberSettings(std::make_unique<QSettings>(ini, QSettings::IniFormat));
    EXPECT_EQ(form->XAxisComboBox->currentText(), "X: Kanal 1");
    EXPECT_EQ(form->Kartex1->XYSeries(), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

// A device that answers only when asked, driven from the send bar: the start command comes first, a
// hex line with a lone digit is refused, every query gets one sample (none lost or doubled, also on
// repeat), the history goes back and forth, and commands, polls and a mark are the chart's marks, lines
// in the pane and records of the saved file.
TEST_F(MainWindow, TheSendBarAsksADeviceThatOnlyAnswers) {
    QTemporaryDir dir;
    const QString log = dir.filePath("heard.txt"), saved = dir.filePath("asked.mvx");
    SimProcess sim({"--answer", "--wave", "ramp", "--decimals", "0", "--log", log});
    form->SelectPort(sim.Path());
    form->Senden1->trigger();
    TSendBar& bar = *form->SendBar;
    ASSERT_TRUE(bar.isVisible());
    EXPECT_FALSE(bar.SendButton->isEnabled()); // no port is open yet
    bar.InitEdit->setText("*RST");
    QTest::mouseClick(form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(bar.SendButton->isEnabled());
    const auto heard = [&] {
        QFile f(log);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)
                                           : QStringList();
    };
    const TItemStore& samples = form->Kartex1->SeriesStore(0);
    const auto send = [&](const QString& text, bool hex) {
        bar.CommandEdit->setText(text);
        bar.HexCheckBox->setChecked(hex);
        QTest::mouseClick(bar.SendButton, Qt::LeftButton);
    };
    send("FF 0", true);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("steht allein")) << errors[0].toStdString();
    send("MEAS?", false);
    send("READ?", false); // taken without an answer
    ASSERT_TRUE(WaitFor([&] { return samples.ItemCount() == 1 && heard().size() == 3; }));
    EXPECT_EQ(heard(), (QStringList{"*RST", "MEAS?", "READ?"}));

    bar.CommandEdit->setText("typed");
    QStringList browsed;
    for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down}) {
        QTest::keyClick(bar.CommandEdit, key);
        browsed << bar.CommandEdit->text();
    }
    EXPECT_EQ(browsed, (QStringList{"READ?", "MEAS?", "MEAS?", "READ?", "typed"}));

    bar.CommandEdit->setText("MEAS?");
    bar.RepeatSpinBox->setValue(10);
    QTest::mouseClick(bar.RepeatCheckBox, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return samples.ItemCount() >= 30; }));
    QTest::mouseClick(bar.RepeatCheckBox, Qt::LeftButton);
    // Every query the device heard is one sample once the answers in flight are in.
    ASSERT_TRUE(WaitFor([&] { return samples.ItemCount() == heard().count("MEAS?"); }));
    for (int i = 0; i < samples.ItemCount(); ++i)
        ASSERT_EQ(samples.Item(i).Y, i % 100) << i;

    form->SetMarkText([] { return std::optional<QString>("heater on"); });
    QTest::keyClick(form.get(), Qt::Key_M, Qt::ControlModifier);
    const QStringList marks{"*RST", "MEAS?", "READ?", "Abfrage MEAS?", "Ende MEAS?", "heater on"};
    const auto texts = [](const TItemStore& m) {
        QStringList t;
        for (int i = 0; i < m.ItemCount(); ++i)
            t << QString::fromStdString(RecordText(m.Item(i)));
        return t;
    };
    EXPECT_EQ(texts(form->Kartex1->EventMarks()), marks);
    const QString pane = form->RichEdit1->toPlainText();
    for (const QString& m : marks)
        EXPECT_TRUE(pane.contains("» " + m)) << m.toStdString();
    QTest::mouseClick(form->StopButton, Qt::LeftButton);
    form->SetFileDialog([&](bool, const QString&, const QString&) { return saved; });
    form->ErfassungSpeichernClick();
    TKartex loaded;
    loaded.LoadItemFile(saved.toStdString(), true);
    EXPECT_EQ(texts(loaded.EventMarks()), marks);
    EXPECT_EQ(loaded.Store().ItemCount(), samples.ItemCount());
}
