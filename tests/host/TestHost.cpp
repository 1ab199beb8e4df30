#include "TestHost.h"

#include <obs-frontend-api.h>
#include <obs-module.h>
#include <obs-nix-platform.h>
#include <util/base.h>
#include <util/dstr.h>
#include <util/platform.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMutex>
#include <QMutexLocker>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

namespace {

struct EventCallback {
    obs_frontend_event_cb callback;
    void* data;
};

struct State {
    std::unique_ptr<QTemporaryDir> config;
    QPointer<QMainWindow> window;
    QPointer<QMenu> tools;
    QByteArray initialState;
    QByteArray initialGeometry;
    obs_module_t* module = nullptr;
    bool loaded = false;
    std::vector<EventCallback> callbacks;
    mutable QMutex logMutex;
    QStringList logLines;
};

State& state() {
    static State s;
    return s;
}

void logHandler(int level, const char* format, va_list args, void*) {
    char buffer[8192];
    va_list copy;
    va_copy(copy, args);
    vsnprintf(buffer, sizeof buffer, format, copy);
    va_end(copy);
    const QString line = QString::fromUtf8(buffer);
    {
        QMutexLocker lock(&state().logMutex);
        state().logLines.append(line);
    }
    if (qEnvironmentVariableIsSet("KESTRUNE_TEST_VERBOSE") || level <= LOG_ERROR)
        fprintf(stderr, "[libobs %d] %s\n", level, buffer);
}

// As OBS does: presses reach the plug-in on the user-interface thread.
void routeHotkey(void*, obs_hotkey_id id, bool pressed) {
    QMetaObject::invokeMethod(
        qApp, [id, pressed] { obs_hotkey_trigger_routed_callback(id, pressed); },
        Qt::QueuedConnection);
}

} // namespace

// The frontend functions the module calls. The dynamic linker resolves the
// module's references to these, as it would to the OBS application's.
extern "C" {

__attribute__((visibility("default"))) void* obs_frontend_get_main_window(void) {
    return state().window.data();
}

__attribute__((visibility("default"))) void* obs_frontend_add_tools_menu_qaction(const char* name) {
    if (!state().tools)
        return nullptr;
    return state().tools->addAction(QString::fromUtf8(name));
}

__attribute__((visibility("default"))) void
obs_frontend_add_event_callback(obs_frontend_event_cb callback, void* data) {
    state().callbacks.push_back({callback, data});
}

__attribute__((visibility("default"))) void
obs_frontend_remove_event_callback(obs_frontend_event_cb callback, void* data) {
    auto& list = state().callbacks;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->callback == callback && it->data == data) {
            list.erase(it);
            return;
        }
    }
}
}

namespace testhost {

QStringList dockNames() {
    return {QStringLiteral("scenesDock"),   QStringLiteral("sourcesDock"),
            QStringLiteral("mixerDock"),    QStringLiteral("transitionsDock"),
            QStringLiteral("controlsDock"), QStringLiteral("statsDock")};
}

Host& Host::get() {
    static Host host;
    return host;
}

void Host::start() {
    State& s = state();
    Modals::get().install();
    base_set_log_handler(logHandler, nullptr);

    s.config = std::make_unique<QTemporaryDir>();
    if (!s.config->isValid())
        qFatal("no temporary folder");

    obs_set_nix_platform(OBS_NIX_PLATFORM_X11_EGL);
    if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>())
        obs_set_nix_platform_display(x11->display());
    if (!obs_startup("en-US", QDir(s.config->path()).absolutePath().toUtf8().constData(), nullptr))
        qFatal("obs_startup failed (is there an X display?)");
    obs_hotkey_set_callback_routing_func(routeHotkey, nullptr);
    obs_hotkey_enable_callback_rerouting(true);

    buildWindow();

    const QByteArray path = modulePath().toUtf8();
    const QByteArray data = QByteArrayLiteral(KESTRUNE_DATA_DIR);
    if (obs_open_module(&s.module, path.constData(), data.constData()) != MODULE_SUCCESS)
        qFatal("obs_open_module failed for %s", path.constData());
    s.loaded = obs_init_module(s.module);
    if (!s.loaded)
        qFatal("obs_init_module failed");
}

