#include "test_files.h"

#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using kestrune::FileStatus;
using kestrune::Snapshot;
using namespace testfiles;

namespace {

const QString emoji = QStringLiteral("\U0001F600"); // two UTF-16 units
const FileStatus okOrInvalid = FileStatus(-1);      // any- files: either answer
const Snapshot sentinel{"untouched", "s", "g", {"keep", QString()}};
const Snapshot good{"Main", QByteArray("state\0bytes", 11), "\xff\x01geometry", {"audio"}};

// Every entry below dir with its content: equal maps mean nothing changed.
QMap<QString, QByteArray> tree(const QString& dir) {
    QMap<QString, QByteArray> entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        entries.insert(path, it.fileInfo().isDir() ? "<dir>" : readBytes(path));
    }
    return entries;
}

// write() in a child whose files may not grow beyond sizeLimit bytes.
FileStatus writeInChild(const QString& path, const Snapshot& snapshot, rlim_t sizeLimit) {
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{sizeLimit, sizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(int(kestrune::write(path, snapshot)));
    }
    int status = 0;
    const bool exited = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status);
    return exited ? FileStatus(WEXITSTATUS(status)) : FileStatus(-2);
}

} // namespace

class SnapshotFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir sizes; // files at and over the size limit

private slots:
    void initTestCase() {
        const QByteArray minimal = readBytes(KESTRUNE_HOSTILE_DIR "/ok-minimal.json");
        const QByteArray atLimit =
            minimal + QByteArray(kestrune::maxFileSize - minimal.size(), ' ');
        QVERIFY(writeBytes(sizes.filePath("at.json"), atLimit));
        QVERIFY(writeBytes(sizes.filePath("over.json"), atLimit + ' '));
    }

    // Folders below a temporary folder: "ok", "locked" and "limited" hold
    // old.json, "missing" does not exist.
    void write_data() {
        QTest::addColumn<Snapshot>("snapshot");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<FileStatus>("expected");
        QTest::addColumn<QString>("nameReadBack");
        const auto row = [](const char* tag, const Snapshot& s, const char* folder,
                            FileStatus expected, const QString& nameReadBack = {}) {
            QTest::newRow(tag) << s << folder << expected << nameReadBack;
        };
        const auto named = [](const QString& name) {
            return Snapshot{name, good.state, good.geometry, good.docks};
        };
        const FileStatus ok = FileStatus::Ok;
        const FileStatus invalid = FileStatus::Invalid;
        row("plain", named("Main layout"), "ok", ok, "Main layout");
        row("NFD name comes back NFC", named("Cafe\u0301"), "ok", ok, "Caf\u00e9");
        row("spaces kept, trimmed on read", named("  Streaming \t"), "ok", ok, "Streaming");
        row("80 units", named(QString(80, 'x')), "ok", ok, QString(80, 'x'));
        row("80 units of surrogate pairs", named(emoji.repeated(40)), "ok", ok, emoji.repeated(40));
        row("no docks", {"Main", good.state, good.geometry, {}}, "ok", ok, "Main");
        const QStringList odd = {"b", "", "b", "A", QString("nul") + QChar(0) + "x", "../x"};
        row("docks kept as they stand", {"Main", "s", "g", odd}, "ok", ok, "Main");
        row("empty name", named(""), "ok", invalid);
        row("blank name", named(" \t\u00a0"), "ok", invalid);
        row("81 units", named(QString(81, 'x')), "ok", invalid);
        row("81 units with surrogate pairs", named(emoji.repeated(40) + 'x'), "ok", invalid);
        row("81 units before trimming", named(" " + QString(80, 'x')), "ok", invalid);
        row("empty state", {"Main", "", "g", {}}, "ok", invalid);
        row("empty geometry", {"Main", "s", "", {}}, "ok", invalid);
        row("default record", Snapshot(), "ok", invalid);
        // Its Base64 alone exceeds the limit.
        row("too large", {"Main", QByteArray(1572864, 'x'), "g", {}}, "ok", FileStatus::TooLarge);
        row("missing folder", good, "missing", FileStatus::OpenFailed);
        row("folder refuses new files", good, "locked", FileStatus::OpenFailed);
        row("disk refuses part of the text", {"Main", QByteArray(5000, 's'), "g", {}}, "limited",
            FileStatus::WriteError);
    }

    void write() {
        QFETCH(Snapshot, snapshot);
        QFETCH(QString, folder);
        QFETCH(FileStatus, expected);
        QFETCH(QString, nameReadBack);
        QTemporaryDir dir;
        const QDir root(dir.path());
        for (const QString sub : {"ok", "locked", "limited"})
            QVERIFY(root.mkdir(sub) && writeBytes(root.filePath(sub + "/old.json"), "{}"));
        const QMap<QString, QByteArray> before = tree(dir.path());
        const QString locked = root.filePath("locked");
        if (folder == "locked" && QProcess::execute("chattr", {"+i", locked}) != 0)
            QSKIP("chattr +i is not available here");
        const auto unlock = qScopeGuard([&] { QProcess::execute("chattr", {"-i", locked}); });
        const rlim_t limit = folder == "limited" ? 1000 : RLIM_INFINITY;

        const QString path = root.filePath(folder + "/old.json");
        QCOMPARE(writeInChild(root.filePath(folder + "/new.json"), snapshot, limit), expected);
        QCOMPARE(writeInChild(path, snapshot, limit), expected);
        if (expected != FileStatus::Ok) {
            QVERIFY(tree(dir.path()) == before);
            return;
        }
        QJsonObject members{{"format", 1}, {"plugin", "obs-kestrune"}, {"obs", "32.0.4"}};
        members.insert("name", snapshot.name);
        members.insert("state", QString::fromLatin1(snapshot.state.toBase64()));
        members.insert("geometry", QString::fromLatin1(snapshot.geometry.toBase64()));
        members.insert("docks", QJsonArray::fromStringList(snapshot.docks));
        QCOMPARE(readBytes(path), QJsonDocument(members).toJson(QJsonDocument::Indented));
        Snapshot back = sentinel;
        QCOMPARE(kestrune::read(path, back), FileStatus::Ok);
        snapshot.name = nameReadBack;
        QVERIFY(back == snapshot);
    }

    // A corpus file's name says what reading it must give.
    void read_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<FileStatus>("expected");
        const QMap<QString, FileStatus> byPrefix{
            {"ok", FileStatus::Ok}, {"invalid", FileStatus::Invalid}, {"any", okOrInvalid}};
        const QDir corpus(KESTRUNE_HOSTILE_DIR);
        for (const QString& file : corpus.entryList(QDir::Files))
            QTest::newRow(qPrintable(file))
                << corpus.filePath(file) << byPrefix.value(file.section('-', 0, 0), FileStatus(-3));
        QTest::newRow("exactly 2097152 bytes") << sizes.filePath("at.json") << FileStatus::Ok;
        QTest::newRow("2097153 bytes") << sizes.filePath("over.json") << FileStatus::TooLarge;
        QTest::newRow("missing file") << sizes.filePath("gone.json") << FileStatus::OpenFailed;
        QTest::newRow("folder") << sizes.path() << FileStatus::OpenFailed;
    }

    void read() {
        QFETCH(QString, path);
        QFETCH(FileStatus, expected);
        Snapshot out = sentinel;
        const FileStatus status = kestrune::read(path, out);
        if (expected != okOrInvalid)
            QCOMPARE(status, expected);
        if (status != FileStatus::Ok)
            QVERIFY(out == sentinel);
    }

    // The reader's own Base64 decoding must give Qt's strict verdict and bytes.
    void base64MatchesQt() {
        QTemporaryDir dir;
        const QString path = dir.filePath("s.json");
        QRandomGenerator random(20240607);
        // The last three lie above Latin-1 with a low byte of "A", "+" and "=".
        const QString units = QStringLiteral("AQgw+/9z==== -\n_\u00e9\u20ac\u0141\u012b\u013d");
        QJsonObject object = QJsonDocument::fromJson(documentNamed("Base64")).object();
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

            object.insert("state", text);
            QVERIFY(writeBytes(path, QJsonDocument(object).toJson()));
            Snapshot out = sentinel;
            QVERIFY2(kestrune::read(path, out) == (valid ? FileStatus::Ok : FileStatus::Invalid),
                     qPrintable(text));
            QCOMPARE(out.state, valid ? qt.decoded : sentinel.state);
        }
    }
};

QTEST_GUILESS_MAIN(SnapshotFileTest)
#include "tst_snapshot_file.moc"
