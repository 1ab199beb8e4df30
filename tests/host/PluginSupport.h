// Small helpers shared by the plug-in tests in the test host: snapshot files
// made from the live window, the settings file, locale texts and dock marks.
#pragma once

#include "TestHost.h"
#include "kestrune.h"

#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMainWindow>
#include <QStringList>

#include <sys/stat.h>

namespace support {

inline testhost::Host& host() {
    return testhost::Host::get();
}

// A locale text as the module itself resolves it.
inline QString moduleText(const char* key) {
    auto lookup = host().symbol<const char* (*)(const char*)>("obs_module_text");
    return lookup ? QString::fromUtf8(lookup(key)) : QString();
}

inline QString snapshotPath(const QString& file) {
    return QDir(host().snapshotsDir()).absoluteFilePath(file);
}

inline void showAllDocks() {
    for (const QString& name : testhost::dockNames()) {
        if (QDockWidget* dock = host().dock(name))
            dock->show();
    }
}

// The one dock a snapshot written by saveMarked() hides; empty when all show.
inline QString hiddenDock() {
    for (const QString& name : testhost::dockNames()) {
        if (QDockWidget* dock = host().dock(name); dock && dock->isHidden())
            return name;
    }
    return QString();
}

// Writes a snapshot of the window with one dock hidden, so that a later load
// can be recognised by which dock is hidden. The window is left with all docks.
inline QString saveMarked(const QString& file, const QString& name, const QString& hide,
                          const QStringList& extraDocks = {}) {
    QDir().mkpath(host().snapshotsDir());
    showAllDocks();
    if (QDockWidget* dock = host().dock(hide))
        dock->hide();
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
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

inline QJsonObject settings() {
    return QJsonDocument::fromJson(readBytes(host().settingsPath())).object();
}

// Identity of the settings file on disk; every atomic write gives a new inode.
inline quint64 settingsInode() {
    struct stat info {};
    if (stat(QFile::encodeName(host().settingsPath()).constData(), &info) != 0)
        return 0;
    return info.st_ino;
}

// Waits up to ms for the settings file to appear.
inline bool waitForSettings(int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
        if (QFile::exists(host().settingsPath()))
            return true;
        testhost::Host::wait(20);
    }
    return QFile::exists(host().settingsPath());
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
    return keys;
}

// Puts the flag back even when a check fails half-way.
struct Immutable {
    QString path;
    bool set = false;
    explicit Immutable(const QString& dir) : path(dir) { set = chattr("+i"); }
    ~Immutable() { chattr("-i"); }
    bool chattr(const char* flag) const {
        return system(qPrintable(QStringLiteral("chattr %1 '%2'").arg(flag, path))) == 0;
    }
};

} // namespace support
