#pragma once
// Text drawing needs a QGuiApplication; tests of drawing code create one on first use.

#include <QGuiApplication>

inline QGuiApplication& TestGuiApp() {
    static int argc = 1;
    static char arg0[] = "test";
    static char* argv[] = {arg0, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}
