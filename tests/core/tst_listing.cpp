#include "test_files.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>

using namespace testfiles;

namespace {

// The listed file names, then the two counts ("-1" when not passed).
QStringList listed(const QString& dir, const QStringList& order, bool countOverLimit = true) {
    int skipped = -1;
    int overLimit = -1;
    QStringList files;
    for (const kestrune::SnapshotEntry& entry :
         kestrune::listSnapshots(dir, order, skipped, countOverLimit ? &overLimit : nullptr))
        files.append(entry.file);
    return files << QString("skipped %1, over %2").arg(skipped).arg(overLimit);
}

} // namespace

class ListingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void emptyOrMissingDirectory() {
        QTemporaryDir dir;
        for (const QString& path : {dir.path(), dir.filePath("missing"), QString()})
            QCOMPARE(listed(path, {"a.json"}), QStringList{"skipped 0, over 0"});
    }

    void orderAndFields() {
        QTemporaryDir dir;
        const QList<QPair<QString, QString>> files = {
            {"a.json", "Zulu"},     {"b.json", "alpha"},   {"m.json", "Mike"},
            {"N.json", "Mike"},     {"X.json", "xray"},    {"Y.json", "yankee"},
            {"Up.JSON", "Capital"}, {".h.json", "hidden"}, {"c.json", "  Cafe\u0301 "},
        };
        for (const auto& [file, name] : files)
            QVERIFY(writeBytes(dir.filePath(file), documentNamed(name)));
        QVERIFY(writeBytes(dir.filePath("corrupt.json"), "{\"format\":1"));
        QVERIFY(writeBytes(dir.filePath("other.txt"), documentNamed("Other")));
        QVERIFY(QDir(dir.path()).mkdir("folder.json"));
        const QDateTime time = QDateTime::fromSecsSinceEpoch(1600000000);
        QFile touched(dir.filePath("c.json"));
        QVERIFY(touched.open(QIODevice::ReadWrite) &&
                touched.setFileTime(time, QFileDevice::FileModificationTime));
        touched.close();

        // The user's order first, then by stored name in the locale's
        // collation, equal names in ordinal file-name order.
        const QStringList order = {"Y.json", "gone.json",    "X.json",
                                   "Y.json", "corrupt.json", "up.json"};
        QCOMPARE(listed(dir.path(), order),
                 QStringList({"Y.json", "X.json", "b.json", "c.json", "Up.JSON", ".h.json",
                              "N.json", "m.json", "a.json", "skipped 1, over 0"}));
        int skipped = 0;
        const kestrune::SnapshotEntry entry =
            kestrune::listSnapshots(dir.path(), order, skipped, nullptr).at(3);
        QCOMPARE(entry.name, QStringLiteral("Caf\u00e9"));
        QCOMPARE(entry.modified, time);
    }

    void limit() {
        QTemporaryDir dir;
        for (int i = 0; i <= kestrune::snapshotLimit; ++i) {
            const QString number = QString::number(i).rightJustified(4, '0');
            QVERIFY(writeBytes(dir.filePath("f" + number + ".json"), documentNamed(number)));
        }
        QVERIFY(writeBytes(dir.filePath("bad.json"), "[]"));

        // The ordered one stays; the last in display order is cut and stays on disk.
        QStringList files = listed(dir.path(), {"f1000.json"});
        QCOMPARE(files.size(), kestrune::snapshotLimit + 1);
        QCOMPARE(files.first(), QStringLiteral("f1000.json"));
        QCOMPARE(files.mid(999), QStringList({"f0998.json", "skipped 1, over 1"}));
        QVERIFY(QFile::exists(dir.filePath("f0999.json")));

        files = listed(dir.path(), {}, false);
        QCOMPARE(files.mid(999), QStringList({"f0999.json", "skipped 1, over -1"}));
    }
};

QTEST_GUILESS_MAIN(ListingTest)
#include "tst_listing.moc"
