// The module in its host: loading, becoming ready, teardown and unloading.
#include "PluginSupport.h"

#include <QAction>
#include <QDialog>
#include <QtTest>

using support::host;
using testhost::Modals;

class TestLifecycle : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { host().start(); }
    void cleanupTestCase() { host().stop(); }
    // A file left where the configuration folder belongs would spoil later tests.
    void cleanup() { QFile::remove(host().pluginConfigDir()); }

    void loadsOnceWaitsForTheHostAndBecomesReadyOnce() {
        host().reset(false);
        QCOMPARE(host().moduleVersion(), uint32_t(LIBOBS_API_VER));
        QCOMPARE(host().log().filter("[obs-kestrune]"),
                 QStringList{"[obs-kestrune] Loaded version 1.0.0 (OBS 32.0.4)"});
        const int callbacks = host().eventCallbackCount();
        QVERIFY(!host().moduleLoad());
        QCOMPARE(host().eventCallbackCount(), callbacks);
        QCOMPARE(host().logMatching("Loaded version").size(), 1);

        host().bind(host().hotkey("obs-kestrune.open"), {"OBS_KEY_F9"});
        host().press(OBS_KEY_F9);
        QVERIFY(host().window()->findChildren<QDialog*>().isEmpty());
        QVERIFY(!QFileInfo::exists(host().pluginConfigDir()));
        QVERIFY(host().toolsActions().isEmpty());

        host().finishLoading();
        host().finishLoading();
        QVERIFY(QFileInfo(host().snapshotsDir()).isDir());
        QCOMPARE(host().toolsActions().size(), 1);
        QCOMPARE(host().toolsActions().first()->text(), support::moduleText("Title"));
        const QByteArray bytes = support::readBytes(host().settingsPath());
        const QJsonObject written = QJsonDocument::fromJson(bytes).object();
        QCOMPARE(written.keys(), QStringList({"cycleHotkey", "last", "openHotkey", "previousHotkey",
                                              "snapshotHotkeys", "snapshotOrder"}));
        QCOMPARE(bytes, QJsonDocument(written).toJson(QJsonDocument::Indented));
        // One controller, and now it answers.
        QCOMPARE(host().hotkeyNames("obs-kestrune.open").size(), 1);
        host().press(OBS_KEY_F9);
        QCOMPARE(host().window()->findChildren<QDialog*>().size(), 1);
    }

    void anUnusableConfigurationFolderLeavesThePluginInert() {
        host().reset(false);
        // Nothing can be created below a file.
        QVERIFY(support::writeBytes(host().pluginConfigDir(), "not a folder"));
        host().bind(host().hotkey("obs-kestrune.open"), {"OBS_KEY_F9"});
        Modals::get().expect(Modals::click("OK"));
        host().finishLoading();
        QCOMPARE(Modals::get().seen().size(), 1);
        host().press(OBS_KEY_F9);
        host().exitEvent();
        QCOMPARE(host().log().filter("DirectoryFailed"),
                 QStringList{"[obs-kestrune] DirectoryFailed: "});
        QCOMPARE(Modals::get().seen().size(), 1);
        QCOMPARE(Modals::get().seen().first().text, support::moduleText("DirectoryFailed"));
        QVERIFY(host().toolsActions().isEmpty());
        QVERIFY(host().window()->findChildren<QDialog*>().isEmpty());
    }

    // The window row comes last: the host window does not come back.
    void teardownRunsOnce_data() {
        QTest::addColumn<QString>("first");
        QTest::newRow("exit then unload") << "exit";
        QTest::newRow("unload alone") << "unload";
        QTest::newRow("main window destroyed first") << "window";
    }

    void teardownRunsOnce() {
        QFETCH(QString, first);
        host().reset(false);
        support::saveMarked("a.json", "A", "statsDock");
        support::saveMarked("b.json", "B", "mixerDock");
        host().finishLoading();
        host().toolsActions().first()->trigger();
        QCOMPARE(host().hotkeyNames().size(), 5);
        const int callbacks = host().eventCallbackCount();
        QVERIFY(QFile::remove(host().settingsPath()));
        if (first == "exit")
            host().exitEvent();
        else if (first == "window")
            delete host().window();
        host().wait(0);
        QCOMPARE(QFile::exists(host().settingsPath()), first != "unload");
        QFile::remove(host().settingsPath());
        host().moduleUnload();
        host().wait(0);
        // Written by whichever came first, and only then.
        QCOMPARE(QFile::exists(host().settingsPath()), first == "unload");
        QCOMPARE(host().hotkeyNames(), QStringList());
        QVERIFY(host().toolsActions().isEmpty());
        QCOMPARE(host().eventCallbackCount(), callbacks - 1);
        if (first == "window")
            QVERIFY(!host().moduleLoad()); // no window, no controller
    }
};

QTEST_MAIN(TestLifecycle)
#include "test_lifecycle.moc"
