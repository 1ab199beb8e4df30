// SPDX-License-Identifier: GPL-2.0-or-later
// The snapshot core: what writing leaves on disk, what reading accepts, names
// and listing in a hostile folder, and the main window left exactly as it was
// by any snapshot it refuses.
#include "StateFormat.h"
#include "TestSupport.h"

#include <QDockWidget>
#include <QLocale>
#include <QMainWindow>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace kestrune;

const Snapshot sentinel{"untouched", "s", "g", {"keep"}};
const QString hostile = QStringLiteral(KESTRUNE_TEST_DATA "/hostile/");

class SnapshotCoreTest : public QObject {
    Q_OBJECT

    // The hostile corpus among odd entries, each named after what reading it gives.
    QTemporaryDir dir;

private slots:
    void initTestCase() {
        for (const QString& file : QDir(hostile).entryList(QDir::Files))
            QVERIFY(QFile::copy(hostile + file, dir.filePath(file)));
        const QByteArray full = fileBytes(hostile + "ok-minimal.json").leftJustified(maxFileSize);
        QVERIFY(writeBytes(dir.filePath("ok-full"), full) &&
                writeBytes(dir.filePath("toolarge-"), full + ' ') &&
                writeBytes(dir.filePath("ok-saving.json.Ab12Cd"), documentNamed("Saving")));
        QVERIFY(QDir(dir.path()).mkdir("failed-folder.json") &&
                mkfifo(QFile::encodeName(dir.filePath("failed-fifo.json")), 0600) == 0);
    }

    void writing() {
        const QString path = dir.filePath("ok-minimal.json"); // an older snapshot
        const QMap<QString, QByteArray> before = folderContents(dir.path());
        QCOMPARE(write(path, {' ' + QString(80, 'x'), "s", "g", {}}), FileStatus::Invalid);
        // A disk that takes only part of the text.
        rlimit size;
        QVERIFY(getrlimit(RLIMIT_FSIZE, &size) == 0 && signal(SIGXFSZ, SIG_IGN) != SIG_ERR);
        const rlimit limited{1000, size.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limited);
        const FileStatus status = write(path, {"N", QByteArray(5000, 's'), "g", {}});
        setrlimit(RLIMIT_FSIZE, &size);
        QVERIFY(status == FileStatus::WriteError && folderContents(dir.path()) == before);
        Snapshot back = sentinel;
        QCOMPARE(write(path, {" Cafe\u0301", {"\0", 1}, "g", {"", "a"}}), FileStatus::Ok);
        QCOMPARE(read(path, back), FileStatus::Ok);
        QVERIFY((back == Snapshot{"Caf\u00e9", {"\0", 1}, "g", {"", "a"}})); // trimmed, composed
    }

