// Drives the snapshot commands through the manager dialog as a user does and
// checks what they leave in the snapshots folder.
#pragma once

#include "PluginSupport.h"

#include <QProcess>

using support::host;
using support::moduleText;
using support::readBytes;
using support::writeBytes;
using testhost::Host;
using testhost::Modals;

// The folder refuses new entries while it lives; root ignores permission bits.
struct FrozenFolder {
    const QString dir;
    const bool ok = QProcess::execute("chattr", {"+i", dir}) == 0;
    ~FrozenFolder() { QProcess::execute("chattr", {"-i", dir}); }
};

// A fresh host for every test; afterwards no box is left unanswered and every
// file in the folder still reads as a snapshot.
class CommandTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { host().start(); }
    void cleanupTestCase() { host().stop(); }
    void init() { host().reset(); }
    void cleanup();

protected:
    static QString pathOf(const QString& file) { return support::snapshotPath(file); }
    static kestrune::Snapshot live(const QString& name) {
        return kestrune::capture(*host().window(), name);
    }
    static kestrune::Snapshot sample(const QString& name); // differs from any capture
    static bool seed(const QString& file, const kestrune::Snapshot& snapshot);
    static kestrune::Snapshot readBack(const QString& path); // empty when unreadable
    // Every entry with its bytes: a leftover temporary file or a changed byte shows.
    static QMap<QString, QByteArray> folder();
    static QString last() { return support::settings()["last"].toString(); }
    static QJsonObject hotkeysInSettings() {
        return support::settings()["snapshotHotkeys"].toObject();
    }
    static obs_hotkey_id hotkey(const QString& file) {
        return host().hotkey("obs-kestrune.load." + file);
    }
    static obs_hotkey_id bindF5(const QString& file);

    static bool openDialog();
    static void click(const char* key);
    static bool select(const QString& file);
    static QString current();  // path of the current row
    static QStringList seen(); // "Type: text" of every box since Modals::clear()
    static QString box(const char* key, const QString& detail = QString());
};
