// SPDX-License-Identifier: GPL-2.0-or-later
// The plug-in in its host: start, settings.json, loads, failures, teardown.
#include "TestHost.h"

#include <sys/stat.h>

class PluginTest : public TestHost {
    Q_OBJECT

private slots:
    void initTestCase() { start(); }
    void cleanupTestCase() { stop(); }
    void cleanup() { QCOMPARE(unexpected, 0); }

    // Nothing before the host has loaded, nor while the folder cannot be made
    // (said once); one Tools entry however often the host says it has loaded;
    // a second copy of the module stays off and names both files.
    void startsOnceTheHostHasLoaded() {
        reset(false);
        trigger("obs-kestrune.open");
        QVERIFY(!QFileInfo::exists(dir()) && !tools() && writeBytes(dir(), "not a folder"));
        expect("");
        finish();
        QVERIFY(!tools() && seen == QStringList{text("DirectoryFailed")} && QFile::remove(dir()));
        finish();
        finish();
        QCOMPARE(mainWindow->findChild<QMenu*>()->actions().size(), 1);
        const QString copy = config->filePath("obs-kestrune-copy.so");
        obs_module_t* second = nullptr;
        QVERIFY(QFile::copy(KESTRUNE_MODULE_PATH, copy) &&
                obs_open_module(&second, qPrintable(copy), KESTRUNE_DATA_DIR) == MODULE_SUCCESS &&
                !obs_init_module(second));
        QCOMPARE(log("Another copy").value(0),
                 QString("[obs-kestrune] Another copy is already running from %1; %2 stays off")
                     .arg(KESTRUNE_MODULE_PATH, copy));
        QCOMPARE(hotkeys("obs-kestrune.open").size(), 1);
    }

    // settings.json is read up to 4 MiB and never from a pipe (a reader that
    // waits for a writer hangs until the time limit); a refused write keeps
    // the file it would have replaced, and says why in the log.
    void settingsAreReadAndWrittenSafely() {
        const QByteArray head = R"({"last": "/kept.json")";
        for (const auto& [bytes, last] : QList<QPair<QByteArray, QString>>{
                 {head + QByteArray(4194303 - head.size(), ' ') + '}', "/kept.json"},
                 {head + QByteArray(4194304 - head.size(), ' ') + '}', ""},
                 {"a pipe", ""}}) {
            reset(false);
            const QByteArray path = QFile::encodeName(dir("settings.json"));
            QVERIFY(bytes == "a pipe" ? QDir().mkpath(dir()) && mkfifo(path, 0600) == 0
                                      : writeBytes(path, bytes));
            restart();
            QCOMPARE(settings()["last"].toString(), last);
        }
        const QByteArray before = fileBytes(dir("settings.json"));
        DiskLimit(16), fire(OBS_FRONTEND_EVENT_EXIT); // quits on a full disk
        QCOMPARE(fileBytes(dir("settings.json")), before);
        QCOMPARE(log("Could not save settings: ").size(), 1);
    }

    // Names with markup show as text in hotkey descriptions; nothing loaded,
    // previous takes the last entry; both ways wrap; missing docks are asked
    // about first; a refused layout rolls back and keeps "last". Loads outside
    // the dialog say so in the status bar; the mark follows every load and a
    // restart; a row shows its hotkey as bindings change; files that cannot
    // be read are counted under the list until they are gone.
    void loadsAskRollBackCycleAndShow() {
        reset(false);
        save("a.json", "A", "statsDock", {"zetaGone", "alphaGone"});
        QCOMPARE(kestrune::write(snapshot("b.json"),
                                 {"B", "not a state", mainWindow->saveGeometry(), {}}),
                 kestrune::FileStatus::Ok);
        const QString c = "C<img src=\"x.png\"><b>";
        save(":c.json", c, "mixerDock"); // QDir: a Qt resource
        finish();
        const QString shown = hotkeyTable().value("obs-kestrune.load.:c.json").second; // in a label
        QCOMPARE(Qt::mightBeRichText(shown) ? QTextDocumentFragment::fromHtml(shown).toPlainText()
                                            : shown,
                 text("LoadHotkey").arg(c));
        for (const auto& [key, reply, hidden, last] :
             QList<std::tuple<QString, QString, QString, QString>>{
                 {"previous", "-", "mixerDock", ":c.json"}, // "-": no box
                 {"cycle", "", "mixerDock", ":c.json"},     // Return: the default, Cancel
                 {"cycle", text("Continue"), "statsDock", "a.json"},
                 {"cycle", "OK", "statsDock", "a.json"},
                 {"previous", "-", "mixerDock", ":c.json"}}) {
            if (reply != "-")
                expect(reply);
            trigger("obs-kestrune." + key);
            trigger("obs-kestrune." + key, false); // a release acting as a press would move on
            QCOMPARE(hiddenDock(), hidden);
            QTRY_COMPARE(settings()["last"].toString(), snapshot(last));
        }
        const QString missing = text("MissingDocks").arg("Title zetaGone, Title alphaGone");
        QCOMPARE(seen, QStringList({missing, missing, text("RestoreFailed")}));
        QCOMPARE(status(), text("StatusLoaded").arg(c));

        tools()->trigger();
        QVERIFY(last(":c.json") && !last("a.json"));
        mainWindow->statusBar()->clearMessage();
        expect(text("Continue"));
        list()->setCurrentIndex(row("a.json"));
        push("Load");
        QVERIFY(last("a.json") && !last(":c.json") && status().isEmpty());
        bind("obs-kestrune.load.:c.json", "OBS_KEY_F7");
        QTRY_COMPARE(row(":c.json").data(Qt::UserRole + 3).toString(), "F7");
        QVERIFY(writeBytes(snapshot("d.json"), "{}"));
        restart();
        tools()->trigger();
        QLabel* unreadable = list()->window()->findChildren<QLabel*>()[2]; // under the list
        QVERIFY(last("a.json") && unreadable->isVisible() &&
                unreadable->text() == text("Unreadable").arg(1) &&
                unreadable->toolTip() == "d.json");
        QVERIFY(QFile::remove(snapshot("d.json")));
        tools()->trigger(); // a reopen: the line goes, the search field has the focus
        QVERIFY(!unreadable->isVisible() &&
                list()->window()->focusWidget() == list()->window()->findChild<QLineEdit*>());
    }

