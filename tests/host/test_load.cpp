// Loading snapshots into the host window, and cycling through them.
#include "PluginSupport.h"

#include <QMessageBox>
#include <QtTest>

using support::host;
using testhost::Host;
using testhost::Modals;

class TestLoad : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { host().start(); }
    void cleanupTestCase() { host().stop(); }

    void missingDocksAreAskedAboutFirst() {
        host().reset(false);
        const QString path =
            support::saveMarked("a.json", "A", "statsDock", {"zetaGone", "alphaGone"});
        host().finishLoading();
        host().bind(host().hotkey("obs-kestrune.load.a.json"), {"OBS_KEY_F6"});

        Modals::get().expect(Modals::pressDefault());
        host().press(OBS_KEY_F6);
        QCOMPARE(Modals::get().seen().size(), 1);
        const testhost::SeenModal question = Modals::get().seen().first();
        QCOMPARE(question.text, support::moduleText("MissingDocks").arg("zetaGone, alphaGone"));
        QCOMPARE(question.icon, int(QMessageBox::Question));
        QCOMPARE(question.textFormat, int(Qt::PlainText));
        QCOMPARE(question.defaultButton, support::moduleText("Cancel"));
        QCOMPARE(question.parentType, QString());
        QCOMPARE(support::hiddenDock(), QString());

        Modals::get().expect(Modals::click(support::moduleText("Continue")));
        host().press(OBS_KEY_F6);
        QCOMPARE(support::hiddenDock(), QStringLiteral("statsDock"));
        QTRY_COMPARE(support::settings().value("last").toString(), path);
    }

    void aRefusedRestoreRollsBack() {
        host().reset(false);
        kestrune::Snapshot broken = kestrune::capture(*host().window(), "Broken");
        broken.state = "not a window state";
        QDir().mkpath(host().snapshotsDir());
        QCOMPARE(kestrune::write(support::snapshotPath("broken.json"), broken),
                 kestrune::FileStatus::Ok);
        host().finishLoading();
        host().bind(host().hotkey("obs-kestrune.load.broken.json"), {"OBS_KEY_F6"});
        host().dock("mixerDock")->hide();
        const QRect geometry = host().window()->geometry();

        Modals::get().expect(Modals::click("OK"));
        host().press(OBS_KEY_F6);
        QCOMPARE(Modals::get().seen().size(), 1);
        QCOMPARE(Modals::get().seen().first().text, support::moduleText("RestoreFailed"));
        QCOMPARE(host().logMatching("RestoreFailed"),
                 QStringList{"[obs-kestrune] RestoreFailed: "});
        QCOMPARE(support::hiddenDock(), QStringLiteral("mixerDock"));
        QCOMPARE(host().window()->geometry(), geometry);
        host().exitEvent();
        QCOMPARE(support::settings().value("last").toString(), QString());
    }

    void aFileNamedLikeAQtResourceStillLoads() {
        // QDir takes ":x.json" for a built-in resource; the path must stay in the folder.
        host().reset(false);
        const QString path = support::saveMarked(":x.json", "Colon", "statsDock");
        host().finishLoading();
        host().bind(host().hotkey("obs-kestrune.load.:x.json"), {"OBS_KEY_F6"});
        host().press(OBS_KEY_F6);
        QCOMPARE(Modals::get().unexpected(), 0);
        QCOMPARE(support::hiddenDock(), QStringLiteral("statsDock"));
        QTRY_COMPARE(support::settings().value("last").toString(), path);
    }

    void cycleWrapsBothWays() {
        host().reset(false);
        support::saveMarked("a.json", "A", "statsDock");
        support::saveMarked("b.json", "B", "mixerDock");
        support::saveMarked("c.json", "C", "scenesDock");
        host().finishLoading();
        host().bind(host().hotkey("obs-kestrune.cycle"), {"OBS_KEY_F5"});
        host().bind(host().hotkey("obs-kestrune.previous"), {"OBS_KEY_F4"});
        const QList<QPair<obs_key_t, QString>> steps = {
            {OBS_KEY_F4, "scenesDock"}, // nothing loaded yet: the last entry
            {OBS_KEY_F5, "statsDock"},  // forward past the end
            {OBS_KEY_F4, "scenesDock"}, // back past the start
            {OBS_KEY_F4, "mixerDock"},
        };
        for (const auto& [key, hidden] : steps) {
            host().press(key);
            QCOMPARE(support::hiddenDock(), hidden);
        }
        // The last snapshot (b) vanished: forward starts at the first entry.
        QVERIFY(QFile::remove(support::snapshotPath("b.json")));
        host().restart(true);
        support::showAllDocks();
        host().press(OBS_KEY_F5);
        QCOMPARE(support::hiddenDock(), QStringLiteral("statsDock"));
    }
};

QTEST_MAIN(TestLoad)
#include "test_load.moc"
