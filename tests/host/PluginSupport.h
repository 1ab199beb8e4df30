// Helpers shared by the plug-in tests: marked snapshots, files and texts.
#pragma once

#include "TestHost.h"
#include "Snapshot.h"

#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMainWindow>

namespace support {

inline testhost::Host& host() {
    return testhost::Host::get();
}

// A locale text as the module itself resolves it.
inline QString moduleText(const char* key) {
    auto lookup = host().symbol<const char* (*)(const char*)>("obs_module_text");
    return lookup ? QString::fromUtf8(lookup(key)) : QString();
}

// Joined by hand: QDir would take a name like ":x.json" for a Qt resource.
inline QString snapshotPath(const QString& file) {
    return host().snapshotsDir() + QLatin1Char('/') + file;
}

inline void showAllDocks() {
    for (const QString& name : testhost::dockNames())
        host().dock(name)->show();
}

// The one dock a snapshot of saveMarked() hides; empty when all show.
inline QString hiddenDock() {
    for (const QString& name : testhost::dockNames())
        if (host().dock(name)->isHidden())
            return name;
    return QString();
}

// A snapshot with one dock hidden, so that its load can be recognised.
inline QString saveMarked(const QString& file, const QString& name, const QString& hide,
                          const QStringList& extraDocks = {}) {
    QDir().mkpath(host().snapshotsDir());
    host().dock(hide)->hide();
    kestrune::Snapshot snapshot = kestrune::capture(*host().window(), name);
    snapshot.docks += extraDocks;
    showAllDocks();
    const QString path = snapshotPath(file);
    if (kestrune::write(path, snapshot) != kestrune::FileStatus::Ok)
        qFatal("could not write snapshot %s", qPrintable(path));
    return path;
}

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QJsonObject settings() {
    return QJsonDocument::fromJson(readBytes(host().settingsPath())).object();
}

// Key names bound to a hotkey, as the host saves them.
inline QStringList boundKeys(obs_hotkey_id id) {
    QStringList keys;
    obs_data_array_t* array = obs_hotkey_save(id);
    for (size_t i = 0; array && i < obs_data_array_count(array); ++i) {
        obs_data_t* item = obs_data_array_item(array, i);
        keys.append(QString::fromUtf8(obs_data_get_string(item, "key")));
        obs_data_release(item);
    }
    obs_data_array_release(array);
    keys.sort();
    return keys;
}

} // namespace support
