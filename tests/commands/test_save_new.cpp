// Save new: the limit, the name prompt and where the new file ends up.
#include "CommandTest.h"

#include <QJsonArray>

class SaveNewTest : public CommandTest {
    Q_OBJECT

private slots:
    // The file of that name was deleted outside the plug-in: the new one
    // inherits neither its bindings nor its place in the order.
    void savesTheWindowUnderTheTrimmedNameStartingClean() {
        host().reset(false);
        for (const char* name : {"Layout A", "M", "Z"})
            QVERIFY(seed(QString(name) + ".json", sample(name)));
        QVERIFY(writeBytes(host().settingsPath(), R"({"snapshotOrder": ["Z.json", "Layout A.json",
            "M.json"], "snapshotHotkeys": {"Layout A.json": [{"key": "OBS_KEY_F6"}]}})"));
        host().restart();
        QVERIFY(openDialog());
        QCOMPARE(support::boundKeys(hotkey("Layout A.json")), QStringList{"OBS_KEY_F6"});
        const QString path = pathOf("Layout A.json");
        QVERIFY(QFile::remove(path));

        Modals::get().expect(Modals::reject());
        click("SaveNew");
        QCOMPARE(folder().size(), 2);
        Modals::get().expect(Modals::type("  Layout A  "));
        click("SaveNew");

        const QString prompt = "QInputDialog: " + moduleText("NamePrompt");
        QCOMPARE(seen(), QStringList({prompt, prompt}));
        const testhost::SeenModal shown = Modals::get().seen().value(1);
        QCOMPARE(shown.title, moduleText("Title"));
        QCOMPARE(shown.buttons, QStringList({moduleText("Save"), moduleText("Cancel")}));
        QVERIFY(shown.parentIsDialog);
        QCOMPARE(folder().keys(), QStringList({"Layout A.json", "M.json", "Z.json"}));
        // The stored text itself: reading it back would trim it anyway.
        QCOMPARE(QJsonDocument::fromJson(readBytes(path))["name"].toString(), QString("Layout A"));
        QCOMPARE(readBack(path), live("Layout A"));
        QCOMPARE(current(), path);
        QCOMPARE(last(), path);
        QVERIFY(hotkey("Layout A.json") != OBS_INVALID_HOTKEY_ID);
        QCOMPARE(support::boundKeys(hotkey("Layout A.json")), QStringList());
        QCOMPARE(support::settings()["snapshotOrder"].toArray(),
                 QJsonArray({"Z.json", "M.json", "Layout A.json"}));
        QCOMPARE(hotkeysInSettings()["Layout A.json"].toArray(), QJsonArray());
    }

    // A duplicate by letter case and composition, an unusable name, then a
    // folder that refuses the file; a hotkey pressed inside the prompt is dropped.
    void promptComesBackUntilTheNameIsUsableAndRefusalsLeaveNothing() {
        const QString cafe = QString::fromUtf8("Caf\u00e9");
        QVERIFY(seed(cafe + ".json", live(cafe)));
        QVERIFY(openDialog());
        host().bind(hotkey(cafe + ".json"), {"OBS_KEY_F9"});
        Host::wait(300); // let the debounced settings write land first
        const auto before = folder();
        const QByteArray settings = readBytes(host().settingsPath());

        Modals::get().expect(Modals::inspect([](QWidget*) { host().press(OBS_KEY_F9); },
                                             Modals::type(QString::fromUtf8(" \tCAFE\u0301  "))));
        Modals::get().expect(Modals::pressDefault());
        Modals::get().expect(Modals::type("bad/name"));
        Modals::get().expect(Modals::pressDefault());
        Modals::get().expect(Modals::type("Blocked"));
        Modals::get().expect(Modals::pressDefault());
        {
            FrozenFolder frozen{host().snapshotsDir()};
            QVERIFY(frozen.ok);
            click("SaveNew");
            Host::wait(300);
        }
        const QString prompt = "QInputDialog: " + moduleText("NamePrompt");
        QCOMPARE(seen(), QStringList({prompt, box("DuplicateName"), prompt, box("InvalidName"),
                                      prompt, box("WriteFailed", pathOf("Blocked.json"))}));
        QCOMPARE(Modals::get().seen()[2].value, QString::fromUtf8("CAF\u00c9"));
        QCOMPARE(Modals::get().seen()[4].value, QString("bad/name"));
        QCOMPARE(host().logMatching("[obs-kestrune] DuplicateName: ").size(), 1);
        QCOMPARE(folder(), before);
        QCOMPARE(readBytes(host().settingsPath()), settings);

        host().press(OBS_KEY_F9); // outside a command the same press loads
        Host::wait(300);
        QCOMPARE(last(), pathOf(cafe + ".json"));
    }

    void limitIsCheckedBeforeAnyPromptOrChooser() {
        for (int i = 0; i < kestrune::snapshotLimit; ++i) {
            const QString name = QString("S%1").arg(i, 4, 10, QChar('0'));
            QVERIFY(seed(name + ".json", sample(name)));
        }
        QVERIFY(openDialog());
        Modals::get().expect(Modals::pressDefault());
        click("SaveNew");
        Modals::get().expect(Modals::pressDefault());
        click("Import");
        QCOMPARE(seen(), QStringList({box("SnapshotLimit"), box("SnapshotLimit")}));
        QCOMPARE(folder().size(), kestrune::snapshotLimit);

        // Replacing a file adds nothing, so rename still works at the limit.
        Modals::get().clear();
        QVERIFY(select("S0000.json"));
        Modals::get().expect(Modals::type("Renamed"));
        click("Rename");
        QCOMPARE(seen().size(), 1);
        QCOMPARE(folder().firstKey(), QString("Renamed.json"));
        QCOMPARE(folder().size(), kestrune::snapshotLimit);
    }
};

QTEST_MAIN(SaveNewTest)
#include "test_save_new.moc"
