#include "app/main_window.h"

#include "app/channel_legend.h"
#include "app/core/conversions.h"
#include "app/core/csv_export.h"
#include "app/core/follow.h"
#include "app/error_box.h"
#include "app/forwarding_set.h"
#include "app/glyphs.h"
#include "app/info_window.h"
#include "app/local_texts.h"
#include "app/main_chart.h"
#include "app/port_settings.h"
#include "app/raw_pane.h"
#include "app/recording.h"
#include "app/send_bar.h"
#include "app/serial_source.h"
#include "app/source_mix.h"
#include "app/termination.h"
#include "app/value_label.h"
#include "app/view_texts.h"
#include "chart/core/item_file.h"
#include "chart/core/paint_suppression.h"
#include "chart/kartex.h"
#include "serial/com_combo_box.h"
#include "serial/com_led.h"
#include "serial/core/comport.h"
#include "serial/core/comtext.h"
#include "serial/host/comm_device.h"
#include "serial/host/port_list.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QSysInfo>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <span>
#include <sstream>
#include <stdexcept>

namespace {

// Design size of the client area (below the menu) at 120 pixels per inch.
constexpr int kDesignWidth = 900;
constexpr int kDesignHeight = 512;
constexpr int kPaneLines = 100000;

void ShowInErrorBox(const std::string& message, const std::string& detail) {
    errorbox::Show(QString::fromStdString(message), QString::fromStdString(detail));
}
} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    const double dpi = screen() ? screen()->logicalDotsPerInchX() : 96.0;
    // Designed at 120 pixels per inch; smaller screens keep the design pixels so nothing gets cramped.
    scale_ = std::max(1.0, dpi / 120.0);
    decimalSeparator_ = LocaleSeparator(QLocale().decimalPoint().toStdString());

    setWindowTitle(QStringLiteral("  M e v r a n t"));
    setWindowIcon(glyphs::AppIcon());
    // The design's font is 13 pixels high; the system sans that stands in for it runs wider, and at 12
    // pixels it takes the width the captions were laid out for.
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(S(12));
    setFont(font);

    port_ = std::make_unique<TComPort>();
    // Errors the port meets on its own (the device went away, a reaction failed) go to the error box; a
    // device that goes away once more in the same acquisition is told in the status bar.
    SetErrorReporter([this](const std::string& message, const std::string& detail) {
        PortError(QString::fromStdString(message), QString::fromStdString(detail));
    });
    BuildControls();
    sink_ = std::make_unique<KartexSink>(*Kartex1);
    for (int c = 0; c < kMaxChannels; ++c)
        channels_[static_cast<std::size_t>(c)].Color = ChannelColor(c);
    source_ = std::make_unique<SerialSource>(*port_);
    recording_ = MakeRecording(*sink_);
    sink_->OnChannelsChanged = [this](const AcquisitionState&) { DeviceNamed(); };
    SetupChart();
    SetupPort();
    frameTimer_ = new QTimer(this);
    frameTimer_->setSingleShot(true);
    frameTimer_->setTimerType(Qt::PreciseTimer);
    connect(frameTimer_, &QTimer::timeout, this, [this] { ChartFrame(); });
    rateTimer_ = new QTimer(this);
    rateTimer_->setInterval(1000);
    connect(rateTimer_, &QTimer::timeout, this, [this] { ShowRate(); });
    // The forwarders tell from their threads; the window shows it on its own.
    forwarding_ = std::make_unique<ForwardingSet>([this](const std::string& text) {
        QMetaObject::invokeMethod(
            this, [this, text] { statusBar()->showMessage(LocalText(QString::fromStdString(text)), 10000); },
            Qt::QueuedConnection);
    });
    forwardTimer_ = new QTimer(this);
    forwardTimer_->setInterval(500);
    connect(forwardTimer_, &QTimer::timeout, this, [this] { UpdateForwardStatus(); });
    forwardDevice_ = QSysInfo::machineHostName();

    const int menuHeight = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    setMinimumSize(S(kDesignWidth), S(kDesignHeight) + menuHeight);
    setMaximumSize(2048, 2000);
    resize(S(kDesignWidth), S(kDesignHeight) + menuHeight);
    // The design's place, moved in as far as the window needs to stay on its screen: a screen scaled
    // by two has half the logical width, and the design's place would leave a third of it outside.
    QPoint place(S(380), S(138));
    if (const QScreen* shown = screen()) {
        const QRect free = shown->availableGeometry();
        place.setX(std::max(free.left(), std::min(place.x(), free.right() + 1 - width())));
        place.setY(std::max(free.top(), std::min(place.y(), free.bottom() + 1 - height())));
    }
    move(place);

    FormInfo = new TFormInfo(this, scale_);
}

// The serial port's recording, handing its samples to lists (the chart's, or the first lane of the
// sources' mix), with every hook the window has on it.
std::unique_ptr<Recording> TForm1::MakeRecording(ListSink& lists) {
    auto made = std::make_unique<Recording>(*source_, lists);
    Recording& r = *made;
    r.OnShown = [this](std::string_view raw, bool) { shown_ << DeviceText(raw); };
    r.OnReceived = [this](int added) { Received(added); };
    r.OnStateChanged = [this] { SourceStateChanged(); };
    r.OnJournalFault = [this](const EJournalError& e) {
        forwarding_->Freeze(); // the files hold no more than they hold now
        JournalFault(e);
    };
    r.OnSynced = [this] { JournalSynced(); };
    // The new run clears what showed the last one before anything is sent or comes.
    r.OnRunBegins = [this] {
        RichEdit1->clear();
        HideReadOut();
        Kartex1->ClearItems(); // each channel's list takes its colour with its first sample
    };
    r.OnMark = [this](const std::string& text) {
        shown_ << QStringLiteral("» ") + QString::fromStdString(text);
        AppendPane(std::exchange(shown_, {}));
        ScheduleChartFrame();
    };
    return made;
}

