// SPDX-License-Identifier: GPL-2.0-or-later
// The functions OBS looks up by name, and the one controller they manage.
#include "KestruneVersion.h"
#include "LayoutController.h"
#include "PluginLog.h"

#include <obs-module.h>

#include <QMainWindow>
#include <QPointer>
#include <QThread>

// Declared without EXPORT by libobs; under hidden visibility they would stay
// local, and OBS looks both up by name.
MODULE_EXPORT obs_module_t* obs_current_module(void);
MODULE_EXPORT const char* obs_module_text(const char* key);

OBS_DECLARE_MODULE()
OBS_MODULE_USE_DEFAULT_LOCALE("obs-kestrune", "en-US")
OBS_MODULE_AUTHOR("the OBS-Kestrune developers")

namespace {
QPointer<LayoutController> instance;
}

QString localeText(const char* key) {
    if (!key)
        return QString();
    return QString::fromUtf8(obs_module_text(key));
}

const char* obs_module_name(void) {
    return "OBS-Kestrune";
}

const char* obs_module_description(void) {
    return "Save and restore OBS dock layout snapshots.";
}

bool obs_module_load(void) {
    auto* window = static_cast<QMainWindow*>(obs_frontend_get_main_window());
    if (instance || !window)
        return false;
    if (QThread::currentThread() != window->thread())
        return false;
    const QString path = QString::fromUtf8(obs_get_module_binary_path(obs_current_module()));
    // A second copy (a package and a per-user install, say) would register the
    // same hotkeys and write the same settings file: the first one owns them.
    if (const auto* first = window->findChild<QObject*>(LayoutController::objectNameInHost,
                                                        Qt::FindDirectChildrenOnly)) {
        logLine(LOG_WARNING, "Another copy is already running from %s; %s stays off",
                first->property("modulePath").toString().toUtf8().constData(),
                path.toUtf8().constData());
        return false;
    }
    // Owned by the main window; unload deletes it earlier if it still lives.
    instance = new LayoutController(window, path);
    logLine(LOG_INFO, "Loaded version %s (OBS %s)", KESTRUNE_VERSION, kestrune::obsVersion);
    return true;
}

void obs_module_unload(void) {
    delete instance.data();
    instance.clear();
}
