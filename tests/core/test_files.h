// Small helpers shared by the core tests.
#pragma once

#include "Snapshot.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

Q_DECLARE_METATYPE(kestrune::Snapshot)
Q_DECLARE_METATYPE(kestrune::FileStatus)
Q_DECLARE_METATYPE(kestrune::NameStatus)

namespace testfiles {

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A valid snapshot file holding the given stored name.
inline QByteArray documentNamed(const QString& name, int format = 1) {
    QJsonObject object = QJsonDocument::fromJson(R"({"plugin": "obs-kestrune", "docks": ["audio"],
        "state": "c3RhdGU=", "geometry": "Z2VvbWV0cnk="})")
                             .object();
    object.insert("format", format);
    object.insert("name", name);
    return QJsonDocument(object).toJson();
}

} // namespace testfiles
