#include "SettingsFile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

QJsonObject readSettingsFile(const QString& path) {
    // Only a regular file: opening a pipe left in its place would block the host.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return QJsonObject();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject();
    // Read one byte past the limit rather than trusting size(): the file may
    // grow between the two.
    const QByteArray bytes = file.read(maxSettingsSize + 1);
    if (bytes.size() > maxSettingsSize)
        return QJsonObject();
    return QJsonDocument::fromJson(bytes).object();
}

obs_data_array_t* hostBindings(const QJsonArray& bindings) {
    // The host parses whole data objects only, so the array travels wrapped in one.
    const QByteArray json =
        QJsonDocument(QJsonObject{{"bindings", bindings}}).toJson(QJsonDocument::Compact);
    obs_data_t* data = obs_data_create_from_json(json.constData());
    if (!data)
        return nullptr;
    obs_data_array_t* array = obs_data_get_array(data, "bindings");
    obs_data_release(data);
    return array;
}
