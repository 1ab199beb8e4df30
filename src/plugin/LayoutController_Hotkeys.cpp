// SPDX-License-Identifier: GPL-2.0-or-later
// The plug-in's hotkeys. Host callbacks may run on any thread, so they only
// post the hotkey id to the controller's thread; all work happens there.
#include "LayoutController.h"
#include "PlainText.h"
#include "PluginLog.h"

#include <obs.hpp>
#include <util/dstr.hpp>

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
        cycle(1, LoadTrigger::Hotkey);
    } else if (id == previousHotkeyId) {
        cycle(-1, LoadTrigger::Hotkey);
    } else {
        // The hotkey may have gone while the press was queued; then nothing matches.
        const QString path = snapshotHotkeyIds.key(id);
        if (!path.isEmpty())
            load(path, LoadTrigger::Hotkey);
    }
}

void LayoutController::bindingsChanged(obs_hotkey_id id) {
    if (!ready || shutDown || !ownsHotkey(id))
        return;
    saveTimer.start(saveDelayMs);
    if (const QString path = snapshotHotkeyIds.key(id); dialog && !path.isEmpty())
        dialog->setHotkey(path, firstBinding(id));
}

QString LayoutController::firstBinding(obs_hotkey_id id) {
    const OBSDataArrayAutoRelease bindings = obs_hotkey_save(id);
    if (!bindings || obs_data_array_count(bindings) == 0)
        return QString();
    const OBSDataAutoRelease first = obs_data_array_item(bindings, 0);
    obs_key_combination_t combination{};
    combination.key = obs_key_from_name(obs_data_get_string(first, "key"));
    const std::pair<const char*, uint32_t> modifiers[] = {{"shift", INTERACT_SHIFT_KEY},
                                                          {"control", INTERACT_CONTROL_KEY},
                                                          {"alt", INTERACT_ALT_KEY},
                                                          {"command", INTERACT_COMMAND_KEY}};
    for (const auto& [name, flag] : modifiers)
        combination.modifiers |= obs_data_get_bool(first, name) ? flag : 0;
    DStr text;
    obs_key_combination_to_str(combination, text);
    const dstr* raw = text;
    return QString::fromUtf8(raw->array ? raw->array : "");
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