TForm1::~TForm1() {
    SetErrorReporter(ShowInErrorBox);
    forwarding_.reset(); // its threads end; what they had acknowledged is kept beside the runs
    // Close the port before the chart and the controls it feeds are gone.
    extras_.clear();
    recording_.reset();
    mix_.reset();
    source_.reset();
    if (port_) {
        try {
            port_->SetConnected(false);
        } catch (...) {
        }
    }
}

int TForm1::S(int v) const {
    return static_cast<int>(v * scale_ + 0.5);
}

void TForm1::BuildControls() {
    client_ = new QWidget(this);
    setCentralWidget(client_);
    client_->setAutoFillBackground(true);
    client_->setBackgroundRole(QPalette::Button);

    // Menu.
    // Every caption is said in the chosen language, and again when it changes (Say).
    const auto action = [this](QAction* a, const char* text) {
        Say(text, [a](const QString& t) { a->setText(t); });
        return a;
    };
    QMenu* datei = menuBar()->addMenu(QString());
    Say(QT_TR_NOOP("Datei"), [datei](const QString& t) { datei->setTitle(t); });
    GrafikSpeichernBMP =
        action(datei->addAction(QString()), QT_TR_NOOP("Grafik speichern als Bitmap (.bmp)"));
    GrafikSpeichernPNG = action(datei->addAction(QString()), QT_TR_NOOP("Grafik speichern als PNG (.png)"));
    DatenExportierenCSV = action(datei->addAction(QString()), QT_TR_NOOP("Daten exportieren als CSV (.csv)"));
    ErfassungSpeichern = action(datei->addAction(QString()), QT_TR_NOOP("Erfassung speichern"));
    Erfassungladen = action(datei->addAction(QString()), QT_TR_NOOP("Erfassung laden"));
    LetzteErfassungen = datei->addMenu(QString());
    Say(QT_TR_NOOP("Letzte Erfassungen"), [this](const QString& t) { LetzteErfassungen->setTitle(t); });
    connect(LetzteErfassungen, &QMenu::aboutToShow, this, [this] { FillRecentRuns(); });
    Einstellungen1 = action(datei->addAction(QString()), QT_TR_NOOP("Beenden"));
    Kanaele1 = action(menuBar()->addAction(QString()), QT_TR_NOOP("Kanäle …"));
    Senden1 = action(menuBar()->addAction(QString()), QT_TR_NOOP("Senden"));
    Senden1->setCheckable(true);
    Quellen1 = action(menuBar()->addAction(QString()), QT_TR_NOOP("Quellen …"));
    Weiterleiten1 = action(menuBar()->addAction(QString()), QT_TR_NOOP("Weiterleiten …"));
    // "Sprache / Language" says itself in both, and each language by its own name.
    QMenu* sprache = menuBar()->addMenu(QStringLiteral("Sprache / Language"));
    auto* languages = new QActionGroup(this);
    for (const auto& [code, name] : {std::pair{"de", "Deutsch"}, std::pair{"en", "English"}}) {
        QAction* a = sprache->addAction(QString::fromUtf8(name));
        a->setCheckable(true);
        a->setChecked(QLatin1String(code) == QLatin1String("de"));
        a->setData(QString::fromLatin1(code));
        languages->addAction(a);
        connect(a, &QAction::triggered, this,
                [this, code = QString::fromLatin1(code)] { SetLanguage(code); });
    }
    LanguageActions = languages->actions();
    MarkeSetzen = action(new QAction(this), QT_TR_NOOP("Marke setzen"));
    MarkeSetzen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    addAction(MarkeSetzen);
    Info1 = action(menuBar()->addAction(QString()), QT_TR_NOOP("Info"));
    // Each menu command runs its handler; what escapes it goes to the error box.
    const std::pair<QAction*, void (TForm1::*)()> commands[] = {
        {GrafikSpeichernBMP, &TForm1::GrafikSpeichernBMPClick},
        {GrafikSpeichernPNG, &TForm1::GrafikSpeichernPNGClick},
        {DatenExportierenCSV, &TForm1::DatenExportierenCSVClick},
        {ErfassungSpeichern, &TForm1::ErfassungSpeichernClick},
        {Erfassungladen, &TForm1::ErfassungladenClick},
        {Einstellungen1, &TForm1::Einstellungen1Click},
        {Kanaele1, &TForm1::KanaeleClick},
        {Senden1, &TForm1::Senden1Click},
        {Quellen1, &TForm1::QuellenClick},
        {Weiterleiten1, &TForm1::WeiterleitenClick},
        {MarkeSetzen, &TForm1::MarkeSetzenClick},
        {Info1, &TForm1::Info1Click},
    };
    for (const auto& [action, handler] : commands)
        connect(action, &QAction::triggered, this,
                [this, handler = handler] { errorbox::Guard([&] { (this->*handler)(); }); });

    // Top panel with the speed buttons and the lamp.
    Panel1 = new QFrame(client_);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(0, 0, S(kDesignWidth), S(41));
    const auto speedButton = [this](const char* caption, const QIcon& icon, int x) {
        auto* b = new QToolButton(Panel1);
        Say(caption, [b](const QString& t) { b->setText(t); });
        b->setIcon(icon);
        b->setIconSize(QSize(S(16), S(16)));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setAutoRaise(true);
        b->setGeometry(S(x), 0, S(115), S(40));
        return b;
    };
    StartButton = speedButton(QT_TR_NOOP(" Start"), glyphs::Start(), 0);
    StopButton = speedButton(QT_TR_NOOP(" Stop"), glyphs::Stop(), 113);
    ClearGraphButton = speedButton(QT_TR_NOOP(" Clear Graph"), glyphs::ClearGraph(), 226);
    ResetAxisButton = speedButton(QT_TR_NOOP("Reset Axis"), glyphs::ResetAxis(), 339);
    connect(StartButton, &QToolButton::clicked, this,
            [this] { errorbox::Guard([&] { StartButtonClick(); }); });
    connect(StopButton, &QToolButton::clicked, this, [this] { errorbox::Guard([&] { StopButtonClick(); }); });
    connect(ClearGraphButton, &QToolButton::clicked, this,
            [this] { errorbox::Guard([&] { ClearGraphButtonClick(); }); });
    connect(ResetAxisButton, &QToolButton::clicked, this,
            [this] { errorbox::Guard([&] { ResetAxisButtonClick(); }); });

    const auto label = [this](QWidget* parent, const char* text, int x, int y) {
        auto* l = new QLabel(parent);
        l->move(S(x), S(y));
        if (text)
            Say(text, [l](const QString& t) {
                l->setText(t);
                l->adjustSize();
            });
        return l;
    };
    Label13 = label(Panel1, QT_TR_NOOP("Aktiv"), 480, 11);
    ComLed1 = new TComLed(Panel1);
    ComLed1->setGeometry(S(520), S(8), S(25), S(25));
    // The rate the device sends at, measured once a second during an acquisition (the window takes far
    // more than any serial device sends: it states no limit). Its width is fixed, so a new figure does
    // not move anything.
    Label11 = label(Panel1, nullptr, 656, 11);
    Label11->setFixedWidth(S(134));
    // How the view follows the data: beside the lamp and after the rate, where they stay usable while an
    // acquisition runs (the parameter groups are disabled then).
    const auto viewCheck = [this](const char* caption, int x, bool checked) {
        auto* c = new QCheckBox(Panel1);
        Say(caption, [c](const QString& t) { c->setText(t); });
        c->setGeometry(S(x), S(11), S(88), S(19));
        c->setChecked(checked);
        return c;
    };
    FollowCheckBox = viewCheck(QT_TR_NOOP("Mitlaufen"), 560, true);
    YAutoCheckBox = viewCheck(QT_TR_NOOP("Y auto"), 792, false);
    connect(FollowCheckBox, &QCheckBox::toggled, this,
            [this] { errorbox::Guard([&] { FollowCheckBoxClick(); }); });
    connect(YAutoCheckBox, &QCheckBox::toggled, this,
            [this] { errorbox::Guard([&] { YAutoCheckBoxClick(); }); });

    // Port group.
    GroupBox1 = new QGroupBox(client_);
    Say(QT_TR_NOOP("  Schnittstelle  "), [this](const QString& t) { GroupBox1->setTitle(t); });
    GroupBox1->setGeometry(0, S(48), S(265), S(160));
    ComComboBox3 = new TComComboBox(GroupBox1);
    ComComboBox3->setGeometry(S(24), S(26), S(100), S(24));
    label(GroupBox1, QT_TR_NOOP("Schnittstelle"), 128, 31);
    ComComboBox1 = new TComComboBox(GroupBox1);
    ComComboBox1->setGeometry(S(24), S(60), S(100), S(24));
    label(GroupBox1, QT_TR_NOOP(" Baudrate"), 128, 63);
    label(GroupBox1, QT_TR_NOOP("Databits = 8"), 24, 90);
    label(GroupBox1, QT_TR_NOOP("Stopbits = 1"), 24, 111);
    label(GroupBox1, QT_TR_NOOP("Flowcontrol = none"), 24, 132);

    // Graph parameter group.
    GroupBox2 = new QGroupBox(client_);
    Say(QT_TR_NOOP("  Graph Parameter "), [this](const QString& t) { GroupBox2->setTitle(t); });
    GroupBox2->setGeometry(0, S(210), S(265), S(297));
    const auto edit = [this](const QString& text, int y) {
        auto* e = new QLineEdit(text, GroupBox2);
        e->setGeometry(S(24), S(y), S(217), S(24));
        return e;
    };
    label(GroupBox2, QT_TR_NOOP("Roh-Daten Skalierungsfaktor"), 24, 24);
    DatSkaleEdit = edit(QStringLiteral("1"), 42);
    label(GroupBox2, QT_TR_NOOP("Daten Offset (nach Skalierung)"), 24, 71);
    DatOffsetEdit = edit(QStringLiteral("0"), 90);
    label(GroupBox2, QT_TR_NOOP("Graph X max"), 24, 119);
    GraphXmaxEdit = edit(QStringLiteral("100"), 137);
    label(GroupBox2, QT_TR_NOOP("Graph Y max"), 24, 166);
    GraphYmaxEdit = edit(QStringLiteral("100"), 183);
    label(GroupBox2, QT_TR_NOOP("Graph Y min"), 24, 212);
    GraphYminEdit = edit(QStringLiteral("0"), 229);
    label(GroupBox2, QT_TR_NOOP("Dezimaltrennung als Komma eingeben"), 16, 264);

    // Display group.
    GroupBox3 = new QGroupBox(client_);
    Say(QT_TR_NOOP(" Graphik Display mit Skalierung + Offset  "),
        [this](const QString& t) { GroupBox3->setTitle(t); });
    GroupBox3->setGeometry(S(456), S(48), S(417), S(89));
    Label10 = new ValueLabel(GroupBox3);
    QFont big(QStringLiteral("MS Sans Serif"));
    big.setPixelSize(S(18));
    Label10->setFont(big);
    Label10->setGeometry(S(32), S(24), S(265), S(24));
    Label10->setMinimumWidth(S(233));
    Label10->setMaximumWidth(S(275));
    const auto check = [this](const char* caption, int y, bool checked) {
        auto* c = new QCheckBox(GroupBox3);
        Say(caption, [c](const QString& t) { c->setText(t); });
        c->setGeometry(S(305), S(y), S(97), S(17));
        c->setChecked(checked);
        return c;
    };
    GridCheckBox1 = check(QT_TR_NOOP(" Show Grid"), 10, true);
    DoubleTicsCheckBox = check(QT_TR_NOOP("DoubleTics"), 36, false);
    LogCheckBox = check(QT_TR_NOOP("Y  Log"), 63, false);
    NormalRadioButton = new QRadioButton(GroupBox3);
    Say(QT_TR_NOOP("Normal"), [this](const QString& t) { NormalRadioButton->setText(t); });
    NormalRadioButton->setGeometry(S(32), S(64), S(113), S(17));
    NormalRadioButton->setChecked(true);
    ZoomRadioButton = new QRadioButton(GroupBox3);
    Say(QT_TR_NOOP("Zoom"), [this](const QString& t) { ZoomRadioButton->setText(t); });
    ZoomRadioButton->setGeometry(S(128), S(64), S(81), S(17));
    // A check box's handler runs whenever its state changes, also when the program changes it.
    connect(GridCheckBox1, &QCheckBox::toggled, this,
            [this] { errorbox::Guard([&] { GridCheckBox1Click(); }); });
    connect(DoubleTicsCheckBox, &QCheckBox::toggled, this,
            [this] { errorbox::Guard([&] { DoubleTicsCheckBoxClick(); }); });
    connect(LogCheckBox, &QCheckBox::toggled, this, [this] { errorbox::Guard([&] { LogCheckBoxClick(); }); });
    connect(NormalRadioButton, &QRadioButton::toggled, this, [this](bool on) {
        if (on) errorbox::Guard([&] { NormalRadioButtonClick(); });
    });
    connect(ZoomRadioButton, &QRadioButton::toggled, this, [this](bool on) {
        if (on) errorbox::Guard([&] { ZoomRadioButtonClick(); });
    });

    // x as the sample number or the receive time, beside "Graph X max" whose unit it sets.
    XAxisComboBox = new QComboBox(GroupBox2);
    // XY: the other channels against one of them.
    for (int c = 0; c < 2 + kMaxChannels; ++c)
        XAxisComboBox->addItem(QString());
    Say(nullptr, [this](const QString&) {
        XAxisComboBox->setItemText(0, tr("X: Messwert-Nr."));
        XAxisComboBox->setItemText(1, tr("X: Zeit (s)"));
        for (int c = 1; c <= kMaxChannels; ++c)
            XAxisComboBox->setItemText(1 + c, tr("X: Kanal %1").arg(c));
    });
    XAxisComboBox->setGeometry(S(120), S(113), S(121), S(22));
    connect(XAxisComboBox, &QComboBox::currentIndexChanged, this,
            [this] { errorbox::Guard([&] { XAxisComboBoxChange(); }); });

    // Status bar: what the chart holds and what the view shows.
    CountStatusLabel = new QLabel(this);
    NoSampleStatusLabel = new QLabel(this);
    ViewStatusLabel = new QLabel(this);
    for (QLabel* l : {CountStatusLabel, NoSampleStatusLabel, ViewStatusLabel})
        l->setContentsMargins(S(4), 0, S(16), 0);
    statusBar()->addWidget(CountStatusLabel);
    statusBar()->addWidget(NoSampleStatusLabel);
    statusBar()->addWidget(ViewStatusLabel, 1);
    PortStatusLabel = new QLabel(this);
    PortStatusLabel->setContentsMargins(S(4), 0, S(16), 0);
    statusBar()->addPermanentWidget(PortStatusLabel);
    SourcesStatusLabel = new QLabel(this);
    SourcesStatusLabel->setContentsMargins(S(4), 0, S(16), 0);
    statusBar()->addPermanentWidget(SourcesStatusLabel);
    ForwardStatusLabel = new QLabel(this);
    ForwardStatusLabel->setContentsMargins(S(4), 0, S(16), 0);
    statusBar()->addPermanentWidget(ForwardStatusLabel);
    JournalStatusLabel = new QLabel(this);
    JournalStatusLabel->setContentsMargins(S(4), 0, S(4), 0);
    statusBar()->addPermanentWidget(JournalStatusLabel);

    // Raw-data pane: a log of the received lines, newest last.
    RichEdit1 = new TRawPane(client_);
    RichEdit1->setMaximumBlockCount(kPaneLines);
    RichEdit1->setPlainText(tr("Rohdaten ..."));

    SendBar = new TSendBar(client_);
    SendBar->hide();
    EnableSending(false); // until Start opens the port
    markText_ = [this]() -> std::optional<QString> {
        bool ok = false;
        const QString t = QInputDialog::getText(
            this, tr("Marke setzen"), tr("Text der Marke (darf leer bleiben):"), QLineEdit::Normal, {}, &ok);
        return ok ? std::optional(t) : std::nullopt;
    };
    SendBar->OnSend = [this] { errorbox::Guard([&] { SendClick(); }); };
    SendBar->OnRepeat = [this](bool on) { errorbox::Guard([&] { RepeatClick(on); }); };
    connect(SendBar->MarkButton, &QPushButton::clicked, this,
            [this] { errorbox::Guard([&] { MarkeSetzenClick(); }); });

    Kartex1 = new TKartex(client_);
    Legend = new TChannelLegend(Kartex1);
    Legend->OnToggle = [this](int row) { ToggleChannel(row); };
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayOut();
}

