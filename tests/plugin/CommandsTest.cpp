// SPDX-License-Identifier: GPL-2.0-or-later
// The snapshot commands driven through the manager dialog as a user drives
// them, down to what they leave in the snapshots folder and settings.json.
#include "TestHost.h"

namespace {
// The folder refuses new entries while it lives; root ignores permission bits.
struct Frozen {
    QString path;
    bool ok = QProcess::execute("chattr", {"+i", path}) == 0;
    ~Frozen() { QProcess::execute("chattr", {"-i", path}); }
};
} // namespace

class CommandsTest : public TestHost {
    Q_OBJECT

    QListWidget* list() { return window()->findChild<QListWidget*>(); }
    void push(const char* key) { // a button of the dialog
        for (QPushButton* b : window()->findChildren<QPushButton*>())
            if (b->text() == text(key) && b->isEnabled())
                b->click();
    }
    QString current() { return list()->currentIndex().data(Qt::UserRole).toString(); }
    bool select(const QString& file) {
        const auto found =
            list()->model()->match(list()->model()->index(0, 0), Qt::UserRole, snapshot(file));
        list()->setCurrentIndex(found.value(0));
        return current() == snapshot(file);
    }
    // Every entry of the folder with its bytes: a changed byte or a stray file shows.
    QMap<QString, QByteArray> folder() {
        QMap<QString, QByteArray> out;
        for (const QFileInfo& f : QDir(dir("snapshots")).entryInfoList(QDir::Files | QDir::Hidden))
            out.insert(f.fileName(), bytes(f.filePath()));
        return out;
    }
    kestrune::Snapshot stored(const QString& file) {
        kestrune::Snapshot s;
        return kestrune::read(snapshot(file), s) == kestrune::FileStatus::Ok ? s
                                                                             : kestrune::Snapshot();
    }
    // One load hotkey per file, in libobs and in settings.json.
    void checkHotkeys(const QStringList& files) {
        QCOMPARE(hotkeys("obs-kestrune.load."), QStringList(files).replaceInStrings(
                                                    QRegularExpression("^"), "obs-kestrune.load."));
        QCOMPARE(settings()["snapshotHotkeys"].toObject().keys(), files);
    }

private slots:
    void initTestCase() { start(); }
    void cleanupTestCase() { stop(); }
    void init() {
        reset();
        save("Stage.json", "Stage", "statsDock");
        tools()->trigger();
        bind("obs-kestrune.load.Stage.json", {"OBS_KEY_F5"});
    }
    void cleanup() { QCOMPARE(unexpected, 0); }

    // A duplicate by letter case and composition, an unusable name, a folder
    // that refuses the file, then a trimmed name; a hotkey pressed inside the
    // prompt is dropped.
    void saveNewAsksUntilTheNameIsUsable() {
        const auto before = folder();
        expect(after([&] { trigger("obs-kestrune.load.Stage.json"); }, type(" \tSTAGE  ")));
        for (const char* answer :
             {"", "b/a:d/", "", "a.", "", "CON.txt", "", " ", "", "Blocked", ""})
            expect(*answer ? type(answer) : click(""));
        {
            Frozen frozen{dir("snapshots")};
            QVERIFY(frozen.ok);
            push("SaveNew");
        }
        const QString ask = text("NamePrompt"), invalid = text("InvalidName") + "\n\n";
        QCOMPARE(seen(),
                 QStringList(
                     {ask, text("DuplicateName"), ask, invalid + text("NameCharacters").arg("/ :"),
                      ask, invalid + text("NameSpaces"), ask,
                      invalid + text("NameReserved").arg("CON"), ask, invalid + text("NameLength"),
                      ask, text("WriteFailed") + "\n\n" + snapshot("Blocked.json")}));
        QCOMPARE(boxes[2].value, "STAGE");
        QCOMPARE(folder(), before);
        QCOMPARE(hiddenDock(), "");
        expect(type(QString::fromUtf8("  Caf\u0065\u0301  ")));
        push("SaveNew");
        QCOMPARE(folder().keys(), QStringList({QString::fromUtf8("Caf\u00e9.json"), "Stage.json"}));
        QCOMPARE(stored(QString::fromUtf8("Caf\u00e9.json")),
                 kestrune::capture(*window(), QString::fromUtf8("Caf\u00e9")));
        QCOMPARE(current(), snapshot(QString::fromUtf8("Caf\u00e9.json")));
        QCOMPARE(settings()["last"].toString(), current());
        QCOMPARE(settings()["snapshotOrder"].toArray(),
                 QJsonArray({"Stage.json", QString::fromUtf8("Caf\u00e9.json")}));
        checkHotkeys({QString::fromUtf8("Caf\u00e9.json"), "Stage.json"});
    }

