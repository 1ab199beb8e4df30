// SPDX-License-Identifier: GPL-2.0-or-later
#include "Snapshot.h"

#include <QDir>
#include <QDirIterator>
#include <QMap>

#include <algorithm>

namespace kestrune {

QString detail::entryPrefix(const QString& dir) {
    // The form QDir::absoluteFilePath gives for a plain file name, built once
    // per pass instead of once per file.
    QString prefix = QDir(dir).absolutePath();
    if (!prefix.endsWith(QLatin1Char('/')))
        prefix += QLatin1Char('/');
    return prefix;
}

QList<SnapshotEntry> listSnapshots(const QString& dir, const QList<QString>& order, int& skipped,
                                   int* overLimit, QStringList* unreadable) {
    skipped = 0;
    if (overLimit)
        *overLimit = 0;
    if (dir.isEmpty())
        return {}; // QDir would read "" as the working directory

    // The extension is checked here rather than by a name filter, which would
    // run a regular expression on every file name. The map below puts the
    // entries in file-name order.
    const QString prefix = detail::entryPrefix(dir);
    const QLatin1String extension(".json");
    QDirIterator files(dir, QDir::Files | QDir::Hidden);
    QMap<QString, SnapshotEntry> byFile; // ordinal file-name order
    QString name;
    QDateTime modified;
    while (files.hasNext()) {
        files.next();
        QString file = files.fileName();
        if (!file.endsWith(extension, Qt::CaseInsensitive))
            continue;
        if (detail::readName(prefix + file, name, &modified) != FileStatus::Ok) {
            ++skipped;
            if (unreadable)
                unreadable->append(file);
            continue;
        }
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
