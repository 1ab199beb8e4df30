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
