// SPDX-License-Identifier: GPL-2.0-or-later
// Helpers for every test: Qt and the snapshot core only.
#pragma once

#include "Snapshot.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

Q_DECLARE_METATYPE(kestrune::Snapshot)
Q_DECLARE_METATYPE(kestrune::FileStatus)
Q_DECLARE_METATYPE(kestrune::NameStatus)

inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
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

// A snapshot file of format 1 holding the given stored name.
inline QByteArray documentNamed(const QString& name) {
    const QByteArray quoted = QJsonDocument(QJsonArray{name}).toJson(QJsonDocument::Compact);
    return R"({"format": 1, "plugin": "obs-kestrune", "state": "c3RhdGU=", "geometry": "Z2VvbQ==", )"
           R"("docks": ["a"], "name": )" +
           quoted.mid(1, quoted.size() - 2) + '}';
}
