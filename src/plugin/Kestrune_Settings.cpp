#include "Kestrune.h"

// PLACEHOLDER: replaced by the real implementation.
QJsonArray saveBindings(obs_hotkey_id) { return {}; }
void loadBindings(obs_hotkey_id, const QJsonArray&) {}
void Kestrune::saveSettings() {}
void Kestrune::moveSnapshotSettings(const QString&, const QString&) {}
void Kestrune::removeSnapshotSettings(const QString&) {}
