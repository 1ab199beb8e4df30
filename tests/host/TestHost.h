// A stand-in for the OBS application: real libobs, a main window with named
// docks and a Tools menu, the few frontend functions the module calls, and
// helpers that press hotkeys, read log lines and answer modal boxes.
#pragma once

// QtTest first: once libobs has pulled in its SIMD emulation, the compiler's
// own intrinsics headers (reached through QtTest) no longer compile.
#include <QtTest/QtTest>

#include <obs.h>

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QDialog;
class QDockWidget;
class QMainWindow;
class QMenu;
class QWidget;

namespace testhost {

// Object names of the docks of the host window, as OBS names its own.
QStringList dockNames();

class Host {
public:
    static Host& get();

    // Starts libobs, builds the window and opens the module the way OBS does
    // (obs_open_module, obs_init_module). Call once, from initTestCase.
    void start();
    // Unloads the module and shuts libobs down. Call from cleanupTestCase.
    void stop();

    QMainWindow* window() const;
    QMenu* toolsMenu() const;
    QDockWidget* dock(const QString& name) const;
    // Actions the module added to the Tools menu.
    QList<QAction*> toolsActions() const;

    QString configRoot() const;      // handed to obs_startup
    QString pluginConfigDir() const; // configRoot/obs-kestrune
    QString snapshotsDir() const;
    QString settingsPath() const;
    QString modulePath() const;

    // The module's exported functions, called directly for repeated loads.
    bool moduleLoad();
    void moduleUnload();
    uint32_t moduleVersion();
    template <typename Fn>
    Fn symbol(const char* name) const {
        return reinterpret_cast<Fn>(rawSymbol(name));
    }

    // Frontend events, delivered to every registered callback.
    void finishLoading();
    void exitEvent();
    int eventCallbackCount() const;

    // A clean slate for each test: unload, empty the configuration folder,
    // put the window back as it started, clear the log, load again and,
    // when asked, fire the finished-loading event.
    void reset(bool finish = true);
    // Unload and load again without touching files: a restart of the host.
    void restart(bool finish = true);

    // Log lines (without trailing newline) seen since the last clearLog().
    QStringList log() const;
    QStringList logMatching(const QString& needle) const;
    void clearLog();

    // Hotkeys as libobs lists them.
    obs_hotkey_id hotkey(const QString& name) const;
    QStringList hotkeyNames(const QString& prefix = QStringLiteral("obs-kestrune.")) const;
    QString hotkeyDescription(const QString& name) const;
    // Binds the given keys (e.g. "OBS_KEY_F5") to a hotkey through obs_hotkey_load.
    void bind(obs_hotkey_id id, const QStringList& keys);
    // Injects a press (and the release) of a key and lets the queued calls run.
    void press(obs_key_t key, bool release = true);
    void release(obs_key_t key);

    // Processes events for ms milliseconds.
    static void wait(int ms);

private:
    Host() = default;
    void* rawSymbol(const char* name) const;
    void buildWindow();
    void restoreWindow();
};

// One modal box as it was seen when it opened.
struct SeenModal {
    QString type; // "QMessageBox", "QInputDialog", "QFileDialog", ...
    QString title;
    QString text;          // message box text or input dialog label
    QString value;         // input dialog text value when it opened
    QStringList buttons;   // button texts, in layout order
    QString defaultButton; // text of the default button, if any
    int icon = 0;          // QMessageBox::Icon
    int textFormat = -1;   // Qt::TextFormat
    QString parentType;    // class name of the parent widget, empty for none
    bool parentIsDialog = false;
};

// Answers modal boxes without a person. Answers are consumed in order; a box
// that opens with no answer queued is recorded and rejected, so a test can
// never hang on it.
class Modals {
public:
    using Answer = std::function<void(QWidget*)>;

    static Modals& get();

    void expect(Answer answer);
    void clear(); // forget queued answers and what was seen
    const QList<SeenModal>& seen() const;
    int unexpected() const; // boxes that found no queued answer
    int pending() const;    // answers not used yet

    // Ready-made answers.
    static Answer click(const QString& buttonText);
    static Answer pressDefault();              // what Return would do
    static Answer reject();                    // what Escape would do
    static Answer type(const QString& text);   // QInputDialog: enter text, accept
    static Answer choose(const QString& path); // QFileDialog: pick a path, accept
    static Answer inspect(std::function<void(QWidget*)> f, Answer then);

    void install();

private:
    Modals() = default;
};

} // namespace testhost
