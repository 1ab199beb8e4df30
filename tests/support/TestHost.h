// SPDX-License-Identifier: GPL-2.0-or-later
// A stand-in for the OBS application: real libobs, a main window with named
// docks, a Tools menu and a status bar, the frontend functions the module
// calls (in TestHost.cpp), hotkeys, log lines and replies to the modal boxes
// the plug-in opens. Test classes derive from it and use its members as
// their vocabulary.
#pragma once

// QtTest first: once libobs has pulled in its SIMD emulation, the compiler's
// own intrinsics headers (reached through QtTest) no longer compile.
#include <QtTest/QtTest>
#include <QtWidgets>

#include "TestSupport.h"

#include <obs-frontend-api.h>
#include <obs-module.h>
#include <obs-nix-platform.h>
#include <obs.hpp>
#include <util/platform.h>

#include <functional>

class TestHost : public QObject {
public:
    // The button to click ("" is Return), the text to type or the file to
    // choose; a null text cancels. First runs while the box is open.
    struct Reply {
        QString text;
        std::function<void()> first;
    };
    static inline QTemporaryDir* config = nullptr;
    static inline QPointer<QMainWindow> mainWindow;
    static inline QList<QPair<obs_frontend_event_cb, void*>> frontendCallbacks;
    static inline QStringList logLines; // written by libobs's threads too
    static inline QMutex logMutex;
    static inline QQueue<Reply> replies;
    // Every modal box since the last reset: its text, or where a chooser starts.
    static inline QStringList seen;
    static inline int unexpected = 0;
    static inline QString profile = "Untitled", collection = "Untitled"; // the host's current ones
    static inline QByteArray initialState, initialGeometry;
    static inline obs_module_t* module = nullptr;
    static inline bool loaded = false;

    static void start() { // once per process
        qApp->installEventFilter(new ModalWatcher(qApp));
        base_set_log_handler(
            [](int, const char* format, va_list args, void*) {
                char line[8192];
                vsnprintf(line, sizeof line, format, args);
                QMutexLocker lock(&logMutex);
                logLines.append(QString::fromUtf8(line));
            },
            nullptr);
        config = new QTemporaryDir;
        obs_set_nix_platform(OBS_NIX_PLATFORM_X11_EGL);
        obs_set_nix_platform_display(
            qApp->nativeInterface<QNativeInterface::QX11Application>()->display());
        if (!obs_startup("en-US", config->path().toUtf8().constData(), nullptr))
            qFatal("obs_startup failed (is there an X display?)");
        obs_hotkey_enable_callback_rerouting(true); // presses come through trigger()
        mainWindow = new QMainWindow;
        mainWindow->setCentralWidget(new QLabel("preview"));
        mainWindow->menuBar()->addMenu("&Tools");
        mainWindow->setStatusBar(new QStatusBar);
        const QStringList docks = {"scenesDock",      "sourcesDock",  "mixerDock",
                                   "transitionsDock", "controlsDock", "statsDock"};
        for (const QString& name : docks) {
            auto* dock = new QDockWidget(name, mainWindow);
            dock->setObjectName(name);
            mainWindow->addDockWidget(
                docks.indexOf(name) < 3 ? Qt::BottomDockWidgetArea : Qt::RightDockWidgetArea, dock);
        }
        mainWindow->setGeometry(50, 50, 1200, 800);
        mainWindow->show();
        (void)QTest::qWaitForWindowExposed(mainWindow);
        initialGeometry = mainWindow->saveGeometry();
        initialState = mainWindow->saveState(0);
        if (obs_open_module(&module, KESTRUNE_MODULE_PATH, KESTRUNE_DATA_DIR) != MODULE_SUCCESS ||
            !(loaded = obs_init_module(module)))
            qFatal("the module did not load");
    }
    static void stop() {
        unload();
        delete mainWindow;
        obs_shutdown();
        delete config;
    }
    template <typename Fn>
    static Fn symbol(const char* name) {
        return reinterpret_cast<Fn>(os_dlsym(obs_get_module_lib(module), name));
    }
    static bool load() { return symbol<bool (*)()>("obs_module_load")() && (loaded = true); }
    static void unload() {
        if (std::exchange(loaded, false))
            symbol<void (*)()>("obs_module_unload")();
        wait();
    }
    static void restart(bool finishToo = true) { // files kept: a restart of OBS
        unload();
        if (!load())
            qFatal("obs_module_load failed");
        if (finishToo)
            finish();
        wait();
    }
    static void reset(bool finishToo = true) { // fresh folder and window, module loaded
        unload();
        QDir(dir()).removeRecursively();
        mainWindow->restoreGeometry(initialGeometry);
        mainWindow->restoreState(initialState, 0);
        replies.clear();
        seen.clear();
        unexpected = 0;
        const QStringList dropped = (QMutexLocker(&logMutex), std::exchange(logLines, {}));
        restart(finishToo);
    }
    static void fire(obs_frontend_event event) {
        for (const auto& [callback, data] : QList(frontendCallbacks))
            callback(event, data);
    }
    static void finish() { fire(OBS_FRONTEND_EVENT_FINISHED_LOADING); }
    static void wait() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static QString status() { return mainWindow->statusBar()->currentMessage(); }
    static QAction* tools() { return mainWindow->findChild<QMenu*>()->actions().value(0); }
    // The manager dialog's list, a file's row in it (marked or not as loaded last),
    // a button by its text's key.
    static QListWidget* list() { return mainWindow->findChild<QListWidget*>(); }
    static QModelIndex row(const QString& file) {
        return list()
            ->model()
            ->match(list()->model()->index(0, 0), Qt::UserRole, snapshot(file))
            .value(0);
    }
    static bool last(const QString& file) { return row(file).data(Qt::UserRole + 2).toBool(); }
    static void push(const char* key) {
        for (QPushButton* b : mainWindow->findChildren<QPushButton*>())
            if (b->text() == text(key) && b->isEnabled())
                b->click();
    }
    // Joined by hand: QDir would take a name like ":x.json" for a Qt resource.
    static QString dir(const QString& below = {}) {
        return config->path() + "/obs-kestrune" + (below.isEmpty() ? "" : "/" + below);
    }
    static QString snapshot(const QString& file) { return dir("snapshots/" + file); }
    static QString text(const char* key) {
        return QString::fromUtf8(symbol<const char* (*)(const char*)>("obs_module_text")(key));
    }
    static QStringList log(const QString& needle = "[obs-kestrune]") {
        return QMutexLocker(&logMutex), logLines.filter(needle);
    }
    static QJsonObject settings() {
        return QJsonDocument::fromJson(fileBytes(dir("settings.json"))).object();
    }
    // A snapshot file of the window with one dock hidden, so that its load
    // shows; extra docks the window lacks are titled "Title <name>".
    static void save(const QString& file, const QString& name, const QString& hide = {},
                     const QStringList& extraDocks = {}) {
        if (auto* dock = mainWindow->findChild<QDockWidget*>(hide); dock && !hide.isEmpty())
            dock->hide();
        kestrune::Snapshot shot = kestrune::capture(*mainWindow, name);
        shot.docks += extraDocks;
        for (const QString& dock : extraDocks)
            shot.titles.append("Title " + dock);
        for (QDockWidget* dock : mainWindow->findChildren<QDockWidget*>())
            dock->show();
        if (!QDir().mkpath(dir("snapshots")) ||
            kestrune::write(snapshot(file), shot) != kestrune::FileStatus::Ok)
            qFatal("could not write %s", qPrintable(file));
    }
    static QString hiddenDock() { // the names of all hidden docks, joined
        QStringList hidden;
        for (QDockWidget* dock : mainWindow->findChildren<QDockWidget*>())
            hidden.append(dock->isHidden() ? dock->objectName() : QString());
        return hidden.join("");
    }

