// SPDX-License-Identifier: GPL-2.0-or-later
// The frontend functions the module calls: the dynamic linker resolves the
// module's references to these, as it would to the OBS application's.
#include "TestHost.h"

#define FRONTEND extern "C" __attribute__((visibility("default")))

FRONTEND void* obs_frontend_get_main_window(void) {
    return TestHost::mainWindow.data();
}

FRONTEND void* obs_frontend_add_tools_menu_qaction(const char* name) {
    return TestHost::mainWindow->findChild<QMenu*>()->addAction(QString::fromUtf8(name));
}

FRONTEND void obs_frontend_add_event_callback(obs_frontend_event_cb callback, void* data) {
    TestHost::frontendCallbacks.append({callback, data});
}

FRONTEND char* obs_frontend_get_current_profile(void) {
    return bstrdup(TestHost::profile.toUtf8().constData());
}

FRONTEND char* obs_frontend_get_current_scene_collection(void) {
    return bstrdup(TestHost::collection.toUtf8().constData());
}

FRONTEND void obs_frontend_remove_event_callback(obs_frontend_event_cb callback, void* data) {
    TestHost::frontendCallbacks.removeAll({callback, data});
}
