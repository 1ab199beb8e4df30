// Helpers for driving the snapshot commands through the manager dialog the
// way a user does, and for checking what they left in the snapshots folder.
#pragma once

#include "TestHost.h"
#include "kestrune.h"

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>

class QDialog;
class QListWidget;
class QPushButton;

namespace cmdtest {

// Text of a locale key as the module shows it (from data/locale/en-US.ini).
QString textOf(const char* key);

QString pathOf(const QString& fileName); // inside the snapshots folder

// A writable record; the geometry is the host window's, the state is marked
// so that it differs from anything the window captures.
kestrune::Snapshot sample(const QString& name);
// Writes a snapshot file into the snapshots folder (created if needed).
bool seed(const QString& fileName, const kestrune::Snapshot& snapshot);
QByteArray bytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& content);

// Every entry of the snapshots folder (hidden ones too) with its bytes, so a
// leftover temporary file or a changed byte shows in one comparison.
QMap<QString, QByteArray> folder();
// File names of folder entries that do not read back as snapshots.
QStringList unreadable();

QJsonObject settingsFile();
QString lastInSettings();

// Opens (or raises and refreshes) the manager dialog through the Tools-menu action.
QDialog* openDialog();
QDialog* dialog(); // the visible manager dialog, without refreshing it
QListWidget* list();
QPushButton* button(const char* key);
void click(const char* key);
bool select(const QString& path);
QString currentPath();
QStringList rowNames();
// Focuses the list and types key there, for the list's own shortcuts.
void keyOnList(int key);

QString hotkeyName(const QString& fileName);
QStringList boundKeys(obs_hotkey_id id);

// Answers a message box as Return would; any other
// kind of window is rejected, so a misplaced answer fails fast instead of hanging.
testhost::Modals::Answer acknowledge();

// The body a warning box shows for key and detail.
QString message(const char* key, const QString& detail = QString());
// Type and text of every modal seen since the last Modals::clear(), e.g.
// "QInputDialog: Snapshot name:".
QStringList seen();

// A folder that refuses new entries until the guard ends.
class FrozenFolder {
public:
    explicit FrozenFolder(const QString& path);
    ~FrozenFolder();
    bool ok() const { return frozen; }
    void thaw();

private:
    QString path;
    bool frozen = false;
};

// Writes of more than a few bytes fail while the guard lives (renames do not).
class FileSizeLimit {
public:
    FileSizeLimit();
    ~FileSizeLimit();
    void lift();

private:
    bool active = false;
    unsigned long long previous = 0;
};

} // namespace cmdtest
