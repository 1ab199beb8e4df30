// Every malformed shape of a snapshot file, and hostile file names around
// them: each is read, listed and name-checked, and nothing on disk changes.
#include "kestrune.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Expect { Listed, Skipped, NotListed, Either };

QJsonObject validObject(const QString& name) {
    return QJsonObject{{"format", 1},
                       {"plugin", "obs-kestrune"},
                       {"obs", "32.0.4"},
                       {"name", name},
                       {"state", QString::fromLatin1(QByteArray("state bytes").toBase64())},
                       {"geometry", QString::fromLatin1(QByteArray("geometry").toBase64())},
                       {"docks", QJsonArray{"mixerDock"}}};
}

QByteArray validText(const QString& name) {
    return QJsonDocument(validObject(name)).toJson(QJsonDocument::Compact);
}

// A valid object whose last member is replaced by raw JSON text.
QByteArray withRawMember(const QString& name, const QByteArray& key, const QByteArray& raw) {
    QByteArray text = validText(name);
    text.chop(1);
    return text + ",\"" + key + "\":" + raw + "}";
}

bool put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray padTo(QByteArray text, qint64 size) {
    text.chop(1);
    text += QByteArray(size - text.size() - 1, ' ');
    return text + "}";
}

Expect expectationFromName(const QString& file) {
    if (file.startsWith("ok-"))
        return Expect::Listed;
    if (file.startsWith("invalid-") || file.startsWith("toolarge-"))
        return Expect::Skipped;
    return Expect::Either;
}

kestrune::FileStatus statusFromName(const QString& file) {
    if (file.startsWith("ok-"))
        return kestrune::FileStatus::Ok;
    if (file.startsWith("toolarge-"))
        return kestrune::FileStatus::TooLarge;
    return kestrune::FileStatus::Invalid;
}

} // namespace

class HostileCorpus : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QString dir;
    QHash<QString, Expect> expected;   // every entry of dir
    QHash<QString, QByteArray> hashes; // content of every regular file, before

    QString path(const QString& file) const { return QDir(dir).filePath(file); }
    QByteArray badBytesPath() const { return QFile::encodeName(dir) + "/bad\xff\xfe.json"; }

    void addGenerated(const QString& file, const QByteArray& bytes) {
        QVERIFY2(put(path(file), bytes), qPrintable(file));
        expected.insert(file, expectationFromName(file));
    }

    QHash<QString, QByteArray> snapshotOfDisk() const {
        QHash<QString, QByteArray> result;
        QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            it.next();
            const QFileInfo info = it.fileInfo();
            QByteArray id = "entry";
            if (info.isFile() && !info.isSymLink()) {
                QFile file(info.filePath());
                if (file.open(QIODevice::ReadOnly))
                    id = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
            }
            result.insert(info.fileName(), id);
        }
        return result;
    }

