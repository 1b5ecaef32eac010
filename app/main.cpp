// Program entry: the window, or a headless subcommand.

#include "app/cli.h"
#include "app/demo_device.h"
#include "app/error_box.h"
#include "app/main_window.h"
#include "app/single_instance.h"
#include "serial/comport.h"

#include <QApplication>
#include <QCommandLineParser>

#include <iostream>

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    if (IsSubcommand(args)) {
        // Subcommands draw off screen; they need no display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Mevrant"));
        return RunSubcommand(args);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mevrant"));
    QApplication::setApplicationVersion(QStringLiteral("0.2"));
    QApplication::setDesktopFileName(QStringLiteral("mevrant"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Graphs the readings of a measuring device on a serial port.\n\n"
                       "Headless subcommands (each has its own --help):\n"
                       "  mevrant record --port NAME [--baud RATE] [--scale F] [--offset N] (--count N | "
                       "--seconds S) -o FILE.mvx\n"
                       "  mevrant render FILE.mvx -o FILE.bmp [--size WxH] [--xmax X] [--ymin Y] [--ymax Y] "
                       "[--no-grid] [--log-y]\n"
                       "  mevrant csv FILE.mvx [-o FILE.csv]"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Start the built-in simulated device (sine, 50 values/s) and select it."));
    QCommandLineOption port(QStringLiteral("port"),
                            QStringLiteral("Preselect the serial port NAME (e.g. ttyUSB0 or /dev/ttyACM0)."),
                            QStringLiteral("NAME"));
    QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("Preselect the baud rate RATE."),
                            QStringLiteral("RATE"));
    parser.addOptions({demo, port, baud});
    parser.process(app);

    SingleInstance guard;
    if (!guard.Acquire()) return 0;

    TForm1 form;
    guard.OnActivate = [&form] {
        if (form.isMinimized()) form.showNormal();
        form.raise();
        form.activateWindow();
    };

    DemoDevice device;
    errorbox::Guard([&] {
        if (parser.isSet(demo)) form.SelectPort(device.Start());
        if (parser.isSet(port)) form.SelectPort(parser.value(port));
        if (parser.isSet(baud)) form.SelectBaudRate(parser.value(baud));
    });
    form.show();
    return QApplication::exec();
}
