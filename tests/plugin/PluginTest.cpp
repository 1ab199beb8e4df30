// SPDX-License-Identifier: GPL-2.0-or-later
// The plug-in in its host: start, settings.json, loads, failures, teardown.
#include "KestruneVersion.h"
#include "TestHost.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
const QStringList members = {"collectionLinks", "cycleHotkey",     "last",
                             "loadAtStart",     "openHotkey",      "previousHotkey",
                             "profileLinks",    "snapshotHotkeys", "snapshotOrder"};
}

class PluginTest : public TestHost {
    Q_OBJECT

    QDialog* dialog() { return window()->findChild<QDialog*>(); }

private slots:
    void initTestCase() { start(); }
    void cleanupTestCase() { stop(); }
    void cleanup() { QCOMPARE(unexpected, 0); }

    void startsOnceTheHostHasLoaded() {
        reset(false);
        QCOMPARE(log(), QStringList{QString("[obs-kestrune] Loaded version %1 (OBS %2)")
                                        .arg(KESTRUNE_VERSION, kestrune::obsVersion)});
        QVERIFY(!load());
        trigger("obs-kestrune.open");
        QVERIFY(!QFileInfo::exists(dir()) && !tools() && !dialog());
        finish();
        finish();
        QCOMPARE(window()->findChild<QMenu*>()->actions().size(), 1);
        QCOMPARE(settings().keys(), members);
        trigger("obs-kestrune.open");
        QVERIFY(dialog()->isVisible());

        // A second copy of the module stays off and names both files.
        QTemporaryDir folder;
        const QString copy = folder.filePath("obs-kestrune-copy.so");
        obs_module_t* second = nullptr;
        QVERIFY(QFile::copy(KESTRUNE_MODULE_PATH, copy));
        QCOMPARE(obs_open_module(&second, qPrintable(copy), KESTRUNE_DATA_DIR), MODULE_SUCCESS);
        QVERIFY(!obs_init_module(second));
        QCOMPARE(log("Another copy"),
                 QStringList{QString("[obs-kestrune] Another copy is already running from %1; "
                                     "%2 stays off")
                                 .arg(KESTRUNE_MODULE_PATH, copy)});
        QCOMPARE(hotkeys("obs-kestrune.open").size(), 1);

        // Nothing can be created below a file: one box, then the plug-in stays inert.
        reset(false);
        QVERIFY(write(dir(), "not a folder"));
        expect(click("OK"));
        finish();
        trigger("obs-kestrune.open");
        fire(OBS_FRONTEND_EVENT_EXIT);
        QCOMPARE(log("DirectoryFailed"), QStringList{"[obs-kestrune] DirectoryFailed: "});
        QVERIFY(seen() == QStringList{text("DirectoryFailed")} && !tools() && !dialog());
        QVERIFY(QFile::remove(dir()));
    }