void Host::stop() {
    State& s = state();
    moduleUnload();
    s.callbacks.clear();
    delete s.window;
    obs_shutdown();
    base_set_log_handler(nullptr, nullptr);
}

void Host::buildWindow() {
    State& s = state();
    auto* window = new QMainWindow;
    window->setObjectName(QStringLiteral("OBSBasic"));
    window->setWindowTitle(QStringLiteral("Test host"));
    auto* central = new QLabel(QStringLiteral("preview"), window);
    central->setMinimumSize(320, 180);
    window->setCentralWidget(central);
    s.tools = window->menuBar()->addMenu(QStringLiteral("&Tools"));
    const QStringList names = dockNames();
    const Qt::DockWidgetArea areas[] = {Qt::BottomDockWidgetArea, Qt::BottomDockWidgetArea,
                                        Qt::BottomDockWidgetArea, Qt::RightDockWidgetArea,
                                        Qt::RightDockWidgetArea,  Qt::LeftDockWidgetArea};
    for (int i = 0; i < names.size(); ++i) {
        auto* dock = new QDockWidget(names[i], window);
        dock->setObjectName(names[i]);
        auto* content = new QLabel(names[i], dock);
        content->setMinimumSize(80, 60);
        dock->setWidget(content);
        window->addDockWidget(areas[i], dock);
    }
    window->resize(1200, 800);
    window->move(50, 50);
    window->show();
    // Geometry and state work without an exposed window, so a slow X server
    // only costs time here.
    (void)QTest::qWaitForWindowExposed(window);
    s.window = window;
    s.initialGeometry = window->saveGeometry();
    s.initialState = window->saveState(0);
}

void Host::restoreWindow() {
    State& s = state();
    if (!s.window)
        return;
    s.window->setWindowState(Qt::WindowNoState);
    for (const QString& name : dockNames()) {
        if (!dock(name)) {
            auto* d = new QDockWidget(name, s.window);
            d->setObjectName(name);
            d->setWidget(new QLabel(name, d));
            s.window->addDockWidget(Qt::BottomDockWidgetArea, d);
        }
    }
    s.window->restoreGeometry(s.initialGeometry);
    s.window->restoreState(s.initialState, 0);
    s.window->show();
    wait(0);
}

QMainWindow* Host::window() const {
    return state().window;
}
QMenu* Host::toolsMenu() const {
    return state().tools;
}

QDockWidget* Host::dock(const QString& name) const {
    if (!state().window)
        return nullptr;
    return state().window->findChild<QDockWidget*>(name, Qt::FindDirectChildrenOnly);
}

QList<QAction*> Host::toolsActions() const {
    return state().tools ? state().tools->actions() : QList<QAction*>();
}

QString Host::configRoot() const {
    return QDir(state().config->path()).absolutePath();
}
QString Host::pluginConfigDir() const {
    return configRoot() + QStringLiteral("/obs-kestrune");
}
QString Host::snapshotsDir() const {
    return pluginConfigDir() + QStringLiteral("/snapshots");
}
QString Host::settingsPath() const {
    return pluginConfigDir() + QStringLiteral("/settings.json");
}
QString Host::modulePath() const {
    return QStringLiteral(KESTRUNE_MODULE_PATH);
}

void* Host::rawSymbol(const char* name) const {
    void* lib = obs_get_module_lib(state().module);
    return lib ? os_dlsym(lib, name) : nullptr;
}

bool Host::moduleLoad() {
    auto load = symbol<bool (*)()>("obs_module_load");
    const bool ok = load && load();
    if (ok)
        state().loaded = true;
    return ok;
}

void Host::moduleUnload() {
    State& s = state();
    if (!s.loaded)
        return;
    if (auto unload = symbol<void (*)()>("obs_module_unload"))
        unload();
    s.loaded = false;
}

