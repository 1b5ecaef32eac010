// Program entry: the window, or a headless subcommand.

#include "app/cli.h"
#include "app/core/journal.h"
#include "app/demo_device.h"
#include "app/error_box.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/qt_translations.h"
#include "app/single_instance.h"
#include "app/termination.h"
#include "app/version.h"
#include "serial/core/comport.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSettings>
#include <QStatusBar>
#include <QUdpSocket>
#include <QWidget>

#include <cstdio>
#include <memory>

namespace {

// The window's options; help and version are answered without a display.
struct WindowOptions {
    QCommandLineOption demo{
        QStringLiteral("demo"),
        QStringLiteral("Start the built-in simulated device (sine, 50 values/s) and select it.")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("Preselect the serial port NAME (e.g. ttyUSB0 or /dev/ttyACM0)."),
                            QStringLiteral("NAME")};
    QCommandLineOption baud{QStringLiteral("baud"), QStringLiteral("Preselect the baud rate RATE."),
                            QStringLiteral("RATE")};
    QCommandLineOption start{QStringLiteral("start"), QStringLiteral("Start the acquisition at once.")};
    QCommandLineOption channels{QStringLiteral("channels"),
                                QStringLiteral("With --demo: the simulated device sends N values per line "
                                               "(1 ... 16)."),
                                QStringLiteral("N")};
    QCommandLineOption answer{
        QStringLiteral("answer"),
        QStringLiteral("With --demo: the simulated device answers MEAS? with one reading and "
                       "sends nothing else; the window asks it every 100 ms.")};
    QCommandLineOption network{
        QStringLiteral("network"),
        QStringLiteral(
            "With --demo: a second simulated device sends its readings as UDP datagrams to 127.0.0.1, "
            "read as a further source beside the port (for this start only).")};
    QCommandLineOption language{
        QStringLiteral("language"),
        QStringLiteral("The window's language: de (German, the default) or en (English). "
                       "\"Sprache / Language\" in the menu switches it and is remembered."),
        QStringLiteral("CODE")};

    void AddTo(QCommandLineParser& parser) const {
        parser.setApplicationDescription(QStringLiteral(
            "Graphs the readings of a measuring device on a serial port.\n\n"
            "Headless subcommands (each has its own --help):\n"
            "  mevrant record --port NAME [--baud RATE] [--scale F] [--offset N] [--time-axis] "
            "[--init TEXT] [--send TEXT [--every S]] (--count N | --seconds S) -o FILE.mvx\n"
            "  mevrant render FILE.mvx -o FILE.bmp [--size WxH] [--xmax X] [--ymin Y] [--ymax Y] "
            "[--no-grid] [--log-y] [--time-axis]\n"
            "  mevrant csv FILE.mvx [-o FILE.csv]\n"
            "  mevrant journal [--folder DIR]\n"
            "  mevrant forward RUN.mvx URL [--qos 0|1] [--json] [--device NAME] [--from TIME] [--to TIME]"));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions({demo, port, baud, start, channels, answer, network, language});
    }
};

void NameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Mevrant"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MEVRANT_VERSION));
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    if (IsSubcommand(args)) {
        // Subcommands draw off screen; they never need a display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Mevrant"));
        return RunSubcommand(args);
    }

    WindowOptions options;
    {
        // Help, version and a wrong option are answered (and the program ends) before a window system is
        // needed: they work in an SSH session or CI without a display.
        QCommandLineParser probe;
        options.AddTo(probe);
        if (!probe.parse(QStringList(QString::fromLocal8Bit(argv[0])) << args) || probe.isSet("help") ||
            probe.isSet("help-all") || probe.isSet("version")) {
            QCoreApplication core(argc, argv);
            NameApplication();
            QCommandLineParser parser;
            options.AddTo(parser);
            parser.process(core);
            return 0;
        }
    }

    QApplication app(argc, argv);
    NameApplication();
    InstallQtTranslations(QLocale::German); // the window is German, so are Qt's buttons and dialogs
    QApplication::setDesktopFileName(QStringLiteral("mevrant"));

    QCommandLineParser parser;
    options.AddTo(parser);
    parser.process(app);
    const QString language = parser.value(options.language);
    if (parser.isSet(options.language) && !Languages().contains(language)) {
        std::fprintf(stderr, "mevrant: --language '%s' is none of %s\n", qPrintable(language),
                     qPrintable(Languages().join(QStringLiteral(", "))));
        return 1;
    }

    SingleInstance guard;
    if (!guard.Acquire()) return 0;
    if (guard.HolderSilent()) std::fprintf(stderr, "%s\n", qPrintable(guard.SilentHolderMessage()));

    TForm1 form;
    guard.OnActivate = [&form] {
        if (form.isMinimized()) form.showNormal();
        form.raise();
        form.activateWindow();
    };
    // SIGTERM, SIGINT and SIGHUP end the program as "Beenden" does, also while a start-up question or an
    // error box is open: the box goes, the run is sealed, the settings are kept.
    HandleTerminationSignals(&form, [&form] {
        for (int open = 0; open < 8; ++open) {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) break;
            modal->close();
        }
        try {
            form.Einstellungen1Click();
        } catch (const std::exception&) {
            // The program ends all the same; a port that fails to close is closed by the system.
        }
        QApplication::quit();
    });
    // The user's settings of the last run; the command line's port and baud rate win over them.
    form.RememberSettings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                      QStringLiteral("mevrant"), QStringLiteral("mevrant")),
                          !parser.isSet(options.demo));
    if (parser.isSet(options.language)) form.SetLanguage(language, false); // for this start only
    DemoDevice device, networkDevice;
    errorbox::Guard([&] {
        if (parser.isSet(options.demo)) {
            QStringList args;
            if (parser.isSet(options.channels))
                args << QStringLiteral("--channels") << parser.value(options.channels);
            if (parser.isSet(options.answer)) args << QStringLiteral("--answer");
            form.SelectPort(device.Start(args));
            if (parser.isSet(options.answer)) form.PollFromStart(QStringLiteral("MEAS?"), 100);
            if (parser.isSet(options.network)) {
                // A free port of this machine, for the listener the window opens at Start.
                QUdpSocket probe;
                probe.bind(QHostAddress::LocalHost, 0);
                const QString at = QStringLiteral("127.0.0.1:%1").arg(probe.localPort());
                probe.close();
                networkDevice.Start({QStringLiteral("--udp"), at, QStringLiteral("--rate"),
                                     QStringLiteral("20"), QStringLiteral("--wave"), QStringLiteral("walk")});
                form.SetSources({QStringLiteral("udp://") + at}, false);
            }
        }
        if (parser.isSet(options.port)) form.SelectPort(parser.value(options.port));
        if (parser.isSet(options.baud)) form.SelectBaudRate(parser.value(options.baud));
    });
    // A signal during a start-up step ends the program there: quitting before the main loop runs would
    // be forgotten by it.
    if (TerminationRequested()) return 0;
    form.show();
    if (guard.HolderSilent()) form.statusBar()->showMessage(guard.SilentHolderStatus(), 60'000);
    errorbox::Guard([&] { form.KeepJournal(Journal::DefaultFolder()); });
    if (TerminationRequested()) return 0;
    if (parser.isSet(options.start)) errorbox::Guard([&] { form.StartButtonClick(); });
    if (TerminationRequested()) return 0;
    return QApplication::exec();
}