    void reading_data() {
        QTest::addColumn<QString>("file");
        for (const QString& file :
             QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
            QTest::newRow(qPrintable(file)) << file;
    }

    void reading() {
        QFETCH(QString, file);
        const QString path = dir.filePath(file);
        Snapshot out = sentinel;
        const FileStatus status = read(path, out);
        const int expected =
            QStringList{"ok", "failed", "invalid", "toolarge"}.indexOf(file.section('-', 0, 0));
        QVERIFY(status == FileStatus(expected) || file.startsWith("any-"));
        QCOMPARE(out == sentinel, status != FileStatus::Ok);
        // The plain reader takes the limit it is given.
        QByteArray bytes;
        QVERIFY(status != FileStatus::Ok ||
                readFile(path, fileBytes(path).size() - 1, bytes) == FileStatus::TooLarge);
    }

    // The corpus, writer output, raw UTF-8 names and repeated members, then
    // all of them with one byte changed, inserted or removed.
    void quickReadMatchesQt() {
        QList<QByteArray> files;
        for (const QString& file : QDir(hostile).entryList(QDir::Files))
            files << fileBytes(hostile + file);
        const QString text = "e\u0301\t\u20ac\U0001F600\ufffe\uffff";
        QVERIFY(write(dir.filePath("w"), {text, "s", "g", {text, ""}}) == FileStatus::Ok);
        files << fileBytes(dir.filePath("w")) << fileBytes(dir.filePath("w")).replace("\\t", " ");
        const QByteArray plain = R"({"format": 1, "plugin": "obs-kestrune", "name": "N", )"
                                 R"("state": "c3RhdGU=", "geometry": "Z2VvbQ==", "docks": []})";
        for (const char* name : {"\"\xed\xa0\x80\"", "\"\xe0\x80\xaf\"", "\"\xf0\x8f\xbf\xbf\"",
                                 "\"\xf4\x90\x80\x80\"", R"("N", "docks": ["a"])"})
            files << QByteArray(plain).replace("\"N\"", name);
        files << QByteArray(plain).replace("[]", R"([], "docks": ["a"])");
        static const char awkward[] = "\"\\/{}[],: \t\n\x00\x1f\x7f\x80\xbf\xc0\xc1\xc2\xdf\xe0\xed"
                                      "\xef\xf0\xf4\xf5\xff=+1aA.e-";
        QRandomGenerator random(20261206);
        for (qsizetype round = 0, seeds = files.size(); round < 4000; ++round) {
            QByteArray bytes = files.at(random.bounded(int(seeds)));
            const int at = random.bounded(int(bytes.size()) + 1);
            const char byte = awkward[random.bounded(int(sizeof awkward - 1))];
            files << bytes.replace(at, round % 3 ? 1 : 0, &byte, round % 3 == 2 ? 0 : 1);
        }
        int accepted = 0;
        for (const QByteArray& bytes : std::as_const(files))
            for (const bool nameOnly : {false, true}) {
                Snapshot quick = sentinel, qt = sentinel;
                const FileStatus status = detail::parse(bytes, quick, nameOnly);
                QVERIFY2(status == detail::parse(bytes, qt, nameOnly, true) && quick == qt, bytes);
                accepted += status == FileStatus::Ok;
            }
        // Enough of the files must be valid for the comparison to mean anything.
        QVERIFY(accepted > files.size() / 5);
    }

    void naming_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<NameStatus>("expected");
        // Each name follows its status: 0 valid, 1 invalid, 2 taken in the folder;
        // after "@", the file of the snapshot being renamed, left out by its exact path.
        const QString pair = QStringLiteral("\U0001F600");
        QStringList rows =
            QString(
                "1|1con|1Aux|1NUL|1conin$|1con.backup|1CON .x|1COM1|1lpt9|1COM\u00b9|1LPT\u00b3|"
                "1 a|1a.|1a\tb|1a<b|1a>b|1a:b|1a\"b|1a/b|1a\\b|1a?b|1a*b|0CONSOLE|0COM0|0COM10|"
                "0x.con|0COM\u2074|0.CON|0Saving|2OK-MINIMAL|2streaming|2CAFE\u0301|"
                "2FAILED-FOLDER|2FAILED-FIFO|2invalid-format-2|0COMPACT@ok-compact-reordered.json|"
                "2COMPACT@OK-compact-reordered.json")
                .split('|');
        rows << "1a|b" << '1' + QString(81, 'x') << '1' + pair.repeated(40) + 'x'
             << '0' + QString(80, 'y') << '0' + pair.repeated(40) << QString("1a") + QChar(0)
             << QString("1a") + QChar(0xD800) + 'b' << QString("1") + QChar(0xDE00) + QChar(0xD83D);
        for (const QString& row : rows)
            QTest::newRow(qPrintable(row)) << row.mid(1) << NameStatus(row.at(0).digitValue());
    }

    void naming() {
        QFETCH(QString, name);
        QFETCH(NameStatus, expected);
        const QString current = name.contains('@') ? dir.filePath(name.section('@', 1)) : "";
        QCOMPARE(checkName(dir.path(), name.section('@', 0, 0), current), expected);
    }

