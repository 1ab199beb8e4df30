// Reading settings.json: kept apart from the controller so the fuzzer runs
// the very code the plug-in starts with.
#pragma once

#include <QJsonObject>
#include <QString>

inline constexpr qint64 maxSettingsSize = 4194304;

// The top-level object of the settings file; an empty object when the file is
// missing, not a regular file, larger than maxSettingsSize or not a JSON object.
QJsonObject readSettingsFile(const QString& path);
