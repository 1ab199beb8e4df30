// The controller: one per loaded module, child of the host main window.
// Its members are split across files named after the question each answers.
#pragma once

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
class QDialog;
class QEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMainWindow;
class QPushButton;

inline constexpr const char pluginVersion[] = "1.0.0";
inline constexpr int saveDelayMs = 100;

// The file name of an absolute path, as QFileInfo::fileName gives it, without
// the file system look-ups of a QFileInfo (refresh makes one per snapshot).
inline QString fileNameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Locale text of key, decoded from UTF-8; the key itself when untranslated.
QString text(const char* key);

// Hotkey bindings to and from the JSON form kept in settings.json.
QJsonArray saveBindings(obs_hotkey_id id);
void loadBindings(obs_hotkey_id id, const QJsonArray& bindings);

class Kestrune : public QObject {
public:
    explicit Kestrune(QMainWindow* window);
    ~Kestrune() override;

    // Lifecycle (Kestrune_Lifecycle.cpp)
    static void frontendCallback(enum obs_frontend_event event, void* data);
    void shutdown();

    // Hotkeys (Kestrune_Hotkeys.cpp)
    static void hotkeyCallback(void* data, obs_hotkey_id id, obs_hotkey_t* key, bool pressed);
    static void bindingsChangedCallback(void* data, calldata_t* cd);
    void syncSnapshotHotkey(const QString& path, const QString& name);

    // Settings (Kestrune_Settings.cpp)
    void saveSettings();
    void moveSnapshotSettings(const QString& oldPath, const QString& newPath);
    void removeSnapshotSettings(const QString& path);

    // Load and cycle (Kestrune_Load.cpp)
    void load(const QString& path);
    void cycle(int step);

    // Save new, overwrite, rename, delete (Kestrune_Edit.cpp)
    QString saveSnapshot(const kestrune::Snapshot& snapshot, const QString& oldPath);
    bool canAddSnapshot();
    QString nameFor(const QString& initial, const QString& current);
    void saveNew();
    void overwrite();
    void rename();
    void remove();

    // Import and export (Kestrune_Transfer.cpp)
    QString filePath(QFileDialog::AcceptMode mode, const QString& suggested);
    void write(const QString& path, const kestrune::Snapshot& snapshot);
    void importSnapshot();
    void exportSnapshot();

    // Errors, questions, the snapshots folder (Kestrune_Feedback.cpp)
    void error(const char* key, const QString& detail);
    bool confirm(const QString& text, bool continueIsDefault);
    bool ensureDirectory();
    void openFolder();

    // Manager dialog (src/ui/Kestrune_Dialog.cpp)
    void show();
    void focusSearch();

    // List refresh, selection, drag reordering (src/ui/Kestrune_List.cpp)
    void refresh(const QString& select);
    QString selected() const;
    void updateButtons();
    void rowsReordered();

    // Search by name or row number (src/ui/Kestrune_Search.cpp)
    QListWidgetItem* searchMatch(const QString& query) const;
    void searchChanged();

    // Return and Enter in the search field (src/ui/Kestrune_Keyboard.cpp)
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // True when no command runs and the host is not shutting down.
    bool idle() const;
    // The selected snapshot's path and record; reports a failed read itself.
    bool readSelected(QString& path, kestrune::Snapshot& snapshot);
    void becomeReady();
    void runHotkey(obs_hotkey_id id);
    void bindingsChanged(obs_hotkey_id id);
    bool ownsHotkey(obs_hotkey_id id) const;

    QPointer<QMainWindow> mainWindow;
    QPointer<QAction> toolsAction;
    QPointer<QDialog> dialog;
    QPointer<QListWidget> list;
    QPointer<QLineEdit> search;
    QPointer<QLabel> notFoundLabel;
    QString snapshotsDir;
    QString settingsPath;
    QString lastPath;
    QList<QString> order;
    QJsonObject settings;
    obs_hotkey_id cycleHotkeyId = OBS_INVALID_HOTKEY_ID;
    obs_hotkey_id previousHotkeyId = OBS_INVALID_HOTKEY_ID;
    obs_hotkey_id openHotkeyId = OBS_INVALID_HOTKEY_ID;
    QMap<QString, obs_hotkey_id> snapshotHotkeyIds;
    QTimer saveTimer;
    bool ready = false;
    bool shutDown = false;
    bool loading = false;
    QList<QPointer<QPushButton>> selectionButtons;
};
