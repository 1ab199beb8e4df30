// SPDX-License-Identifier: GPL-2.0-or-later
// The controller: one per loaded module, child of the host main window. Its
// members are split across files named after the question each answers.
#pragma once

#include "ManagerDialog.h"
#include "Snapshot.h"

#include <obs-frontend-api.h>
#include <obs.h>

#include <QFileDialog>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QAction;
class QMainWindow;

inline constexpr int saveDelayMs = 100;
inline constexpr int statusMs = 3000;

// What asked for a load. The dialog and hotkeys ask about missing docks and
// show errors in boxes; remote and automatic loads never open a box. Every
// load but the dialog's says so in the status bar.
enum class LoadTrigger { Dialog, Hotkey, Remote, Automatic };

struct LoadResult {
    enum Status { Loaded, Busy, ReadFailed, MissingDocks, Cancelled, RestoreFailed } status;
    QString name;           // stored name, once the file was read
    QList<QString> missing; // docks the snapshot names that the window lacks
};

// The file name of an absolute path, as QFileInfo::fileName gives it, without
// the file system look-ups of a QFileInfo (refresh makes one per snapshot).
inline QString fileNameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Locale text of key, decoded from UTF-8; the key itself when untranslated.
QString localeText(const char* key);
// Why a name is refused, as one line: the rule it breaks.
QString nameReason(const QString& name);

// Hotkey bindings to and from the JSON form kept in settings.json.
QJsonArray saveBindings(obs_hotkey_id id);
void loadBindings(obs_hotkey_id id, const QJsonArray& bindings);

class LayoutController : public QObject {
public:
    explicit LayoutController(QMainWindow* window, const QString& modulePath);
    ~LayoutController() override;

    // The object name every copy of the plug-in gives its controller, so that
    // a second copy in the same host can find the first.
    static const char* const objectNameInHost;
    QString modulePath() const { return property("modulePath").toString(); }

    // Lifecycle (LayoutController_Lifecycle.cpp)
    static void frontendCallback(enum obs_frontend_event event, void* data);
    void shutdown();

    // Settings (LayoutController_Settings.cpp)
    void saveSettings();
    void moveSnapshotSettings(const QString& oldPath, const QString& newPath);
    void removeSnapshotSettings(const QString& path);

    // Hotkeys (LayoutController_Hotkeys.cpp)
    static void hotkeyCallback(void* data, obs_hotkey_id id, obs_hotkey_t* key, bool pressed);
    static void bindingsChangedCallback(void* data, calldata_t* cd);
    void syncSnapshotHotkey(const QString& path, const QString& name);
    // The first key binding of a hotkey as OBS names it; empty when unbound.
    static QString firstBinding(obs_hotkey_id id);

    // The dialog and what it lists: folder, order, rows (LayoutController_Listing.cpp)
    void openManager();
    void refresh(const QString& select);
    QString selected() const;
    void reorder(const QStringList& paths);

    // Load and cycle (LayoutController_Load.cpp)
    LoadResult load(const QString& path, LoadTrigger trigger, bool ignoreMissingDocks = false);
    LoadResult cycle(int step, LoadTrigger trigger, bool ignoreMissingDocks = false);

    // Save new, overwrite, rename, delete (LayoutController_Commands.cpp)
    // Writes snapshot as a new file, or in place of oldPath; then the list,
    // settings and remote listeners follow, and a captured layout becomes the
    // one loaded last. The path written, empty when nothing was.
    QString saveSnapshot(const kestrune::Snapshot& snapshot, const QString& oldPath, bool captured,
                         LoadTrigger trigger = LoadTrigger::Dialog);
    bool canAddSnapshot(LoadTrigger trigger = LoadTrigger::Dialog);
    QString nameFor(const QString& initial, const QString& current);
    void refuseName(kestrune::NameStatus status, const QString& name);
    void saveNew();
    void overwrite();
    void rename();
    void remove();

    // Import and export (LayoutController_Transfer.cpp)
    QString filePath(QFileDialog::AcceptMode mode, const QString& suggested);
    void write(const QString& path, const kestrune::Snapshot& snapshot);
    void importSnapshot();
    void exportSnapshot();

    // Remote control through obs-websocket (LayoutController_Remote.cpp)
    void startRemote();
    void stopRemote();
    void emitEvent(const char* name, obs_data_t* data);
    void snapshotsChanged();
    // A vendor request's answer as JSON; runs on the controller's thread.
    QByteArray answerRequest(const QString& request, const QByteArray& json);

    // Snapshots that load by themselves: at start, with a profile or a scene
    // collection (LayoutController_AutoLoad.cpp)
    void readAutoLoads();
    void writeAutoLoads(QJsonObject& root);
    void moveAutoLoads(const QString& oldFile, const QString& newFile);
    void dropAutoLoads(const QString& file);
    QString currentProfile() const;
    QString currentCollection() const;
    void hostSwitched(bool profile);
    void runAutoLoads();
    void toggleLink(const QString& path, LinkKind kind, bool on);
    void describeLinks(const QString& file, const QString& profile, const QString& collection,
                       SnapshotRow& row) const;

    // Errors, questions, the snapshots folder (LayoutController_Feedback.cpp)
    void error(const char* key, const QString& detail);
    // The error's log line, and its box unless the trigger never shows one.
    void report(LoadTrigger trigger, const char* key, const QString& detail);
    bool confirm(const QString& text, bool continueIsDefault);
    // A message in the host's status bar for a few seconds, if it has one.
    void showStatus(const QString& message);
    bool ensureDirectory();
    void openFolder();

private:
    QString answerList(obs_data_t* response);
    QString answerLoad(const QString& request, obs_data_t* args, obs_data_t* response);
    QString answerSave(obs_data_t* args, obs_data_t* response);
    // The snapshot a request names by "name" or "row"; error says why none.
    QString requestedSnapshot(obs_data_t* args, QString& error);
    // True when no command runs and the host is not shutting down.
    bool idle() const;
    // The selected snapshot's path and record; reports a failed read itself.
    bool readSelected(QString& path, kestrune::Snapshot& snapshot);
    void becomeReady();
    void writeSettings();
    void runHotkey(obs_hotkey_id id);
    void bindingsChanged(obs_hotkey_id id);
    bool ownsHotkey(obs_hotkey_id id) const;
    ManagerDialog* createDialog();
    QWidget* boxParent() const;

    QPointer<QMainWindow> mainWindow;
    QPointer<QAction> toolsAction;
    QPointer<ManagerDialog> dialog;
    QString snapshotsDir;
    QString settingsPath;
    QString transferDir; // where the file chooser opens
    QString lastPath;
    QList<QString> order;
    QJsonObject settings;
    obs_hotkey_id cycleHotkeyId = OBS_INVALID_HOTKEY_ID;
    obs_hotkey_id previousHotkeyId = OBS_INVALID_HOTKEY_ID;
    obs_hotkey_id openHotkeyId = OBS_INVALID_HOTKEY_ID;
    QMap<QString, obs_hotkey_id> snapshotHotkeyIds;
    QTimer saveTimer;
    QString startFile;                      // loads when OBS starts
    QMap<QString, QString> profileLinks;    // profile name -> file
    QMap<QString, QString> collectionLinks; // scene collection name -> file
    QTimer autoTimer;                       // retries a load that waits for a command
    bool pendingStart = false;
    bool pendingProfile = false;
    bool pendingCollection = false;
    bool ready = false;
    bool shutDown = false;
    bool loading = false;
};
