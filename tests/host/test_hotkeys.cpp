// The plug-in's hotkeys as the host sees them: names, presses, bindings that
// persist, and the debounced save after binding changes.
#include "PluginSupport.h"

#include <QAction>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using support::host;
using testhost::Host;
using testhost::Modals;

namespace {

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

} // namespace

class TestHotkeys : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { host().start(); }
    void cleanupTestCase() { host().stop(); }

    void namesAndDescriptionsAsTheHostListsThem() {
        host().reset(false);
        support::saveMarked("Studio.json", "Studio Live", "statsDock");
        host().finishLoading();
        QCOMPARE(sorted(host().hotkeyNames()),
                 QStringList({"obs-kestrune.cycle", "obs-kestrune.load.Studio.json",
                              "obs-kestrune.open", "obs-kestrune.previous"}));
        QCOMPARE(host().hotkeyDescription("obs-kestrune.cycle"),
                 support::moduleText("CycleHotkey"));
        QCOMPARE(host().hotkeyDescription("obs-kestrune.previous"),
                 support::moduleText("PreviousHotkey"));
        QCOMPARE(host().hotkeyDescription("obs-kestrune.open"), support::moduleText("OpenHotkey"));
        QCOMPARE(host().hotkeyDescription("obs-kestrune.load.Studio.json"),
                 support::moduleText("LoadHotkey").arg("Studio Live"));
    }

    void pressesActAndReleasesDoNot() {
        host().reset(false);
        support::saveMarked("a.json", "A", "statsDock");
        support::saveMarked("b.json", "B", "mixerDock");
        host().finishLoading();
        host().bind(host().hotkey("obs-kestrune.cycle"), {"OBS_KEY_F5"});
        host().bind(host().hotkey("obs-kestrune.load.b.json"), {"OBS_KEY_F6"});

        host().press(OBS_KEY_F6, false);
        QCOMPARE(support::hiddenDock(), QStringLiteral("mixerDock"));
        host().release(OBS_KEY_F6);
        host().press(OBS_KEY_F5, false);
        QCOMPARE(support::hiddenDock(), QStringLiteral("statsDock"));
        // A release acting like a press would cycle on to b.
        host().release(OBS_KEY_F5);
        QCOMPARE(support::hiddenDock(), QStringLiteral("statsDock"));
    }

    void bindingsSurviveARestart() {
        host().reset(false);
        support::saveMarked("a.json", "A", "statsDock");
        host().finishLoading();
        host().bind(host().hotkey("obs-kestrune.previous"), {"OBS_KEY_F4"});
        host().bind(host().hotkey("obs-kestrune.load.a.json"), {"OBS_KEY_F6", "OBS_KEY_F7"});
        host().restart(true);
        QCOMPARE(support::boundKeys(host().hotkey("obs-kestrune.previous")),
                 QStringList{"OBS_KEY_F4"});
        QCOMPARE(support::boundKeys(host().hotkey("obs-kestrune.cycle")), QStringList());
        QCOMPARE(sorted(support::boundKeys(host().hotkey("obs-kestrune.load.a.json"))),
                 QStringList({"OBS_KEY_F6", "OBS_KEY_F7"}));
        host().press(OBS_KEY_F7);
        QCOMPARE(support::hiddenDock(), QStringLiteral("statsDock"));
    }

    void onlyOurBindingChangesSaveOnceAfterABurst() {
        host().reset(false);
        support::saveMarked("a.json", "A", "statsDock");
        host().finishLoading();
        const obs_hotkey_id foreign = obs_hotkey_register_frontend(
            "someone.else", "Someone else", [](void*, obs_hotkey_id, obs_hotkey_t*, bool) {},
            nullptr);
        QVERIFY(QFile::remove(host().settingsPath()));

        host().bind(foreign, {"OBS_KEY_F2"});
        Host::wait(400);
        QVERIFY(!QFile::exists(host().settingsPath()));

        const obs_hotkey_id ours[] = {host().hotkey("obs-kestrune.cycle"),
                                      host().hotkey("obs-kestrune.load.a.json"),
                                      host().hotkey("obs-kestrune.open")};
        for (obs_hotkey_id id : ours)
            host().bind(id, {"OBS_KEY_F3"});
        Host::wait(0);
        QVERIFY(!QFile::exists(host().settingsPath())); // not before the delay
        QVERIFY(support::waitForSettings(3000));
        QCOMPARE(support::settings().value("openHotkey").toArray().size(), 1);
        QVERIFY(QFile::remove(host().settingsPath()));
        Host::wait(400);
        QVERIFY(!QFile::exists(host().settingsPath())); // once per burst
        obs_hotkey_unregister(foreign);
    }

    // A rename onto the file name of a snapshot deleted behind the plug-in's
    // back must not leave that snapshot's hotkey registered and untracked.
    void renameOntoAVanishedFileLeavesOneHotkey() {
        host().reset(false);
        support::saveMarked("a.json", "a", "statsDock");
        support::saveMarked("b.json", "b", "mixerDock");
        host().finishLoading();
        host().bind(host().hotkey("obs-kestrune.load.a.json"), {"OBS_KEY_F6"});
        QVERIFY(!host().toolsActions().isEmpty());
        host().toolsActions().first()->trigger();
        auto* list = host().window()->findChild<QListWidget*>();
        QVERIFY(list);
        QVERIFY(QFile::remove(support::snapshotPath("b.json")));

        list->setCurrentRow(0);
        QCOMPARE(list->currentItem()->text(), QStringLiteral("a"));
        Modals::get().expect(Modals::type("b"));
        QPushButton* rename = nullptr;
        for (QPushButton* button : host().window()->findChildren<QPushButton*>())
            if (button->text() == support::moduleText("Rename"))
                rename = button;
        QVERIFY(rename);
        rename->click();
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
