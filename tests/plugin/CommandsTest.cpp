// SPDX-License-Identifier: GPL-2.0-or-later
// The snapshot commands driven through the manager dialog as a user drives
// them, down to what they leave in the snapshots folder and settings.json.
#include "TestHost.h"

using Step = std::function<void()>;

class CommandsTest : public TestHost {
    Q_OBJECT

    kestrune::Snapshot stored(const QString& file) { // empty when it cannot be read
        kestrune::Snapshot s;
        return kestrune::read(snapshot(file), s), s;
    }

private slots:
    void initTestCase() { start(); }
    void cleanupTestCase() { stop(); }
    void init() {
        reset();
        save("Stage.json", "Stage", "statsDock");
        tools()->trigger(); // Stage.json, the only row, is selected
        bind("obs-kestrune.load.Stage.json", "OBS_KEY_F5");
    }
    void cleanup() { QCOMPARE(unexpected, 0); }

    void commandsChangeTheFolderAsAsked_data() {
        QTest::addColumn<QString>("before"); // what the user did outside the plug-in
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("replies"); // one for each box; "~" cancels
        QTest::addColumn<QStringList>("boxes");   // the texts of the boxes
        QTest::addColumn<QStringList>("files");   // afterwards, each with one load hotkey
        const QString ask = text("NamePrompt"), invalid = text("InvalidName") + "\n\n",
                      cafe = QString::fromUtf8("Caf\u00e9.json"),
                      hostile = KESTRUNE_HOSTILE_DIR "/",
                      overwrite = text("ConfirmOverwrite").arg("Stage"),
                      del = text("ConfirmDelete").arg("Stage"), go = text("Continue"),
                      home = QDir::homePath(), stage = "Stage.json";
        const auto add = [](const char* row, const char* before, const char* command,
                            const QStringList& replies, const QStringList& boxes,
                            const QStringList& files) {
            QTest::newRow(row) << QString(before) << QString(command) << replies << boxes << files;
        };
        // clang-format off
        add("save new, trimmed, after a duplicate and unusable names", "", "SaveNew",
            {" \tSTAGE  ", "", "b/a:d/", "", "a.", "", "CON.txt", "", " ", "", QString::fromUtf8("  Cafe\u0301  ")},
            {ask, text("DuplicateName"), ask, invalid + text("NameCharacters").arg("/ :"), ask,
             invalid + text("NameSpaces"), ask, invalid + text("NameReserved").arg("CON"), ask,
             invalid + text("NameLength"), ask},
            {cafe, stage});
        add("save new on a full disk", "full", "SaveNew", {"Blocked", ""},
            {ask, text("WriteFailed") + "\n\n" + snapshot("Blocked.json")}, {stage});
        add("overwrite", "", "Overwrite", {go}, {overwrite}, {stage});
        add("overwrite cancelled", "", "Overwrite", {"~"}, {overwrite}, {stage});
        add("rename", "", "Rename", {"Renamed"}, {ask}, {"Renamed.json"});
        add("rename in letter case", "", "Rename", {"STAGE"}, {ask}, {"STAGE.json"});
        add("rename on a full disk: moved back", "full", "Rename", {"B", ""},
            {ask, text("WriteFailed") + "\n\n" + snapshot("B.json")}, {stage});
        add("rename onto a file deleted", "deleted", "Rename", {"Gone"}, {ask}, {"Gone.json"});
        add("delete", "", "Delete", {""}, {del}, {});
        add("delete cancelled", "", "Delete", {"~"}, {del}, {stage});
        add("import a file that is no snapshot", "", "Import", {hostile + "invalid-not-json.json", ""},
            {home, text("ReadFailed") + "\n\n" + hostile + "invalid-not-json.json"}, {stage});
        add("import a duplicate", "copy:STAGE", "Import", {dir("copy.json"), ""},
            {home, text("DuplicateName")}, {stage});
        add("import", "copy:Copy", "Import", {dir("copy.json")}, {home}, {"Copy.json", stage});
        add("export, then the chooser again", "", "Export Export", {dir("exported"), "~"}, {home, dir()}, {stage});
        // clang-format on
    }
    // Overwrite and save new capture the window, other commands keep what
    // the file held; the selected file's hotkey follows it with its key; a
    // hotkey pressed in the first box of any command does not load.
    void commandsChangeTheFolderAsAsked() {
        QFETCH(QString, before);
        QFETCH(QString, command);
        QFETCH(QStringList, replies);
        QFETCH(QStringList, files);
        const kestrune::Snapshot was = stored("Stage.json");
        std::optional<DiskLimit> full;
        if (before == "full")
            full.emplace(16); // a rename's move succeeds, the write after it does not
        if (before.startsWith("copy:"))
            save("../copy.json", before.mid(5));
        if (before == "deleted")
            save("Gone.json", "Gone");
        push("Refresh");
        QVERIFY(before != "deleted" || QFile::remove(snapshot("Gone.json")));
        const obs_hotkey_id id = hotkey("obs-kestrune.load.Stage.json");
        for (const QString& reply : replies)
            expect(reply == "~" ? QString() : reply,
                   reply == replies[0] ? Step([] { trigger("obs-kestrune.load.Stage.json"); })
                                       : Step());
        for (const QString& each : command.split(' '))
            push(qPrintable(each));
        QTEST(seen, "boxes");
        QCOMPARE(QDir(dir("snapshots")).entryList(QDir::Files | QDir::Hidden), files);
        QCOMPARE(hotkeys("obs-kestrune.load.").replaceInStrings("obs-kestrune.load.", ""), files);
        QCOMPARE(hiddenDock(), ""); // imports are not loaded either
        QVERIFY(!command.startsWith("Export") ||
                (fileBytes(dir("exported.json")) == fileBytes(snapshot("Stage.json")) &&
                 status() == text("StatusExported").arg("Stage", dir("exported.json"))));
        const QString captured = command == "Overwrite" && replies[0] != "~" ? "Stage.json"
                                 : files.size() == 2                         ? files[0]
                                                                             : QString();
        // A captured layout is the one loaded last; an import is only stored.
        QCOMPARE(last(captured), command != "Import" && !captured.isEmpty());
        for (const QString& file : files) {
            auto expected = file == captured ? kestrune::capture(*mainWindow, "") : was;
            expected.name = stored(file).name;
            QCOMPARE(stored(file), expected);
        }
        const QString bound = files.size() == 1 ? files[0] : files.value(1);
        QVERIFY(bound.isEmpty() || hotkey("obs-kestrune.load." + bound) == id);
        full.reset();
        fire(OBS_FRONTEND_EVENT_EXIT);
        QCOMPARE(settings()["snapshotHotkeys"].toObject().keys(), files);
        QVERIFY(bound.isEmpty() || settings()["snapshotHotkeys"][bound][0]["key"] == "OBS_KEY_F5");
    }

    // The disk refuses the write after a rename's move; while the error shows,
    // someone takes the old name and the host quits: nothing is moved over
    // their file, the dialog outlives the command, and after teardown nothing
    // registers or writes.
    void aCommandEndsQuietlyAfterTeardown() {
        QTest::qWait(300);
        const QByteArray content = fileBytes(snapshot("Stage.json"));
        DiskLimit limit(16);
        const QPointer<QWidget> manager = list()->window();
        expect("B");
        expect("", [&] {
            limit.lift();
            writeBytes(snapshot("Stage.json"), "not ours");
            fire(OBS_FRONTEND_EVENT_EXIT);
            QVERIFY(manager); // the command is still running in it
        });
        push("Rename");
        QCOMPARE(fileBytes(snapshot("B.json")), content);
        QCOMPARE(QDir(dir("snapshots")).entryList(QDir::Files | QDir::Hidden).size(), 2);
        QVERIFY(hotkeys().isEmpty());
        QCOMPARE(settings()["snapshotHotkeys"].toObject().keys(), QStringList{"Stage.json"});
    }
};

QTEST_MAIN(CommandsTest)
#include "CommandsTest.moc"
