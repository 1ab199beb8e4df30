#include "test_files.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using kestrune::SnapshotEntry;
using namespace testfiles;

namespace {

QStringList filesOf(const QList<SnapshotEntry>& entries) {
    QStringList files;
    for (const SnapshotEntry& entry : entries)
        files.append(entry.file);
    return files;
}

} // namespace

class ListingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void emptyOrMissingDirectory() {
        QTemporaryDir dir;
        for (const QString& path : {dir.path(), dir.filePath("missing"), QString()}) {
            int skipped = -1;
            int overLimit = -1;
            QVERIFY(kestrune::listSnapshots(path, {"a.json"}, skipped, &overLimit).isEmpty());
            QCOMPARE(skipped, 0);
            QCOMPARE(overLimit, 0);
        }
    }

    void order() {
        QTemporaryDir dir;
        const QList<QPair<QString, QString>> files = {
            {"a.json", "Zulu"}, {"b.json", "alpha"},  {"m.json", "Mike"},     {"N.json", "Mike"},
            {"X.json", "xray"}, {"Y.json", "yankee"}, {"Up.JSON", "Capital"}, {".h.json", "hidden"},
        };
        for (const auto& [file, name] : files)
            QVERIFY(writeBytes(dir.filePath(file), documentNamed(name)));
        QVERIFY(writeBytes(dir.filePath("corrupt.json"), "{\"format\":1"));
        QVERIFY(writeBytes(dir.filePath("other.txt"), documentNamed("Other")));
        QVERIFY(QDir(dir.path()).mkdir("folder.json"));

        int skipped = -1;
        int overLimit = -1;
        const QList<SnapshotEntry> entries = kestrune::listSnapshots(
            dir.path(), {"Y.json", "gone.json", "X.json", "Y.json", "corrupt.json", "up.json"},
            skipped, &overLimit);

        // The user's order first, then by stored name in the locale's
        // collation, equal names in ordinal file-name order.
        QCOMPARE(filesOf(entries), QStringList({"Y.json", "X.json", "b.json", "Up.JSON", ".h.json",
                                                "N.json", "m.json", "a.json"}));
        QCOMPARE(entries.at(2).name, QStringLiteral("alpha"));
        QCOMPARE(skipped, 1);
        QCOMPARE(overLimit, 0);
    }

    void entryFields() {
        QTemporaryDir dir;
        const QString path = dir.filePath("s.json");
        QVERIFY(writeBytes(path, documentNamed(QStringLiteral("  Cafe\u0301 "))));
        const QDateTime time = QDateTime::fromSecsSinceEpoch(1600000000);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
        }
        int skipped = -1;
        const QList<SnapshotEntry> entries =
            kestrune::listSnapshots(dir.path(), {}, skipped, nullptr);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.at(0).file, QStringLiteral("s.json"));
        QCOMPARE(entries.at(0).name, QStringLiteral("Caf\u00e9"));
        QCOMPARE(entries.at(0).modified, time);
        QCOMPARE(skipped, 0);
    }

    void limit() {
        QTemporaryDir dir;
        for (int i = 0; i <= kestrune::snapshotLimit; ++i) {
            const QString number = QString::number(i).rightJustified(4, '0');
            QVERIFY(
                writeBytes(dir.filePath("f" + number + ".json"), documentNamed("Snap " + number)));
        }
        QVERIFY(writeBytes(dir.filePath("bad.json"), "[]"));

        int skipped = -1;
        int overLimit = -1;
        QList<SnapshotEntry> entries =
            kestrune::listSnapshots(dir.path(), {"f1000.json"}, skipped, &overLimit);
        QCOMPARE(entries.size(), kestrune::snapshotLimit);
        QCOMPARE(overLimit, 1);
        QCOMPARE(skipped, 1);
        // The ordered one stays; the last in display order is cut.
        QCOMPARE(entries.first().file, QStringLiteral("f1000.json"));
        QCOMPARE(entries.last().file, QStringLiteral("f0998.json"));
        QVERIFY(QFile::exists(dir.filePath("f0999.json")));

        entries = kestrune::listSnapshots(dir.path(), {}, skipped, nullptr);
        QCOMPARE(entries.size(), kestrune::snapshotLimit);
        QCOMPARE(entries.last().file, QStringLiteral("f0999.json"));
        QCOMPARE(skipped, 1);
    }
};

QTEST_GUILESS_MAIN(ListingTest)
#include "tst_listing.moc"