void TForm1::LayOut() {
    if (!client_) return;
    // The pane grows with the height, the chart with both; the rest keeps its place.
    const int w = client_->width();
    const int h = client_->height();
    int bottomMargin = S(kDesignHeight) - S(505);
    const int rightMargin = S(kDesignWidth) - S(889);
    Panel1->setGeometry(0, 0, w, S(41));
    if (!SendBar->isHidden()) {
        // Below pane and chart, beside the parameter groups; pane and chart give it their bottom.
        const int barHeight = SendBar->sizeHint().height();
        SendBar->setGeometry(S(272), h - bottomMargin - barHeight, std::max(S(100), w - rightMargin - S(272)),
                             barHeight);
        bottomMargin += barHeight + S(6);
    }
    RichEdit1->setGeometry(S(272), S(56), S(161), std::max(S(40), h - bottomMargin - S(56)));
    Kartex1->setGeometry(S(440), S(144), std::max(S(100), w - rightMargin - S(440)),
                         std::max(S(80), h - bottomMargin - S(144)));
}

void TForm1::SetupChart() {
    ConfigureMainChart(*Kartex1);
    // A pan or zoom by the user freezes the view where the user put it; the acquisition goes on.
    Kartex1->OnZoomPan = [this](TKartex&) {
        FollowCheckBox->setChecked(false);
        YAutoCheckBox->setChecked(false);
    };
    // Every new picture of the data brings the status bar and the legend up to date (after the chart
    // rendered, from the frame's summary); the mouse over the plot reads the nearest sample off it.
    Kartex1->OnShown = [this](TKartex&) { ViewChanged(); };
    Kartex1->OnMouseMoveInChart = [this](TKartex&, bool inChart, TShiftState shift, double x, double) {
        if (inChart && !(shift & (ssLeft | ssRight | ssMiddle)))
            ShowReadOut(x);
        else
            HideReadOut();
    };
    Kartex1->installEventFilter(this);
    TCrossHair& hair = Kartex1->CrossHair(1);
    hair.SetColor(clGray);
    TTextLabel& readOut = Kartex1->TextLabel(1);
    readOut.SetAttachToData(false);
    readOut.SetColorBkg(clWhite);
    readOut.SetColorBorder(clGray);
    ViewChanged();
}

