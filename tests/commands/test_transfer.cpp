// Import and export through the file chooser.
#include "CommandTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QtTest>

using namespace cmdtest;
using testhost::Host;
using testhost::Modals;

namespace {

kestrune::Snapshot readBack(const QString& path) {
    kestrune::Snapshot s;
    kestrune::read(path, s);
    return s;
}

QByteArray snapshotText(const kestrune::Snapshot& s) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.json"));
    kestrune::write(path, s);
    return bytes(path);
}

} // namespace

class TransferTest : public QObject {
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

    void importAddsASnapshotWithoutLoadingIt() {
        QTemporaryDir outside;
        const QString source = outside.filePath(QStringLiteral("shared layout.json"));
        QVERIFY(writeBytes(source, snapshotText(sample(QStringLiteral("  Imported ")))));
        const QByteArray sourceBytes = bytes(source);
        QVERIFY(seed(QStringLiteral("Existing.json"), sample(QStringLiteral("Existing"))));
        QVERIFY(openDialog());
        const QByteArray windowState = Host::get().window()->saveState(0);

        Modals::get().expect(Modals::choose(source));
        click("Import");

        const testhost::SeenModal chooser = Modals::get().seen().value(0);
        QCOMPARE(chooser.type, QStringLiteral("QFileDialog"));
        QCOMPARE(chooser.title, textOf("Import"));
        QCOMPARE(chooser.text, textOf("FileFilter"));
        QVERIFY(chooser.parentIsDialog);
        QCOMPARE(bytes(source), sourceBytes);
        QCOMPARE(folder().keys(), QStringList({"Existing.json", "Imported.json"}));
        QCOMPARE(readBack(pathOf(QStringLiteral("Imported.json"))), readBack(source));
        QCOMPARE(currentPath(), pathOf(QStringLiteral("Imported.json")));
        QCOMPARE(Host::get().window()->saveState(0), windowState);
        QCOMPARE(lastInSettings(), QString());
        QVERIFY(settingsFile()["snapshotOrder"].toArray().contains("Imported.json"));
    }

    void importRefusesWhatItCannotAdd_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("key");
        QJsonObject foreign = QJsonDocument::fromJson(snapshotText(sample("Foreign"))).object();
        foreign["plugin"] = "another-plugin";
        QTest::newRow("foreign") << QJsonDocument(foreign).toJson() << "ReadFailed";
        QTest::newRow("malformed") << QByteArray("{\"format\": 1, \"plugin\"") << "ReadFailed";
        QTest::newRow("duplicate") << snapshotText(sample("ALPHA")) << "DuplicateName";
        QTest::newRow("device name") << snapshotText(sample("con")) << "InvalidName";
    }

    void importRefusesWhatItCannotAdd() {
        QFETCH(QByteArray, content);
        QFETCH(QString, key);
        QTemporaryDir outside;
        const QString source = outside.filePath(QStringLiteral("candidate.json"));
        QVERIFY(writeBytes(source, content));
        QVERIFY(seed(QStringLiteral("alpha.json"), sample(QStringLiteral("alpha"))));
        QVERIFY(openDialog());
        Host::wait(300); // the debounced settings write after the new hotkey
        const auto before = folder();
        const QByteArray settingsBefore = bytes(Host::get().settingsPath());

        Modals::get().expect(Modals::choose(source));
        Modals::get().expect(acknowledge());
        click("Import");

        const QByteArray k = key.toLatin1();
        const QString detail = key == QStringLiteral("ReadFailed") ? source : QString();
        QCOMPARE(seen().value(1), QStringLiteral("QMessageBox: ") + message(k.constData(), detail));
        QCOMPARE(bytes(source), content);
        QCOMPARE(folder(), before);
        QCOMPARE(bytes(Host::get().settingsPath()), settingsBefore);
    }

    void exportSuggestsTheStoredNameAndWritesACompleteFile() {
        QVERIFY(seed(QStringLiteral("odd file.json"), sample(QStringLiteral("Shown"))));
        QVERIFY(openDialog());
        const QString path = pathOf(QStringLiteral("odd file.json"));
        QVERIFY(select(path));
        const auto before = folder();
        QTemporaryDir outside;

        Modals::get().expect(Modals::reject());
        click("Export");
        QVERIFY(QDir(outside.path()).isEmpty());

        Modals::get().expect(Modals::choose(outside.filePath(QStringLiteral("backup"))));
        click("Export");
        const testhost::SeenModal chooser = Modals::get().seen().value(1);
        QCOMPARE(chooser.title, textOf("Export"));
        QCOMPARE(QFileInfo(chooser.value).fileName(), QStringLiteral("Shown.json"));
        QCOMPARE(QDir(outside.path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("backup.json")});
        QCOMPARE(readBack(outside.filePath(QStringLiteral("backup.json"))), readBack(path));
        QCOMPARE(folder(), before);
    }

    void exportIntoAFolderThatRefusesFilesReportsWriteFailed() {
        QVERIFY(seed(QStringLiteral("Kept.json"), sample(QStringLiteral("Kept"))));
        QVERIFY(openDialog());
        QVERIFY(select(pathOf(QStringLiteral("Kept.json"))));
        const auto before = folder();
        QTemporaryDir outside;
        const QString target = outside.filePath(QStringLiteral("out.json"));
        FrozenFolder frozen(outside.path());
        QVERIFY2(frozen.ok(), "cannot make the folder immutable here");

        Modals::get().expect(Modals::choose(target));
        Modals::get().expect(acknowledge());
        click("Export");
        frozen.thaw();

        QCOMPARE(seen().value(1), QStringLiteral("QMessageBox: ") + message("WriteFailed", target));
        QVERIFY(QDir(outside.path()).isEmpty());
        QCOMPARE(folder(), before);
    }
};

QTEST_MAIN(TransferTest)
#include "test_transfer.moc"
