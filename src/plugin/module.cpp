// The functions OBS looks up by name, and the one controller they manage.
#include "Kestrune.h"

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
QPointer<Kestrune> instance;
}

QString text(const char* key) {
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
    // Owned by the main window; unload deletes it earlier if it still lives.
    instance = new Kestrune(window);
    blog(LOG_INFO, "[obs-kestrune] Loaded version %s (OBS 32.0.4)", pluginVersion);
    return true;
}

void obs_module_unload(void) {
    delete instance.data();
    instance.clear();
}