private slots:
    void initTestCase() {
        QVERIFY(root.isValid());
        dir = root.filePath("snapshots");
        QVERIFY(QDir().mkpath(dir));
        const QDir corpus(QStringLiteral(KESTRUNE_HOSTILE_DIR));
        const QStringList files = corpus.entryList(QDir::Files);
        QVERIFY2(files.size() > 60, "the hostile corpus is missing");
        for (const QString& file : files) {
            QVERIFY(QFile::copy(corpus.filePath(file), path(file)));
            expected.insert(file, expectationFromName(file));
        }

        // Too big for the repository, so made here.
        addGenerated("toolarge-one-byte-over.json",
                     padTo(validText("Big"), kestrune::maxFileSize + 1));
        addGenerated("ok-exactly-at-limit.json",
                     padTo(validText("At Limit"), kestrune::maxFileSize));
        addGenerated(
            "invalid-deep-nesting.json",
            withRawMember("Deep", "deep", QByteArray(100000, '[') + QByteArray(100000, ']')));
        QByteArray docks = "[";
        for (int i = 0; i < 150000; ++i)
            docks += "\"d\",";
        addGenerated("ok-huge-docks.json", withRawMember("Huge", "docks", docks + "\"d\"]"));
        addGenerated("invalid-huge-docks-last-number.json",
                     withRawMember("Huge", "docks", docks + "7]"));
        addGenerated("ok-huge-unknown-array.json",
                     withRawMember("Numbers", "extra",
                                   "[" + QByteArray(900000, '0').replace("0", "0,") + "0]"));

        // Hostile file names around valid content.
        for (const char* name : {"CON.json", "com1.json", "LPT\xc2\xb9.json", "a\tb.json",
                                 "\x01"
                                 "ctl.json",
                                 " lead.json", "trail .json", "UPPER.JSON", ".hidden.json",
                                 "-dash.json", "new\nline.json"}) {
            const QString file = QString::fromUtf8(name);
            QVERIFY2(put(path(file), validText(file)), name);
            expected.insert(file, Expect::Listed);
        }
        for (const char* name : {"snapshot.json.Xy12Ab", "snapshot.json~", "notes.txt", "json"}) {
            QVERIFY(put(path(QString::fromUtf8(name)), validText("Not a snapshot file")));
            expected.insert(QString::fromUtf8(name), Expect::NotListed);
        }
        // A name that is not valid UTF-8 on disk.
        {
            const QByteArray raw = badBytesPath();
            const QByteArray text = validText("Bad Bytes");
            FILE* f = fopen(raw.constData(), "wb");
            QVERIFY(f);
            QCOMPARE(fwrite(text.constData(), 1, size_t(text.size()), f), size_t(text.size()));
            fclose(f);
        }
        QVERIFY(QDir(dir).mkdir("folder.json"));
        expected.insert("folder.json", Expect::NotListed);
        QCOMPARE(mkfifo(QFile::encodeName(path("fifo.json")).constData(), 0600), 0);
        expected.insert("fifo.json", Expect::NotListed);
        QVERIFY(QFile::link("/dev/zero", path("zero.json")));
        expected.insert("zero.json", Expect::NotListed);
        QVERIFY(QFile::link(path("missing-target"), path("dangling.json")));
        expected.insert("dangling.json", Expect::NotListed);
        QVERIFY(QFile::link("/etc/passwd", path("passwd.json")));
        expected.insert("passwd.json", Expect::Skipped);
        QVERIFY(QFile::link(path("ok-minimal.json"), path("link-to-valid.json")));
        expected.insert("link-to-valid.json", Expect::Listed);

        hashes = snapshotOfDisk();
    }

    void readGivesTheStatusTheFileNameStates() {
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            const QString& file = it.key();
            if (it.value() == Expect::NotListed)
                continue;
            kestrune::Snapshot record;
            record.name = "untouched";
            record.docks = {"keep"};
            const kestrune::Snapshot before = record;
            const kestrune::FileStatus status = kestrune::read(path(file), record);
            if (it.value() == Expect::Either) {
                QVERIFY2(status == kestrune::FileStatus::Ok ||
                             status == kestrune::FileStatus::Invalid,
                         qPrintable(file));
            } else if (expectationFromName(file) != Expect::Either) {
                QVERIFY2(status == statusFromName(file), qPrintable(file));
            }
            if (status != kestrune::FileStatus::Ok) {
                QVERIFY2(record == before,
                         qPrintable(file + ": a refused read changed the record"));
                continue;
            }
            QVERIFY2(!record.name.isEmpty() && record.name == record.name.trimmed(),
                     qPrintable(file));
            QVERIFY2(record.name.size() <= kestrune::maxNameLength, qPrintable(file));
            QVERIFY(!record.state.isEmpty() && !record.geometry.isEmpty());
        }
    }

    void readKeepsWhatHostileFilesHold() {
        kestrune::Snapshot record;
        QCOMPARE(kestrune::read(path("ok-huge-docks.json"), record), kestrune::FileStatus::Ok);
        QCOMPARE(record.docks.size(), 150001);
        QCOMPARE(kestrune::read(path("ok-docks-control-chars.json"), record),
                 kestrune::FileStatus::Ok);
        QCOMPARE(record.docks, (QList<QString>{QString("a") + QChar(0) + "b", "../x", "\t"}));
        QCOMPARE(kestrune::read(path("ok-name-spaces-around.json"), record),
                 kestrune::FileStatus::Ok);
        QCOMPARE(record.name, QString("Layout A"));
        QCOMPARE(kestrune::read(path("ok-name-decomposed.json"), record), kestrune::FileStatus::Ok);
        QCOMPARE(record.name, QString::fromUtf8("Caf\xc3\xa9"));
    }

    void listingShowsReadableFilesAndCountsTheRest() {
        QSet<QString> listed;
        int skipped = 0;
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            Expect expect = it.value();
            if (expect == Expect::Either) {
                kestrune::Snapshot record;
                expect = kestrune::read(path(it.key()), record) == kestrune::FileStatus::Ok
                             ? Expect::Listed
                             : Expect::Skipped;
            }
            if (expect == Expect::Listed)
                listed.insert(it.key());
            else if (expect == Expect::Skipped)
                ++skipped;
        }
        int skippedSeen = -1;
        int overLimit = -1;
        const QList<kestrune::SnapshotEntry> entries = kestrune::listSnapshots(
            dir, {"ok-minimal.json", "fifo.json", "../ok-minimal.json"}, skippedSeen, &overLimit);
        QSet<QString> files;
        int badBytes = 0;
        for (const kestrune::SnapshotEntry& entry : entries) {
            if (entry.file.startsWith("bad") && entry.name == "Bad Bytes")
                ++badBytes;
            else
                files.insert(entry.file);
        }
        QCOMPARE(entries.first().file, QString("ok-minimal.json"));
        QCOMPARE(files, listed);
        // The file whose name is not UTF-8 cannot be opened by its decoded
        // name; it is either listed or counted, never lost.
        QCOMPARE(skippedSeen + badBytes, skipped + 1);
        QCOMPARE(overLimit, 0);
    }

    void namesInTheFolderAreNeverFreeForANewSnapshot() {
        int skipped = 0;
        const QList<kestrune::SnapshotEntry> entries =
            kestrune::listSnapshots(dir, {}, skipped, nullptr);
        QVERIFY(entries.size() > 30);
        for (const kestrune::SnapshotEntry& entry : entries) {
            QVERIFY2(kestrune::checkName(dir, entry.name, QString()) != kestrune::NameStatus::Valid,
                     qPrintable(entry.file));
        }
        QCOMPARE(kestrune::checkName(dir, "Fresh Layout", QString()), kestrune::NameStatus::Valid);
        // Folders and files that are no snapshots still hold their names.
        QCOMPARE(kestrune::checkName(dir, "folder", QString()), kestrune::NameStatus::Duplicate);
        QCOMPARE(kestrune::checkName(dir, "fifo", QString()), kestrune::NameStatus::Duplicate);
        QCOMPARE(kestrune::checkName(dir, "Upper", QString()), kestrune::NameStatus::Duplicate);
    }

    void hostileStoredNamesCannotBecomeFileNames() {
        // What an import would try to save these files under, in an empty folder.
        QTemporaryDir empty;
        const char* const files[] = {"ok-name-slash.json",     "ok-name-backslash.json",
                                     "ok-name-forbidden.json", "ok-name-con.json",
                                     "ok-name-com1-old.json",  "ok-name-lpt-superscript.json",
                                     "ok-name-conout.json",    "ok-name-control-chars.json",
                                     "ok-name-nul.json",       "ok-name-trailing-dot.json",
                                     "ok-name-dotdot.json"};
        for (const char* file : files) {
            kestrune::Snapshot record;
            QCOMPARE(kestrune::read(path(file), record), kestrune::FileStatus::Ok);
            QVERIFY2(kestrune::checkName(empty.path(), record.name, QString()) ==
                         kestrune::NameStatus::Invalid,
                     file);
        }
        QVERIFY(QDir(empty.path()).isEmpty());
    }

    // Runs last: none of the above may have changed, added or removed anything.
    void nothingOnDiskChanged() {
        const QHash<QString, QByteArray> after = snapshotOfDisk();
        QCOMPARE(after.size(), hashes.size());
        for (auto it = hashes.cbegin(); it != hashes.cend(); ++it)
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));
    }

    // QTemporaryDir cannot remove a name it cannot decode.
    void cleanupTestCase() { ::unlink(badBytesPath().constData()); }
};

QTEST_GUILESS_MAIN(HostileCorpus)
#include "tst_hostile_corpus.moc"
