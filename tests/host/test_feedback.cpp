// What the user is told when something fails, and where the boxes appear.
#include "PluginSupport.h"

#include <QAction>
#include <QListWidget>
#include <QMessageBox>
#include <QtTest>

using support::host;
using testhost::Modals;

class TestFeedback : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { host().start(); }
    void cleanupTestCase() { host().stop(); }

    void oneLogLineAndOnePlainWarningPerFailureUntilTeardown() {
        host().reset(false);
        support::saveMarked("gone.json", "Gone", "mixerDock", {"ghostDock"});
        const QString path = support::saveMarked("x<i>&amp;.json", "Spoiled", "statsDock");
        host().finishLoading();
        host().bind(host().hotkey("obs-kestrune.load.x<i>&amp;.json"), {"OBS_KEY_F6"});
        host().bind(host().hotkey("obs-kestrune.load.gone.json"), {"OBS_KEY_F7"});
        // Spoiled behind the plug-in's back, after the last refresh listed it.
        const QByteArray good = support::readBytes(path);
        const QByteArray spoiled = R"({"format": 1, "name": "<b>x</b>"})";
        QVERIFY(support::writeBytes(path, spoiled));
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

        // Once the dialog exists, even hidden, boxes belong to it.
        QVERIFY(support::writeBytes(path, good));
        host().toolsActions().first()->trigger();
        auto* list = host().window()->findChild<QListWidget*>();
        list->window()->hide();
        QVERIFY(support::writeBytes(path, spoiled));
        Modals::get().expect(Modals::click("OK"));
        Modals::get().expect(Modals::pressDefault());
        host().press(OBS_KEY_F6);
        host().press(OBS_KEY_F7);
        QCOMPARE(Modals::get().seen().size(), 3);
        QVERIFY(Modals::get().seen().at(1).parentIsDialog);
        QVERIFY(Modals::get().seen().at(2).parentIsDialog);
        QCOMPARE(support::hiddenDock(), QString());

        // Open folder stops at a folder that cannot be made; after teardown only the log line.
        QVERIFY(QDir(host().snapshotsDir()).removeRecursively());
        QVERIFY(support::writeBytes(host().snapshotsDir(), "in the way"));
        Modals::get().expect(Modals::click("OK"));
        for (QAction* action : list->actions())
            if (action->text() == support::moduleText("OpenFolder"))
                action->trigger();
        QCOMPARE(Modals::get().seen().size(), 4);
        QCOMPARE(Modals::get().seen().last().text, support::moduleText("DirectoryFailed"));
        QVERIFY(host().logMatching("OpenFolderFailed").isEmpty());
        host().exitEvent();
        QCOMPARE(host().log().filter("DirectoryFailed"),
                 QStringList(2, "[obs-kestrune] DirectoryFailed: "));
        QCOMPARE(Modals::get().seen().size(), 4);
    }
};

QTEST_MAIN(TestFeedback)
#include "test_feedback.moc"
