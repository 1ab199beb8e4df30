#include "test_files.h"

#include "canonical_document.h"

#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
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
        QCOMPARE(mkfifo(QFile::encodeName(sizes.filePath("fifo.json")).constData(), 0600), 0);
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
        // Opening a FIFO for reading would wait for a writer forever.
        QTest::newRow("fifo") << sizes.filePath("fifo.json") << FileStatus::OpenFailed;
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

    // Files in the writer's shape skip QJsonDocument; every answer, kept
    // bytes included, must be the one Qt's parser leads to. The files are the
    // corpus, writer output with awkward names and docks, and those files
    // with one byte changed, inserted or removed.
    void quickReadMatchesQt() {
        QList<QByteArray> files;
        const QDir corpus(KESTRUNE_HOSTILE_DIR);
        for (const QString& file : corpus.entryList(QDir::Files))
            files.append(readBytes(corpus.filePath(file)));
        const QStringList texts = {"Live",
                                   "  padded  ",
                                   "e\u0301 decomposed",
                                   "\u00e9t\u00e9 \u20ac",
                                   emoji + "x",
                                   "\ufffe\ufdd0 noncharacters",
                                   "\uffff\U0010FFFF",
                                   "tab\tand\u007f",
                                   QString(81, 'n')};
        for (const QString& text : texts) {
            files.append(testfiles::documentNamed(text));
            Snapshot snapshot = good;
            snapshot.docks = {text, QString(), "dock"};
            QTemporaryDir dir;
            QCOMPARE(kestrune::write(dir.filePath("w.json"), snapshot), FileStatus::Ok);
            files.append(readBytes(dir.filePath("w.json")));
            // The writer's own files must take the quick path, or it is lost;
            // only the escaped tab is left to Qt.
            kestrune::detail::CanonicalDocument document;
            QCOMPARE(kestrune::detail::scanCanonical(files.constLast(), document),
                     !text.contains('\t'));
        }

        // Names as raw UTF-8, valid and not, and members given twice.
        const QByteArray plain =
            R"({"format": 1, "plugin": "obs-kestrune", "name": "N",)"
            R"( "state": "c3RhdGU=", "geometry": "Z2VvbWV0cnk=", "docks": []})";
        for (const char* name :
             {"\xed\xa0\x80 surrogate", "\xed\x9f\xbf below", "\xc0\xaf overlong", "\xe0\x80\xaf",
              "\xf0\x8f\xbf\xbf", "\xf4\x90\x80\x80 too high", "\xf4\x8f\xbf\xbf top",
              "\xef\xbf\xbe", "cut \xe2\x82", "\xe2\x82", "lone \x80", "\xc3\xa9 ok"})
            files.append(QByteArray(plain).replace("\"N\"", '"' + QByteArray(name) + '"'));
        for (const char* twice :
             {R"("name": "M")", R"("format": 2, "format": 1)",
              R"("plugin": "x", "plugin": "obs-kestrune")",
              R"("plugin": "obs-kestrune", "plugin": "x")", R"("docks": ["a"], "docks": ["b"])",
              R"("docks": [], "docks": 1)", R"("state": "AA==", "state": "")"})
            files.append(QByteArray(plain).replace(R"("name": "N")",
                                                   QByteArray(R"("name": "N", )") + twice));

        // Bytes that matter to JSON, to UTF-8 and to Base64.
        static const char awkwardBytes[] =
            "\"\\/{}[],: \t\n\x00\x1f\x7f\x80\xbf\xc0\xc1\xc2\xdf\xe0\xed"
            "\xef\xf0\xf4\xf5\xff=+1aA.e-";
        const QByteArray awkward(awkwardBytes, sizeof awkwardBytes - 1);
        QRandomGenerator random(20261206);
        const qsizetype seeds = files.size();
        for (int round = 0; round < 4000; ++round) {
            QByteArray bytes = files.at(random.bounded(int(seeds)));
            const qsizetype at = random.bounded(int(bytes.size()) + 1);
            const char byte = awkward.at(random.bounded(int(awkward.size())));
            switch (round % 3) {
            case 0:
                if (at < bytes.size())
                    bytes[at] = byte;
                break;
            case 1:
                bytes.insert(at, byte);
                break;
            default:
                bytes.remove(at, 1);
            }
            files.append(bytes);
        }

        int quickAccepted = 0;
        for (const QByteArray& bytes : std::as_const(files)) {
            for (const bool nameOnly : {false, true}) {
                Snapshot quick = sentinel;
                Snapshot qt = sentinel;
                const FileStatus quickStatus = kestrune::detail::parse(bytes, quick, nameOnly);
                QCOMPARE(quickStatus, kestrune::detail::parse(bytes, qt, nameOnly, true));
                QVERIFY2(quick == qt, bytes.constData());
                quickAccepted += quickStatus == FileStatus::Ok;
            }
        }
        // Enough of the changed files must still be valid for the test to mean anything.
        QVERIFY(quickAccepted > files.size() / 5);
    }
};

QTEST_GUILESS_MAIN(SnapshotFileTest)
#include "tst_snapshot_file.moc"
