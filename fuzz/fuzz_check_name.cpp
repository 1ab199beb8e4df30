// checkName on arbitrary names against a folder that already holds a few
// snapshots. A name it calls valid must be safe to save: its file stays in
// the folder and replaces no other snapshot's file.
#include "FuzzSupport.h"
#include "Snapshot.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString seededFolder() {
    const QString dir = fuzzsupport::scratchDir() + QStringLiteral("/snapshots");
    QDir().mkpath(dir);
    kestrune::Snapshot snapshot;
    snapshot.state = QByteArrayLiteral("state");
    snapshot.geometry = QByteArrayLiteral("geometry");
    const QString names[] = {QStringLiteral("Streaming"), QStringLiteral("Caf\u00e9"),
                             QStringLiteral("a\uFFFD"), QStringLiteral("Ma\u00dfe")};
    for (const QString& name : names) {
        snapshot.name = name;
        FUZZ_CHECK(kestrune::write(QDir(dir).filePath(name + ".json"), snapshot) ==
                   kestrune::FileStatus::Ok);
    }
    // A file whose name and stored name disagree, as after a hand edit.
    snapshot.name = QStringLiteral("Stored Elsewhere");
    FUZZ_CHECK(kestrune::write(QDir(dir).filePath("renamed.json"), snapshot) ==
               kestrune::FileStatus::Ok);
    return dir;
}

// The names the folder's files hold on disk, byte for byte.
QList<QByteArray> encodedEntries(const QString& dir) {
    QList<QByteArray> names;
    for (const QString& entry : QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System))
        names.append(QFile::encodeName(entry));
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QCoreApplication* app = fuzzsupport::coreApplication();
    (void)app;
    static const QString dir = seededFolder();
    static const QList<QByteArray> existing = encodedEntries(dir);

    // Even sizes are read as raw UTF-16 to reach lone surrogates; odd sizes as
    // UTF-8, the way typed and imported names arrive.
    const QString name =
        size % 2 == 0 ? QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2))
                      : QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const kestrune::NameStatus status = kestrune::checkName(dir, name, QString());
    if (status != kestrune::NameStatus::Valid)
        return 0;

    FUZZ_CHECK(!name.isEmpty() && name.size() <= kestrune::maxNameLength);
    FUZZ_CHECK(!name.contains(QLatin1Char('/')) && !name.contains(QChar(0)));
    const QString path = QDir(dir).filePath(name + QStringLiteral(".json"));
    FUZZ_CHECK(QFileInfo(path).absolutePath() == QFileInfo(dir).absoluteFilePath());
    const QByteArray encoded = QFile::encodeName(name + QStringLiteral(".json"));
    FUZZ_CHECK(!existing.contains(encoded));
    return 0;
}
