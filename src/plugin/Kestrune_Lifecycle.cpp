// Start-up, the host's frontend events and the one-time teardown.
#include "Kestrune.h"
#include "SettingsFile.h"

#include <obs-module.h>

#include <QAction>
#include <QDialog>
#include <QMainWindow>

namespace {

QString configPath(const char* file) {
    char* path = obs_module_get_config_path(obs_current_module(), file);
    QString result = path ? QString::fromUtf8(path) : QString();
    bfree(path);
    return result;
}

} // namespace

Kestrune::Kestrune(QMainWindow* window) : QObject(window), mainWindow(window) {
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

    saveTimer.setSingleShot(true);
    connect(&saveTimer, &QTimer::timeout, this, [this] {
        if (ready && !shutDown)
            saveSettings();
    });

    obs_frontend_add_event_callback(frontendCallback, this);
}

Kestrune::~Kestrune() {
    shutdown();
}

void Kestrune::frontendCallback(enum obs_frontend_event event, void* data) {
    auto* controller = static_cast<Kestrune*>(data);
    if (controller->shutDown)
        return;
    if (event == OBS_FRONTEND_EVENT_EXIT) {
        controller->shutdown();
    } else if (event == OBS_FRONTEND_EVENT_FINISHED_LOADING) {
        if (!controller->ready && controller->ensureDirectory())
            controller->becomeReady();
    }
}

void Kestrune::becomeReady() {
    ready = true;
    toolsAction =
        static_cast<QAction*>(obs_frontend_add_tools_menu_qaction(obs_module_text("Title")));
    if (toolsAction)
        connect(toolsAction, &QAction::triggered, this, [this] { show(); });
    refresh(QString());
    saveSettings();
    signal_handler_connect(obs_get_signal_handler(), "hotkey_bindings_changed",
                           bindingsChangedCallback, this);
}

void Kestrune::shutdown() {
    if (shutDown)
        return;
    shutDown = true;
    saveTimer.stop();
    if (ready) {
        signal_handler_disconnect(obs_get_signal_handler(), "hotkey_bindings_changed",
                                  bindingsChangedCallback, this);
        saveSettings();
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
    delete dialog.data();
    dialog.clear();
}
