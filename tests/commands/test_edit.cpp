// Overwrite, rename and delete of the selected snapshot, including the paths
// where the disk refuses a step half-way.
#include "CommandTest.h"

#include <QDockWidget>
#include <QFile>
#include <QJsonArray>
#include <QMainWindow>
#include <QtTest>

using namespace cmdtest;
using testhost::Host;
using testhost::Modals;

namespace {

const QJsonArray f5Binding{QJsonObject{{"key", "OBS_KEY_F5"}}};

obs_hotkey_id bindF5(const QString& fileName) {
    const obs_hotkey_id id = Host::get().hotkey(hotkeyName(fileName));
    Host::get().bind(id, {QStringLiteral("OBS_KEY_F5")});
    return id;
}

kestrune::Snapshot readBack(const QString& fileName) {
    kestrune::Snapshot s;
    kestrune::read(pathOf(fileName), s);
    return s;
}

} // namespace

class EditTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Host::get().start(); }
    void cleanupTestCase() { Host::get().stop(); }
    void init() { Host::get().reset(); }
    void cleanup() {
        QCOMPARE(Modals::get().unexpected(), 0);
        QCOMPARE(Modals::get().pending(), 0);
        QCOMPARE(unreadable(), QStringList());
    }

    void overwriteStoresTheWindowAndKeepsNameFileAndBindings() {
        kestrune::Snapshot old = sample(QStringLiteral("Stage"));
        old.docks = {QStringLiteral("goneDock")};
        QVERIFY(seed(QStringLiteral("Stage.json"), old));
        QVERIFY(openDialog());
        const obs_hotkey_id id = bindF5(QStringLiteral("Stage.json"));
        const QString path = pathOf(QStringLiteral("Stage.json"));
        const QByteArray oldBytes = bytes(path);

        QVERIFY(select(path));
        Modals::get().expect(acknowledge()); // Cancel is the default
        click("Overwrite");
        QCOMPARE(bytes(path), oldBytes);
        const testhost::SeenModal question = Modals::get().seen().value(0);
        QCOMPARE(question.text, textOf("ConfirmOverwrite").arg(QStringLiteral("Stage")));
        QCOMPARE(question.defaultButton, textOf("Cancel"));

        Modals::get().expect(Modals::click(textOf("Continue")));
        click("Overwrite");
        QCOMPARE(folder().keys(), QStringList{QStringLiteral("Stage.json")});
        QCOMPARE(readBack(QStringLiteral("Stage.json")),
                 kestrune::capture(*Host::get().window(), QStringLiteral("Stage")));
        QCOMPARE(Host::get().hotkey(hotkeyName(QStringLiteral("Stage.json"))), id);
        QCOMPARE(boundKeys(id), QStringList{QStringLiteral("OBS_KEY_F5")});
        QCOMPARE(lastInSettings(), path);
        QCOMPARE(currentPath(), path);
    }

    void overwriteMovesAMisnamedFileFirst() {
        QVERIFY(seed(QStringLiteral("old name.json"), sample(QStringLiteral("Current"))));
        QVERIFY(openDialog());
        const obs_hotkey_id id = bindF5(QStringLiteral("old name.json"));
        QVERIFY(select(pathOf(QStringLiteral("old name.json"))));
        Modals::get().expect(Modals::click(textOf("Continue")));
        click("Overwrite");

        QCOMPARE(folder().keys(), QStringList{QStringLiteral("Current.json")});
        QCOMPARE(readBack(QStringLiteral("Current.json")),
                 kestrune::capture(*Host::get().window(), QStringLiteral("Current")));
        QCOMPARE(Host::get().hotkey(hotkeyName(QStringLiteral("Current.json"))), id);
        QCOMPARE(boundKeys(id), QStringList{QStringLiteral("OBS_KEY_F5")});
        const QJsonObject hotkeys = settingsFile()["snapshotHotkeys"].toObject();
        QCOMPARE(hotkeys.keys(), QStringList{QStringLiteral("Current.json")});
        QCOMPARE(hotkeys["Current.json"].toArray(), f5Binding);
    }

    void renameKeepsTheHotkeyAndFollowsTheLastLoaded() {
        const kestrune::Snapshot first =
            kestrune::capture(*Host::get().window(), QStringLiteral("First"));
        QVERIFY(seed(QStringLiteral("First.json"), first));
        QVERIFY(seed(QStringLiteral("Second.json"), sample(QStringLiteral("Second"))));
        QVERIFY(openDialog());
        const obs_hotkey_id id = bindF5(QStringLiteral("First.json"));
        QVERIFY(select(pathOf(QStringLiteral("First.json"))));
        click("Load");
        Host::wait(300);
        QCOMPARE(lastInSettings(), pathOf(QStringLiteral("First.json")));
        Host::get().dock(QStringLiteral("statsDock"))->hide(); // a new capture would differ

        Modals::get().expect(Modals::type(QStringLiteral("Renamed")));
        keyOnList(Qt::Key_F2);

        QCOMPARE(Modals::get().seen().value(0).value, QStringLiteral("First"));
        QCOMPARE(folder().keys(), QStringList({"Renamed.json", "Second.json"}));
        kestrune::Snapshot expected = first;
        expected.name = QStringLiteral("Renamed");
        QCOMPARE(readBack(QStringLiteral("Renamed.json")), expected);
        QCOMPARE(Host::get().hotkey(hotkeyName(QStringLiteral("Renamed.json"))), id);
        QCOMPARE(Host::get().hotkey(hotkeyName(QStringLiteral("First.json"))),
                 OBS_INVALID_HOTKEY_ID);
        QCOMPARE(boundKeys(id), QStringList{QStringLiteral("OBS_KEY_F5")});
        const QJsonObject written = settingsFile();
        QCOMPARE(written["snapshotHotkeys"].toObject()["Renamed.json"].toArray(), f5Binding);
        QVERIFY(!written["snapshotHotkeys"].toObject().contains("First.json"));
        QCOMPARE(written["last"].toString(), pathOf(QStringLiteral("Renamed.json")));
        QCOMPARE(currentPath(), pathOf(QStringLiteral("Renamed.json")));
    }

    void renameMayChangeLetterCaseOnly() {
        QVERIFY(seed(QStringLiteral("Layout.json"), sample(QStringLiteral("Layout"))));
        QVERIFY(openDialog());
        QVERIFY(select(pathOf(QStringLiteral("Layout.json"))));
        Modals::get().expect(Modals::type(QStringLiteral("LAYOUT")));
        click("Rename");
        QCOMPARE(seen().size(), 1);
        QCOMPARE(folder().keys(), QStringList{QStringLiteral("LAYOUT.json")});
        QCOMPARE(readBack(QStringLiteral("LAYOUT.json")).name, QStringLiteral("LAYOUT"));
    }

    void failedWriteAfterAMoveMovesTheFileBack() {
        QVERIFY(seed(QStringLiteral("A.json"), sample(QStringLiteral("A"))));
        QVERIFY(openDialog());
        const obs_hotkey_id id = bindF5(QStringLiteral("A.json"));
        Host::wait(300);
        const auto before = folder();
        const QByteArray settingsBefore = bytes(Host::get().settingsPath());
        QVERIFY(select(pathOf(QStringLiteral("A.json"))));

        FileSizeLimit limit;
        Modals::get().expect(Modals::type(QStringLiteral("B")));
        Modals::get().expect(acknowledge());
        click("Rename");
        limit.lift();

        QCOMPARE(seen().value(1), QStringLiteral("QMessageBox: ") +
                                      message("WriteFailed", pathOf(QStringLiteral("B.json"))));
        QCOMPARE(folder(), before); // moved back, byte for byte, no temporary file left
        QCOMPARE(bytes(Host::get().settingsPath()), settingsBefore);
        QCOMPARE(Host::get().hotkey(hotkeyName(QStringLiteral("A.json"))), id);
        QCOMPARE(currentPath(), pathOf(QStringLiteral("A.json")));
    }

    void whenTheMoveBackFailsTooTheSettingsFollowTheFile() {
        QVERIFY(seed(QStringLiteral("A.json"), sample(QStringLiteral("A"))));
        QVERIFY(openDialog());
        const obs_hotkey_id id = bindF5(QStringLiteral("A.json"));
        const QByteArray content = bytes(pathOf(QStringLiteral("A.json")));
        QVERIFY(select(pathOf(QStringLiteral("A.json"))));

        FileSizeLimit limit;
        Modals::get().expect(Modals::type(QStringLiteral("B")));
        // While the error shows, another program takes the old name.
        Modals::get().expect(Modals::inspect(
            [&limit](QWidget*) {
                limit.lift();
                writeBytes(pathOf(QStringLiteral("A.json")), "not ours");
            },
            acknowledge()));
        Modals::get().expect(acknowledge());
        click("Rename");
        limit.lift();

        const QString moved = pathOf(QStringLiteral("B.json"));
        QCOMPARE(seen().mid(1),
                 QStringList({
                     QStringLiteral("QMessageBox: ") + message("WriteFailed", moved),
                     QStringLiteral("QMessageBox: ") + message("RenameFailed", moved),
                 }));
        QCOMPARE(bytes(moved), content);
        QCOMPARE(bytes(pathOf(QStringLiteral("A.json"))), QByteArray("not ours"));
        QCOMPARE(Host::get().hotkey(hotkeyName(QStringLiteral("B.json"))), id);
        QCOMPARE(settingsFile()["snapshotHotkeys"].toObject()["B.json"].toArray(), f5Binding);
        QCOMPARE(currentPath(), moved);
        QVERIFY(QFile::remove(pathOf(QStringLiteral("A.json")))); // not a snapshot
    }

    void deleteAsksWithContinueAsDefaultAndSelectsTheNeighbour() {
        QVERIFY(seed(QStringLiteral("A.json"),
                     kestrune::capture(*Host::get().window(), QStringLiteral("A"))));
        QVERIFY(seed(QStringLiteral("B.json"), sample(QStringLiteral("B"))));
        QVERIFY(seed(QStringLiteral("C.json"), sample(QStringLiteral("C"))));
        QVERIFY(openDialog());
        bindF5(QStringLiteral("A.json"));
        QVERIFY(select(pathOf(QStringLiteral("A.json"))));
        click("Load");
        Host::wait(300);
        QCOMPARE(lastInSettings(), pathOf(QStringLiteral("A.json")));

        Modals::get().expect(Modals::click(textOf("Continue")));
        keyOnList(Qt::Key_Delete);
        const testhost::SeenModal question = Modals::get().seen().value(0);
        QCOMPARE(question.text, textOf("ConfirmDelete").arg(QStringLiteral("A")));
        QCOMPARE(question.defaultButton, textOf("Continue"));
        QCOMPARE(folder().keys(), QStringList({"B.json", "C.json"}));
        QCOMPARE(Host::get().hotkey(hotkeyName(QStringLiteral("A.json"))), OBS_INVALID_HOTKEY_ID);
        QCOMPARE(currentPath(), pathOf(QStringLiteral("B.json")));
        const QJsonObject written = settingsFile();
        QCOMPARE(written["last"].toString(), QString());
        QVERIFY(!written["snapshotHotkeys"].toObject().contains("A.json"));
        QCOMPARE(written["snapshotOrder"].toArray(), QJsonArray({"B.json", "C.json"}));

        // The last row gives way to the one above it; Cancel deletes nothing.
        QVERIFY(select(pathOf(QStringLiteral("C.json"))));
        Modals::get().expect(Modals::click(textOf("Continue")));
        click("Delete");
        QCOMPARE(currentPath(), pathOf(QStringLiteral("B.json")));
        Modals::get().expect(Modals::click(textOf("Cancel")));
        click("Delete");
        QCOMPARE(folder().keys(), QStringList{QStringLiteral("B.json")});
    }

    void aFileThatTurnedUnreadableIsReportedAndLeftAlone() {
        QVERIFY(seed(QStringLiteral("Spoilt.json"), sample(QStringLiteral("Spoilt"))));
        QVERIFY(openDialog());
        const QString path = pathOf(QStringLiteral("Spoilt.json"));
        QVERIFY(select(path));
        QVERIFY(writeBytes(path, "{\"format\": 1"));
        for (const char* command : {"Overwrite", "Rename", "Export"}) {
            Modals::get().clear();
            Modals::get().expect(acknowledge());
            click(command);
            QCOMPARE(seen(),
                     QStringList{QStringLiteral("QMessageBox: ") + message("ReadFailed", path)});
            QCOMPARE(folder().keys(), QStringList{QStringLiteral("Spoilt.json")});
            QCOMPARE(bytes(path), QByteArray("{\"format\": 1"));
        }
        QVERIFY(QFile::remove(path)); // keeps the unreadable check of cleanup() meaningful
    }
};

QTEST_MAIN(EditTest)
#include "test_edit.moc"