void TForm1::SetupPort() {
    TComPort& p = *port_;
    ConfigureMainPort(p);

    ComComboBox3->SetComPort(&p);
    ComComboBox3->SetComProperty(cpPort);
    ComComboBox3->SetAutoApply(true);
    ComComboBox1->SetComPort(&p);
    ComComboBox1->SetComProperty(cpBaudRate);
    ComComboBox1->SetAutoApply(true);
    ComLed1->SetKind(lkGreenLight);
    ComLed1->SetLedSignal(lsConn);
    ComLed1->SetComPort(&p);
}

void TForm1::SelectPort(const QString& name) {
    source_->SetPort(name.toStdString()); // an open port closes and opens on the new device
    ComComboBox3->SyncToPort();
}

void TForm1::ClosePort() {
    source_->Close();
}

void TForm1::SelectBaudRate(const QString& text) {
    SetBaudFromText(*port_, text.toStdString());
    ComComboBox1->SyncToPort();
}

void TForm1::SetParameterGroupsEnabled(bool enabled) {
    ClearGraphButton->setEnabled(enabled);
    // The chart's list is the running acquisition's: it is not replaced while it grows.
    Erfassungladen->setEnabled(enabled);
    LetzteErfassungen->setEnabled(enabled);
    GroupBox1->setEnabled(enabled);
    GroupBox2->setEnabled(enabled);
    EnableSending(!enabled);
    LogCheckBox->setEnabled(enabled);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TForm1::FormShow() {
    FormInfo->hide();
    Acq().State().DataScale = 1.0f;
    Acq().State().DataOffset = 0;
}

void TForm1::ReadAxisFields(float& xmax, float& ymax, float& ymin) const {
    xmax = LocaleTextToFloat(GraphXmaxEdit->text().toStdString(), decimalSeparator_);
    ymax = LocaleTextToFloat(GraphYmaxEdit->text().toStdString(), decimalSeparator_);
    ymin = LocaleTextToFloat(GraphYminEdit->text().toStdString(), decimalSeparator_);
}

void TForm1::ApplyAxisRange(float xmax, float ymax, float ymin) {
    AcquisitionState& s = Acq().State();
    s.GraphXmax = xmax;
    s.GraphYmax = ymax;
    s.GraphYmin = ymin;
    Kartex1->SetScaleRange(1, 0.0L, s.GraphYmin, s.GraphXmax, s.GraphYmax);
}

void TForm1::StartButtonClick() {
    if (WaitingForDevice()) return; // the acquisition goes on once the device is back; Stop ends it
    // Every field is converted before anything changes: a bad field leaves window, chart and pane as
    // they were.
    const float scale = LocaleTextToFloat(DatSkaleEdit->text().toStdString(), decimalSeparator_);
    const std::int32_t offset = TextToInt(DatOffsetEdit->text().toStdString());
    float xmax, ymax, ymin;
    ReadAxisFields(xmax, ymax, ymin);

    PrepareSources(); // the port's recording reads alone, or as the first of the sources
    const CommandBytes init = SendBar->Init();
    if (!init.Error.empty()) throw std::runtime_error(tr("Beim Start senden: ").toStdString() + init.Error);
    if (init.Bytes.empty())
        recording_->SetInitCommands({});
    else
        recording_->SetInitCommands({init.Bytes}, {SendBar->InitEdit->text().toStdString()});

    SetParameterGroupsEnabled(false);
    recording_->SetJournalFolder(journalFolder_);
    chartRun_.clear();
    const bool wasRunning = Acquiring();
    try {
        recording_->Start(); // only an opened port starts a new acquisition
        StartSources();      // and every further source opened
    } catch (...) {
        if (!wasRunning && recording_->Running()) recording_->Stop(); // a source that failed ends the start
        SetParameterGroupsEnabled(true);
        throw;
    }
    SayLive(PortStatusLabel, [] { return QString(); });
    PortStatusLabel->setToolTip({});
    if (RunJournal().Active()) {
        chartRun_ = QString::fromStdString(RunJournal().Path());
        SayLive(JournalStatusLabel,
                [file = QFileInfo(chartRun_).fileName()] { return tr("Gesichert in %1").arg(file); });
    }
    BeginForwarding();

    if (SendBar->RepeatCheckBox->isChecked()) RepeatClick(true); // the polled query goes on
    for (int c = 0; c < kMaxChannels; ++c)
        Kartex1->SetClassVisible(c, true);
    chartLoaded_ = false;
    droppedTold_ = false;
    AcquisitionState& s = Acq().State();
    s.DataScale = scale;
    s.DataOffset = offset;
    for (ExtraSource& x : extras_) { // the fields apply to every source's channels
        x.Run->Acq().State().DataScale = scale;
        x.Run->Acq().State().DataOffset = offset;
    }
    LoadChannelSettings(); // the device's own channel settings, with the run's first sample
    ApplyAxisRange(xmax, ymax, ymin);
    rateSamples_ = 0;
    rateClock_.start();
    Label11->setText(tr("%1 Messwerte/s").arg(0));
    rateTimer_->start();
    QApplication::processEvents();
}

void TForm1::ShowRate() {
    const std::int64_t samples = Acq().State().SampleCount;
    const double seconds = static_cast<double>(rateClock_.restart()) / 1000;
    if (seconds <= 0) return;
    Label11->setText(
        tr("%1 Messwerte/s").arg(std::llround(static_cast<double>(samples - rateSamples_) / seconds)));
    rateSamples_ = samples;
}

void TForm1::StopButtonClick() {
    ClosePort();
    EndAcquisition();
    Kartex1->Redraw();
    SetParameterGroupsEnabled(true);
}

// Runs once when an acquisition ends: by Stop (also while it waits for the device), by "Beenden" or when
// the window closes.
void TForm1::EndAcquisition() {
    if (!Acquiring()) return;
    // The forwarders get a moment for the last samples; what they leave goes on in the background
    // from the finished run, never holding the window up.
    std::vector<ForwardingSet::Left> left;
    recording_->OnEnding = [&] {
        forwarding_->Tell(*Kartex1);
        left = forwarding_->End(0.5);
    };
    StopSources(); // their last lines go into the journal the port's recording ends
    const Recording::Ended ended = recording_->Stop(); // takes a pending line and ends the journal's run
    recording_->OnEnding = nullptr;
    if (ended.Whole && !left.empty()) forwarding_->Finish(ended.Run, left);
    UpdateForwardStatus();
    rateTimer_->stop();
    Label11->clear();
    Kartex1->Redraw();
    SetParameterGroupsEnabled(true);
}

// The device went away (the acquisition, its chart, pane and journal stay as they are and wait for it),
// a try to open it again failed, or it is back.
void TForm1::SourceStateChanged() {
    const bool waiting = WaitingForDevice();
    StartButton->setEnabled(!waiting);
    ComLed1->SetBlinking(waiting);
    if (waiting) {
        SayLive(PortStatusLabel, [losses = recording_->Losses()] {
            return losses > 1 ? tr("Warte auf das Gerät … (%1 × getrennt)").arg(losses)
                              : tr("Warte auf das Gerät …");
        });
        QString tip = QString::fromStdString(source_->Where());
        if (!recording_->LossMessage().empty())
            tip += QChar('\n') + QString::fromStdString(recording_->LossMessage());
        PortStatusLabel->setToolTip(tip);
        if (!wasWaiting_) Kartex1->Redraw();
    } else if (wasWaiting_ && Acquiring()) {
        ComComboBox3->SyncToPort();
        SayLive(PortStatusLabel, [losses = recording_->Losses()] {
            return tr("Wieder verbunden (%1 × getrennt)").arg(losses);
        });
        PortStatusLabel->setToolTip(QString::fromStdString(source_->Where()));
    } else if (wasWaiting_) {
        SayLive(PortStatusLabel, [] { return QString(); }); // stopped while waiting
    }
    wasWaiting_ = waiting;
}

// The first loss of an acquisition is shown in the error box, a later one only in the status bar; what
// else the port meets goes to the box.
// The port reports from inside its reactions: the box opens once the reaction has returned.
void TForm1::PortError(const QString& message, const QString& detail) {
    if (!recording_->TakeLossReport(message.toStdString())) return errorbox::ShowLater(message, detail);
    if (recording_->Losses() == 1) errorbox::ShowLater(message, detail);
}

// After each notification's lines: pane, value and (within a display frame) chart.
void TForm1::Received(int added) {
    forwarding_->Tell(*Kartex1);
    AppendPane(std::exchange(shown_, {}));
    if (added > 0) ShowValue();
    if (Acq().State().ValuesDropped && !droppedTold_) {
        droppedTold_ = true;
        statusBar()->showMessage(
            tr("Mehr als %1 Werte in einer Zeile: die weiteren werden nicht gezeigt").arg(kMaxChannels),
            10000);
    }
    ScheduleChartFrame();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Kartex1 && event->type() == QEvent::Leave) HideReadOut();
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::ShowValue() {
    if (Acq().State().SampleCount == 0) return;
    Label10->setText(QString::fromStdString(FormatPlotValue(Acq().State().PlotValue, decimalSeparator_)));
}

void TForm1::AppendPane(QStringList lines) {
    if (lines.isEmpty()) return;
    // Control characters inside a line would break the pane's lines; show them as a replacement mark.
    // Only a line that holds one is written to.
    const auto control = [](QChar c) { return c.unicode() < 32; };
    for (QString& line : lines)
        if (std::any_of(line.cbegin(), line.cend(), control))
            std::replace_if(line.begin(), line.end(), control, QChar(0xFFFD));
    RichEdit1->AppendLines(lines);
}

void TForm1::ClearGraphButtonClick() {
    HideReadOut();
    Kartex1->ClearItems();
    Kartex1->Redraw();
}

void TForm1::ResetAxisButtonClick() {
    float xmax, ymax, ymin;
    ReadAxisFields(xmax, ymax, ymin);
    ApplyAxisRange(xmax, ymax, ymin);
    // Back to the live view: following again from the limits of the fields (checking the box follows).
    if (FollowCheckBox->isChecked())
        FollowData();
    else
        FollowCheckBox->setChecked(true);
}

void TForm1::FollowCheckBoxClick() {
    if (FollowCheckBox->isChecked()) FollowData(); // jumps back to the newest data
}

void TForm1::YAutoCheckBoxClick() {
    if (YAutoCheckBox->isChecked()) FollowData();
}

// In seconds the x scale labels times; the next Start numbers the samples by their receive time.
void TForm1::XAxisComboBoxChange() {
    const int choice = XAxisComboBox->currentIndex();
    const bool time = choice == 1;
    Acq().State().TimeAxis = time;
    TScalePropsHoriz& x = *Kartex1->Scale1X();
    PaintSuppression once(*Kartex1);
    x.SetLabelType(time ? ftTime : ftNum);
    if (!time) x.SetDecPlaces(-2);
    // "X: Kanal N": the samples keep their numbers; the picture draws the others against channel N.
    Kartex1->SetXYView(choice >= 2 ? choice - 2 : -1, xyTrail_);
    HideReadOut();
    if (choice >= 2) FitXY(*Kartex1, true, true);
}

void TForm1::GridCheckBox1Click() {
    Kartex1->SetGridStyle(GridCheckBox1->isChecked() ? gsLines : gsNone);
}

void TForm1::DoubleTicsCheckBoxClick() {
    const int ticks = DoubleTicsCheckBox->isChecked() ? kDoubleTicks : kNormalTicks;
    Kartex1->Scale1X()->SetMinTicks(ticks);
    Kartex1->Scale1Y()->SetMinTicks(ticks);
    Kartex1->Redraw();
}

void TForm1::LogCheckBoxClick() {
    if (LogCheckBox->isChecked()) {
        GraphYminEdit->setText(QString::fromStdString(LocaleFloatText(0.1, decimalSeparator_)));
        DoubleTicsCheckBox->setChecked(true);
        NormalRadioButton->setChecked(true);
        ZoomRadioButton->setEnabled(false);
        float xmax, ymax, ymin;
        try {
            ReadAxisFields(xmax, ymax, ymin);
        } catch (const EConvertError&) {
            // The scale stays linear and the box unchecked, so what is shown matches the chart.
            LogCheckBox->setChecked(false);
            throw;
        }
        ApplyAxisRange(xmax, ymax, ymin);
        Kartex1->Scale1Y()->SetLogarithmic(true);
    } else {
        GraphYminEdit->setText(QStringLiteral("0"));
        ZoomRadioButton->setEnabled(true);
        Kartex1->Scale1Y()->SetLogarithmic(false);
    }
    Kartex1->Redraw();
}

void TForm1::NormalRadioButtonClick() {
    Kartex1->SetMouseAction(maPan);
}

void TForm1::ZoomRadioButtonClick() {
    Kartex1->SetMouseAction(maZoomDrag);
}

// Each dialog (its suffix, save or open) starts in the folder it last took a file from.
QString TForm1::RunFileDialog(bool save, const QString& filter, const QString& suffix) {
    const QString key = QStringLiteral("dialogs/%1-%2").arg(suffix, save ? "save" : "open");
    QString name;
    if (fileDialog_) {
        name = fileDialog_(save, filter, suffix);
    } else {
        QFileDialog dialog(this);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setNameFilter(filter);
        dialog.setDefaultSuffix(suffix);
        const QString last = settings_ ? settings_->value(key).toString() : QString();
        dialog.setDirectory(!last.isEmpty() && QDir(last).exists() ? last : QDir::homePath());
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            name = dialog.selectedFiles().front();
    }
    if (settings_ && !name.isEmpty()) settings_->setValue(key, QFileInfo(name).absolutePath());
    return name;
}

void TForm1::GrafikSpeichernBMPClick() {
    const QString name =
        RunFileDialog(true, QStringLiteral("Graphic Files (*.bmp *.BMP)"), QStringLiteral("bmp"));
    if (!name.isEmpty()) Kartex1->ExportBitmap(name.toStdString(), true);
}

namespace {
// Writes a file whole or not at all: a failed write leaves an existing file as it was.
void WriteWhole(const QString& name, const std::function<bool(QIODevice&)>& write) {
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly) || !write(file) || !file.commit())
        throw std::runtime_error("Cannot write \"" + name.toStdString() +
                                 "\": " + file.errorString().toStdString());
}
} // namespace

