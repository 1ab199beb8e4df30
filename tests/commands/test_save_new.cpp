// Save new: the limit, the name prompt and where the new file ends up.
#include "CommandTest.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMainWindow>
#include <QtTest>

using namespace cmdtest;
using testhost::Host;
using testhost::Modals;

class SaveNewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Host::get().start(); }
    void cleanupTestCase() { Host::get().stop(); }
    void init() { Host::get().reset(); }
    void cleanup() {
        QCOMPARE(Modals::get().unexpected(), 0);
        QCOMPARE(Modals::get().pending(), 0);
    }

    void savesTheWindowUnderTheTrimmedName() {
        QVERIFY(openDialog());
        Modals::get().expect(Modals::type(QStringLiteral("  Layout A  ")));
        click("SaveNew");

        const testhost::SeenModal prompt = Modals::get().seen().value(0);
        QCOMPARE(prompt.type, QStringLiteral("QInputDialog"));
        QCOMPARE(prompt.title, textOf("Title"));
        QCOMPARE(prompt.text, textOf("NamePrompt"));
        QCOMPARE(prompt.value, QString());
        QCOMPARE(prompt.buttons, QStringList({textOf("Save"), textOf("Cancel")}));
        QVERIFY(prompt.parentIsDialog);

        const QString path = pathOf(QStringLiteral("Layout A.json"));
        QCOMPARE(folder().keys(), QStringList{QStringLiteral("Layout A.json")});
        // The stored text itself, not what read() makes of it.
        QCOMPARE(QJsonDocument::fromJson(bytes(path))["name"].toString(),
                 QStringLiteral("Layout A"));
        kestrune::Snapshot saved;
        QCOMPARE(kestrune::read(path, saved), kestrune::FileStatus::Ok);
        QCOMPARE(saved, kestrune::capture(*Host::get().window(), QStringLiteral("Layout A")));
        QCOMPARE(currentPath(), path);
        QCOMPARE(lastInSettings(), path);
        QVERIFY(Host::get().hotkey(hotkeyName(QStringLiteral("Layout A.json"))) !=
                OBS_INVALID_HOTKEY_ID);
    }

    void promptComesBackWithTheNameUntilItIsUsable() {
        const QString cafe = QString::fromUtf8("Caf\u00e9");
        QVERIFY(seed(cafe + QStringLiteral(".json"), sample(cafe)));
        QVERIFY(openDialog());
        const auto before = folder();

        // Same name by letter case and composition (E + combining acute).
        Modals::get().expect(Modals::type(QString::fromUtf8(" \tCAFE\u0301  ")));
        Modals::get().expect(acknowledge());
        Modals::get().expect(Modals::type(QStringLiteral("bad/name")));
        Modals::get().expect(acknowledge());
        Modals::get().expect(Modals::reject());
        click("SaveNew");

        QCOMPARE(seen(), QStringList({
                             QStringLiteral("QInputDialog: ") + textOf("NamePrompt"),
                             QStringLiteral("QMessageBox: ") + message("DuplicateName"),
                             QStringLiteral("QInputDialog: ") + textOf("NamePrompt"),
                             QStringLiteral("QMessageBox: ") + message("InvalidName"),
                             QStringLiteral("QInputDialog: ") + textOf("NamePrompt"),
                         }));
        QCOMPARE(Modals::get().seen()[2].value, QString::fromUtf8("CAF\u00c9"));
        QCOMPARE(Modals::get().seen()[4].value, QStringLiteral("bad/name"));
        QCOMPARE(Host::get().logMatching(QStringLiteral("[obs-kestrune] DuplicateName: ")).size(),
                 1);
        QCOMPARE(folder(), before);
        QCOMPARE(lastInSettings(), QString());
    }

    void readOnlyFolderReportsWriteFailedAndLeavesNoFile() {
        QVERIFY(openDialog());
        Host::wait(300); // let any debounced settings write land first
        const QByteArray settingsBefore = bytes(Host::get().settingsPath());
        FrozenFolder frozen(Host::get().snapshotsDir());
        QVERIFY2(frozen.ok(), "cannot make the folder immutable here");
        Modals::get().expect(Modals::type(QStringLiteral("Blocked")));
        Modals::get().expect(acknowledge());
        click("SaveNew");
        frozen.thaw();

        QCOMPARE(seen().value(1),
                 QStringLiteral("QMessageBox: ") +
                     message("WriteFailed", pathOf(QStringLiteral("Blocked.json"))));
        QVERIFY(folder().isEmpty());
        QCOMPARE(bytes(Host::get().settingsPath()), settingsBefore);
        QCOMPARE(rowNames(), QStringList());
    }

    void newFileUnderADeletedFilesNameStartsClean() {
        for (const char* name : {"A", "M", "Z"})
            QVERIFY(seed(QString::fromLatin1(name) + QStringLiteral(".json"),
                         sample(QString::fromLatin1(name))));
        Host::get().moduleUnload();
        const QByteArray settings = R"({"snapshotOrder": ["Z.json", "A.json", "M.json"],
            "snapshotHotkeys": {"A.json": [{"key": "OBS_KEY_F6"}]}})";
        QVERIFY(writeBytes(Host::get().settingsPath(), settings));
        QVERIFY(Host::get().moduleLoad());
        Host::get().finishLoading();
        QVERIFY(openDialog());
        QCOMPARE(rowNames(), QStringList({"Z", "A", "M"}));
        QCOMPARE(boundKeys(Host::get().hotkey(hotkeyName(QStringLiteral("A.json")))),
                 QStringList{QStringLiteral("OBS_KEY_F6")});

        QVERIFY(QFile::remove(pathOf(QStringLiteral("A.json")))); // behind the plug-in's back
        Modals::get().expect(Modals::type(QStringLiteral("A")));
        click("SaveNew");

        QCOMPARE(rowNames(), QStringList({"Z", "M", "A"}));
        const obs_hotkey_id id = Host::get().hotkey(hotkeyName(QStringLiteral("A.json")));
        QVERIFY(id != OBS_INVALID_HOTKEY_ID);
        QCOMPARE(boundKeys(id), QStringList());
        const QJsonObject written = settingsFile();
        QCOMPARE(written["snapshotOrder"].toArray(), QJsonArray({"Z.json", "M.json", "A.json"}));
        QCOMPARE(written["snapshotHotkeys"].toObject()["A.json"].toArray(), QJsonArray());
    }

    void limitIsCheckedBeforeAnyPromptOrChooser() {
        QVERIFY(QDir().mkpath(Host::get().snapshotsDir()));
        for (int i = 0; i < kestrune::snapshotLimit; ++i) {
            const QString name = QStringLiteral("S%1").arg(i, 4, 10, QLatin1Char('0'));
            QVERIFY(seed(name + QStringLiteral(".json"), sample(name)));
        }
        QVERIFY(openDialog());

        Modals::get().expect(acknowledge());
        click("SaveNew");
        Modals::get().expect(acknowledge());
        click("Import");
        const QString limit = QStringLiteral("QMessageBox: ") + message("SnapshotLimit");
        QCOMPARE(seen(), QStringList({limit, limit}));
        QCOMPARE(folder().size(), kestrune::snapshotLimit);

        // Replacing a file adds nothing, so rename still works at the limit.
        Modals::get().clear();
        QVERIFY(select(pathOf(QStringLiteral("S0000.json"))));
        Modals::get().expect(Modals::type(QStringLiteral("Renamed")));
        click("Rename");
        QCOMPARE(seen().size(), 1);
        QVERIFY(QFile::exists(pathOf(QStringLiteral("Renamed.json"))));
        QVERIFY(!QFile::exists(pathOf(QStringLiteral("S0000.json"))));
    }

    void hotkeyPressInsideThePromptIsDropped() {
        const QString loadable = QStringLiteral("Loadable");
        QVERIFY(seed(loadable + QStringLiteral(".json"),
                     kestrune::capture(*Host::get().window(), loadable)));
        QVERIFY(openDialog());
        const obs_hotkey_id id = Host::get().hotkey(hotkeyName(QStringLiteral("Loadable.json")));
        Host::get().bind(id, {QStringLiteral("OBS_KEY_F9")});
        Host::wait(300);

        Modals::get().expect(Modals::inspect(
            [](QWidget*) {
                Host::get().press(OBS_KEY_F9);
                Host::wait(300);
            },
            Modals::reject()));
        click("SaveNew");
        Host::wait(300);
        QCOMPARE(lastInSettings(), QString());

        // The same press outside a command does load.
        Host::get().press(OBS_KEY_F9);
        Host::wait(300);
        QCOMPARE(lastInSettings(), pathOf(QStringLiteral("Loadable.json")));
    }
};

QTEST_MAIN(SaveNewTest)
#include "test_save_new.moc"
