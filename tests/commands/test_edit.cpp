// Overwrite, rename and delete of the selected snapshot, including the paths
// where the disk refuses a step half-way.
#include "CommandTest.h"

#include <QJsonArray>

#include <csignal>
#include <sys/resource.h>

namespace {

const QJsonArray f5{QJsonObject{{"key", "OBS_KEY_F5"}}};

// Writes of more than a few bytes fail while it lives; renames still work.
struct FileSizeLimit {
    rlimit saved{};
    FileSizeLimit() {
        std::signal(SIGXFSZ, SIG_IGN); // a refused write must fail, not kill the test
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit lowered = saved;
        lowered.rlim_cur = 16;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { lift(); }
    void lift() { setrlimit(RLIMIT_FSIZE, &saved); }
};

} // namespace

class EditTest : public CommandTest {
    Q_OBJECT

private slots:
    void keepsHotkeyBindingsAndFollowsTheFile_data() {
        QTest::addColumn<QStringList>("row"); // command, file, stored name, name afterwards
        QTest::newRow("overwrite") << QStringList{"Overwrite", "Stage.json", "Stage", "Stage"};
        QTest::newRow("overwrite misnamed") << QStringList{"Overwrite", "old.json", "Cur", "Cur"};
        QTest::newRow("rename") << QStringList{"Rename", "First.json", "First", "Renamed"};
        QTest::newRow("letter case only") << QStringList{"Rename", "First.json", "First", "FIRST"};
    }

    void keepsHotkeyBindingsAndFollowsTheFile() {
        QFETCH(QStringList, row);
        const QString command = row[0], file = row[1], stored = row[2], name = row[3];
        const bool overwrite = command == "Overwrite";
        const kestrune::Snapshot seeded = live(stored);
        QVERIFY(seed(file, seeded));
        QVERIFY(seed("Another.json", sample("Another")));
        QVERIFY(openDialog());
        const obs_hotkey_id id = bindF5(file);
        QVERIFY(select(file));
        click("Load");
        Host::wait(300);
        QCOMPARE(last(), pathOf(file));
        host().dock("statsDock")->hide(); // the window now differs from the file
        const auto before = folder();

        Modals::get().expect(Modals::reject());
        click(qPrintable(command));
        QCOMPARE(folder(), before);
        Modals::get().expect(overwrite ? Modals::click(moduleText("Continue"))
                                       : Modals::type(name));
        click(qPrintable(command));

        const testhost::SeenModal question = Modals::get().seen().value(1);
        QCOMPARE(question.text,
                 overwrite ? moduleText("ConfirmOverwrite").arg(stored) : moduleText("NamePrompt"));
        QCOMPARE(question.defaultButton, overwrite ? moduleText("Cancel") : QString());
        QCOMPARE(question.value, overwrite ? QString() : stored);
        const QString path = pathOf(name + ".json");
        QCOMPARE(folder().keys(), QStringList({"Another.json", name + ".json"}));
        kestrune::Snapshot expected = seeded;
        expected.name = name;
        QCOMPARE(readBack(path), overwrite ? live(name) : expected);
        QCOMPARE(hotkey(name + ".json"), id);
        QCOMPARE(support::boundKeys(id), QStringList{"OBS_KEY_F5"});
        QCOMPARE(hotkeysInSettings()[name + ".json"].toArray(), f5);
        QCOMPARE(hotkey(file) == OBS_INVALID_HOTKEY_ID, file != name + ".json");
        QVERIFY(file == name + ".json" || !hotkeysInSettings().contains(file));
        QCOMPARE(last(), path);
        QCOMPARE(current(), path);
    }

    void failedWriteAfterAMove_data() {
        QTest::addColumn<bool>("oldNameTaken");
        QTest::addColumn<QString>("kept");
        QTest::newRow("file moves back unchanged") << false << "A.json";
        QTest::newRow("old name taken meanwhile: settings follow the file") << true << "B.json";
    }

