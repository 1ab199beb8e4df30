#include "test_files.h"

#include <QTemporaryDir>
#include <QTest>

using kestrune::NameStatus;
using namespace testfiles;

class NamesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const QString& file) const { return QDir(dir.path()).absoluteFilePath(file); }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        // A snapshot stored under a file name unlike its name.
        QVERIFY(writeBytes(path("x1.json"), documentNamed(QStringLiteral("Caf\u00e9 Live"))));
        QVERIFY(writeBytes(path("Other.JSON"), documentNamed(QStringLiteral("Something"))));
        QVERIFY(writeBytes(path("Self.json"), documentNamed(QStringLiteral("Self"))));
        QVERIFY(QDir(dir.path()).mkdir("Folder.json"));
        QVERIFY(QDir(dir.path()).mkdir("Inside"));
        QVERIFY(writeBytes(path("Inside/Nested.json"), documentNamed(QStringLiteral("Nested"))));
        // Unreadable as a snapshot: only its file name counts.
        QVERIFY(writeBytes(path("Broken.json"),
                           rawDocument({{"format", "2"}, {"name", "\"Hidden\""}})));
        QVERIFY(writeBytes(path("Plain.txt"), documentNamed(QStringLiteral("Plain"))));
        QVERIFY(writeBytes(path("Backup.json.bak"), documentNamed(QStringLiteral("Backup"))));
        QVERIFY(writeBytes(path(".dot.json"), documentNamed(QStringLiteral("Dotted"))));
    }

    void rules_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<NameStatus>("expected");
        const auto row = [](const char* tag, const QString& name, NameStatus expected) {
            QTest::newRow(tag) << name << expected;
        };
        const NameStatus valid = NameStatus::Valid;
        const NameStatus invalid = NameStatus::Invalid;

        row("80 units", QString(80, 'x'), valid);
        row("81 units", QString(81, 'x'), invalid);
        row("80 units of surrogate pairs", QStringLiteral("\U0001F600").repeated(40), valid);
        row("81 units with surrogate pairs", QStringLiteral("\U0001F600").repeated(40) + 'x',
            invalid);
        row("empty", QString(), invalid);
        row("leading space", " a", invalid);
        row("trailing space", "a ", invalid);
        row("trailing tab", "a\t", invalid);
        row("leading no-break space", QStringLiteral("\u00a0a"), invalid);
        row("trailing ideographic space", QStringLiteral("a\u3000"), invalid);
        row("space inside", "my layout", valid);
        row("trailing full stop", "a.", invalid);
        row("leading full stop", ".a", valid);
        for (const char* c : {"<", ">", ":", "\"", "/", "\\", "|", "?", "*"})
            QTest::addRow("forbidden %s", c) << QString("a%1b").arg(c) << invalid;
        row("tab inside", "a\tb", invalid);
        row("line break inside", "a\nb", invalid);
        row("unit 0x01", QStringLiteral("a\u0001b"), invalid);
        row("unit 0x1f", QStringLiteral("a\u001fb"), invalid);
        row("delete character", QStringLiteral("a\u007fb"), valid);
        row("other scripts and symbols", QStringLiteral("\u5e03\u5c40 \u00e9 & # % $ ! @"), valid);
        row("lone high surrogate", QString("a") + QChar(0xD800) + "b", invalid);
        row("lone low surrogate", QString("a") + QChar(0xDC00), invalid);
        row("swapped surrogates", QString(QChar(0xDE00)) + QChar(0xD83D), invalid);
        for (const char* device :
             {"con", "Con", "CON", "aux", "nul", "prn", "conin$", "CONOUT$", "con.backup", "CON .x",
              "COM1", "COM9", "LPT1", "LPT9", "com3", "lpt5", "COM1.old", "Aux.tar.gz"})
            QTest::addRow("device %s", device) << QString(device) << invalid;
        row("COM superscript one", QStringLiteral("COM\u00b9"), invalid);
        row("COM superscript two", QStringLiteral("COM\u00b2"), invalid);
        row("LPT superscript three", QStringLiteral("LPT\u00b3"), invalid);
        for (const char* allowed : {"CONSOLE", "CONX", "COM0", "LPT0", "COM10", "COMA", "x.con",
                                    "NUL_", "COM4x.y", "COM\u2074"})
            QTest::addRow("allowed %s", allowed) << QString(allowed) << valid;
        row("dot before base", ".CON", valid);
    }

    void rules() {
        QFETCH(QString, name);
        QFETCH(NameStatus, expected);
        QTemporaryDir empty;
        QCOMPARE(kestrune::checkName(empty.path(), name, QString()), expected);
        // The well-formed ones stay valid against a folder of unrelated snapshots.
        if (expected == NameStatus::Valid)
            QCOMPARE(kestrune::checkName(dir.path(), name, QString()), expected);
    }

    void duplicates_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("current");
        QTest::addColumn<NameStatus>("expected");
        const auto row = [](const char* tag, const QString& name, const QString& current,
                            NameStatus expected) {
            QTest::newRow(tag) << name << current << expected;
        };

        row("file name in other case", "other", "", NameStatus::Duplicate);
        row("stored name, composed vs decomposed", QStringLiteral("CAFE\u0301 live"), "",
            NameStatus::Duplicate);
        row("stored name, case folded", QStringLiteral("caf\u00c9 LIVE"), "",
            NameStatus::Duplicate);
        row("folder with the extension", "folder", "", NameStatus::Duplicate);
        row("hidden file", ".DOT", "", NameStatus::Duplicate);
        row("hidden file by stored name", "dotted", "", NameStatus::Duplicate);
        row("corrupt file by file name", "broken", "", NameStatus::Duplicate);
        row("corrupt file's stored name", "Hidden", "", NameStatus::Valid);
        row("other extension never consulted", "Plain", "", NameStatus::Valid);
        row("backup extension never consulted", "Backup", "", NameStatus::Valid);
        row("nested folders not searched", "Nested", "", NameStatus::Valid);
        row("taken by its own file", "SELF", "", NameStatus::Duplicate);
        row("own file left out", "SELF", "<self>", NameStatus::Valid);
        row("own file, current in other case", "SELF", "<self-upper>", NameStatus::Duplicate);
        row("own file, other snapshot still counts", "other", "<self>", NameStatus::Duplicate);
        row("invalid before duplicate", "other.", "", NameStatus::Invalid);
    }

    void duplicates() {
        QFETCH(QString, name);
        QFETCH(QString, current);
        QFETCH(NameStatus, expected);
        if (current == "<self>")
            current = path("Self.json");
        else if (current == "<self-upper>")
            current = path("SELF.json");
        QCOMPARE(kestrune::checkName(dir.path(), name, current), expected);
    }

    void missingDirectory() {
        QCOMPARE(kestrune::checkName(path("missing"), "other", QString()), NameStatus::Valid);
        QCOMPARE(kestrune::checkName(path("Self.json"), "other", QString()), NameStatus::Valid);
    }
};

QTEST_GUILESS_MAIN(NamesTest)
#include "tst_names.moc"
