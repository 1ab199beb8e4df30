// SPDX-License-Identifier: GPL-2.0-or-later
// A stand-in for the OBS application: real libobs, a main window with named
// docks and a Tools menu, the frontend functions the module calls (in
// TestHost.cpp), hotkeys, log lines and answers to the modal boxes the
// plug-in opens. Test classes derive from it and use its members as their
// vocabulary.
#pragma once

// QtTest first: once libobs has pulled in its SIMD emulation, the compiler's
// own intrinsics headers (reached through QtTest) no longer compile.
#include <QtTest/QtTest>
#include <QtWidgets>

#include "Snapshot.h"

#include <obs-frontend-api.h>
#include <obs-module.h>
#include <obs-nix-platform.h>
#include <obs.hpp>
#include <util/platform.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>

class TestHost : public QObject {
public:
    struct Box { // a modal box as it opened
        QString text, value, defaultButton, parent;
        int format = -1;
    };
    using Answer = std::function<void(QWidget*)>;
    static inline const QStringList docks = {"scenesDock",      "sourcesDock",  "mixerDock",
                                             "transitionsDock", "controlsDock", "statsDock"};
    static inline QTemporaryDir* config = nullptr;
    static inline QPointer<QMainWindow> mainWindow;
    static inline QList<QPair<obs_frontend_event_cb, void*>> frontendCallbacks;
    static inline QStringList logLines; // written by libobs's threads too
    static inline QMutex logMutex;
    static inline QQueue<Answer> answers;
    static inline QList<Box> boxes; // every modal box since the last reset
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
        // As OBS does: key presses reach the plug-in on the user-interface thread.
        obs_hotkey_set_callback_routing_func(
            [](void*, obs_hotkey_id id, bool down) {
                QMetaObject::invokeMethod(qApp,
                                          [=] { obs_hotkey_trigger_routed_callback(id, down); });
            },
            nullptr);
        obs_hotkey_enable_callback_rerouting(true);
        mainWindow = new QMainWindow;
        mainWindow->setCentralWidget(new QLabel("preview"));
        mainWindow->menuBar()->addMenu("&Tools");
        mainWindow->setStatusBar(new QStatusBar);
        for (const QString& name : docks) {
            auto* dock = new QDockWidget(name, mainWindow);
            dock->setObjectName(name);
            dock->setWidget(new QLabel(name));
            mainWindow->addDockWidget(Qt::DockWidgetArea(docks.indexOf(name) < 3 ? 8 : 2), dock);
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
        mainWindow->setWindowState(Qt::WindowNoState);
        mainWindow->restoreGeometry(initialGeometry);
        mainWindow->restoreState(initialState, 0);
        answers.clear();
        boxes.clear();
        unexpected = 0;
        const QStringList dropped = (QMutexLocker(&logMutex), std::exchange(logLines, {}));
        restart(finishToo);
    }
    static void fire(obs_frontend_event event) {
        for (const auto& [callback, data] : QList(frontendCallbacks))
            callback(event, data);
    }
    static void finish() { fire(OBS_FRONTEND_EVENT_FINISHED_LOADING); }
    static int callbacks() { return int(frontendCallbacks.size()); }