void TForm1::GrafikSpeichernPNGClick() {
    const QString name =
        RunFileDialog(true, QStringLiteral("PNG Files (*.png *.PNG)"), QStringLiteral("png"));
    if (name.isEmpty()) return;
    // What the screen shows, in colour, the legend of several channels included.
    QImage picture = Kartex1->ChartBitmap().copy();
    if (Legend->isVisible()) {
        QPainter painter(&picture);
        Legend->render(&painter, Legend->pos());
    }
    WriteWhole(name, [&picture](QIODevice& d) { return picture.save(&d, "PNG"); });
}

void TForm1::DatenExportierenCSVClick() {
    const QString name =
        RunFileDialog(true, QStringLiteral("CSV Files (*.csv *.CSV)"), QStringLiteral("csv"));
    if (name.isEmpty()) return;
    std::ostringstream csv;
    std::vector<std::span<const TChartItem>> lists;
    std::vector<std::string> names;
    int index = 0;
    for (const ChannelSpan& c : Channels()) {
        const TItemStore& list = Kartex1->SeriesStore(c.Series);
        lists.emplace_back(list.Items() + c.Begin, static_cast<std::size_t>(c.End - c.Begin));
        names.push_back(ChannelLabel(c, index++).toStdString());
    }
    const TItemStore& marks = Kartex1->EventMarks();
    WriteSamplesCsv(csv, lists, names, {marks.Items(), static_cast<std::size_t>(marks.ItemCount())});
    const std::string text = csv.str();
    WriteWhole(name, [&text](QIODevice& d) {
        return d.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
    });
}

