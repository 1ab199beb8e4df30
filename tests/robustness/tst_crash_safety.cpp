// Writers killed at random moments never leave a torn file: every target is
// afterwards one complete version, the last finished one or the one being
// written, and nothing half-made is ever listed as a snapshot. A disk that
// refuses part of a write leaves the old file too.
#include "kestrune.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QStringList snapshotFiles = {"Streaming.json", "Podcast.json", "Gaming.json"};
const QString settingsFile = "settings.json";

// A version's payload: its number, padding of a size that varies with the
// number (up to about 600 KB, so that writes take long enough to be hit),
// and a digest of both, so a torn or mixed file cannot pass for complete.
QByteArray payload(qint64 version) {
    const int padding = int((version * 7919) % 600000);
    const QByteArray body =
        QByteArray::number(version) + ':' + QByteArray(padding, char('a' + version % 26));
    return body + ':' + QCryptographicHash::hash(body, QCryptographicHash::Sha1).toHex();
}

// The version a payload carries, or -1 when it is not complete and consistent.
qint64 versionOf(const QByteArray& bytes) {
    const int last = bytes.lastIndexOf(':');
    if (last < 0)
        return -1;
    const QByteArray body = bytes.left(last);
    if (QCryptographicHash::hash(body, QCryptographicHash::Sha1).toHex() != bytes.mid(last + 1))
        return -1;
    bool ok = false;
    const qint64 version = body.left(body.indexOf(':')).toLongLong(&ok);
    return ok ? version : -1;
}

kestrune::Snapshot snapshotVersion(const QString& file, qint64 version) {
    kestrune::Snapshot snapshot;
    snapshot.name = file.chopped(5);
    snapshot.state = payload(version);
    snapshot.geometry = QByteArray::number(version);
    snapshot.docks = {"mixerDock", "scenesDock"};
    return snapshot;
}

QByteArray settingsVersion(qint64 version) {
    return QJsonDocument(QJsonObject{{"last", QString::number(version)},
                                     {"payload", QString::fromLatin1(payload(version))}})
        .toJson(QJsonDocument::Indented);
}

// The plug-in's arrangement: snapshots in their folder, settings beside it.
QString targetPath(const QString& dir, const QString& target) {
    return target == settingsFile ? QDir(dir).filePath(target)
                                  : QDir(dir).filePath("snapshots/" + target);
}

void journal(int fd, const char* what, qint64 version, const QString& target) {
    const QByteArray line =
        QByteArray(what) + ' ' + QByteArray::number(version) + ' ' + target.toUtf8() + '\n';
    if (::write(fd, line.constData(), size_t(line.size())) != line.size())
        _exit(3);
}

// Child process: writes versions from first onwards until it is killed. The
// journal is appended with plain write(2), which reaches the file at once.
int runWriter(const QString& dir, qint64 first) {
    const int fd = ::open(QFile::encodeName(dir + "/journal").constData(),
                          O_WRONLY | O_APPEND | O_CREAT, 0600);
    if (fd < 0)
        return 2;
    for (qint64 version = first;; ++version) {
        const int pick = int(version % 4);
        const QString target = pick < 3 ? snapshotFiles[pick] : settingsFile;
        journal(fd, "start", version, target);
        const QString path = targetPath(dir, target);
        const kestrune::FileStatus status =
            pick < 3 ? kestrune::write(path, snapshotVersion(target, version))
                     : kestrune::writeFileAtomically(path, settingsVersion(version));
        if (status != kestrune::FileStatus::Ok)
            return 4;
        journal(fd, "done", version, target);
    }
}

// Child process: the disk refuses anything past 64 KB, and each rewrite of a
// good file with a longer text must fail and keep the good file.
int runLimitedWriter(const QString& dir) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{65536, 65536};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return 2;
    const bool snapshotRefused =
        kestrune::write(targetPath(dir, snapshotFiles[0]),
                        snapshotVersion(snapshotFiles[0], 599)) != kestrune::FileStatus::Ok;
    QString reason;
    const bool settingsRefused =
        kestrune::writeFileAtomically(targetPath(dir, settingsFile), settingsVersion(599),
                                      &reason) != kestrune::FileStatus::Ok;
    return snapshotRefused && settingsRefused && !reason.isEmpty() ? 0 : 5;
}

struct Journal {
    QMap<QString, qint64> done;     // last finished version per target
    QMap<QString, qint64> inFlight; // started, not finished, when killed
    int lines = 0;
};

Journal readJournal(const QString& dir) {
    Journal result;
    QFile file(dir + "/journal");
    if (!file.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() != 3)
            continue;
        ++result.lines;
        const QString target = QString::fromUtf8(parts[2]);
        const qint64 version = parts[1].toLongLong();
        if (parts[0] == "start") {
            result.inFlight.insert(target, version);
        } else {
            result.done.insert(target, version);
            result.inFlight.remove(target);
        }
    }
    return result;
}

qint64 versionOnDisk(const QString& dir, const QString& target) {
    const QString path = targetPath(dir, target);
    if (target == settingsFile) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
        const qint64 version = versionOf(object.value("payload").toString().toLatin1());
        return object.value("last").toString() == QString::number(version) ? version : -1;
    }
    kestrune::Snapshot snapshot;
    if (kestrune::read(path, snapshot) != kestrune::FileStatus::Ok)
        return -1;
    const qint64 version = versionOf(snapshot.state);
    return snapshot.geometry == QByteArray::number(version) &&
                   snapshot == snapshotVersion(target, version)
               ? version
               : -1;
}

} // namespace

