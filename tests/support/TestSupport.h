// SPDX-License-Identifier: GPL-2.0-or-later
// Helpers for every test: Qt and the snapshot core only.
#pragma once

#include "Snapshot.h"

#include <QDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

Q_DECLARE_METATYPE(kestrune::Snapshot)

inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file((QDir().mkpath(QFileInfo(path).path()), path));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every entry of dir, with the content of regular files: equal maps mean
// that nothing in the folder changed.
inline QMap<QString, QByteArray> folderContents(const QString& dir) {
    QMap<QString, QByteArray> entries;
    for (const QFileInfo& entry : QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                          QDir::System | QDir::NoDotAndDotDot))
        entries.insert(entry.fileName(), entry.isFile() ? fileBytes(entry.filePath()) : "<entry>");
    return entries;
}

struct DiskLimit { // writes beyond limit bytes fail while it lives
    explicit DiskLimit(rlim_t limit) {
        std::signal(SIGXFSZ, SIG_IGN); // a refused write must fail, not end the test
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit lowered{limit, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~DiskLimit() { lift(); }
    void lift() { setrlimit(RLIMIT_FSIZE, &saved); }
    rlimit saved{};
};