void TForm1::ErfassungSpeichernClick() {
    const QString name =
        RunFileDialog(true, QStringLiteral("Mevrant Files (*.mvx *.MVX)"), QStringLiteral("mvx"));
    if (name.isEmpty()) return;
    Kartex1->SaveItemFile(name.toStdString());
    // The run the chart holds whole is saved: the journal may let it go when it has to.
    if (!chartRun_.isEmpty() && !RunJournal().Active() &&
        ItemRecordCount(QFileInfo(chartRun_).size()) == ChartRecordCount(*Kartex1))
        MarkJournalRunSaved(chartRun_.toStdString());
}

void TForm1::ErfassungladenClick() {
    const QString name =
        RunFileDialog(false, QStringLiteral("Mevrant Files (*.mvx *.MVX)"), QStringLiteral("mvx"));
    if (name.isEmpty()) return;
    Kartex1->LoadItemFile(name.toStdString(), true);
    chartLoaded_ = true;
    chartRun_.clear();
    ChartLoaded();
    NoteOddFile(name);
}

// A file whose length is no multiple of a record, or that holds none, loads as it is; the user is told.
void TForm1::NoteOddFile(const QString& name) {
    const auto length = static_cast<std::uint64_t>(QFileInfo(name).size());
    if (ItemFileLengthNote(length).empty()) return;
    const QString file = QFileInfo(name).fileName();
    statusBar()->showMessage(
        length < kChartItemSize
            ? tr("Die Datei %1 enthält keinen Messwert-Datensatz").arg(file)
            : tr("Die Datei %1 endet in %2 Bytes, die kein ganzer Datensatz sind: sie sind nicht geladen")
                  .arg(file)
                  .arg(length % kChartItemSize),
        10000);
}