    void settingsAreReadAndWrittenSafely_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("last");
        const QByteArray head = R"({"snapshotOrder": ["z.json", 3, "a.json", "z.json"],
                                    "last": "/kept.json", "extra": 1)";
        QTest::newRow("4 MiB") << head + QByteArray(4194303 - head.size(), ' ') + '}'
                               << "/kept.json";
        QTest::newRow("one byte more") << head + QByteArray(4194304 - head.size(), ' ') + '}' << "";
        QTest::newRow("not JSON") << head << "";
        QTest::newRow("a pipe") << QByteArray() << "";
        QTest::newRow("a refused write") << QByteArray(R"({"last": "/old.json"})") << "/old.json";
    }
    void settingsAreReadAndWrittenSafely() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, last);
        reset(false);
        save("a.json", "A");
        save("z.json", "Z");
        const QByteArray path = QFile::encodeName(dir("settings.json"));
        std::thread feeder;
        if (bytes.isEmpty() && mkfifo(path.constData(), 0600) == 0) {
            feeder = std::thread([path] { // only a reader blocked in open() would get this text
                QThread::msleep(500);
                struct stat pipe {};
                const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0 && ::fstat(fd, &pipe) == 0 && S_ISFIFO(pipe.st_mode))
                    (void)!::write(fd, R"({"last": "/piped"})", 18);
                ::close(fd);
            });
        }
        QVERIFY(bytes.isEmpty() || write(path, bytes));
        restart(false);
        if (feeder.joinable())
            feeder.join();
        if (QTest::currentDataTag() == QLatin1String("a refused write")) {
            DiskLimit limit(16);
            finish();
            QCOMPARE(this->bytes(path), bytes);
            QCOMPARE(log("Could not save settings: ").size(), 1);
            QVERIFY(log("Could not save settings: ")[0].size() > 60); // with the reason
        }
        // The first write, or after a refused one the next: it has the state.
        fire(OBS_FRONTEND_EVENT_FINISHED_LOADING);
        fire(OBS_FRONTEND_EVENT_EXIT);
        QCOMPARE(settings().keys(), members);
        QCOMPARE(settings()["last"].toString(), last);
        const QStringList order = {last == "/kept.json" ? "z.json" : "a.json",
                                   last == "/kept.json" ? "a.json" : "z.json"};
        QCOMPARE(settings()["snapshotOrder"].toVariant().toStringList(), order);
    }

    // Names with markup show as text in hotkey descriptions; nothing loaded,
    // previous takes the last entry; both ways wrap; missing docks are asked
    // about first; a refused layout rolls back and keeps "last".
    void loadsAskRollBackAndCycle() {
        reset(false);
        save("a.json", "A", "statsDock", {"zetaGone", "alphaGone"});
        kestrune::Snapshot broken = kestrune::capture(*window(), "B");
        broken.state = "not a window state";
        QCOMPARE(kestrune::write(snapshot("b.json"), broken), kestrune::FileStatus::Ok);
        save(":c.json", "C<img src=\"x.png\"><b>", "mixerDock"); // QDir: a Qt resource
        finish();
        QCOMPARE(hotkeyTable().value("obs-kestrune.load.:c.json").second,
                 text("LoadHotkey").arg("C<img src=\"x.png\"><b>"));
        const QString go = text("Continue");
        for (const auto& [key, answer, hidden, last] :
             QList<std::tuple<QString, QString, QString, QString>>{
                 {"previous", QString(), "mixerDock", ":c.json"}, // a null answer: no box
                 {"cycle", "", "mixerDock", ":c.json"},
                 {"cycle", go, "statsDock", "a.json"},
                 {"cycle", "OK", "statsDock", "a.json"},
                 {"previous", QString(), "mixerDock", ":c.json"}}) {
            const QRect rect = window()->geometry();
            if (!answer.isNull())
                expect(click(answer));
            trigger("obs-kestrune." + key);
            trigger("obs-kestrune." + key, false); // a release acting as a press would move on
            QCOMPARE(hiddenDock(), hidden);
            QTRY_COMPARE(settings()["last"].toString(), snapshot(last));
            QCOMPARE(window()->geometry(), rect);
        }
        const QString missing = text("MissingDocks").arg("Title zetaGone, Title alphaGone");
        QCOMPARE(seen(), QStringList({missing, missing, text("RestoreFailed")}));
        QCOMPARE(boxes[0].defaultButton, text("Cancel"));
        QCOMPARE(boxes[2].format, int(Qt::PlainText));
        QCOMPARE(log("RestoreFailed"), QStringList{"[obs-kestrune] RestoreFailed: "});
    }

    // Loads outside the dialog say so in the status bar, when there is one;
    // the mark follows every load and a restart; a row shows its hotkey as
    // bindings change; files that cannot be read are counted under the list.
    void theUserSeesWhatHappened() {
        reset();
        save("a.json", "A", "statsDock");
        save("b.json", "<b>B\u202e", "mixerDock");
        window()->showMaximized();
        window()->setWindowState(window()->windowState() | Qt::WindowMinimized);
        tools()->trigger(); // back from the task bar, and still maximised
        QVERIFY(!window()->isMinimized() && window()->isMaximized());
        auto* list = window()->findChild<QListWidget*>();
        const auto row = [&](const char* file) {
            return list->model()->match(list->model()->index(0, 0), Qt::UserRole,
                                        snapshot(file))[0];
        };
        const auto last = [&](const char* file) {
            return row(file).data(Qt::UserRole + 2).toBool();
        };
        trigger("obs-kestrune.load.b.json");
        QCOMPARE(status(), text("StatusLoaded").arg("<b>B\u202e"));
        QVERIFY(last("b.json") && !last("a.json"));
        window()->statusBar()->clearMessage();
        list->setCurrentIndex(row("a.json"));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(last("a.json") && !last("b.json") && status().isEmpty());
        bind("obs-kestrune.load.b.json", {"OBS_KEY_F7"});
        QTRY_COMPARE(row("b.json").data(Qt::UserRole + 3).toString(), "F7");

        QVERIFY(write(snapshot("c.json"), "{}"));
        restart();
        tools()->trigger();
        list = window()->findChild<QListWidget*>();
        QLabel* unreadable = nullptr;
        for (QLabel* label : list->window()->findChildren<QLabel*>())
            unreadable = label->text() == text("Unreadable").arg(1) ? label : unreadable;
        QVERIFY(last("a.json") && unreadable && unreadable->isVisible());
        QCOMPARE(unreadable->toolTip(), "c.json");
        QVERIFY(QFile::remove(snapshot("c.json")));
        tools()->trigger();
        QVERIFY(!unreadable->isVisible());
        delete window()->statusBar();
        trigger("obs-kestrune.load.b.json");
        QVERIFY(last("b.json") && status() == "-");
        window()->setStatusBar(new QStatusBar);
    }

    // The start mark wins at start, without a question for missing docks;
    // without one, the profile's link. Switches load their links, the profile's
    // first, after a command that is running. Links follow renames, go with
    // deletes, and settings that make no sense are left out.
    void layoutsComeBackByThemselves() {
        reset();
        save("a.json", "A", "statsDock", {"ghost"});
        save("b.json", "B", "mixerDock");
        save("c.json", "C", "scenesDock");
        unload();
        QVERIFY(write(dir("settings.json"),
                      R"({"loadAtStart": "a.json", "profileLinks": {"Live": "b.json",
            "Bad": 5, "Out": "../x.json", "Gone": "gone.json"}, "collectionLinks": "no", "extra": 1})"));
        profile = "Live";
        restart();
        QCOMPARE(hiddenDock(), "statsDock");
        QCOMPARE(log("without the docks Title ghost").size(), 1);
        QCOMPARE(settings()["profileLinks"].toObject(), QJsonObject({{"Live", "b.json"}}));
        tools()->trigger();
        auto* list = window()->findChild<QListWidget*>();
        const auto toggle = [&](int row, int action) {
            list->setCurrentRow(row);
            list->actions()[2 + action]->trigger();
        };
        toggle(0, 0); // a: no longer at start
        collection = "Show";
        toggle(2, 2); // c: with the scene collection "Show"
        QCOMPARE(list->item(2)->data(Qt::UserRole + 4).toString(), "scene collection Show");
        restart();
        QCOMPARE(hiddenDock(), "mixerDock");
        for (const auto& [switched, name, hidden] :
             QList<std::tuple<bool, QString, QString>>{{true, "Other", "mixerDock"},
                                                       {false, "Show", "scenesDock"},
                                                       {true, "Live", "mixerDock"}}) {
            (switched ? profile : collection) = name;
            fire(switched ? OBS_FRONTEND_EVENT_PROFILE_CHANGED
                          : OBS_FRONTEND_EVENT_SCENE_COLLECTION_CHANGED);
            QCOMPARE(hiddenDock(), hidden);
        }
        tools()->trigger();
        list = window()->findChild<QListWidget*>();
        expect(after(
            [&] {
                profile = "Other";
                fire(OBS_FRONTEND_EVENT_PROFILE_CHANGED);
                fire(OBS_FRONTEND_EVENT_SCENE_COLLECTION_CHANGED);
                QCOMPARE(hiddenDock(), "mixerDock"); // not while the prompt is open
            },
            type("B2")));
        list->setCurrentRow(1);
        for (QPushButton* button : list->window()->findChildren<QPushButton*>())
            if (button->text() == text("Rename"))
                button->click();
        QTRY_COMPARE(hiddenDock(), "scenesDock");
        QVERIFY(QFile::remove(snapshot("c.json")));
        fire(OBS_FRONTEND_EVENT_EXIT);
        QCOMPARE(settings()["profileLinks"].toObject(), QJsonObject({{"Live", "B2.json"}}));
        QCOMPARE(settings()["collectionLinks"].toObject(), QJsonObject());
        QCOMPARE(settings()["loadAtStart"].toString(), "");
        QCOMPARE(settings()["extra"], QJsonValue()); // written anew, as always
    }

    // Off a screen of another size and off every screen: the layout applies
    // and every window comes back where it can be reached.
    void loadsFitAnotherScreen() {
        reset();
        QDir().mkpath(dir("snapshots"));
        auto* dock = window()->findChild<QDockWidget*>("statsDock");
        dock->setFloating(true);
        dock->move(5000, 5000);
        window()->move(-3000, 100);
        kestrune::Snapshot away = kestrune::capture(*window(), "Away");
        QDataStream width(&away.geometry, QIODevice::ReadWrite);
        width.device()->seek(46); // the screen width it was saved on, doubled
        width << qint32(QGuiApplication::primaryScreen()->geometry().width() * 2);
        QCOMPARE(kestrune::write(snapshot("away.json"), away), kestrune::FileStatus::Ok);
        dock->setFloating(false);
        window()->move(50, 50);
        restart();
        trigger("obs-kestrune.load.away.json");
        QVERIFY(dock->isFloating() && boxes.isEmpty());
        for (QWidget* w : {static_cast<QWidget*>(window()), static_cast<QWidget*>(dock)})
            QVERIFY(QGuiApplication::primaryScreen()->geometry().intersects(w->frameGeometry()));
    }

    // Last: one of its rows destroys the host window for good.
    void teardownRunsOnce_data() {
        QTest::addColumn<QString>("first");
        for (const char* first : {"exit", "unload", "window"})
            QTest::newRow(first) << QString(first);
    }
    void teardownRunsOnce() {
        QFETCH(QString, first);
        reset();
        save("a.json", "A", "statsDock");
        tools()->trigger();
        QCOMPARE(hotkeys().size(), 4);
        const int registered = callbacks();
        QVERIFY(QFile::remove(dir("settings.json")));
        if (first == "exit")
            fire(OBS_FRONTEND_EVENT_EXIT);
        if (first == "window")
            delete window();
        QCOMPARE(QFile::remove(dir("settings.json")), first != "unload");
        unload();
        QCOMPARE(QFile::exists(dir("settings.json")), first == "unload");
        QCOMPARE(hotkeys(), QStringList());
        QCOMPARE(callbacks(), registered - 1);
        QVERIFY(first == "window" ? !load() : !tools());
    }
};

QTEST_MAIN(PluginTest)
#include "PluginTest.moc"
