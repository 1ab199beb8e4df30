// SPDX-License-Identifier: GPL-2.0-or-later
// Reading settings.json and handing its bindings to the host: kept apart
// from the controller so the fuzzer runs the very code the plug-in uses.
#pragma once

#include <obs-data.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

inline constexpr qint64 maxSettingsSize = 4194304;

// The top-level object of the settings file; an empty object when the file is
// missing, not a regular file, larger than maxSettingsSize or not a JSON object.
QJsonObject readSettingsFile(const QString& path);

// A bindings array in the host's own form, as obs_hotkey_load takes it; null
// when the host refuses the text. Release it with obs_data_array_release.
obs_data_array_t* hostBindings(const QJsonArray& bindings);
