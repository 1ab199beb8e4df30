// SPDX-License-Identifier: GPL-2.0-or-later
// Start-up, the host's frontend events and the one-time teardown.
#include "LayoutController.h"
#include "SettingsFile.h"

#include <obs-module.h>
#include <util/util.hpp>

#include <QAction>
#include <QMainWindow>

namespace {

QString configPath(const char* file) {
    BPtr<char> path = obs_module_get_config_path(obs_current_module(), file);
    return path.Get() ? QString::fromUtf8(path.Get()) : QString();
}

} // namespace

const char* const LayoutController::objectNameInHost = "obs-kestrune-controller";

LayoutController::LayoutController(QMainWindow* window, const QString& modulePath)
    : QObject(window), mainWindow(window) {
    setObjectName(objectNameInHost);
    setProperty("modulePath", modulePath);
    snapshotsDir = configPath("snapshots");
    settingsPath = configPath("settings.json");

    settings = readSettingsFile(settingsPath);
    lastPath = settings.value("last").toString();
    for (const QJsonValue& value : settings.value("snapshotOrder").toArray()) {
        if (value.isString())
            order.append(value.toString());
    }

    cycleHotkeyId = obs_hotkey_register_frontend(
        "obs-kestrune.cycle", obs_module_text("CycleHotkey"), hotkeyCallback, this);
    previousHotkeyId = obs_hotkey_register_frontend(
        "obs-kestrune.previous", obs_module_text("PreviousHotkey"), hotkeyCallback, this);
    openHotkeyId = obs_hotkey_register_frontend("obs-kestrune.open", obs_module_text("OpenHotkey"),
                                                hotkeyCallback, this);
    loadBindings(cycleHotkeyId, settings.value("cycleHotkey").toArray());
    loadBindings(previousHotkeyId, settings.value("previousHotkey").toArray());
    loadBindings(openHotkeyId, settings.value("openHotkey").toArray());
    readAutoLoads();

    saveTimer.setSingleShot(true);
    connect(&saveTimer, &QTimer::timeout, this, [this] {
        if (ready)
            saveSettings();
    });
    autoTimer.setSingleShot(true);
    connect(&autoTimer, &QTimer::timeout, this, &LayoutController::runAutoLoads);

    obs_frontend_add_event_callback(frontendCallback, this);
}

LayoutController::~LayoutController() {
    shutdown();
    delete dialog.data();
}

void LayoutController::frontendCallback(enum obs_frontend_event event, void* data) {
    auto* controller = static_cast<LayoutController*>(data);
    if (controller->shutDown)
        return;
    if (event == OBS_FRONTEND_EVENT_EXIT) {
        controller->shutdown();
    } else if (event == OBS_FRONTEND_EVENT_FINISHED_LOADING) {
        if (!controller->ready && controller->ensureDirectory())
            controller->becomeReady();
    } else if (event == OBS_FRONTEND_EVENT_PROFILE_CHANGED ||
               event == OBS_FRONTEND_EVENT_SCENE_COLLECTION_CHANGED) {
        controller->hostSwitched(event == OBS_FRONTEND_EVENT_PROFILE_CHANGED);
    }
}

void LayoutController::becomeReady() {
    ready = true;
    toolsAction =
        static_cast<QAction*>(obs_frontend_add_tools_menu_qaction(obs_module_text("Title")));
    if (toolsAction)
        connect(toolsAction, &QAction::triggered, this, [this] { openManager(); });
    refresh(QString());
    saveSettings();
    signal_handler_connect(obs_get_signal_handler(), "hotkey_bindings_changed",
                           bindingsChangedCallback, this);
    startRemote(); // obs-websocket has loaded by now, if it is there
    // The start mark wins; without one, the current profile's link, then the
    // current scene collection's.
    pendingStart = pendingProfile = pendingCollection = true;
    runAutoLoads();
}

void LayoutController::shutdown() {
    if (shutDown)
        return;
    // From here on nothing registers, refreshes or writes, also not a command
    // that is still waiting in a box's event loop.
    shutDown = true;
    stopRemote();
    saveTimer.stop();
    autoTimer.stop();
    if (ready) {
        signal_handler_disconnect(obs_get_signal_handler(), "hotkey_bindings_changed",
                                  bindingsChangedCallback, this);
        writeSettings();
    }

    for (obs_hotkey_id id : {cycleHotkeyId, previousHotkeyId, openHotkeyId}) {
        if (id != OBS_INVALID_HOTKEY_ID)
            obs_hotkey_unregister(id);
    }
    for (obs_hotkey_id id : std::as_const(snapshotHotkeyIds))
        obs_hotkey_unregister(id);
    snapshotHotkeyIds.clear();

    obs_frontend_remove_event_callback(frontendCallback, this);

    delete toolsAction.data();
    toolsAction.clear();
    // A command may still be waiting in one of the dialog's boxes, called from
    // one of its buttons: the dialog goes once that has returned.
    if (dialog) {
        dialog->hide();
        dialog->deleteLater();
    }
}