    static QMainWindow* window() { return mainWindow; }
    static QString status() { // the status bar's message, "-" without one
        auto* bar = mainWindow->findChild<QStatusBar*>();
        return bar ? bar->currentMessage() : "-";
    }
    static QAction* tools() { return mainWindow->findChild<QMenu*>()->actions().value(0); }
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
    static QByteArray bytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static bool write(const QString& path, const QByteArray& bytes) {
        QFile file((QDir().mkpath(QFileInfo(path).path()), path));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    static QJsonObject settings() {
        return QJsonDocument::fromJson(bytes(dir("settings.json"))).object();
    }
    // A snapshot file of the window with one dock hidden, so that its load
    // shows; extra docks the window lacks are titled "Title <name>".
    static QString save(const QString& file, const QString& name, const QString& hide = {},
                        const QStringList& extraDocks = {}) {
        if (auto* dock = mainWindow->findChild<QDockWidget*>(hide); dock && !hide.isEmpty())
            dock->hide();
        kestrune::Snapshot shot = kestrune::capture(*mainWindow, name);
        shot.docks += extraDocks;
        for (const QString& dock : extraDocks)
            shot.titles.append("Title " + dock);
        showAllDocks();
        if (!QDir().mkpath(dir("snapshots")) ||
            kestrune::write(snapshot(file), shot) != kestrune::FileStatus::Ok)
            qFatal("could not write %s", qPrintable(file));
        return snapshot(file);
    }
    static QString hiddenDock() { // "" for none, "several" for more than one
        QStringList hidden;
        for (QDockWidget* dock : mainWindow->findChildren<QDockWidget*>())
            if (dock->isHidden())
                hidden.append(dock->objectName());
        return hidden.size() > 1 ? "several" : hidden.value(0);
    }
    static void showAllDocks() {
        for (QDockWidget* dock : mainWindow->findChildren<QDockWidget*>())
            dock->show();
    }

    // name -> (id, description as a label shows it) of every registered hotkey
    static QMultiMap<QString, QPair<obs_hotkey_id, QString>> hotkeyTable() {
        QMultiMap<QString, QPair<obs_hotkey_id, QString>> table;
        obs_enum_hotkeys(
            [](void* data, obs_hotkey_id id, obs_hotkey_t* key) {
                static_cast<decltype(table)*>(data)->insert(
                    obs_hotkey_get_name(key), {id, shownText(obs_hotkey_get_description(key))});
                return true;
            },
            &table);
        return table;
    }
    static obs_hotkey_id hotkey(const QString& name) { return hotkeyTable().value(name).first; }
    static QStringList hotkeys(const QString& prefix = "obs-kestrune.") {
        return hotkeyTable().keys().filter(
            QRegularExpression('^' + QRegularExpression::escape(prefix)));
    }
    // What a widget that guesses the format (label, tool tip) shows of text.
    static QString shownText(const QString& t) {
        return Qt::mightBeRichText(t) ? QTextDocumentFragment::fromHtml(t).toPlainText() : t;
    }
    static void bind(const QString& name, const QStringList& keys) {
        OBSDataArrayAutoRelease array = obs_data_array_create();
        for (const QString& key : keys) {
            OBSDataAutoRelease item = obs_data_create();
            obs_data_set_string(item, "key", key.toUtf8().constData());
            obs_data_array_push_back(array, item);
        }
        obs_hotkey_load(hotkey(name), array);
    }
    static QStringList bound(const QString& name) {
        QStringList keys;
        OBSDataArrayAutoRelease array = obs_hotkey_save(hotkey(name));
        for (size_t i = 0; array && i < obs_data_array_count(array); ++i)
            keys.append(
                obs_data_get_string(OBSDataAutoRelease(obs_data_array_item(array, i)), "key"));
        return keys;
    }
    // A press or release of a hotkey as OBS delivers it: on this thread.
    static void trigger(const QString& name, bool pressed = true) {
        obs_hotkey_trigger_routed_callback(hotkey(name), pressed);
        wait();
    }
    static void wait(int ms = 0) {
        QElapsedTimer timer;
        timer.start();
        do {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        } while (timer.elapsed() < ms);
    }

    // Each modal box takes the next answer; one with none left is cancelled
    // and counted, so no test can hang on it.
    static void expect(const Answer& answer) { answers.enqueue(answer); }
    static QStringList seen() { // the text of each box
        QStringList texts;
        for (const Box& box : boxes)
            texts.append(box.text);
        return texts;
    }
    static Answer click(const QString& button) { // "" is Return
        return [button](QWidget* w) {
            for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
                if (b->text().remove('&') == button && b->isVisible())
                    return b->click();
            button.isEmpty() ? QTest::keyClick(w, Qt::Key_Return)
                             : static_cast<QDialog*>(w)->reject();
        };
    }
    static Answer type(const QString& text) {
        return [text](QWidget* w) {
            static_cast<QInputDialog*>(w)->setTextValue(text);
            static_cast<QDialog*>(w)->accept();
        };
    }
    static Answer choose(const QString& path) {
        return [path](QWidget* w) {
            static_cast<QFileDialog*>(w)->selectFile(path);
            static_cast<QDialog*>(w)->accept();
        };
    }
    static Answer after(std::function<void()> first, const Answer& then) {
        return [first, then](QWidget* w) {
            const QPointer<QWidget> box = w; // first() may take the box with it
            first();
            if (box)
                then(w);
        };
    }
    struct ModalWatcher : QObject {
        using QObject::QObject;
        bool eventFilter(QObject* watched, QEvent* event) override {
            auto* w = qobject_cast<QDialog*>(watched);
            if (event->type() != QEvent::Show || !w || !w->isModal())
                return false;
            auto* message = qobject_cast<QMessageBox*>(w);
            auto* input = qobject_cast<QInputDialog*>(w);
            auto* files = qobject_cast<QFileDialog*>(w);
            boxes.append(
                {message ? message->text()
                 : input ? input->labelText()
                         : w->windowTitle(),
                 input   ? input->textValue()
                 : files ? files->directory().absolutePath() + '/' +
                               QFileInfo(files->selectedFiles().value(0)).fileName()
                         : "",
                 message && message->defaultButton() ? message->defaultButton()->text() : "",
                 w->parent() ? w->parent()->metaObject()->className() : "",
                 message ? int(message->textFormat()) : -1});
            unexpected += answers.isEmpty();
            const Answer answer = answers.isEmpty() ? click("Cancel") : answers.dequeue();
            QTimer::singleShot(0, w, [w, answer] { answer(w); });
            return false;
        }
    };

    struct DiskLimit { // writes beyond limit bytes fail while it lives
        explicit DiskLimit(rlim_t limit) {
            std::signal(SIGXFSZ, SIG_IGN); // a refused write must fail, not end the test
            getrlimit(RLIMIT_FSIZE, &saved);
            const rlimit lowered{limit, saved.rlim_max};
            setrlimit(RLIMIT_FSIZE, &lowered);
        }
        ~DiskLimit() { lift(); }
        void lift() { setrlimit(RLIMIT_FSIZE, &saved); }
        rlimit saved{};
    };
};
