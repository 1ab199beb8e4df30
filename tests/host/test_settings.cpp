// settings.json: what is read at start, what every write holds, and that a
// failed write never costs the previous file.
#include "PluginSupport.h"

#include <QtTest>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using support::host;

// Feeds whoever opens the pipe for reading, so that a module reading it fails
// the test at once instead of hanging it.
class PipeFeeder {
public:
    explicit PipeFeeder(const QByteArray& path)
        : thread([this, path] {
              const QByteArray text = R"({"last": "/read/from/the/pipe.json"})";
              while (!stop) {
                  if (const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK); fd >= 0) {
                      (void)!::write(fd, text.constData(), size_t(text.size()));
                      ::close(fd);
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              }
          }) {}
    ~PipeFeeder() {
        stop = true;
        thread.join();
    }

private:
    std::atomic<bool> stop{false};
    std::thread thread;
};

static const QStringList sixMembers{
    "cycleHotkey", "last", "openHotkey", "previousHotkey", "snapshotHotkeys", "snapshotOrder"};

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { host().start(); }
    void cleanupTestCase() { host().stop(); }

    void whatIsReadAtStart_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QStringList>("order");
        const QByteArray head = R"({"snapshotOrder": ["z.json", 3, null, "m.json", "z.json"],
                                    "last": "/kept/a.json", "extra": {"kept": false})";
        const auto padded = [&](int size) {
            return head + QByteArray(size - head.size() - 1, ' ') + '}';
        };
        const QStringList stored{"z.json", "m.json", "a.json"};
        const QStringList sorted{"a.json", "m.json", "z.json"};
        QTest::newRow("exactly 4 MiB") << padded(4194304) << "/kept/a.json" << stored;
        QTest::newRow("one byte more") << padded(4194305) << QString() << sorted;
        QTest::newRow("last not a string") << QByteArray(R"({"last": 5})") << QString() << sorted;
        QTest::newRow("not JSON") << head << QString() << sorted;
        QTest::newRow("a pipe, never opened") << QByteArray() << QString() << sorted;
    }

    void whatIsReadAtStart() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, last);
        QFETCH(QStringList, order);
        host().reset(false);
        support::saveMarked("a.json", "Ay", "statsDock");
        support::saveMarked("m.json", "Em", "mixerDock");
        support::saveMarked("z.json", "Zed", "scenesDock");
        const QByteArray path = QFile::encodeName(host().settingsPath());
        std::optional<PipeFeeder> feeder;
        if (bytes.isEmpty()) {
            QCOMPARE(mkfifo(path.constData(), 0600), 0);
            feeder.emplace(path);
        } else {
            QVERIFY(support::writeBytes(host().settingsPath(), bytes));
        }
        host().restart(false);
        feeder.reset();
        host().finishLoading();
        const QJsonObject written = support::settings();
        QCOMPARE(written.keys(), sixMembers);
        QCOMPARE(written.value("last").toString(), last);
        QCOMPARE(written.value("snapshotOrder").toArray(), QJsonArray::fromStringList(order));
        for (const char* global : {"cycleHotkey", "previousHotkey", "openHotkey"})
            QCOMPARE(written.value(global), QJsonValue(QJsonArray()));
    }

    // The disk refuses the text once the file passes 64 bytes.
    void aRefusedWriteKeepsTheOldFile() {
        const QByteArray old = R"({"last": "/old.json", "extra": 1})";
        host().reset(false);
        QVERIFY(support::writeBytes(host().settingsPath(), old));
        host().restart(false);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit lowered = saved;
        lowered.rlim_cur = 64;
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &lowered);
        host().finishLoading();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QCOMPARE(support::readBytes(host().settingsPath()), old);
        const QStringList lines = host().logMatching("Could not save settings");
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith("[obs-kestrune] Could not save settings: ") &&
                     lines.first().size() > 40,
                 qPrintable(lines.first()));
        QVERIFY(testhost::Modals::get().seen().isEmpty());
        // The next write succeeds and carries the state, not the old file.
        host().exitEvent();
        QCOMPARE(support::settings().value("last").toString(), QStringLiteral("/old.json"));
        QCOMPARE(support::settings().keys(), sixMembers);
    }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
