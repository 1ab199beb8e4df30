// Every malformed shape of a snapshot file, with hostile file names and
// special files around them, is listed and name-checked without harm.
#include "Snapshot.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Expect { Listed, Skipped, NotListed };

QByteArray validText(const QString& name, const QByteArray& extraMember = {}) {
    const QJsonObject object{
        {"format", 1},         {"plugin", "obs-kestrune"}, {"name", name},
        {"state", "c3RhdGU="}, {"geometry", "Z2VvbQ=="},   {"docks", QJsonArray{"mixerDock"}}};
    QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return extraMember.isEmpty() ? text : text.chopped(1) + ',' + extraMember + '}';
}

} // namespace

class HostileCorpus : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    const QString dir = root.filePath("snapshots");
    QMap<QString, Expect> expected; // every entry of dir
    QMap<QString, QByteArray> before;

    QString path(const QString& file) const { return dir + '/' + file; }
    QByteArray badBytesPath() const { return QFile::encodeName(dir) + "/bad\xff\xfe.json"; }

    void add(const QString& file, const QByteArray& bytes, Expect expect) {
        QFile out(path(file));
        QVERIFY2(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size(),
                 qPrintable(file));
        expected.insert(file, expect);
    }

    // Every entry with its content (links and special files by name only).
    QMap<QString, QByteArray> disk() const {
        QMap<QString, QByteArray> entries;
        QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            QFile file(it.next());
            const bool plain = it.fileInfo().isFile() && !it.fileInfo().isSymLink();
            entries.insert(it.fileName(),
                           plain && file.open(QIODevice::ReadOnly) ? file.readAll() : "entry");
        }
        return entries;
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir().mkpath(dir));
        const QDir corpus(QStringLiteral(KESTRUNE_HOSTILE_DIR));
        for (const QString& file : corpus.entryList(QDir::Files)) {
            QVERIFY(QFile::copy(corpus.filePath(file), path(file)));
            // any- files may go either way; what matters is that nothing breaks.
            kestrune::Snapshot record;
            const bool readable = file.startsWith("any-") ? kestrune::read(path(file), record) ==
                                                                kestrune::FileStatus::Ok
                                                          : file.startsWith("ok-");
            expected.insert(file, readable ? Expect::Listed : Expect::Skipped);
        }
        QVERIFY2(expected.size() > 80, "the hostile corpus is missing");

        // Too big for the repository, so made here.
        add("invalid-deep-nesting.json",
            validText("Deep", "\"deep\":" + QByteArray(100000, '[') + QByteArray(100000, ']')),
            Expect::Skipped);
        add("ok-huge-docks.json",
            validText("Huge", "\"docks\":[" + QByteArray("\"d\",").repeated(150000) + "\"d\"]"),
            Expect::Listed);

        // Hostile file names around valid content, and names no listing may show.
        for (const char* name :
             {"CON.json", "com1.json", "LPT\xc2\xb9.json", "a\tb.json", "\x01x.json", " lead.json",
              "trail .json", "UPPER.JSON", ".hidden.json", "-dash.json", "new\nline.json"})
            add(QString::fromUtf8(name), validText(QString::fromUtf8(name)), Expect::Listed);
        for (const char* name : {"snapshot.json.Xy12Ab", "snapshot.json~", "notes.txt", "json"})
            add(name, validText("Not a snapshot file"), Expect::NotListed);
        {
            // A file name that is not valid UTF-8 on disk.
            FILE* f = fopen(badBytesPath().constData(), "wb");
            QVERIFY(f && fputs(validText("Bad Bytes").constData(), f) >= 0 && fclose(f) == 0);
        }
        QVERIFY(QDir(dir).mkdir("folder.json"));
        QCOMPARE(mkfifo(QFile::encodeName(path("fifo.json")).constData(), 0600), 0);
        for (const char* file : {"folder.json", "fifo.json", "zero.json", "dangling.json"})
            expected.insert(file, Expect::NotListed);
        QVERIFY(QFile::link("/dev/zero", path("zero.json")));
        QVERIFY(QFile::link(path("missing-target"), path("dangling.json")));
        QVERIFY(QFile::link("/etc/passwd", path("passwd.json")));
        expected.insert("passwd.json", Expect::Skipped);
        QVERIFY(QFile::link(path("ok-minimal.json"), path("link-to-valid.json")));
        expected.insert("link-to-valid.json", Expect::Listed);
        before = disk();
    }

    void listingShowsReadableFilesAndCountsTheRest() {
        int skipped = -1;
        int overLimit = -1;
        const QList<kestrune::SnapshotEntry> entries = kestrune::listSnapshots(
            dir, {"ok-minimal.json", "fifo.json", "../ok-minimal.json"}, skipped, &overLimit);
        QStringList listed;
        int badBytes = 0;
        for (const kestrune::SnapshotEntry& entry : entries) {
            if (entry.name == "Bad Bytes")
                ++badBytes;
            else
                listed.append(entry.file);
        }
        QCOMPARE(entries.first().file, QString("ok-minimal.json"));
        listed.sort();
        QCOMPARE(listed, expected.keys(Expect::Listed));
        // The file whose name is not UTF-8 may not open by its decoded name:
        // it is either listed or counted, never lost.
        QCOMPARE(skipped + badBytes, expected.keys(Expect::Skipped).size() + 1);
        QCOMPARE(overLimit, 0);
    }

    void namesInTheFolderAreNeverFreeForANewSnapshot() {
        int skipped = 0;
        const QList<kestrune::SnapshotEntry> entries =
            kestrune::listSnapshots(dir, {}, skipped, nullptr);
        QVERIFY(entries.size() > 40);
        for (const kestrune::SnapshotEntry& entry : entries)
            QVERIFY2(kestrune::checkName(dir, entry.name, QString()) != kestrune::NameStatus::Valid,
                     qPrintable(entry.file));
        QCOMPARE(kestrune::checkName(dir, "Fresh Layout", QString()), kestrune::NameStatus::Valid);
        // Folders and files that are no snapshots still hold their names.
        for (const char* name : {"folder", "fifo", "Upper", "zero", "dangling"})
            QCOMPARE(kestrune::checkName(dir, name, QString()), kestrune::NameStatus::Duplicate);
    }

    // Runs last: nothing above may have changed, added or removed anything.
    void nothingOnDiskChanged() { QVERIFY(disk() == before); }

    // QTemporaryDir cannot remove a name it cannot decode.
    void cleanupTestCase() { ::unlink(badBytesPath().constData()); }
};

QTEST_GUILESS_MAIN(HostileCorpus)
#include "tst_hostile_corpus.moc"
