// SPDX-License-Identifier: GPL-2.0-or-later
// Layouts that come back by themselves: the snapshot marked for the start,
// and those linked to the host's profiles and scene collections.
#include "LayoutController.h"

#include <util/util.hpp>

#include <QJsonObject>

namespace {

// A link names a file of the snapshots folder, never a path out of it.
bool isSnapshotFile(const QString& file) {
    return file.endsWith(QLatin1String(".json"), Qt::CaseInsensitive) &&
           !file.contains(QLatin1Char('/')) && !file.contains(QLatin1Char('\\')) &&
           !file.startsWith(QLatin1String(".."));
}

QMap<QString, QString> readLinks(const QJsonObject& settings, const char* key) {
    QMap<QString, QString> links;
    const QJsonObject stored = settings.value(key).toObject();
    for (auto it = stored.begin(); it != stored.end(); ++it) {
        if (it.value().isString() && isSnapshotFile(it.value().toString()))
            links.insert(it.key(), it.value().toString());
    }
    return links;
}

QString currentName(char* (*get)()) {
    BPtr<char> name = get();
    return QString::fromUtf8(name.Get() ? name.Get() : "");
}

} // namespace

void LayoutController::readAutoLoads() {
    const QString start = settings.value("loadAtStart").toString();
    startFile = isSnapshotFile(start) ? start : QString();
    profileLinks = readLinks(settings, "profileLinks");
    collectionLinks = readLinks(settings, "collectionLinks");
}

void LayoutController::writeAutoLoads(QJsonObject& root) {
    // A link to a file that is gone does nothing, so it is not kept.
    const QString prefix = kestrune::detail::entryPrefix(snapshotsDir);
    const auto kept = [&](const QString& file) { return QFileInfo::exists(prefix + file); };
    if (!startFile.isEmpty() && !kept(startFile))
        startFile.clear();
    root.insert("loadAtStart", startFile);
    for (auto [key, links] : {std::pair("profileLinks", &profileLinks),
                              std::pair("collectionLinks", &collectionLinks)}) {
        links->removeIf([&](const auto& link) { return !kept(link.value()); });
        QJsonObject stored;
        for (auto it = links->cbegin(); it != links->cend(); ++it)
            stored.insert(it.key(), it.value());
        root.insert(key, stored);
    }
}

void LayoutController::moveAutoLoads(const QString& oldFile, const QString& newFile) {
    if (startFile == oldFile)
        startFile = newFile;
    for (QMap<QString, QString>* links : {&profileLinks, &collectionLinks}) {
        for (QString& file : *links)
            file = file == oldFile ? newFile : file;
    }
}

void LayoutController::dropAutoLoads(const QString& file) {
    if (startFile == file)
        startFile.clear();
    for (QMap<QString, QString>* links : {&profileLinks, &collectionLinks})
        links->removeIf([&](const auto& link) { return link.value() == file; });
}

QString LayoutController::currentProfile() const {
    return currentName(obs_frontend_get_current_profile);
}

QString LayoutController::currentCollection() const {
    return currentName(obs_frontend_get_current_scene_collection);
}

void LayoutController::hostSwitched(bool profile) {
    if (!ready || shutDown)
        return;
    (profile ? pendingProfile : pendingCollection) = true;
    runAutoLoads();
}

void LayoutController::runAutoLoads() {
    if (!ready || shutDown)
        return;
    // A command or a question is open: the load waits for it, and only the
    // last switch counts.
    if (loading) {
        autoTimer.start(100);
        return;
    }
    QString file;
    if (std::exchange(pendingStart, false) && !startFile.isEmpty())
        file = startFile;
    if (file.isEmpty() && std::exchange(pendingProfile, false))
        file = profileLinks.value(currentProfile());
    if (file.isEmpty() && std::exchange(pendingCollection, false))
        file = collectionLinks.value(currentCollection());
    pendingStart = pendingProfile = pendingCollection = false;
    const QString path = kestrune::detail::entryPrefix(snapshotsDir) + file;
    if (!file.isEmpty() && QFileInfo::exists(path))
        load(path, LoadTrigger::Automatic);
}

void LayoutController::toggleLink(const QString& path, LinkKind kind, bool on) {
    if (shutDown || path.isEmpty())
        return;
    const QString file = fileNameOf(path);
    if (kind == LinkKind::Start) {
        startFile = on ? file : startFile == file ? QString() : startFile;
    } else {
        QMap<QString, QString>& links = kind == LinkKind::Profile ? profileLinks : collectionLinks;
        const QString target = kind == LinkKind::Profile ? currentProfile() : currentCollection();
        if (on)
            links.insert(target, file);
        else if (links.value(target) == file)
            links.remove(target);
    }
    refresh(QString());
    saveSettings();
}

void LayoutController::describeLinks(const QString& file, const QString& profile,
                                     const QString& collection, SnapshotRow& row) const {
    QStringList notes, lines;
    if (file == startFile) {
        notes.append(localeText("NoteStart"));
        lines.append(localeText("LinkStart"));
    }
    for (const auto& [links, note, line] :
         {std::tuple(&profileLinks, "NoteProfile", "LinkProfile"),
          std::tuple(&collectionLinks, "NoteCollection", "LinkCollection")}) {
        for (auto it = links->cbegin(); it != links->cend(); ++it) {
            if (it.value() != file)
                continue;
            notes.append(localeText(note).arg(it.key()));
            lines.append(localeText(line).arg(it.key()));
        }
    }
    row.atStart = file == startFile;
    row.withProfile = profileLinks.value(profile) == file;
    row.withCollection = collectionLinks.value(collection) == file;
    row.note = notes.join(QString::fromUtf8(" \u00b7 "));
    if (!lines.isEmpty())
        row.toolTip += QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
}
