// SPDX-License-Identifier: GPL-2.0-or-later
#include "SettingsFile.h"
#include "Snapshot.h"

#include <obs.hpp>

#include <QJsonDocument>

QJsonObject readSettingsFile(const QString& path) {
    // The snapshot reader's rules: only a regular file, never blocking on a
    // pipe left in its place, and nothing past the limit.
    QByteArray bytes;
    if (kestrune::readFile(path, maxSettingsSize, bytes) != kestrune::FileStatus::Ok)
        return QJsonObject();
    return QJsonDocument::fromJson(bytes).object();
}

obs_data_array_t* hostBindings(const QJsonArray& bindings) {
    // The host parses whole data objects only, so the array travels wrapped in one.
    const QByteArray json =
        QJsonDocument(QJsonObject{{"bindings", bindings}}).toJson(QJsonDocument::Compact);
    const OBSDataAutoRelease data = obs_data_create_from_json(json.constData());
    return data ? obs_data_get_array(data, "bindings") : nullptr;
}