void TForm1::Einstellungen1Click() {
    SaveSettings();
    ClosePort();
    EndAcquisition(); // the journal finished
    QApplication::quit();
}

void TForm1::closeEvent(QCloseEvent* event) {
    SaveSettings();
    errorbox::Guard([&] { ClosePort(); });
    EndAcquisition();
    FormInfo->hide();
    event->accept();
    QApplication::quit();
}

void TForm1::Info1Click() {
    FormInfo->ShowCentred();
}

// Sending and marking need the open port of a run; what goes at its start is set before it.
void TForm1::EnableSending(bool running) {
    SendBar->SendButton->setEnabled(running);
    SendBar->MarkButton->setEnabled(running);
    MarkeSetzen->setEnabled(running);
    SendBar->InitEdit->setEnabled(!running);
}

void TForm1::Senden1Click() {
    SendBar->setVisible(Senden1->isChecked());
    LayOut();
}

void TForm1::SendClick() {
    if (SendBar->RepeatCheckBox->isChecked()) return RepeatClick(true);
    const CommandBytes command = SendBar->Command();
    if (!command.Error.empty()) throw std::runtime_error(command.Error);
    const QString text = SendBar->CommandEdit->text();
    if (!recording_->Send(command.Bytes, text.isEmpty() ? "(Zeilenende)" : text.toStdString()))
        throw std::runtime_error(
            tr("Senden geht erst nach Start: die Schnittstelle ist nicht offen.").toStdString());
    SendBar->Remember(text);
}