    void overwriteAndRenameKeepTheHotkey_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("file"); // holding "Stage"
        QTest::addColumn<QString>("name"); // afterwards
        QTest::newRow("overwrite") << "Overwrite"
                                   << "Stage.json"
                                   << "Stage";
        QTest::newRow("overwrite misnamed") << "Overwrite"
                                            << "old.json"
                                            << "Stage";
        QTest::newRow("rename") << "Rename"
                                << "Stage.json"
                                << "Renamed";
        QTest::newRow("letter case") << "Rename"
                                     << "Stage.json"
                                     << "STAGE";
    }
    void overwriteAndRenameKeepTheHotkey() {
        QFETCH(QString, command);
        QFETCH(QString, file);
        QFETCH(QString, name);
        const bool overwrite = command == "Overwrite";
        if (file != "Stage.json") { // renamed outside the plug-in
            QVERIFY(QFile::rename(snapshot("Stage.json"), snapshot(file)));
            push("Refresh");
            bind("obs-kestrune.load." + file, {"OBS_KEY_F5"});
        }
        if (name == "Gone") { // deleted behind the plug-in's back, its hotkey still held
            save("Gone.json", "Gone");
            push("Refresh");
            QVERIFY(QFile::remove(snapshot("Gone.json")));
        }
        const obs_hotkey_id id = hotkey("obs-kestrune.load." + file);
        QVERIFY(select(file));
        push("Load");
        kestrune::Snapshot expected = stored(file);
        showAllDocks(); // the window now differs from the file
        expect(click(text("Cancel")));
        push(qPrintable(command));
        QCOMPARE(stored(file), expected);
        expect(overwrite ? click(text("Continue")) : type(name));
        push(qPrintable(command));
        QCOMPARE(boxes[1].defaultButton, overwrite ? text("Cancel") : "");
        if (overwrite)
            expected = kestrune::capture(*window(), name);
        expected.name = name;
        QCOMPARE(folder().keys(), QStringList{name + ".json"});
        QCOMPARE(stored(name + ".json"), expected);
        QCOMPARE(hotkey("obs-kestrune.load." + name + ".json"), id);
        QCOMPARE(bound("obs-kestrune.load." + name + ".json"), QStringList{"OBS_KEY_F5"});
        checkHotkeys({name + ".json"});
        QCOMPARE(settings()["snapshotHotkeys"][name + ".json"].toArray().size(), 1);
        QCOMPARE(settings()["last"].toString(), current());
        QCOMPARE(current(), snapshot(name + ".json"));
    }

    // The disk refuses the write after the move; what happens while the error shows:
    void aFailedWriteAfterAMoveMovesBack_data() {
        QTest::addColumn<QString>("meanwhile");
        for (const char* row : {"nothing", "old name taken", "taken, host quits"})
            QTest::newRow(row) << QString(row);
    }
    void aFailedWriteAfterAMoveMovesBack() {
        QFETCH(QString, meanwhile);
        wait(300);
        const QByteArray content = bytes(snapshot("Stage.json")),
                         before = bytes(dir("settings.json"));
        QVERIFY(select("Stage.json"));
        DiskLimit limit(16);
        expect(type("B"));
        expect(after(
            [&] {
                limit.lift();
                if (meanwhile != "nothing")
                    write(snapshot("Stage.json"), "not ours");
                if (meanwhile.endsWith("quits"))
                    fire(OBS_FRONTEND_EVENT_EXIT);
            },
            click("")));
        if (meanwhile == "old name taken")
            expect(click(""));
        push("Rename");
        const QString kept = meanwhile == "nothing" ? "Stage.json" : "B.json";
        QCOMPARE(bytes(snapshot(kept)), content);
        QCOMPARE(folder().size(), meanwhile == "nothing" ? 1 : 2); // and no temporary file
        if (meanwhile.endsWith("quits")) { // after teardown nothing registers or writes
            QCOMPARE(hotkeys(), QStringList());
            QCOMPARE(settings()["snapshotHotkeys"].toObject().keys(), QStringList{"Stage.json"});
            return;
        }
        QCOMPARE(hotkeys("obs-kestrune.load."), QStringList{"obs-kestrune.load." + kept});
        QCOMPARE(bound("obs-kestrune.load." + kept), QStringList{"OBS_KEY_F5"});
        QCOMPARE(current(), snapshot(kept));
        QVERIFY(meanwhile != "nothing" || bytes(dir("settings.json")) == before);
    }

    void deleteAsksFirstAndForgetsTheSnapshot() {
        save("A.json", "A");
        push("Refresh");
        QVERIFY(select("Stage.json"));
        push("Load");
        expect(click(text("Cancel")));
        push("Delete");
        expect(click(""));
        push("Delete");
        QCOMPARE(seen()[1], text("ConfirmDelete").arg("Stage"));
        QCOMPARE(boxes[1].defaultButton, text("Continue"));
        QCOMPARE(folder().keys(), QStringList{"A.json"});
        checkHotkeys({"A.json"});
        QCOMPARE(current(), snapshot("A.json"));
        QCOMPARE(settings()["last"].toString(), "");
        QCOMPARE(settings()["snapshotOrder"].toArray(), QJsonArray({"A.json"}));
    }

    void exportWritesTheSnapshotAndImportAddsIt() {
        QTemporaryDir outside;
        QVERIFY(select("Stage.json"));
        expect(choose(outside.filePath("backup")));
        push("Export");
        QCOMPARE(boxes[0].value, QDir::home().filePath("Stage.json")); // the suggestion, at home
        QCOMPARE(bytes(outside.filePath("backup.json")), bytes(snapshot("Stage.json")));
        QCOMPARE(status(), text("StatusExported").arg("Stage", outside.filePath("backup.json")));
        const kestrune::Snapshot exported = stored("Stage.json");
        QVERIFY(QFile::remove(snapshot("Stage.json")));
        expect(choose(outside.filePath("backup.json")));
        push("Import");
        QCOMPARE(boxes[1].value, outside.path() + '/'); // where the last export went
        QCOMPARE(stored("Stage.json"), exported);
        QVERIFY(hiddenDock().isEmpty() && settings()["last"].toString().isEmpty()); // not loaded
    }

    void importRefusesEveryHostileFile_data() {
        QTest::addColumn<QString>("file");
        for (const QString& file : QDir(KESTRUNE_HOSTILE_DIR).entryList(QDir::Files))
            QTest::newRow(qPrintable(file)) << file;
    }
    // A readable file with a usable name meets a snapshot of that name in
    // other letter case, so nothing in the corpus may be added.
    void importRefusesEveryHostileFile() {
        QFETCH(QString, file);
        const QString source = QDir(KESTRUNE_HOSTILE_DIR).filePath(file);
        kestrune::Snapshot s;
        QString error = text("ReadFailed") + "\n\n" + source;
        if (kestrune::read(source, s) == kestrune::FileStatus::Ok) {
            error = text("InvalidName");
            if (kestrune::checkName(dir("snapshots"), s.name, {}) == kestrune::NameStatus::Valid) {
                error = text("DuplicateName");
                save(s.name.toUpper() + ".json", s.name.toUpper());
            }
        }
        const auto before = folder();
        const QByteArray original = bytes(source);
        expect(choose(source));
        expect(click(""));
        push("Import");
        QVERIFY2(seen().value(1).startsWith(error), qPrintable(seen().value(1)));
        QCOMPARE(bytes(source), original);
        QCOMPARE(folder(), before);
    }
};

QTEST_MAIN(CommandsTest)
#include "CommandsTest.moc"