    // name -> (id, description) of every registered hotkey
    static QMultiMap<QString, QPair<obs_hotkey_id, QString>> hotkeyTable() {
        QMultiMap<QString, QPair<obs_hotkey_id, QString>> table;
        obs_enum_hotkeys(
            [](void* data, obs_hotkey_id id, obs_hotkey_t* key) {
                static_cast<decltype(table)*>(data)->insert(obs_hotkey_get_name(key),
                                                            {id, obs_hotkey_get_description(key)});
                return true;
            },
            &table);
        return table;
    }
    static obs_hotkey_id hotkey(const QString& name) { return hotkeyTable().value(name).first; }
    static QStringList hotkeys(const QString& prefix = "obs-kestrune.") {
        return hotkeyTable().keys().filter(prefix);
    }
    static void bind(const QString& name, const char* key) {
        OBSDataAutoRelease data = obs_data_create_from_json(
            QString(R"({"keys": [{"key": "%1"}]})").arg(key).toUtf8().constData());
        obs_hotkey_load(hotkey(name), OBSDataArrayAutoRelease(obs_data_get_array(data, "keys")));
    }
    // A press or release of a hotkey as OBS delivers it: on this thread.
    static void trigger(const QString& name, bool pressed = true) {
        obs_hotkey_trigger_routed_callback(hotkey(name), pressed);
        wait();
    }

    static void expect(const QString& reply, const std::function<void()>& first = {}) {
        replies.enqueue({reply, first});
    }
    // Each modal box takes the next reply; one with none left is cancelled
    // and counted, so no test can hang on it.
    struct ModalWatcher : QObject {
        using QObject::QObject;
        bool eventFilter(QObject* watched, QEvent* event) override {
            auto* w = qobject_cast<QDialog*>(watched);
            if (event->type() != QEvent::Show || !w || !w->isModal())
                return false;
            auto* message = qobject_cast<QMessageBox*>(w);
            auto* input = qobject_cast<QInputDialog*>(w);
            auto* files = qobject_cast<QFileDialog*>(w);
            seen.append(message ? message->text()
                        : input ? input->labelText()
                                : files->directory().absolutePath()); // where a chooser starts
            if (message && message->textFormat() != Qt::PlainText)
                seen.last() += " (as markup)"; // names and paths never are
            unexpected += replies.isEmpty();
            const Reply reply = replies.isEmpty() ? Reply() : replies.dequeue();
            QTimer::singleShot(0, w, [w = QPointer<QDialog>(w), reply, input, files] {
                // A file is chosen before events run: a directory load undoes it.
                if ((input || files) && !reply.text.isNull())
                    input ? input->setTextValue(reply.text) : files->selectFile(reply.text);
                if (reply.first)
                    reply.first(); // it may take the box with it
                if (!w)
                    return;
                if (reply.text.isNull())
                    return w->reject();
                if (input || files)
                    return w->accept();
                for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
                    if (b->text().remove('&') == reply.text && b->isVisible())
                        return b->click();
                QTest::keyClick(w, Qt::Key_Return);
            });
            return false;
        }
    };
};