    // The start mark wins at start, without a question for missing docks;
    // without one, the profile's link. Switches load their links. Links follow
    // renames, go with deletes, and settings that make no sense are left out.
    void layoutsComeBackByThemselves() {
        reset();
        save("a.json", "A", "statsDock", {"ghost"});
        save("b.json", "B", "mixerDock");
        save("c.json", "C", "scenesDock");
        save("../x.json", "X"); // a snapshot outside the folder, linked to as "Out"
        unload();
        QVERIFY(writeBytes(dir("settings.json"),
                           R"({"loadAtStart": "a.json", "profileLinks": {"Live": "b.json",
            "Bad": 5, "Out": "../x.json", "Gone": "gone.json"}, "collectionLinks": "no"})"));
        profile = "Live";
        restart();
        QVERIFY(hiddenDock() == "statsDock" && log("without the docks Title ghost").size() == 1);
        QCOMPARE(settings()["profileLinks"].toObject(), QJsonObject({{"Live", "b.json"}}));
        tools()->trigger();
        list()->setCurrentRow(0);
        list()->actions()[2]->trigger(); // a: no longer at start
        collection = "Show";
        list()->setCurrentRow(2);
        list()->actions()[4]->trigger(); // c: with the scene collection "Show"
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
        // A switch while the name prompt is open loads once the rename is done,
        // and the load selects its row.
        expect("B2", [] { fire(OBS_FRONTEND_EVENT_SCENE_COLLECTION_CHANGED); });
        list()->setCurrentRow(1);
        push("Rename");
        QTRY_VERIFY(hiddenDock() == "scenesDock" && list()->currentIndex() == row("c.json"));
        QVERIFY(QFile::remove(snapshot("c.json")));
        fire(OBS_FRONTEND_EVENT_EXIT);
        QCOMPARE(settings()["profileLinks"].toObject(), QJsonObject({{"Live", "B2.json"}}));
        QVERIFY(settings()["collectionLinks"].toObject().isEmpty() &&
                settings()["loadAtStart"].toString().isEmpty());

        // Saved on a screen twice as wide, off every screen: the docks are
        // arranged and every window comes back where it can be reached.
        reset();
        auto* dock = mainWindow->findChild<QDockWidget*>("statsDock");
        dock->setFloating(true);
        dock->move(5000, 5000);
        mainWindow->move(-3000, 100);
        kestrune::Snapshot away = kestrune::capture(*mainWindow, "Away");
        // The width of the screen it was saved on, 46 bytes in.
        qToBigEndian(QGuiApplication::primaryScreen()->geometry().width() * 2,
                     away.geometry.data() + 46);
        QVERIFY(kestrune::write(snapshot("away.json"), away) == kestrune::FileStatus::Ok);
        restart();
        mainWindow->setStatusBar(nullptr); // a host without one gets none
        trigger("obs-kestrune.load.away.json");
        QVERIFY(dock->isFloating() && seen.isEmpty() && !mainWindow->findChild<QStatusBar*>());
        for (QWidget* w : {(QWidget*)mainWindow, (QWidget*)dock})
            QVERIFY(
                QGuiApplication::primaryScreen()->availableGeometry().contains(w->frameGeometry()));
    }

    // Last: its final round destroys the host window for good.
    void teardownRunsOnce() {
        for (const QString first : {"exit", "unload", "window"}) {
            reset();
            save("a.json", "A", "statsDock");
            tools()->trigger();
            const qsizetype registered = frontendCallbacks.size();
            QVERIFY(QFile::remove(dir("settings.json")));
            if (first == "exit")
                fire(OBS_FRONTEND_EVENT_EXIT);
            if (first == "window")
                delete mainWindow;
            QCOMPARE(QFile::remove(dir("settings.json")), first != "unload");
            unload();
            QVERIFY(QFile::exists(dir("settings.json")) == (first == "unload") &&
                    hotkeys().isEmpty() && frontendCallbacks.size() == registered - 1 &&
                    (first == "window" ? !load() : !tools()));
        }
    }
};

QTEST_MAIN(PluginTest)
#include "PluginTest.moc"
