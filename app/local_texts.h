#pragma once
// Messages the Qt-free layers make in German (a field that is no number, a journal that cannot be
// written, a device of a group the user is not in, a network source or a forwarder's far end that
// cannot be reached), said in the window's language: each known shape is
// matched and said again through Qt's translation with its parts; any other text stays as it came
// (the port component's English messages among them).

#include <QString>

QString LocalText(const QString& text);
