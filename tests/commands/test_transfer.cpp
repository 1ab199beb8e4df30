// Import and export through the file chooser, and every hostile file offered
// to the import.
#include "CommandTest.h"

#include <QJsonArray>
#include <QTemporaryDir>

class TransferTest : public CommandTest {
    Q_OBJECT

private slots:
    // The snapshot's file name differs from its stored name, which export suggests.
    void importAddsWithoutLoadingAndExportWritesACompleteFile() {
        QTemporaryDir outside;
        const QString source = outside.filePath("shared layout.json");
        QCOMPARE(kestrune::write(source, sample("  Imported ")), kestrune::FileStatus::Ok);
        const QByteArray sourceBytes = readBytes(source);
        QVERIFY(seed("odd file.json", sample("Shown")));
        QVERIFY(openDialog());
        const QByteArray windowState = host().window()->saveState(0);

        Modals::get().expect(Modals::choose(source));
        click("Import");
        QCOMPARE(seen(), QStringList{"QFileDialog: " + moduleText("FileFilter")});
        QCOMPARE(Modals::get().seen()[0].title, moduleText("Import"));
        QVERIFY(Modals::get().seen()[0].parentIsDialog);
        QCOMPARE(readBytes(source), sourceBytes);
        QCOMPARE(folder().keys(), QStringList({"Imported.json", "odd file.json"}));
        QCOMPARE(readBack(pathOf("Imported.json")), readBack(source));
        QCOMPARE(current(), pathOf("Imported.json"));
        QCOMPARE(host().window()->saveState(0), windowState);
        QCOMPARE(last(), QString());
        QVERIFY(support::settings()["snapshotOrder"].toArray().contains("Imported.json"));

        Modals::get().clear();
        const auto before = folder();
        QVERIFY(select("odd file.json"));
        Modals::get().expect(Modals::reject());
        click("Export");
        Modals::get().expect(Modals::choose(outside.filePath("backup")));
        click("Export");
        QCOMPARE(Modals::get().seen().value(1).title, moduleText("Export"));
        QCOMPARE(QFileInfo(Modals::get().seen()[1].value).fileName(), QString("Shown.json"));
        QCOMPARE(readBytes(outside.filePath("backup.json")), before["odd file.json"]);

        // Into a folder that refuses new files.
        Modals::get().clear();
        FrozenFolder frozen{outside.path()};
        QVERIFY(frozen.ok);
        Modals::get().expect(Modals::choose(outside.filePath("out.json")));
        Modals::get().expect(Modals::pressDefault());
        click("Export");
        QCOMPARE(seen().value(1), box("WriteFailed", outside.filePath("out.json")));
        QCOMPARE(QDir(outside.path()).entryList(QDir::Files),
                 QStringList({"backup.json", "shared layout.json"}));
        QCOMPARE(folder(), before);
    }

    void importRefusesEveryHostileFile_data() {
        QTest::addColumn<QString>("file");
        const QStringList files = QDir(KESTRUNE_HOSTILE_DIR).entryList(QDir::Files);
        QVERIFY(files.size() > 60);
        for (const QString& file : files)
            QTest::newRow(qPrintable(file)) << file;
    }

    // A readable file with a usable name meets a snapshot of that name in
    // other letter case, so nothing in the corpus may be added.
    void importRefusesEveryHostileFile() {
        QFETCH(QString, file);
        const QString original = QDir(KESTRUNE_HOSTILE_DIR).filePath(file);
        QTemporaryDir outside;
        const QString source = outside.filePath(file);
        QVERIFY(QFile::copy(original, source));
        kestrune::Snapshot s;
        QByteArray key = "ReadFailed";
        if (kestrune::read(source, s) == kestrune::FileStatus::Ok) {
            key = "InvalidName";
            if (kestrune::checkName(host().snapshotsDir(), s.name, {}) ==
                kestrune::NameStatus::Valid) {
                key = "DuplicateName";
                QVERIFY(seed(s.name.toUpper() + ".json", sample(s.name.toUpper())));
            }
        }
        if (!file.startsWith("any-"))
            QCOMPARE(key == "ReadFailed", file.startsWith("invalid-"));
        QVERIFY(openDialog());
        const auto before = folder();

        Modals::get().expect(Modals::choose(source));
        Modals::get().expect(Modals::pressDefault());
        click("Import");

        QCOMPARE(seen().value(1), box(key, key == "ReadFailed" ? source : QString()));
        QCOMPARE(readBytes(source), readBytes(original));
        QCOMPARE(folder(), before);
    }
};

QTEST_MAIN(TransferTest)
#include "test_transfer.moc"
