// SPDX-License-Identifier: GPL-2.0-or-later
// The plug-in's hotkeys. Host callbacks may run on any thread, so they only
// post the hotkey id to the controller's thread; all work happens there.
#include "LayoutController.h"
#include "PlainText.h"
#include "PluginLog.h"

#include <QMetaObject>

namespace {

// A hotkey's new identity, applied by the host as one update.
struct Label {
    obs_hotkey_id id = OBS_INVALID_HOTKEY_ID;
    QByteArray name;
    QByteArray description;
};

void applyLabel(void* data) {
    const auto* label = static_cast<const Label*>(data);
    obs_hotkey_set_name(label->id, label->name.constData());
    obs_hotkey_set_description(label->id, label->description.constData());
}

} // namespace

void LayoutController::hotkeyCallback(void* data, obs_hotkey_id id, obs_hotkey_t*, bool pressed) {
    if (!pressed)
        return;
    auto* controller = static_cast<LayoutController*>(data);
    QMetaObject::invokeMethod(
        controller, [controller, id] { controller->runHotkey(id); }, Qt::QueuedConnection);
}

void LayoutController::bindingsChangedCallback(void* data, calldata_t* cd) {
    obs_hotkey_t* key = nullptr;
    if (!calldata_get_ptr(cd, "key", &key) || !key)
        return;
    const obs_hotkey_id id = obs_hotkey_get_id(key);
    auto* controller = static_cast<LayoutController*>(data);
    QMetaObject::invokeMethod(
        controller, [controller, id] { controller->bindingsChanged(id); }, Qt::QueuedConnection);
}

void LayoutController::runHotkey(obs_hotkey_id id) {
    if (!ready || shutDown)
        return;
    if (id == openHotkeyId) {
        openManager();
    } else if (id == cycleHotkeyId) {
        cycle(1);
    } else if (id == previousHotkeyId) {
        cycle(-1);
    } else {
        // The hotkey may have gone while the press was queued; then nothing matches.
        const QString path = snapshotHotkeyIds.key(id);
        if (!path.isEmpty())
            load(path);
    }
}

void LayoutController::bindingsChanged(obs_hotkey_id id) {
    if (ready && !shutDown && ownsHotkey(id))
        saveTimer.start(saveDelayMs);
}

bool LayoutController::ownsHotkey(obs_hotkey_id id) const {
    if (id == cycleHotkeyId || id == previousHotkeyId || id == openHotkeyId)
        return true;
    for (obs_hotkey_id snapshotId : snapshotHotkeyIds) {
        if (snapshotId == id)
            return true;
    }
    return false;
}

void LayoutController::syncSnapshotHotkey(const QString& path, const QString& name) {
    if (shutDown)
        return;
    const QString file = fileNameOf(path);
    Label label;
    label.name = QByteArrayLiteral("obs-kestrune.load.") + file.toUtf8();
    // OBS shows descriptions in labels that would render a name like "<b>x" as markup.
    label.description = shownAsPlainText(localeText("LoadHotkey").arg(name)).toUtf8();

    const auto known = snapshotHotkeyIds.constFind(path);
    if (known != snapshotHotkeyIds.cend()) {
        // Renaming in place keeps the id and with it the user's bindings.
        label.id = known.value();
        obs_hotkey_update_atomic(applyLabel, &label);
        return;
    }

    const obs_hotkey_id id = obs_hotkey_register_frontend(
        label.name.constData(), label.description.constData(), hotkeyCallback, this);
    if (id == OBS_INVALID_HOTKEY_ID) {
        logLine(LOG_WARNING, "Could not register snapshot hotkey: %s", label.name.constData());
        return;
    }
    snapshotHotkeyIds.insert(path, id);
    loadBindings(id, settings.value("snapshotHotkeys").toObject().value(file).toArray());
}