class CrashSafety : public QObject {
    Q_OBJECT

    QTemporaryDir root;

    QProcess* startChild(const QStringList& arguments) {
        auto* child = new QProcess(this);
        child->setProcessChannelMode(QProcess::ForwardedChannels);
        child->start(QCoreApplication::applicationFilePath(), arguments);
        return child;
    }

private slots:
    void killedWritersLeaveOldOrNewCompleteFiles() {
        const QString dir = root.filePath("kills");
        const QString snapshotsDir = dir + "/snapshots";
        QVERIFY(QDir().mkpath(snapshotsDir));
        // Version 0 of every target exists before the first kill.
        for (const QString& file : snapshotFiles)
            QCOMPARE(kestrune::write(targetPath(dir, file), snapshotVersion(file, 0)),
                     kestrune::FileStatus::Ok);
        QCOMPARE(kestrune::writeFileAtomically(targetPath(dir, settingsFile), settingsVersion(0)),
                 kestrune::FileStatus::Ok);
        QMap<QString, qint64> expectedOld;
        for (const QString& target : snapshotFiles + QStringList{settingsFile})
            expectedOld.insert(target, 0);

        const int kills = 200;
        int killedMidWrite = 0;
        int strayFiles = 0;
        for (int round = 1; round <= kills; ++round) {
            QFile::remove(dir + "/journal");
            const qint64 first = qint64(round) * 1000000;
            QProcess* child = startChild({"--writer", dir, QString::number(first)});
            QVERIFY(child->waitForStarted());
            // Wait for the first write to begin, then let it run a random while.
            for (int i = 0; i < 2000 && readJournal(dir).lines == 0; ++i)
                QThread::usleep(500);
            QThread::usleep(QRandomGenerator::global()->bounded(20000));
            child->kill(); // SIGKILL
            QVERIFY(child->waitForFinished());
            QCOMPARE(child->exitStatus(), QProcess::CrashExit);
            delete child;

            const Journal journal = readJournal(dir);
            QVERIFY2(journal.lines > 0, "the writer never started writing");
            if (!journal.inFlight.isEmpty())
                ++killedMidWrite;
            for (auto it = expectedOld.begin(); it != expectedOld.end(); ++it) {
                const QString& target = it.key();
                const qint64 old = journal.done.value(target, it.value());
                const qint64 onDisk = versionOnDisk(dir, target);
                const bool isNew =
                    journal.inFlight.contains(target) && onDisk == journal.inFlight.value(target);
                QVERIFY2(onDisk == old || isNew,
                         qPrintable(QString("round %1: %2 holds version %3, expected %4 or the one "
                                            "being written")
                                        .arg(round)
                                        .arg(target)
                                        .arg(onDisk)
                                        .arg(old)));
                it.value() = onDisk;
            }

            int skipped = -1;
            const QList<kestrune::SnapshotEntry> entries =
                kestrune::listSnapshots(snapshotsDir, {}, skipped, nullptr);
            QCOMPARE(skipped, 0);
            QStringList listed;
            for (const kestrune::SnapshotEntry& entry : entries)
                listed.append(entry.file);
            listed.sort();
            QStringList wanted = snapshotFiles;
            wanted.sort();
            QCOMPARE(listed, wanted);
            // Whatever a killed writer left behind must not pass for a snapshot.
            const QStringList known =
                snapshotFiles + QStringList{settingsFile, "journal", "snapshots"};
            for (const QString& folder : {dir, snapshotsDir}) {
                for (const QString& entry : QDir(folder).entryList(
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
                    if (known.contains(entry))
                        continue;
                    ++strayFiles;
                    QVERIFY2(!entry.endsWith(".json", Qt::CaseInsensitive), qPrintable(entry));
                }
            }
        }
        qInfo("%d kills, %d during a write, %d temporary files left behind", kills, killedMidWrite,
              strayFiles);
        // Most kills must land inside a write, or the test proves nothing.
        QVERIFY(killedMidWrite >= kills / 2);
    }

    void refusedWritesKeepTheOldFile() {
        const QString dir = root.filePath("limited");
        QVERIFY(QDir().mkpath(dir + "/snapshots"));
        QCOMPARE(kestrune::write(targetPath(dir, snapshotFiles[0]),
                                 snapshotVersion(snapshotFiles[0], 3)),
                 kestrune::FileStatus::Ok);
        QCOMPARE(kestrune::writeFileAtomically(targetPath(dir, settingsFile), settingsVersion(3)),
                 kestrune::FileStatus::Ok);
        QVERIFY(payload(599).size() > 65536 && payload(3).size() < 32768);

        QProcess* child = startChild({"--limited-writer", dir});
        QVERIFY(child->waitForFinished());
        QCOMPARE(child->exitStatus(), QProcess::NormalExit);
        QCOMPARE(child->exitCode(), 0);
        delete child;

        QCOMPARE(versionOnDisk(dir, snapshotFiles[0]), qint64(3));
        QCOMPARE(versionOnDisk(dir, settingsFile), qint64(3));
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 1);
        QCOMPARE(QDir(dir + "/snapshots").entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && qstrcmp(argv[1], "--writer") == 0)
        return runWriter(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toLongLong());
    if (argc == 3 && qstrcmp(argv[1], "--limited-writer") == 0)
        return runLimitedWriter(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    CrashSafety test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_crash_safety.moc"
