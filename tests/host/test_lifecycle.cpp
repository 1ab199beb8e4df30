// The module in its host: loading, becoming ready, teardown and unloading.
#include "PluginSupport.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QtTest>

using support::host;
using testhost::Host;
using testhost::Modals;

class TestLifecycle : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { host().start(); }
    void cleanupTestCase() { host().stop(); }
    void cleanup() {
        if (QFileInfo(host().pluginConfigDir()).isFile())
            QFile::remove(host().pluginConfigDir());
    }

    void loadingLogsOnceAndRefusesASecondController() {
        host().reset(false);
        QCOMPARE(host().moduleVersion(), uint32_t(LIBOBS_API_VER));
        QCOMPARE(host().log().filter(QStringLiteral("[obs-kestrune]")),
                 QStringList{QStringLiteral("[obs-kestrune] Loaded version 1.0.0 (OBS 32.0.4)")});
        const int callbacks = host().eventCallbackCount();

        QVERIFY(!host().moduleLoad());
        QCOMPARE(host().eventCallbackCount(), callbacks);
        QCOMPARE(host().logMatching(QStringLiteral("Loaded version")).size(), 1);
        // The first controller still works, and there is only one of it.
        host().finishLoading();
        QCOMPARE(host().toolsActions().size(), 1);
        QCOMPARE(host().hotkeyNames(QStringLiteral("obs-kestrune.cycle")).size(), 1);
    }

    void nothingHappensBeforeTheHostHasLoaded() {
        host().reset(false);
        const QString path = support::saveMarked("a.json", "A", "statsDock");
        host().bind(host().hotkey("obs-kestrune.cycle"), {"OBS_KEY_F5"});
        host().press(OBS_KEY_F5);
        QCOMPARE(support::hiddenDock(), QString());
        QVERIFY(!QFile::exists(host().settingsPath()));
        QVERIFY(host().toolsActions().isEmpty());
        QCOMPARE(host().hotkeyNames(QStringLiteral("obs-kestrune.load.")), QStringList());

        host().finishLoading();
        host().press(OBS_KEY_F5);
        QCOMPARE(support::hiddenDock(), QStringLiteral("statsDock"));
        QTRY_COMPARE(support::settings().value("last").toString(), path);
    }

    void finishedLoadingPreparesFolderMenuAndSettings() {
        host().reset(false);
        support::saveMarked("b.json", "B", "mixerDock");
        host().finishLoading();
        QVERIFY(QFileInfo(host().snapshotsDir()).isDir());
        QCOMPARE(host().toolsActions().size(), 1);
        QCOMPARE(host().toolsActions().first()->text(), support::moduleText("Title"));

        const QByteArray bytes = support::readBytes(host().settingsPath());
        const QJsonObject written = QJsonDocument::fromJson(bytes).object();
        QCOMPARE(written.keys(), QStringList({"cycleHotkey", "last", "openHotkey", "previousHotkey",
                                              "snapshotHotkeys", "snapshotOrder"}));
        QCOMPARE(bytes, QJsonDocument(written).toJson(QJsonDocument::Indented));
        QCOMPARE(written.value("snapshotOrder").toArray(), QJsonArray{"b.json"});
        QCOMPARE(written.value("snapshotHotkeys").toObject().keys(), QStringList{"b.json"});
        // A second event changes nothing.
        host().finishLoading();
        QCOMPARE(host().toolsActions().size(), 1);
    }

    void anUnusableConfigurationFolderLeavesThePluginInert() {
        host().reset(false);
        // A file where the folder should be: nothing can be created below it.
        QVERIFY(support::writeBytes(host().pluginConfigDir(), "not a folder"));
        host().bind(host().hotkey("obs-kestrune.open"), {"OBS_KEY_F9"});
        Modals::get().expect(Modals::click("OK"));
        host().finishLoading();
        QCOMPARE(host().log().filter(QStringLiteral("DirectoryFailed")),
                 QStringList{QStringLiteral("[obs-kestrune] DirectoryFailed: ")});
        QCOMPARE(Modals::get().seen().size(), 1);
        QCOMPARE(Modals::get().seen().first().text, support::moduleText("DirectoryFailed"));

        host().press(OBS_KEY_F9);
        host().exitEvent();
        QCOMPARE(Modals::get().seen().size(), 1);
        QCOMPARE(host().log().filter(QStringLiteral("DirectoryFailed")).size(), 1);
        QVERIFY(host().toolsActions().isEmpty());
        QVERIFY(host().window()->findChildren<QDialog*>().isEmpty());
    }

    void teardownRunsOnce_data() {
        QTest::addColumn<bool>("exitFirst");
        QTest::newRow("exit then unload") << true;
        QTest::newRow("unload alone") << false;
    }

    void teardownRunsOnce() {
        QFETCH(bool, exitFirst);
        host().reset(false);
        support::saveMarked("a.json", "A", "statsDock");
        support::saveMarked("b.json", "B", "mixerDock");
        host().finishLoading();
        QCOMPARE(host().hotkeyNames().size(), 5);
        const int callbacks = host().eventCallbackCount();
        QVERIFY(QFile::remove(host().settingsPath()));

        if (exitFirst) {
            host().exitEvent();
            QVERIFY(QFile::exists(host().settingsPath()));
            QVERIFY(QFile::remove(host().settingsPath()));
        }
        host().moduleUnload();
        host().wait(0);
        // Written by whichever came first, and only then.
        QCOMPARE(QFile::exists(host().settingsPath()), !exitFirst);
        QCOMPARE(host().hotkeyNames(), QStringList());
        QVERIFY(host().toolsActions().isEmpty());
        QCOMPARE(host().eventCallbackCount(), callbacks - 1);
    }

    // Last: the host window does not come back.
    void aDestroyedMainWindowTakesTheControllerWithIt() {
        host().reset(false);
        support::saveMarked("a.json", "A", "statsDock");
        host().finishLoading();
        QVERIFY(QFile::remove(host().settingsPath()));
        delete host().window();
        host().wait(0);
        QVERIFY(QFile::exists(host().settingsPath()));
        QCOMPARE(host().hotkeyNames(), QStringList());
        QCOMPARE(host().eventCallbackCount(), 0);
        host().moduleUnload();
        QVERIFY(!host().moduleLoad()); // no window, no controller
    }
};

QTEST_MAIN(TestLifecycle)
#include "test_lifecycle.moc"