uint32_t Host::moduleVersion() {
    auto ver = symbol<uint32_t (*)()>("obs_module_ver");
    return ver ? ver() : 0;
}

void Host::finishLoading() {
    const auto copy = state().callbacks;
    for (const EventCallback& c : copy)
        c.callback(OBS_FRONTEND_EVENT_FINISHED_LOADING, c.data);
}

void Host::exitEvent() {
    const auto copy = state().callbacks;
    for (const EventCallback& c : copy)
        c.callback(OBS_FRONTEND_EVENT_EXIT, c.data);
}

int Host::eventCallbackCount() const {
    return int(state().callbacks.size());
}

void Host::reset(bool finish) {
    moduleUnload();
    wait(0);
    QDir(pluginConfigDir()).removeRecursively();
    restoreWindow();
    Modals::get().clear();
    clearLog();
    if (!moduleLoad())
        qFatal("obs_module_load failed during reset");
    if (finish)
        finishLoading();
    wait(0);
}

void Host::restart(bool finish) {
    moduleUnload();
    wait(0);
    if (!moduleLoad())
        qFatal("obs_module_load failed during restart");
    if (finish)
        finishLoading();
    wait(0);
}

QStringList Host::log() const {
    QMutexLocker lock(&state().logMutex);
    return state().logLines;
}

QStringList Host::logMatching(const QString& needle) const {
    QStringList out;
    for (const QString& line : log())
        if (line.contains(needle))
            out.append(line);
    return out;
}

void Host::clearLog() {
    QMutexLocker lock(&state().logMutex);
    state().logLines.clear();
}

namespace {

struct HotkeyQuery {
    QString name;
    QString prefix;
    obs_hotkey_id id = OBS_INVALID_HOTKEY_ID;
    QString description;
    QStringList names;
};

bool findHotkey(void* data, obs_hotkey_id id, obs_hotkey_t* key) {
    auto* q = static_cast<HotkeyQuery*>(data);
    const QString name = QString::fromUtf8(obs_hotkey_get_name(key));
    if (!q->name.isEmpty() && name == q->name) {
        q->id = id;
        q->description = QString::fromUtf8(obs_hotkey_get_description(key));
        return false;
    }
    if (q->name.isEmpty() && name.startsWith(q->prefix))
        q->names.append(name);
    return true;
}

} // namespace

obs_hotkey_id Host::hotkey(const QString& name) const {
    HotkeyQuery q;
    q.name = name;
    obs_enum_hotkeys(findHotkey, &q);
    return q.id;
}

QString Host::hotkeyDescription(const QString& name) const {
    HotkeyQuery q;
    q.name = name;
    obs_enum_hotkeys(findHotkey, &q);
    return q.description;
}

QStringList Host::hotkeyNames(const QString& prefix) const {
    HotkeyQuery q;
    q.prefix = prefix;
    obs_enum_hotkeys(findHotkey, &q);
    return q.names;
}

void Host::bind(obs_hotkey_id id, const QStringList& keys) {
    obs_data_array_t* array = obs_data_array_create();
    for (const QString& key : keys) {
        obs_data_t* item = obs_data_create();
        obs_data_set_string(item, "key", key.toUtf8().constData());
        obs_data_array_push_back(array, item);
        obs_data_release(item);
    }
    obs_hotkey_load(id, array);
    obs_data_array_release(array);
}

void Host::press(obs_key_t key, bool releaseToo) {
    obs_key_combination_t combination{};
    combination.key = key;
    obs_hotkey_inject_event(combination, true);
    if (releaseToo)
        release(key);
    else
        wait(60);
}

void Host::release(obs_key_t key) {
    obs_key_combination_t combination{};
    combination.key = key;
    obs_hotkey_inject_event(combination, false);
    // libobs releases an injected key on its own thread a little later;
    // presses closer together than that would merge into one.
    wait(80);
}

void Host::wait(int ms) {
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } while (timer.elapsed() < ms);
}

} // namespace testhost
