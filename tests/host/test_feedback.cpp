// What the user is told when something fails, and where the boxes appear.
#include "PluginSupport.h"

#include <QAction>
#include <QListWidget>
#include <QMessageBox>
#include <QtTest>

using support::host;
using testhost::Host;
using testhost::Modals;

namespace {

// A listed snapshot with its hotkey on F6.
QString listedSnapshot(const QString& file) {
    const QString path = support::saveMarked(file, "Spoiled", "statsDock");
    host().finishLoading();
    host().bind(host().hotkey("obs-kestrune.load." + file), {"OBS_KEY_F6"});
    return path;
}

// Spoiled behind the plug-in's back, after the last refresh listed it.
void spoil(const QString& path) {
    QVERIFY(support::writeBytes(path, "{\"format\": 1, \"name\": \"<b>x</b>\"}"));
}

} // namespace

class TestFeedback : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { host().start(); }
    void cleanupTestCase() { host().stop(); }

    void oneLogLineAndOnePlainWarningPerFailure() {
        host().reset(false);
        const QString path = listedSnapshot("x<i>&amp;.json");
        spoil(path);
        Modals::get().expect(Modals::click("OK"));
        host().press(OBS_KEY_F6);

        QCOMPARE(host().log().filter("[obs-kestrune] ReadFailed"),
                 QStringList{"[obs-kestrune] ReadFailed: " + path});
        QCOMPARE(Modals::get().seen().size(), 1);
        const testhost::SeenModal box = Modals::get().seen().first();
        QCOMPARE(box.text, support::moduleText("ReadFailed") + "\n\n" + path);
        QCOMPARE(box.textFormat, int(Qt::PlainText));
        QCOMPARE(box.icon, int(QMessageBox::Warning));
        QCOMPARE(box.title, support::moduleText("Title"));
        QCOMPARE(box.buttons, QStringList{"OK"});
        QCOMPARE(box.parentType, QStringLiteral("QMainWindow"));
        QCOMPARE(support::hiddenDock(), QString());
    }

    void boxesBelongToTheDialogOnceItExists() {
        host().reset(false);
        support::saveMarked("gone.json", "Gone", "mixerDock", {"ghostDock"});
        const QString spoiled = listedSnapshot("spoiled.json");
        host().bind(host().hotkey("obs-kestrune.load.gone.json"), {"OBS_KEY_F7"});
        host().toolsActions().first()->trigger();
        host().window()->findChild<QListWidget*>()->window()->hide();
        spoil(spoiled);

        Modals::get().expect(Modals::click("OK"));
        Modals::get().expect(Modals::pressDefault());
        host().press(OBS_KEY_F6);
        host().press(OBS_KEY_F7);
        QCOMPARE(Modals::get().seen().size(), 2);
        QVERIFY(Modals::get().seen().at(0).parentIsDialog);
        QVERIFY(Modals::get().seen().at(1).parentIsDialog);
        QCOMPARE(support::hiddenDock(), QString());
    }

    void afterTeardownOnlyTheLogLine() {
        host().reset(true);
        // A file where the snapshots folder should be.
        QVERIFY(QDir(host().snapshotsDir()).removeRecursively());
        QVERIFY(support::writeBytes(host().snapshotsDir(), "in the way"));
        host().exitEvent();
        QCOMPARE(host().log().filter("DirectoryFailed"),
                 QStringList{"[obs-kestrune] DirectoryFailed: "});
        QCOMPARE(Modals::get().seen().size(), 0);
    }

    void openFolderStopsWhenTheFolderCannotBeMade() {
        host().reset(true);
        host().toolsActions().first()->trigger();
        auto* list = host().window()->findChild<QListWidget*>();
        QVERIFY(list);
        QVERIFY(QDir(host().snapshotsDir()).removeRecursively());
        QVERIFY(support::writeBytes(host().snapshotsDir(), "in the way"));

        QAction* openFolder = nullptr;
        for (QAction* action : list->actions())
            if (action->text() == support::moduleText("OpenFolder"))
                openFolder = action;
        QVERIFY(openFolder);
        Modals::get().expect(Modals::click("OK"));
        openFolder->trigger();
        QCOMPARE(Modals::get().seen().size(), 1);
        QCOMPARE(Modals::get().seen().first().text, support::moduleText("DirectoryFailed"));
        QVERIFY(host().logMatching("OpenFolderFailed").isEmpty());
    }
};

QTEST_MAIN(TestFeedback)
#include "test_feedback.moc"
