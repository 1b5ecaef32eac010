#pragma once
// What the forwarding tests read from a journal folder: the counts a forwarder kept beside a run
// ("<run>.forward-<key>", "channel:count" pairs, a ".part" being written is passed over), summed over
// its targets, and the newest run of the folder.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

inline long long AcknowledgedCount(const QDir& folder, const QString& run) {
    long long sum = 0;
    for (const QString& kept : folder.entryList({QFileInfo(run).fileName() + ".forward-*"})) {
        QFile f(folder.filePath(kept));
        if (kept.endsWith(".part") || !f.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& pair : f.readAll().simplified().split(' '))
            sum += pair.mid(pair.indexOf(':') + 1).toLongLong();
    }
    return sum;
}

// Empty when the folder holds no run yet.
inline QString NewestRun(const QDir& journal) {
    const QStringList runs = journal.entryList({"*.mvx"}, QDir::Files, QDir::Name);
    return runs.isEmpty() ? QString() : journal.filePath(runs.back());
}