void TForm1::RepeatClick(bool on) {
    if (!on) return recording_->StopPoll();
    if (!Acquiring()) return; // Start begins the polled query
    const CommandBytes command = SendBar->Command();
    if (!command.Error.empty() || command.Bytes.empty()) {
        SendBar->RepeatCheckBox->setChecked(false);
        throw std::runtime_error(command.Error.empty() ? "Nichts zu wiederholen: die Befehlszeile ist leer."
                                                       : command.Error);
    }
    const QString text = SendBar->CommandEdit->text();
    recording_->StartPoll(command.Bytes, SendBar->RepeatSpinBox->value(), text.toStdString());
    SendBar->Remember(text);
}

void TForm1::MarkeSetzenClick() {
    if (!Acquiring())
        throw std::runtime_error(tr("Eine Marke gehört zu einer Erfassung: erst Start.").toStdString());
    const Acquisition::MarkPlace at = Acq().MarkNow(); // the moment asked at, not the moment answered
    const std::optional<QString> text = markText_();
    if (!text) return;
    recording_->AddMark(text->isEmpty() ? "Marke" : text->toStdString(), at);
}

void TForm1::PollFromStart(const QString& command, int ms) {
    Senden1->setChecked(true);
    Senden1Click();
    SendBar->CommandEdit->setText(command);
    SendBar->HexCheckBox->setChecked(false);
    SendBar->RepeatSpinBox->setValue(ms);
    SendBar->RepeatCheckBox->setChecked(true);
}
