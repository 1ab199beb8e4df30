#include "kestrune.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>

#include <algorithm>

namespace kestrune {

QList<SnapshotEntry> listSnapshots(const QString& dir, const QList<QString>& order, int& skipped,
                                   int* overLimit) {
    skipped = 0;
    if (overLimit)
        *overLimit = 0;
    if (dir.isEmpty())
        return {}; // QDir would read "" as the working directory

    // Unsorted: the map below puts the entries in file-name order anyway.
    const QFileInfoList files = QDir(dir).entryInfoList({QStringLiteral("*.json")},
                                                        QDir::Files | QDir::Hidden, QDir::Unsorted);
    QMap<QString, SnapshotEntry> byFile; // ordinal file-name order
    QString name;
    QDateTime modified;
    for (const QFileInfo& info : files) {
        if (detail::readName(info.absoluteFilePath(), name, &modified) != FileStatus::Ok) {
            ++skipped;
            continue;
        }
        const QString file = info.fileName();
        byFile.insert(file, SnapshotEntry{file, std::move(name), modified});
    }

    QList<SnapshotEntry> result;
    result.reserve(byFile.size());
    for (const QString& file : order) {
        const auto it = byFile.find(file);
        if (it == byFile.end())
            continue;
        result.append(std::move(it.value()));
        byFile.erase(it);
    }

    const qsizetype orderedCount = result.size();
    for (auto it = byFile.begin(); it != byFile.end(); ++it)
        result.append(std::move(it.value()));
    std::stable_sort(result.begin() + orderedCount, result.end(),
                     [](const SnapshotEntry& a, const SnapshotEntry& b) {
                         return QString::localeAwareCompare(a.name, b.name) < 0;
                     });

    if (result.size() > snapshotLimit) {
        if (overLimit)
            *overLimit = int(result.size() - snapshotLimit);
        result.resize(snapshotLimit);
    }
    return result;
}

} // namespace kestrune
