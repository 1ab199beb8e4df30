#include "test_files.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using kestrune::FileStatus;
using kestrune::Snapshot;
using namespace testfiles;

namespace {

const QString emoji = QStringLiteral("\U0001F600"); // two UTF-16 units

Snapshot sentinel() {
    return Snapshot{QStringLiteral("untouched"), "s", "g", {QStringLiteral("keep"), QString()}};
}

} // namespace

class SnapshotFileTest : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data() {
        QTest::addColumn<Snapshot>("written");
        QTest::addColumn<QString>("expectedName");

        Snapshot plain = sampleSnapshot(QStringLiteral("Main layout"));
        QTest::newRow("plain") << plain << plain.name;
        QTest::newRow("NFD name comes back NFC")
            << sampleSnapshot(QStringLiteral("Cafe\u0301")) << QStringLiteral("Caf\u00e9");
        QTest::newRow("surrounding spaces trimmed on read")
            << sampleSnapshot(QStringLiteral("  Streaming \t")) << QStringLiteral("Streaming");
        QTest::newRow("80 units") << sampleSnapshot(QString(80, QLatin1Char('x')))
                                  << QString(80, QLatin1Char('x'));
        QTest::newRow("80 units of surrogate pairs")
            << sampleSnapshot(emoji.repeated(40)) << emoji.repeated(40);
        Snapshot noDocks = plain;
        noDocks.docks.clear();
        QTest::newRow("no docks") << noDocks << plain.name;
        Snapshot oddDocks = plain;
        oddDocks.docks = {QStringLiteral("b"), QString(), QStringLiteral("b"), QStringLiteral("A")};
        QTest::newRow("docks kept as they stand") << oddDocks << plain.name;
    }

    void roundTrip() {
        QFETCH(Snapshot, written);
        QFETCH(QString, expectedName);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.json"));

        QCOMPARE(kestrune::write(path, written), FileStatus::Ok);
        Snapshot back;
        QCOMPARE(kestrune::read(path, back), FileStatus::Ok);
        Snapshot expected = written;
        expected.name = expectedName;
        QCOMPARE(back, expected);

        // The file holds the name exactly as given and the fixed members.
        const QJsonObject object = QJsonDocument::fromJson(readBytes(path)).object();
        QCOMPARE(object.keys(),
                 QStringList({"docks", "format", "geometry", "name", "obs", "plugin", "state"}));
        QCOMPARE(object.value("name").toString(), written.name);
        QVERIFY(object.value("format").isDouble());
        QCOMPARE(object.value("format").toInt(), 1);
        QCOMPARE(object.value("plugin").toString(), QStringLiteral("obs-kestrune"));
        QCOMPARE(object.value("obs").toString(), QStringLiteral("32.0.4"));
        QCOMPARE(object.value("docks").toArray().size(), written.docks.size());
    }

    void writeRefusesBadRecords_data() {
        QTest::addColumn<Snapshot>("snapshot");
        QTest::addColumn<FileStatus>("expected");

        const Snapshot good = sampleSnapshot(QStringLiteral("Main"));
        Snapshot s = good;
        s.name.clear();
        QTest::newRow("empty name") << s << FileStatus::Invalid;
        s.name = QStringLiteral(" \t\u00a0");
        QTest::newRow("blank name") << s << FileStatus::Invalid;
        s.name = QString(81, QLatin1Char('x'));
        QTest::newRow("81 units") << s << FileStatus::Invalid;
        s.name = emoji.repeated(40) + QLatin1Char('x');
        QTest::newRow("81 units with surrogate pairs") << s << FileStatus::Invalid;
        s.name = QStringLiteral(" ") + QString(80, QLatin1Char('x'));
        QTest::newRow("81 units before trimming") << s << FileStatus::Invalid;
        s = good;
        s.state.clear();
        QTest::newRow("empty state") << s << FileStatus::Invalid;
        s = good;
        s.geometry.clear();
        QTest::newRow("empty geometry") << s << FileStatus::Invalid;
        s = good;
        s.state = QByteArray(1572864, 'x'); // Base64 alone exceeds the limit
        QTest::newRow("too large") << s << FileStatus::TooLarge;
        QTest::newRow("default record") << Snapshot() << FileStatus::Invalid;
    }

    void writeRefusesBadRecords() {
        QFETCH(Snapshot, snapshot);
        QFETCH(FileStatus, expected);
        QTemporaryDir dir;
        const QString fresh = dir.filePath(QStringLiteral("fresh.json"));
        const QString existing = dir.filePath(QStringLiteral("existing.json"));
        const QByteArray old = rawDocument();
        QVERIFY(writeBytes(existing, old));

        QCOMPARE(kestrune::write(fresh, snapshot), expected);
        QCOMPARE(kestrune::write(existing, snapshot), expected);
        QVERIFY(!QFile::exists(fresh));
        QCOMPARE(readBytes(existing), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void writeCannotOpen() {
        QTemporaryDir dir;
        const Snapshot snapshot = sampleSnapshot(QStringLiteral("Main"));
        QCOMPARE(kestrune::write(dir.filePath("missing/s.json"), snapshot), FileStatus::OpenFailed);

        // A regular file where a folder is expected: the folder cannot exist.
        QVERIFY(writeBytes(dir.filePath("blocker"), "x"));
        QString error;
        QCOMPARE(kestrune::writeFileAtomically(dir.filePath("blocker/sub/s.json"), "{}", &error),
                 FileStatus::OpenFailed);
        QVERIFY(!error.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"blocker"});

        // A folder that refuses new files, even to root.
        const QString locked = dir.filePath("locked");
        QVERIFY(QDir(dir.path()).mkdir("locked"));
        if (QProcess::execute("chattr", {"+i", locked}) != 0)
            QSKIP("chattr +i is not available here");
        const FileStatus status = kestrune::write(locked + "/s.json", snapshot);
        const QStringList created =
            QDir(locked).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QProcess::execute("chattr", {"-i", locked});
        QCOMPARE(status, FileStatus::OpenFailed);
        QVERIFY(created.isEmpty());
    }

    // The disk refuses part of the text: the write must fail and the old
    // file must survive byte for byte, with no temporary file left behind.
    void diskRefusesWrite() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.json"));
        const QByteArray old = rawDocument();
        QVERIFY(old.size() < 1000);
        QVERIFY(writeBytes(path, old));
        Snapshot big = sampleSnapshot(QStringLiteral("Big"));
        big.state = QByteArray(5000, 's');

        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{1000, 1000};
            setrlimit(RLIMIT_FSIZE, &limit);
            _exit(int(kestrune::write(path, big)));
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(FileStatus(WEXITSTATUS(status)), FileStatus::WriteError);
        QCOMPARE(readBytes(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"s.json"});
    }

    void readStatus_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<FileStatus>("expected");

        QTest::newRow("valid") << rawDocument() << FileStatus::Ok;
        QTest::newRow("format 1.0") << rawDocument({{"format", "1.0"}}) << FileStatus::Ok;
        QTest::newRow("format 1e0") << rawDocument({{"format", "1e0"}}) << FileStatus::Ok;
        QTest::newRow("format string") << rawDocument({{"format", "\"1\""}}) << FileStatus::Invalid;
        QTest::newRow("format 2") << rawDocument({{"format", "2"}}) << FileStatus::Invalid;
        QTest::newRow("format 1.5") << rawDocument({{"format", "1.5"}}) << FileStatus::Invalid;
        QTest::newRow("format missing") << rawDocument({{"format", ""}}) << FileStatus::Invalid;
        QTest::newRow("format huge")
            << rawDocument({{"format", "4294967297"}}) << FileStatus::Invalid;
        QTest::newRow("plugin case")
            << rawDocument({{"plugin", "\"OBS-Kestrune\""}}) << FileStatus::Invalid;
        QTest::newRow("plugin missing") << rawDocument({{"plugin", ""}}) << FileStatus::Invalid;
        QTest::newRow("plugin not string")
            << rawDocument({{"plugin", "[]"}}) << FileStatus::Invalid;
        QTest::newRow("obs missing") << rawDocument({{"obs", ""}}) << FileStatus::Ok;
        QTest::newRow("obs other") << rawDocument({{"obs", "30"}}) << FileStatus::Ok;
        QTest::newRow("extra members") << rawDocument({{"extra", "{\"a\":[1]}"}}) << FileStatus::Ok;
        QTest::newRow("name number") << rawDocument({{"name", "5"}}) << FileStatus::Invalid;
        QTest::newRow("name missing") << rawDocument({{"name", ""}}) << FileStatus::Invalid;
        QTest::newRow("name blank") << rawDocument({{"name", "\"  \""}}) << FileStatus::Invalid;
        QTest::newRow("name 80 + spaces")
            << rawDocument({{"name", "\" " + QByteArray(80, 'x') + " \""}}) << FileStatus::Ok;
        QTest::newRow("name 81") << rawDocument({{"name", '"' + QByteArray(81, 'x') + '"'}})
                                 << FileStatus::Invalid;
        QTest::newRow("state missing") << rawDocument({{"state", ""}}) << FileStatus::Invalid;
        QTest::newRow("state empty") << rawDocument({{"state", "\"\""}}) << FileStatus::Invalid;
        QTest::newRow("state array") << rawDocument({{"state", "[]"}}) << FileStatus::Invalid;
        QTest::newRow("state space")
            << rawDocument({{"state", "\"c3Rh dGU=\""}}) << FileStatus::Invalid;
        QTest::newRow("state newline")
            << rawDocument({{"state", "\"c3Rh\\ndGU=\""}}) << FileStatus::Invalid;
        QTest::newRow("state extra padding")
            << rawDocument({{"state", "\"c3RhdGU==\""}}) << FileStatus::Invalid;
        QTest::newRow("state padding inside")
            << rawDocument({{"state", "\"c3Rh=dGU=\""}}) << FileStatus::Invalid;
        QTest::newRow("state url alphabet")
            << rawDocument({{"state", "\"_-8=\""}}) << FileStatus::Invalid;
        QTest::newRow("state non-Latin-1")
            << rawDocument({{"state", "\"c3Rh\\u20acGU=\""}}) << FileStatus::Invalid;
        QTest::newRow("geometry empty")
            << rawDocument({{"geometry", "\"\""}}) << FileStatus::Invalid;
        QTest::newRow("geometry bad")
            << rawDocument({{"geometry", "\"Z2Vv*\""}}) << FileStatus::Invalid;
        QTest::newRow("docks missing") << rawDocument({{"docks", ""}}) << FileStatus::Invalid;
        QTest::newRow("docks string") << rawDocument({{"docks", "\"a\""}}) << FileStatus::Invalid;
        QTest::newRow("docks number")
            << rawDocument({{"docks", "[\"a\",1]"}}) << FileStatus::Invalid;
        QTest::newRow("docks null") << rawDocument({{"docks", "[null]"}}) << FileStatus::Invalid;
        QTest::newRow("docks empty") << rawDocument({{"docks", "[]"}}) << FileStatus::Ok;
        QTest::newRow("top-level array") << "[" + rawDocument() + "]" << FileStatus::Invalid;
        QTest::newRow("trailing garbage") << rawDocument() + "x" << FileStatus::Invalid;
        QTest::newRow("two objects") << rawDocument() + rawDocument() << FileStatus::Invalid;
        QTest::newRow("truncated") << rawDocument().chopped(1) << FileStatus::Invalid;
        QTest::newRow("empty file") << QByteArray() << FileStatus::Invalid;
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe{", 4) << FileStatus::Invalid;

        const QByteArray doc = rawDocument();
        const QByteArray atLimit = doc + QByteArray(kestrune::maxFileSize - doc.size(), ' ');
        QTest::newRow("exactly 2097152 bytes") << atLimit << FileStatus::Ok;
        QTest::newRow("2097153 bytes") << atLimit + ' ' << FileStatus::TooLarge;
    }

    void readStatus() {
        QFETCH(QByteArray, text);
        QFETCH(FileStatus, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.json"));
        QVERIFY(writeBytes(path, text));

        Snapshot out = sentinel();
        QCOMPARE(kestrune::read(path, out), expected);
        if (expected != FileStatus::Ok)
            QCOMPARE(out, sentinel());
        else
            QVERIFY(out != sentinel());
    }

    void readValues() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.json"));
        QVERIFY(writeBytes(path, rawDocument({{"name", "\" Cafe\\u0301 \""},
                                              {"docks", "[\"b\",\"\",\"b\",\"a\"]"}})));
        Snapshot out = sentinel();
        QCOMPARE(kestrune::read(path, out), FileStatus::Ok);
        QCOMPARE(out, Snapshot({QStringLiteral("Caf\u00e9"),
                                "state",
                                "geometry",
                                {QStringLiteral("b"), QString(), QStringLiteral("b"),
                                 QStringLiteral("a")}}));
    }

    // The reader must give Qt's strict Base64 verdict and bytes for any text.
    void base64MatchesQt() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.json"));
        QRandomGenerator random(20240607);
        const QString units = QStringLiteral("AQgw+/9z==== -\n_\u00e9\u20ac");
        for (int round = 0; round < 600; ++round) {
            QString text;
            if (round % 3 == 0) {
                QByteArray bytes(random.bounded(1, 40), Qt::Uninitialized);
                for (char& byte : bytes)
                    byte = char(random.bounded(256));
                text = QString::fromLatin1(bytes.toBase64());
                if (round % 2 == 0) // one unit replaced
                    text[random.bounded(text.size())] = units.at(random.bounded(units.size()));
            } else {
                for (int i = random.bounded(14); i > 0; --i)
                    text += units.at(random.bounded(units.size()));
            }
            const auto qt = QByteArray::fromBase64Encoding(
                text.toLatin1(),
                QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
            const bool valid =
                qt.decodingStatus == QByteArray::Base64DecodingStatus::Ok && !qt.decoded.isEmpty();

            QJsonObject object = QJsonDocument::fromJson(rawDocument()).object();
            object.insert("state", text);
            QVERIFY(writeBytes(path, QJsonDocument(object).toJson()));
            Snapshot out = sentinel();
            const FileStatus status = kestrune::read(path, out);
            QVERIFY2(status == (valid ? FileStatus::Ok : FileStatus::Invalid), qPrintable(text));
            QCOMPARE(out.state, valid ? qt.decoded : sentinel().state);
        }
    }

    void readCannotOpen() {
        QTemporaryDir dir;
        Snapshot out = sentinel();
        QCOMPARE(kestrune::read(dir.filePath("missing.json"), out), FileStatus::OpenFailed);
        QCOMPARE(kestrune::read(dir.path(), out), FileStatus::OpenFailed);
        QCOMPARE(out, sentinel());
    }
};

QTEST_GUILESS_MAIN(SnapshotFileTest)
#include "tst_snapshot_file.moc"