    // The user's order first, then stored names in the locale's collation.
    // Every listed name is taken; a save's temporary files, FIFOs and folders
    // are never listed; nothing on disk changes.
    void listing() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const QMap<QString, QByteArray> before = folderContents(dir.path());
        int skipped = -1, overLimit = -1;
        QStringList rows; // file names in display order
        for (const SnapshotEntry& entry :
             listSnapshots(dir.path(), {"ok-minimal.json", "gone.json"}, skipped, nullptr)) {
            rows << entry.file;
            QVERIFY(checkName(dir.path(), entry.name, {}) != NameStatus::Valid);
            QCOMPARE(entry.modified, QFileInfo(dir.filePath(entry.file)).lastModified());
        }
        for (const QString& file : QDir(dir.path()).entryList(QDir::AllEntries | QDir::System))
            QVERIFY(file.startsWith("any-") ||
                    rows.contains(file) == (file.startsWith("ok-") && file.endsWith(".json")));
        QVERIFY(rows.size() + skipped ==
                    QDir(dir.path()).entryList({"ok-*.json", "invalid-*", "any-*"}).size() &&
                folderContents(dir.path()) == before);
        // "com1.old" comes before "Compact" in the locale's order, after it in plain order.
        QCOMPARE(rows.first(), "ok-minimal.json");
        QVERIFY(rows.indexOf("ok-name-com1-old.json") < rows.indexOf("ok-compact-reordered.json"));
        QVERIFY(QDir::setCurrent(dir.path()) && checkName("", "Compact", "") == NameStatus::Valid);
        QVERIFY(listSnapshots("", {}, skipped, &overLimit).isEmpty());
        // Over the limit, the last entries in display order are cut.
        QTemporaryDir many;
        for (int i = 1000; i <= 1000 + snapshotLimit; ++i)
            QVERIFY(writeBytes(many.filePath(QString("f%1.json").arg(i)), documentNamed("Same")));
        const auto cut = listSnapshots(many.path(), {"f2000.json"}, skipped, &overLimit);
        QVERIFY(cut.size() == snapshotLimit && overLimit == 1 && cut.first().file == "f2000.json" &&
                cut.last().file == "f1998.json");
    }

    // The bytes a snapshot brings; empty ones keep what was captured.
    void restoring_data() {
        QTest::addColumn<Snapshot>("bytes");
        // States of version 0 (000000ff 00000000), then: one dock area whose
        // splits nest 100000 deep, which Qt 6.4 follows until the stack ends;
        // 2^31 toolbar lines, which it loops over; an old-format toolbar (fe)
        // that passes the shape check, but Qt reads one number more than it
        // holds and refuses it after the geometry is applied.
        const auto hex = [](const char* text) { return QByteArray::fromHex(text); };
        const QByteArray deep =
            hex("000000ff00000000fd00000001000000000000006400000064") +
            hex("fc0100000001fc000000000000000a0000000000000000").repeated(100000) +
            hex("fc0100000000000000640000006400000001000000020000000400000008");
        const QByteArray oldToolBar =
            hex("000000ff00000000fe000000010000000000000001ffffffff010000000000000000");
        const QByteArray toolBarLines = hex("000000ff00000000fe7fffffff");
        QVERIFY(isRestorableState(oldToolBar, 0) && !isRestorableState(toolBarLines, 0) &&
                !isRestorableState(deep, 0));
        const auto crasher = fileBytes(hostile + "../crashers/state-dock-area-out-of-range.bin");
        for (const char* maximised : {"", ", maximised"}) {
            QTest::addRow("applied%s", maximised) << Snapshot();
            QTest::addRow("geometry refused%s", maximised) << Snapshot{{}, {}, "geometry", {}};
            QTest::addRow("state refused%s", maximised) << Snapshot{{}, "state", {}, {}};
            QTest::addRow("crasher%s", maximised) << Snapshot{{}, crasher, {}, {}};
            QTest::addRow("deep nesting%s", maximised) << Snapshot{{}, deep, {}, {}};
            QTest::addRow("2^31 toolbar lines%s", maximised) << Snapshot{{}, toolBarLines, {}, {}};
            QTest::addRow("refused by Qt%s", maximised) << Snapshot{{}, oldToolBar, {}, {}};
        }
    }

    void restoring() {
        QFETCH(Snapshot, bytes);
        const bool maximised = QByteArray(QTest::currentDataTag()).endsWith("maximised");
        QMainWindow window;
        window.setCentralWidget(new QWidget(&window));
        auto* audio = new QDockWidget(&window);
        audio->setObjectName("audio");
        window.addDockWidget(Qt::TopDockWidgetArea, audio);
        window.setGeometry(50, 60, 300, 200);
        window.show();
        Snapshot snapshot = capture(window, "s");
        const QRect snapshotRect = window.geometry();
        snapshot.state = bytes.state.isEmpty() ? snapshot.state : bytes.state;
        snapshot.geometry = bytes.geometry.isEmpty() ? snapshot.geometry : bytes.geometry;
        // Partly off screen, where restoreGeometry alone would move it.
        window.addDockWidget(Qt::BottomDockWidgetArea, audio);
        window.setGeometry(-500, 100, 400, 300);
        window.setWindowState(maximised ? Qt::WindowMaximized : Qt::WindowNoState);
        QCoreApplication::processEvents();
        const QByteArray layout = window.saveState(0);
        const QRect rect = window.geometry(), normal = window.normalGeometry();
        const bool applied = bytes == Snapshot();
        QCOMPARE(restore(window, snapshot), applied);
        QCOMPARE(window.geometry(), applied ? snapshotRect : rect);
        QCOMPARE(window.isMaximized(), maximised && !applied);
        QCOMPARE(window.saveState(0) == layout, !applied);
        // Qt offers no way to set both rectangles of a window that stays maximised.
        QVERIFY(window.normalGeometry() == (applied ? snapshotRect : normal) ||
                (maximised && isRestorableState(bytes.state, 0)));
    }

    // Geometry saved on a screen twice as wide: Qt refuses it, the docks are
    // still arranged and the window stays as it is. Then windows that lie on
    // no screen come back onto one.
    void restoringFromAnotherScreenAndKeepingOnScreen() {
        QMainWindow window;
        auto* audio = new QDockWidget("Audio", &window);
        audio->setObjectName("audio");
        window.addDockWidget(Qt::TopDockWidgetArea, audio);
        window.setGeometry(50, 60, 300, 200);
        window.show();
        Snapshot snapshot = capture(window, "s");
        QCOMPARE(snapshot.titles, QStringList{"Audio"});
        QDataStream width(&snapshot.geometry, QIODevice::ReadWrite);
        width.device()->seek(46);
        width << qint32(QGuiApplication::primaryScreen()->geometry().width() * 2);
        window.addDockWidget(Qt::BottomDockWidgetArea, audio);
        const QRect rect = window.geometry();
        QVERIFY(!window.restoreGeometry(snapshot.geometry) && restore(window, snapshot));
        QCOMPARE(window.dockWidgetArea(audio), Qt::TopDockWidgetArea);
        QCOMPARE(window.geometry(), rect);
        snapshot.geometry.chop(1); // not what Qt writes: refused, as any other bytes
        QVERIFY(!restore(window, snapshot));

        audio->setFloating(true);
        audio->move(5000, 5000);
        window.move(-3000, 200);
        keepOnScreen(window);
        for (QWidget* w : {static_cast<QWidget*>(&window), static_cast<QWidget*>(audio)})
            QVERIFY2(
                QGuiApplication::primaryScreen()->availableGeometry().contains(w->frameGeometry()),
                qPrintable(w->objectName()));
        QCOMPARE(window.size(), rect.size());
    }
};

QTEST_MAIN(SnapshotCoreTest)
#include "SnapshotCoreTest.moc"
