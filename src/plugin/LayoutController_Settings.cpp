// SPDX-License-Identifier: GPL-2.0-or-later
// settings.json: last snapshot, the user's order and every hotkey's bindings.
#include "LayoutController.h"
#include "PluginLog.h"
#include "SettingsFile.h"

#include <obs.hpp>

#include <QJsonDocument>

QJsonArray saveBindings(obs_hotkey_id id) {
    const OBSDataArrayAutoRelease array = obs_hotkey_save(id);
    // Most hotkeys are unbound; skip the text round trip for them, which
    // otherwise costs more than the whole snapshot listing for 1000 hotkeys.
    if (!array || obs_data_array_count(array) == 0)
        return QJsonArray();
    // The host only serialises whole data objects, so wrap the array in one.
    const OBSDataAutoRelease data = obs_data_create();
    obs_data_set_array(data, "bindings", array);
    const char* json = obs_data_get_json(data);
    return QJsonDocument::fromJson(QByteArray(json ? json : ""))
        .object()
        .value("bindings")
        .toArray();
}

void loadBindings(obs_hotkey_id id, const QJsonArray& bindings) {
    const OBSDataArrayAutoRelease array = hostBindings(bindings);
    if (array)
        obs_hotkey_load(id, array);
}

void LayoutController::saveSettings() {
    if (!shutDown)
        writeSettings();
}

void LayoutController::writeSettings() {
    if (!ensureDirectory())
        return;

    QJsonObject root;
    root.insert("cycleHotkey", saveBindings(cycleHotkeyId));
    root.insert("previousHotkey", saveBindings(previousHotkeyId));
    root.insert("openHotkey", saveBindings(openHotkeyId));
    QJsonObject snapshotHotkeys;
    for (auto it = snapshotHotkeyIds.cbegin(); it != snapshotHotkeyIds.cend(); ++it)
        snapshotHotkeys.insert(fileNameOf(it.key()), saveBindings(it.value()));
    root.insert("snapshotHotkeys", snapshotHotkeys);
    root.insert("last", lastPath);
    root.insert("snapshotOrder", QJsonArray::fromStringList(order));
    writeAutoLoads(root);
    settings = root;

    QString reason;
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);
    if (kestrune::writeFileAtomically(settingsPath, bytes, &reason) != kestrune::FileStatus::Ok)
        logLine(LOG_WARNING, "Could not save settings: %s", reason.toUtf8().constData());
}

void LayoutController::moveSnapshotSettings(const QString& oldPath, const QString& newPath) {
    const QString oldFile = fileNameOf(oldPath);
    const QString newFile = fileNameOf(newPath);

    const auto moved = snapshotHotkeyIds.constFind(oldPath);
    const bool hadHotkey = moved != snapshotHotkeyIds.cend();
    const obs_hotkey_id id = hadHotkey ? moved.value() : OBS_INVALID_HOTKEY_ID;
    if (hadHotkey)
        snapshotHotkeyIds.remove(oldPath);
    // A hotkey still held for the new path belongs to a file that vanished
    // outside the plug-in. Left in place it would stay registered but untracked.
    if (oldPath != newPath) {
        const auto displaced = snapshotHotkeyIds.constFind(newPath);
        if (displaced != snapshotHotkeyIds.cend()) {
            obs_hotkey_unregister(displaced.value());
            snapshotHotkeyIds.remove(newPath);
        }
    }
    if (hadHotkey)
        snapshotHotkeyIds.insert(newPath, id);

    QJsonObject hotkeys = settings.value("snapshotHotkeys").toObject();
    const QJsonValue bindings = hotkeys.take(oldFile);
    hotkeys.remove(newFile);
    if (!bindings.isUndefined())
        hotkeys.insert(newFile, bindings);
    settings.insert("snapshotHotkeys", hotkeys);

    const qsizetype index = order.indexOf(oldFile);
    if (index >= 0)
        order[index] = newFile;
    moveAutoLoads(oldFile, newFile);
    if (lastPath == oldPath)
        lastPath = newPath;
}

void LayoutController::removeSnapshotSettings(const QString& path) {
    const auto entry = snapshotHotkeyIds.constFind(path);
    if (entry != snapshotHotkeyIds.cend()) {
        obs_hotkey_unregister(entry.value());
        snapshotHotkeyIds.remove(path);
    }

    const QString file = fileNameOf(path);
    QJsonObject hotkeys = settings.value("snapshotHotkeys").toObject();
    hotkeys.remove(file);
    settings.insert("snapshotHotkeys", hotkeys);
    order.removeAll(file);
    dropAutoLoads(file);
}
