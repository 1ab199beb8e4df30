#include "test_files.h"

#include <QDir>
#include <QTemporaryDir>

using kestrune::NameStatus;
using namespace testfiles;

class NamesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const QString& file) const { return QDir(dir.path()).absoluteFilePath(file); }

private slots:
    void initTestCase() {
        QVERIFY(QDir(dir.path()).mkpath("Folder.json") && QDir(dir.path()).mkpath("Inside"));
        // x1.json holds a name unlike its file name; Broken.json has format 2,
        // so only its file name counts.
        const QStringList filesAndNames =
            QString("x1.json|Caf\u00e9 Live|Other.JSON|Something|Self.json|Self|Broken.json|Hidden|"
                    "Plain.txt|Plain|.dot.json|Dotted|Inside/Nested.json|Nested|Backup.json.bak|"
                    "Backup")
                .split('|');
        for (qsizetype i = 0; i < filesAndNames.size(); i += 2)
            QVERIFY(writeBytes(path(filesAndNames[i]),
                               documentNamed(filesAndNames[i + 1], i == 6 ? 2 : 1)));
    }

    void rules_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<NameStatus>("expected");
        const QString pair = QStringLiteral("\U0001F600");
        QStringList invalid = {
            QString(81, 'x'), pair.repeated(40) + 'x', "", " a", "a ", "a\t", "\u00a0a", "a\u3000",
            "a.", "a\tb", "a\nb", "a\u0001b", "a\u001fb", QString("a") + QChar(0) + "b",
            // Lone surrogates would turn into one replacement character on disk.
            QString("a") + QChar(0xD800) + "b", QString("a") + QChar(0xDC00),
            QString(QChar(0xDE00)) + QChar(0xD83D),
            // Device names, also before the first full stop and in any case.
            "con", "Con", "CON", "aux", "nul", "prn", "conin$", "CONOUT$", "con.backup", "CON .x",
            "COM1", "COM9", "LPT1", "LPT9", "com3", "lpt5", "COM1.old", "Aux.tar.gz", "COM\u00b9",
            "COM\u00b2", "LPT\u00b3"};
        for (const QChar c : QStringLiteral("<>:\"/\\|?*"))
            invalid << QString("a%1b").arg(c);
        const QStringList valid = {QString(80, 'x'), pair.repeated(40), "my layout", ".a",
                                   "a\u007fb", "\u5e03\u5c40 \u00e9 & # % $ ! @",
                                   // Look-alikes of device names.
                                   "CONSOLE", "CONX", "COM0", "LPT0", "COM10", "COMA", "x.con",
                                   "NUL_", "COM4x.y", "COM\u2074", ".CON"};
        for (const auto& [names, status] :
             {std::pair(invalid, NameStatus::Invalid), std::pair(valid, NameStatus::Valid)})
            for (const QString& name : names)
                QTest::addRow("%d [%s]", int(status), name.toUtf8().toPercentEncoding(" .$").data())
                    << name << status;
    }

    void rules() {
        QFETCH(QString, name);
        QFETCH(NameStatus, expected);
        QCOMPARE(kestrune::checkName(path("missing"), name, QString()), expected);
        // Well-formed names stay valid beside unrelated snapshots, or with a file as folder.
        if (expected == NameStatus::Valid) {
            QCOMPARE(kestrune::checkName(dir.path(), name, QString()), expected);
            QCOMPARE(kestrune::checkName(path("Self.json"), name, QString()), expected);
        }
    }

    void duplicates_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("current");
        QTest::addColumn<NameStatus>("expected");
        const auto row = [](const char* tag, const char* name, const char* current,
                            NameStatus expected) {
            QTest::newRow(tag) << QString(name) << QString(current) << expected;
        };
        const NameStatus duplicate = NameStatus::Duplicate;
        row("file name in other case", "other", "", duplicate);
        row("stored name, composed vs decomposed", "CAFE\u0301 live", "", duplicate);
        row("stored name, case folded", "caf\u00c9 LIVE", "", duplicate);
        row("folder with the extension", "folder", "", duplicate);
        row("hidden file", ".DOT", "", duplicate);
        row("hidden file by stored name", "dotted", "", duplicate);
        row("corrupt file by file name", "broken", "", duplicate);
        row("corrupt file's stored name", "Hidden", "", NameStatus::Valid);
        row("other extension never consulted", "Plain", "", NameStatus::Valid);
        row("backup extension never consulted", "Backup", "", NameStatus::Valid);
        row("nested folders not searched", "Nested", "", NameStatus::Valid);
        row("taken by its own file", "SELF", "", duplicate);
        row("own file left out", "SELF", "Self.json", NameStatus::Valid);
        row("own file, current in other case", "SELF", "SELF.json", duplicate);
        row("own file, other snapshot still counts", "other", "Self.json", duplicate);
        row("invalid before duplicate", "other.", "", NameStatus::Invalid);
    }

    void duplicates() {
        QFETCH(QString, name);
        QFETCH(QString, current);
        QFETCH(NameStatus, expected);
        QCOMPARE(kestrune::checkName(dir.path(), name, current.isEmpty() ? current : path(current)),
                 expected);
    }
};

QTEST_GUILESS_MAIN(NamesTest)
#include "tst_names.moc"
