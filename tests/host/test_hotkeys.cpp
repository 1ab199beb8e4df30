// The plug-in's hotkeys as the host sees them: names, presses, bindings that
// persist, and the debounced save after binding changes.
#include "PluginSupport.h"

#include <QAction>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using support::host;
using testhost::Host;
using testhost::Modals;

namespace {

// The settings written 100 ms after a burst; empty when written early, never or twice.
QJsonObject writtenOnceAfterTheBurst() {
    const QString path = host().settingsPath();
    Host::wait(0);
    if (QFile::exists(path) || !QTest::qWaitFor([&] { return QFile::exists(path); }, 3000))
        return QJsonObject();
    const QJsonObject written = support::settings();
    QFile::remove(path);
    Host::wait(400);
    return QFile::exists(path) ? QJsonObject() : written;
}

} // namespace

class TestHotkeys : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { host().start(); }
    void cleanupTestCase() { host().stop(); }

    void namesPressesReleasesAndBindingsThatSurviveARestart() {
        host().reset(false);
        support::saveMarked("a.json", "A", "statsDock");
        const QString b = support::saveMarked("b.json", "B side", "mixerDock");
        host().finishLoading();
        const QList<QPair<QString, QString>> expected = {
            {"obs-kestrune.cycle", support::moduleText("CycleHotkey")},
            {"obs-kestrune.load.a.json", support::moduleText("LoadHotkey").arg("A")},
            {"obs-kestrune.load.b.json", support::moduleText("LoadHotkey").arg("B side")},
            {"obs-kestrune.open", support::moduleText("OpenHotkey")},
            {"obs-kestrune.previous", support::moduleText("PreviousHotkey")}};
        QStringList names = host().hotkeyNames();
        names.sort();
        QCOMPARE(names.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(names[i], expected[i].first);
            QCOMPARE(host().hotkeyDescription(names[i]), expected[i].second);
        }

        host().bind(host().hotkey("obs-kestrune.cycle"), {"OBS_KEY_F5"});
        host().bind(host().hotkey("obs-kestrune.load.b.json"), {"OBS_KEY_F6", "OBS_KEY_F7"});
        // A load selects its row in the dialog even while the dialog is hidden.
        host().toolsActions().first()->trigger();
        auto* list = host().window()->findChild<QListWidget*>();
        list->setCurrentRow(0);
        list->window()->hide();
        host().press(OBS_KEY_F6, false);
        QCOMPARE(support::hiddenDock(), QStringLiteral("mixerDock"));
        QCOMPARE(list->currentItem()->data(Qt::UserRole).toString(), b);
        host().release(OBS_KEY_F6);
        host().press(OBS_KEY_F5, false);
        QCOMPARE(support::hiddenDock(), QStringLiteral("statsDock"));
        // A release acting like a press would cycle on to b.
        host().release(OBS_KEY_F5);
        QCOMPARE(support::hiddenDock(), QStringLiteral("statsDock"));

        host().restart(true);
        QCOMPARE(support::boundKeys(host().hotkey("obs-kestrune.cycle")),
                 QStringList{"OBS_KEY_F5"});
        QCOMPARE(support::boundKeys(host().hotkey("obs-kestrune.previous")), QStringList());
        QCOMPARE(support::boundKeys(host().hotkey("obs-kestrune.load.b.json")),
                 QStringList({"OBS_KEY_F6", "OBS_KEY_F7"}));
        host().press(OBS_KEY_F7);
        QCOMPARE(support::hiddenDock(), QStringLiteral("mixerDock"));
    }

    void onlyOurBindingChangesAndBurstsOfLoadsSaveOnce() {
        host().reset(false);
        const QString path = support::saveMarked("a.json", "A", "statsDock");
        host().finishLoading();
        const obs_hotkey_id foreign = obs_hotkey_register_frontend(
            "someone.else", "Someone else", [](void*, obs_hotkey_id, obs_hotkey_t*, bool) {},
            nullptr);
        QVERIFY(QFile::remove(host().settingsPath()));
        host().bind(foreign, {"OBS_KEY_F2"});
        Host::wait(400);
        QVERIFY(!QFile::exists(host().settingsPath()));
        obs_hotkey_unregister(foreign);

        for (const char* name :
             {"obs-kestrune.cycle", "obs-kestrune.load.a.json", "obs-kestrune.open"})
            host().bind(host().hotkey(name), {"OBS_KEY_F3"});
        QCOMPARE(writtenOnceAfterTheBurst().value("openHotkey").toArray().size(), 1);
        // As OBS delivers presses: on the user-interface thread, one after another.
        for (int i = 0; i < 10; ++i)
            obs_hotkey_trigger_routed_callback(host().hotkey("obs-kestrune.load.a.json"), true);
        QCOMPARE(writtenOnceAfterTheBurst().value("last").toString(), path);
        QCOMPARE(support::hiddenDock(), QStringLiteral("statsDock"));
    }

    // A rename onto the file name of a snapshot deleted behind the plug-in's
    // back must not leave that snapshot's hotkey registered and untracked.
    void renameOntoAVanishedFileLeavesOneHotkey() {
        host().reset(false);
        support::saveMarked("a.json", "a", "statsDock");
        support::saveMarked("b.json", "b", "mixerDock");
        host().finishLoading();
        host().bind(host().hotkey("obs-kestrune.load.a.json"), {"OBS_KEY_F6"});
        host().toolsActions().first()->trigger();
        QVERIFY(QFile::remove(support::snapshotPath("b.json")));
        host().window()->findChild<QListWidget*>()->setCurrentRow(0);
        Modals::get().expect(Modals::type("b"));
        for (QPushButton* button : host().window()->findChildren<QPushButton*>())
            if (button->text() == support::moduleText("Rename"))
                button->click();
        Host::wait(0);

        QVERIFY(QFile::exists(support::snapshotPath("b.json")));
        QCOMPARE(host().hotkeyNames("obs-kestrune.load."), QStringList{"obs-kestrune.load.b.json"});
        QCOMPARE(support::boundKeys(host().hotkey("obs-kestrune.load.b.json")),
                 QStringList{"OBS_KEY_F6"});
        QCOMPARE(support::settings().value("snapshotHotkeys").toObject().keys(),
                 QStringList{"b.json"});
    }
};

QTEST_MAIN(TestHotkeys)
#include "test_hotkeys.moc"
