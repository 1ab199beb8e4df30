// settings.json: what is read at start, what every write holds, and that a
// failed write never costs the previous file.
#include "PluginSupport.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using support::host;
using testhost::Modals;

namespace {

const QStringList sixMembers{"cycleHotkey",     "last",         "openHotkey", "previousHotkey",
                             "snapshotHotkeys", "snapshotOrder"};

// Files may grow to limit bytes while it lives; SIGXFSZ is ignored meanwhile.
struct FileSizeLimit {
    rlimit previous{};
    void (*previousHandler)(int) = nullptr;
    explicit FileSizeLimit(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &previous);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = previous;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
};

// Starts the module over a settings file that holds bytes.
void startWith(const QByteArray& bytes) {
    host().reset(false);
    QVERIFY(support::writeBytes(host().settingsPath(), bytes));
    host().restart(false);
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { host().start(); }
    void cleanupTestCase() { host().stop(); }

    void sizeLimit_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("read");
        QTest::newRow("exactly 4 MiB") << 4194304 << true;
        QTest::newRow("one byte more") << 4194305 << false;
    }

    void sizeLimit() {
        QFETCH(int, size);
        QFETCH(bool, read);
        const QByteArray head = R"({"last": "/kept/a.json")";
        startWith(head + QByteArray(size - head.size() - 1, ' ') + '}');
        QCOMPARE(QFileInfo(host().settingsPath()).size(), qint64(size));
        host().finishLoading();
        QCOMPARE(support::settings().value("last").toString(),
                 read ? QStringLiteral("/kept/a.json") : QString());
    }

    void orderSkipsNonStringsAndUnknownMembersGo() {
        startWith(R"({"snapshotOrder": ["z.json", 3, null, "m.json", "z.json"],
                      "last": 5, "extra": {"kept": false}})");
        support::saveMarked("a.json", "Ay", "statsDock");
        support::saveMarked("m.json", "Em", "mixerDock");
        support::saveMarked("z.json", "Zed", "scenesDock");
        host().finishLoading();
        const QJsonObject written = support::settings();
        QCOMPARE(written.keys(), sixMembers);
        QCOMPARE(written.value("snapshotOrder").toArray(),
                 QJsonArray({"z.json", "m.json", "a.json"}));
        QCOMPARE(written.value("last"), QJsonValue(QString()));
        for (const char* global : {"cycleHotkey", "previousHotkey", "openHotkey"})
            QCOMPARE(written.value(global), QJsonValue(QJsonArray()));
    }

    void unusableFilesAreReplaced_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("pipe");
        QTest::newRow("array at the top") << QByteArray("[1, 2, 3]") << false;
        QTest::newRow("not JSON") << QByteArray("{\"last\": \"/a.json\"") << false;
        QTest::newRow("binary") << QByteArray("\0\xff\xfe{", 4) << false;
        QTest::newRow("a pipe") << QByteArray() << true;
    }

    void unusableFilesAreReplaced() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, pipe);
        host().reset(false);
        QDir().mkpath(host().pluginConfigDir());
        if (pipe)
            QCOMPARE(mkfifo(QFile::encodeName(host().settingsPath()).constData(), 0600), 0);
        else
            QVERIFY(support::writeBytes(host().settingsPath(), bytes));
        host().restart(true);
        QVERIFY(QFileInfo(host().settingsPath()).isFile());
        QCOMPARE(support::settings().keys(), sixMembers);
    }

    void aFailedWriteKeepsTheOldFile_data() {
        QTest::addColumn<bool>("refuseWrite");
        QTest::newRow("disk refuses the text") << true;
        QTest::newRow("folder refuses new files") << false;
    }

    void aFailedWriteKeepsTheOldFile() {
        QFETCH(bool, refuseWrite);
        const QByteArray old = R"({"last": "/old.json", "extra": 1})";
        startWith(old);
        QDir().mkpath(host().snapshotsDir());
        {
            std::unique_ptr<FileSizeLimit> limit;
            std::unique_ptr<support::Immutable> frozen;
            if (refuseWrite) {
                limit = std::make_unique<FileSizeLimit>(64);
            } else {
                frozen = std::make_unique<support::Immutable>(host().pluginConfigDir());
                QVERIFY(frozen->set);
            }
            host().finishLoading();
        }
        QCOMPARE(support::readBytes(host().settingsPath()), old);
        const QStringList lines = host().logMatching(QStringLiteral("Could not save settings"));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(
            lines.first().startsWith(QStringLiteral("[obs-kestrune] Could not save settings: ")) &&
                lines.first().size() > 40,
            qPrintable(lines.first()));
        QVERIFY(Modals::get().seen().isEmpty());
        // The next write succeeds and carries the state, not the old file.
        host().exitEvent();
        QCOMPARE(support::settings().value("last").toString(), QStringLiteral("/old.json"));
        QCOMPARE(support::settings().keys(), sixMembers);
    }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
