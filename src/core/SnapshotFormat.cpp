// SPDX-License-Identifier: GPL-2.0-or-later
// The snapshot file: the writer's JSON document and the checks of reading
// it, the quick way for files in the writer's own shape and through
// QJsonDocument for everything else.
#include "Base64.h"
#include "CanonicalDocument.h"
#include "Snapshot.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <algorithm>

namespace kestrune {

namespace {

constexpr int formatVersion = 1;

QString decodeUtf8(const detail::Span& text) {
    return QString::fromUtf8(text.data, text.size);
}

// False when the file is not in the writer's shape or fails a check: Qt's
// parser then gives the verdict.
bool parseCanonical(const QByteArray& bytes, Snapshot& out, bool nameOnly) {
    detail::CanonicalDocument document;
    if (!detail::scanCanonical(bytes, document))
        return false;
    if (QLatin1String(document.plugin.data, document.plugin.size) != QLatin1String(pluginId))
        return false;
    Snapshot record;
    record.name = decodeUtf8(document.name).trimmed().normalized(QString::NormalizationForm_C);
    if (record.name.isEmpty() || record.name.size() > maxNameLength)
        return false;
    if (detail::decodeCanonicalBase64(document.state.data, document.state.size,
                                      nameOnly ? nullptr : &record.state) <= 0 ||
        detail::decodeCanonicalBase64(document.geometry.data, document.geometry.size,
                                      nameOnly ? nullptr : &record.geometry) <= 0)
        return false;
    if (!nameOnly) {
        record.docks.reserve(document.docks.size());
        for (const detail::Span& dock : document.docks)
            record.docks.append(decodeUtf8(dock));
        if (document.titles.size() == document.docks.size()) {
            for (const detail::Span& title : document.titles)
                record.titles.append(decodeUtf8(title));
        }
    }
    out = std::move(record);
    return true;
}

FileStatus parseWithQt(const QByteArray& bytes, Snapshot& out, bool nameOnly) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return FileStatus::Invalid;
    const QJsonObject object = document.object();

    if (object.value(QLatin1String("format")).toInt() != formatVersion)
        return FileStatus::Invalid;
    if (object.value(QLatin1String("plugin")).toString() != QLatin1String(pluginId))
        return FileStatus::Invalid;

    const QJsonValue name = object.value(QLatin1String("name"));
    const QJsonValue state = object.value(QLatin1String("state"));
    const QJsonValue geometry = object.value(QLatin1String("geometry"));
    const QJsonValue docks = object.value(QLatin1String("docks"));
    if (!name.isString() || !state.isString() || !geometry.isString() || !docks.isArray())
        return FileStatus::Invalid;

    detail::StrictBase64 decodedState = detail::decodeStrictBase64(state.toString(), !nameOnly);
    detail::StrictBase64 decodedGeometry =
        detail::decodeStrictBase64(geometry.toString(), !nameOnly);

    Snapshot record;
    record.name = name.toString().trimmed().normalized(QString::NormalizationForm_C);
    if (!decodedState.ok || !decodedGeometry.ok)
        return FileStatus::Invalid;
    if (record.name.isEmpty() || record.name.size() > maxNameLength || decodedState.size == 0 ||
        decodedGeometry.size == 0)
        return FileStatus::Invalid;

    const QJsonArray dockArray = docks.toArray();
    if (!nameOnly)
        record.docks.reserve(dockArray.size());
    // References into the array: no value copied before the string itself.
    for (const QJsonValueConstRef dock : dockArray) {
        if (!dock.isString())
            return FileStatus::Invalid;
        if (!nameOnly)
            record.docks.append(dock.toString());
    }

    if (!nameOnly) {
        record.state = std::move(decodedState.bytes);
        record.geometry = std::move(decodedGeometry.bytes);
        // Titles only name the docks for people: any other shape is left out.
        const QJsonArray titles = object.value(QLatin1String("titles")).toArray();
        const bool strings =
            std::all_of(titles.begin(), titles.end(),
                        [](const QJsonValueConstRef title) { return title.isString(); });
        for (qsizetype i = 0; strings && titles.size() == dockArray.size() && i < titles.size();
             ++i)
            record.titles.append(titles.at(i).toString());
    }
    out = std::move(record);
    return FileStatus::Ok;
}

// The whole of read(). With nameOnly, every check still runs, but the layout
// bytes and the dock names are not kept: only out.name is set on Ok.
FileStatus readSnapshot(const QString& path, Snapshot& out, bool nameOnly, QDateTime* modified) {
    QByteArray bytes;
    QDateTime fileTime;
    const FileStatus status = readFile(path, maxFileSize, bytes, modified ? &fileTime : nullptr);
    if (status != FileStatus::Ok)
        return status;
    // parse() leaves out alone unless it succeeds.
    const FileStatus parsed = detail::parse(bytes, out, nameOnly);
    if (parsed == FileStatus::Ok && modified)
        *modified = fileTime;
    return parsed;
}

} // namespace

FileStatus write(const QString& path, const Snapshot& snapshot) {
    if (snapshot.name.trimmed().isEmpty() || snapshot.name.size() > maxNameLength ||
        snapshot.state.isEmpty() || snapshot.geometry.isEmpty())
        return FileStatus::Invalid;

    QJsonObject object;
    object.insert(QStringLiteral("format"), formatVersion);
    object.insert(QStringLiteral("plugin"), QLatin1String(pluginId));
    object.insert(QStringLiteral("obs"), QLatin1String(obsVersion));
    object.insert(QStringLiteral("name"), snapshot.name);
    object.insert(QStringLiteral("state"), QString::fromLatin1(snapshot.state.toBase64()));
    object.insert(QStringLiteral("geometry"), QString::fromLatin1(snapshot.geometry.toBase64()));
    object.insert(QStringLiteral("docks"), QJsonArray::fromStringList(snapshot.docks));
    if (!snapshot.titles.isEmpty() && snapshot.titles.size() == snapshot.docks.size())
        object.insert(QStringLiteral("titles"), QJsonArray::fromStringList(snapshot.titles));

    const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented);
    if (text.size() > maxFileSize)
        return FileStatus::TooLarge;
    return writeFileAtomically(path, text);
}

FileStatus read(const QString& path, Snapshot& out) {
    return readSnapshot(path, out, false, nullptr);
}

FileStatus detail::readName(const QString& path, QString& name, QDateTime* modified) {
    Snapshot record;
    const FileStatus status = readSnapshot(path, record, true, modified);
    if (status == FileStatus::Ok)
        name = std::move(record.name);
    return status;
}

FileStatus detail::parse(const QByteArray& bytes, Snapshot& out, bool nameOnly, bool qtOnly) {
    if (!qtOnly && parseCanonical(bytes, out, nameOnly))
        return FileStatus::Ok;
    return parseWithQt(bytes, out, nameOnly);
}

} // namespace kestrune
