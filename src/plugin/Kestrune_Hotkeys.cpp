#include "Kestrune.h"

// PLACEHOLDER: replaced by the real implementation.
void Kestrune::hotkeyCallback(void*, obs_hotkey_id, obs_hotkey_t*, bool) {}
void Kestrune::bindingsChangedCallback(void*, calldata_t*) {}
void Kestrune::syncSnapshotHotkey(const QString&, const QString&) {}
void Kestrune::runHotkey(obs_hotkey_id) {}
void Kestrune::bindingsChanged(obs_hotkey_id) {}
bool Kestrune::ownsHotkey(obs_hotkey_id) const { return false; }
