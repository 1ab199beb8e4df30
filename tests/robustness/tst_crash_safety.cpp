// Writers killed at random moments never leave a torn file: every target is
// afterwards the last finished version or the one being written, and nothing
// half-made is ever listed as a snapshot.
#include "Snapshot.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Three snapshots in their folder and the settings file beside it.
const QStringList targets = {"snapshots/Streaming.json", "snapshots/Podcast.json",
                             "snapshots/Gaming.json", "settings.json"};

// A version's bytes: its number, padding whose size varies with it (up to
// about 600 KB, so that writes last long enough to be hit) and a digest.
QByteArray payload(qint64 version) {
    const QByteArray body = QByteArray::number(version) + ':' +
                            QByteArray(int(version * 7919 % 600000), char('a' + version % 26));
    return body + ':' + QCryptographicHash::hash(body, QCryptographicHash::Sha1).toHex();
}

// The version a payload carries, or -1 when it is torn or mixed.
qint64 versionOf(const QByteArray& bytes) {
    const qsizetype last = bytes.lastIndexOf(':');
    const QByteArray body = bytes.left(last);
    if (last < 0 ||
        QCryptographicHash::hash(body, QCryptographicHash::Sha1).toHex() != bytes.mid(last + 1))
        return -1;
    return body.left(body.indexOf(':')).toLongLong();
}

// A snapshot carries the payload as its state, the settings file as it is.
kestrune::FileStatus writeVersion(const QString& dir, const QString& target, qint64 version) {
    if (target == "settings.json")
        return kestrune::writeFileAtomically(dir + '/' + target, payload(version));
    return kestrune::write(
        dir + '/' + target,
        {"Layout", payload(version), QByteArray::number(version), {"mixerDock"}});
}

qint64 versionOnDisk(const QString& dir, const QString& target) {
    QFile file(dir + '/' + target);
    if (target == "settings.json")
        return file.open(QIODevice::ReadOnly) ? versionOf(file.readAll()) : -1;
    kestrune::Snapshot snapshot;
    if (kestrune::read(file.fileName(), snapshot) != kestrune::FileStatus::Ok)
        return -1;
    const qint64 version = versionOf(snapshot.state);
    return snapshot.geometry == QByteArray::number(version) ? version : -1;
}

// Child: writes versions from first on until killed. Each is journalled
// before its write with write(2), which reaches the file at once.
int runWriter(const QString& dir, qint64 first) {
    const int fd = ::open(QFile::encodeName(dir + "/journal").constData(),
                          O_WRONLY | O_APPEND | O_CREAT, 0600);
    for (qint64 version = first; fd >= 0; ++version) {
        const QByteArray line = QByteArray::number(version) + '\n';
        if (::write(fd, line.constData(), line.size()) != line.size() ||
            writeVersion(dir, targets[version % 4], version) != kestrune::FileStatus::Ok)
            return 3;
    }
    return 2;
}

} // namespace

class CrashSafety : public QObject {
    Q_OBJECT

private slots:
    void killedWritersLeaveOldOrNewCompleteFiles() {
        QTemporaryDir dir;
        const QString journal = dir.filePath("journal");
        QVERIFY(QDir(dir.path()).mkdir("snapshots"));
        QMap<QString, qint64> finished; // the version each target must hold at least
        for (const QString& target : targets) {
            QCOMPARE(writeVersion(dir.path(), target, 0), kestrune::FileStatus::Ok);
            finished[target] = 0;
        }
        const int kills = 200;
        int killedMidWrite = 0;
        for (int round = 1; round <= kills; ++round) {
            QFile::remove(journal);
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {"--writer", dir.path(), QString::number(round * 1000000LL)});
            QVERIFY(child.waitForStarted());
            // Wait for the first write to begin, then let it run a random while.
            for (int i = 0; i < 2000 && QFileInfo(journal).size() == 0; ++i)
                QThread::usleep(500);
            QThread::usleep(QRandomGenerator::global()->bounded(20000));
            child.kill(); // SIGKILL
            QVERIFY(child.waitForFinished());
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);

            // Every journalled version but the last is complete.
            QFile log(journal);
            QVERIFY2(log.open(QIODevice::ReadOnly) && log.size() > 0, "the writer never wrote");
            const QList<QByteArray> started = log.readAll().trimmed().split('\n');
            for (const QByteArray& line : started.mid(0, started.size() - 1))
                finished[targets[line.toLongLong() % 4]] = line.toLongLong();
            const qint64 last = started.last().toLongLong();
            const QString& writing = targets[last % 4];
            for (const QString& target : targets) {
                const qint64 version = versionOnDisk(dir.path(), target);
                const QByteArray where = "round " + QByteArray::number(round) + ": " +
                                         target.toUtf8() + " holds " + QByteArray::number(version);
                QVERIFY2(version == finished[target] || (target == writing && version == last),
                         where.constData());
                killedMidWrite += target == writing && version != last ? 1 : 0;
                finished[target] = version;
            }

            int skipped = -1;
            QStringList listed;
            for (const kestrune::SnapshotEntry& entry :
                 kestrune::listSnapshots(dir.filePath("snapshots"), {}, skipped, nullptr))
                listed.append(entry.file);
            listed.sort();
            QCOMPARE(listed, QStringList({"Gaming.json", "Podcast.json", "Streaming.json"}));
            QCOMPARE(skipped, 0);
        }
        qInfo("%d kills, %d during a write", kills, killedMidWrite);
        // Most kills must land inside a write, or the test proves nothing.
        QVERIFY(killedMidWrite >= kills / 2);
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && qstrcmp(argv[1], "--writer") == 0)
        return runWriter(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toLongLong());
    QCoreApplication app(argc, argv);
    CrashSafety test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_crash_safety.moc"
