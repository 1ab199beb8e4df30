// Small file helpers shared by the core tests.
#pragma once

#include "kestrune.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QMetaType>
#include <QTest>

Q_DECLARE_METATYPE(kestrune::Snapshot)
Q_DECLARE_METATYPE(kestrune::FileStatus)
Q_DECLARE_METATYPE(kestrune::NameStatus)

// Readable failure messages for QCOMPARE, found by argument lookup.
namespace kestrune {
inline char* toString(FileStatus status) {
    return QTest::toString(QByteArray("FileStatus ") + QByteArray::number(int(status)));
}
inline char* toString(NameStatus status) {
    return QTest::toString(QByteArray("NameStatus ") + QByteArray::number(int(status)));
}
inline char* toString(const Snapshot& s) {
    return QTest::toString(QStringLiteral("{name \"%1\", state %2, geometry %3, docks [%4]}")
                               .arg(s.name, QString::fromLatin1(s.state.toHex()),
                                    QString::fromLatin1(s.geometry.toHex()),
                                    s.docks.join(QLatin1Char('|'))));
}
} // namespace kestrune

namespace testfiles {

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline kestrune::Snapshot sampleSnapshot(const QString& name) {
    return kestrune::Snapshot{name,
                              QByteArray("state\0bytes", 11),
                              QByteArray("\xff\x00geometry", 10),
                              {QStringLiteral("audio"), QStringLiteral("scenes")}};
}

// A snapshot document as raw JSON. Each override replaces one member's raw
// JSON value; an empty override drops the member.
inline QByteArray rawDocument(const QMap<QByteArray, QByteArray>& overrides = {}) {
    QMap<QByteArray, QByteArray> members = {
        {"format", "1"},          {"plugin", "\"obs-kestrune\""}, {"obs", "\"32.0.4\""},
        {"name", "\"Main\""},     {"state", "\"c3RhdGU=\""},      {"geometry", "\"Z2VvbWV0cnk=\""},
        {"docks", "[\"audio\"]"},
    };
    for (auto it = overrides.cbegin(); it != overrides.cend(); ++it)
        members[it.key()] = it.value();
    QByteArray text = "{";
    for (auto it = members.cbegin(); it != members.cend(); ++it) {
        if (it.value().isEmpty())
            continue;
        if (text.size() > 1)
            text += ',';
        text += '"' + it.key() + "\":" + it.value();
    }
    return text + '}';
}

inline QByteArray documentNamed(const QString& name) {
    QByteArray quoted = QJsonDocument(QJsonArray{name}).toJson(QJsonDocument::Compact);
    return rawDocument({{"name", quoted.mid(1, quoted.size() - 2)}});
}

} // namespace testfiles