    void failedWriteAfterAMove() {
        QFETCH(bool, oldNameTaken);
        QFETCH(QString, kept);
        QVERIFY(seed("A.json", sample("A")));
        QVERIFY(openDialog());
        const obs_hotkey_id id = bindF5("A.json");
        Host::wait(300);
        const QByteArray content = readBytes(pathOf("A.json"));
        const QByteArray settings = readBytes(host().settingsPath());
        QVERIFY(select("A.json"));

        FileSizeLimit limit;
        Modals::get().expect(Modals::type("B"));
        Modals::get().expect(Modals::inspect(
            [&](QWidget*) {
                limit.lift();
                if (oldNameTaken) // by another program while the error shows
                    writeBytes(pathOf("A.json"), "not ours");
            },
            Modals::pressDefault()));
        if (oldNameTaken)
            Modals::get().expect(Modals::pressDefault());
        click("Rename");

        const QString moved = pathOf("B.json");
        QStringList boxes{box("WriteFailed", moved)};
        if (oldNameTaken)
            boxes.append(box("RenameFailed", moved));
        QCOMPARE(seen().mid(1), boxes);
        // Byte for byte, and no temporary file left.
        QCOMPARE(folder().keys(),
                 oldNameTaken ? QStringList({"A.json", "B.json"}) : QStringList{kept});
        QCOMPARE(readBytes(pathOf(kept)), content);
        QCOMPARE(hotkey(kept), id);
        QCOMPARE(hotkeysInSettings()[kept].toArray(), f5);
        QCOMPARE(current(), pathOf(kept));
        if (!oldNameTaken)
            QCOMPARE(readBytes(host().settingsPath()), settings);
        else
            QVERIFY(QFile::remove(pathOf("A.json"))); // "not ours" is no snapshot
    }

    void deleteAsksUnregistersAndSelectsTheNeighbour() {
        QVERIFY(seed("A.json", live("A")));
        QVERIFY(seed("B.json", sample("B")));
        QVERIFY(seed("C.json", sample("C")));
        QVERIFY(openDialog());
        bindF5("A.json");
        QVERIFY(select("A.json"));
        click("Load");
        Host::wait(300);
        QCOMPARE(last(), pathOf("A.json"));

        Modals::get().expect(Modals::click(moduleText("Cancel")));
        click("Delete");
        QCOMPARE(folder().size(), 3);
        Modals::get().expect(Modals::pressDefault());
        click("Delete");
        const testhost::SeenModal question = Modals::get().seen().value(1);
        QCOMPARE(question.text, moduleText("ConfirmDelete").arg("A"));
        QCOMPARE(question.defaultButton, moduleText("Continue"));
        QCOMPARE(folder().keys(), QStringList({"B.json", "C.json"}));
        QCOMPARE(hotkey("A.json"), OBS_INVALID_HOTKEY_ID);
        QCOMPARE(current(), pathOf("B.json"));
        QCOMPARE(last(), QString());
        QVERIFY(!hotkeysInSettings().contains("A.json"));
        QCOMPARE(support::settings()["snapshotOrder"].toArray(), QJsonArray({"B.json", "C.json"}));
    }

    void aFileThatTurnedUnreadableIsReportedAndLeftAlone() {
        QVERIFY(seed("Spoilt.json", sample("Spoilt")));
        QVERIFY(openDialog());
        const QString path = pathOf("Spoilt.json");
        QVERIFY(select("Spoilt.json"));
        QVERIFY(writeBytes(path, "{\"format\": 1"));
        for (const char* command : {"Overwrite", "Rename", "Export"}) {
            Modals::get().clear();
            Modals::get().expect(Modals::pressDefault());
            click(command);
            QCOMPARE(seen(), QStringList{box("ReadFailed", path)});
            QCOMPARE(folder().keys(), QStringList{"Spoilt.json"});
            QCOMPARE(readBytes(path), QByteArray("{\"format\": 1"));
        }
        QVERIFY(QFile::remove(path)); // keeps the check after the test meaningful
    }
};

QTEST_MAIN(EditTest)
#include "test_edit.moc"
