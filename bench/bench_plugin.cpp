// The plug-in in the test host, against the floor measured in the same
// process: the dialog's refresh, save new end to end, and load by hotkey
// against a bare restore of the same bytes. Needs an X display (libobs).
#include "TestHost.h"

#include "LayoutFolder.h"
#include "Snapshot.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QTextEdit>

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>

namespace {

constexpr int folderSize = 1000;
const QString newName = QStringLiteral("Bench Save New");

QString moduleText(const char* key) {
    return TestHost::text(key);
}

// The host's window grows the docks it lacks, so that the snapshots are as
// rich as the core benchmark's and load without a missing-dock question.
void addMissingDocks(QMainWindow& window) {
    for (const QString& name : benchdata::dockNames()) {
        if (window.findChild<QDockWidget*>(name))
            continue;
        auto* dock = new QDockWidget(name, &window);
        dock->setObjectName(name);
        dock->setWidget(new QTextEdit(dock));
        window.addDockWidget(Qt::BottomDockWidgetArea, dock);
    }
}

// Processes queued calls only, until done() or a second has passed; layout
// and paint events stay pending, as they do after a bare restore.
bool runQueuedCallsUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 1000)
            return false;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    }
    return true;
}

// The events a click leaves behind: the rebuilt rows are laid out and painted.
// Kept out of line so that a profiler can tell this part from the click.
__attribute__((noinline)) void repaint() {
    QCoreApplication::processEvents();
}

struct Plugin {
    QStringList files;
    QPointer<QAction> toolsAction;
    QPointer<QDialog> dialog;
    QPointer<QListWidget> list;
    QPointer<QPushButton> refreshButton;
    QPointer<QPushButton> saveNewButton;
    QString error;

    Plugin() {
        TestHost::start();
        // As OBS does: key presses reach the plug-in on the user-interface thread.
        obs_hotkey_set_callback_routing_func(
            [](void*, obs_hotkey_id id, bool down) {
                QMetaObject::invokeMethod(qApp,
                                          [=] { obs_hotkey_trigger_routed_callback(id, down); });
            },
            nullptr);
        QMainWindow* window = TestHost::mainWindow.data();
        addMissingDocks(*window);
        files = benchdata::populate(*window, TestHost::dir("snapshots"), folderSize);
        if (files.size() != folderSize) {
            error = QStringLiteral("the snapshot folder could not be filled");
            return;
        }
        TestHost::fire(OBS_FRONTEND_EVENT_FINISHED_LOADING);
        TestHost::wait();
        openDialog();
        if (!dialog || !list || !refreshButton || !saveNewButton)
            error = QStringLiteral("the manager dialog did not open with its buttons");
        else if (list->count() != folderSize)
            error = QStringLiteral("the dialog does not list every snapshot");
        QTest::qWait(150); // the settings writes that start-up leaves pending
    }

    void openDialog() {
        const QString title = moduleText("Title");
        for (QAction* action : TestHost::mainWindow.data()->findChild<QMenu*>()->actions())
            if (action->text() == title)
                toolsAction = action;
        if (!toolsAction)
            return;
        toolsAction->trigger();
        TestHost::wait();
        for (QDialog* d :
             TestHost::mainWindow.data()->findChildren<QDialog*>(Qt::FindDirectChildrenOnly)) {
            if (d->isVisible() && d->findChild<QListWidget*>())
                dialog = d;
        }
        if (!dialog)
            return;
        list = dialog->findChild<QListWidget*>();
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() == moduleText("Refresh"))
                refreshButton = button;
            else if (button->text() == moduleText("SaveNew"))
                saveNewButton = button;
        }
    }

    QString path(const QString& file) const {
        return QDir(TestHost::dir("snapshots")).absoluteFilePath(file);
    }

    QString currentPath() const {
        return list && list->currentItem() ? list->currentItem()->data(Qt::UserRole).toString()
                                           : QString();
    }

    static Plugin& get() {
        static Plugin plugin;
        started = true;
        return plugin;
    }
    static inline bool started = false;
};

bool usable(benchmark::State& state, const Plugin& plugin) {
    if (!plugin.error.isEmpty()) {
        state.SkipWithError(qPrintable(plugin.error));
        return false;
    }
    if (!plugin.toolsAction || !plugin.dialog || !plugin.list || !plugin.refreshButton ||
        !plugin.saveNewButton) {
        state.SkipWithError("the manager dialog went away");
        return false;
    }
    return true;
}

void Floor(benchmark::State& state) {
    const Plugin& plugin = Plugin::get();
    if (!usable(state, plugin))
        return;
    for (auto _ : state) {
        const int parsed = benchdata::readAndParseAll(TestHost::dir("snapshots"));
        benchmark::DoNotOptimize(parsed);
        if (parsed != folderSize)
            state.SkipWithError("the floor did not parse every file");
    }
}

// A refresh with the dialog open on 1000 rows, until the rows are painted
// again. The "Refresh" button also writes the settings file, which is not part
// of a refresh; the Tools-menu entry on the open dialog runs the refresh alone
// (then clears the search and raises the dialog), so that is what is timed.
void Refresh(benchmark::State& state) {
    Plugin& plugin = Plugin::get();
    if (!usable(state, plugin))
        return;
    for (auto _ : state) {
        plugin.toolsAction->trigger();
        repaint();
        if (plugin.list->count() != folderSize || !plugin.dialog->isVisible())
            state.SkipWithError("refresh did not list every snapshot");
    }
}

// Save new with 999 snapshots in the folder (the limit refuses the 1001st):
// the click, both limit checks, the prompt answered, both name checks, the
// write, the refresh and the settings file. The new file is removed again
// outside the timing.
void SaveNew(benchmark::State& state) {
    Plugin& plugin = Plugin::get();
    if (!usable(state, plugin))
        return;
    const QString aside = plugin.path(plugin.files.last());
    const QString asideTemporary = aside + QStringLiteral(".aside");
    const QString created = plugin.path(newName + QStringLiteral(".json"));
    if (!QFile::rename(aside, asideTemporary)) {
        state.SkipWithError("could not set one snapshot aside");
        return;
    }
    for (auto _ : state) {
        TestHost::expect(newName);
        const auto start = std::chrono::steady_clock::now();
        plugin.saveNewButton->click();
        QCoreApplication::processEvents();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());

        const bool saved = plugin.currentPath() == created && QFile::remove(created);
        if (!saved || TestHost::unexpected != 0) {
            state.SkipWithError("save new did not save the snapshot as asked");
            break;
        }
        TestHost::seen.clear();
    }
    QFile::remove(created);
    QFile::rename(asideTemporary, aside);
    plugin.refreshButton->click();
    TestHost::seen.clear();
}

// Two snapshots in turn, so that every restore changes the layout.
struct LoadPair {
    QString paths[2];
    kestrune::Snapshot snapshots[2];
};

LoadPair loadPair(const Plugin& plugin) {
    LoadPair pair;
    for (int i = 0; i < 2; ++i) {
        pair.paths[i] = plugin.path(plugin.files[i]);
        kestrune::read(pair.paths[i], pair.snapshots[i]);
    }
    return pair;
}

// From the injected key press, through the host's hotkey routing and the
// queued call, to the restored layout with its row selected.
void LoadByHotkey(benchmark::State& state) {
    Plugin& plugin = Plugin::get();
    if (!usable(state, plugin))
        return;
    const LoadPair pair = loadPair(plugin);
    const obs_key_t keys[2] = {OBS_KEY_F13, OBS_KEY_F14};
    for (int i = 0; i < 2; ++i) {
        const obs_hotkey_id id =
            TestHost::hotkey(QStringLiteral("obs-kestrune.load.") + plugin.files[i]);
        if (id == OBS_INVALID_HOTKEY_ID) {
            state.SkipWithError("a snapshot has no load hotkey");
            return;
        }
        TestHost::bind(QStringLiteral("obs-kestrune.load.") + plugin.files[i],
                       obs_key_to_name(keys[i]));
    }
    QTest::qWait(150);

    int next = plugin.currentPath() == pair.paths[0] ? 1 : 0;
    for (auto _ : state) {
        obs_key_combination_t combination{};
        combination.key = keys[next];
        const QString& target = pair.paths[next];
        const auto start = std::chrono::steady_clock::now();
        obs_hotkey_inject_event(combination, true);
        const bool loaded = runQueuedCallsUntil([&] { return plugin.currentPath() == target; });
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (!loaded) {
            state.SkipWithError("the hotkey did not load the snapshot");
            break;
        }
        obs_hotkey_inject_event(combination, false);
        // The host releases the key later on its own thread, and the load's
        // debounced settings write follows; both stay outside the timing.
        QTest::qWait(130);
        next = 1 - next;
    }
}

// What a load cannot do without: one read of the file and Qt's own restore
// of the same bytes.
void BareRestore(benchmark::State& state) {
    Plugin& plugin = Plugin::get();
    if (!usable(state, plugin))
        return;
    const LoadPair pair = loadPair(plugin);
    QMainWindow& window = *TestHost::mainWindow.data();
    int next = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QFile file(pair.paths[next]);
        const bool read = file.open(QIODevice::ReadOnly) && !file.readAll().isEmpty();
        const bool restored = window.restoreGeometry(pair.snapshots[next].geometry) &&
                              window.restoreState(pair.snapshots[next].state, 0);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (!read || !restored) {
            state.SkipWithError("the bare restore failed");
            break;
        }
        QTest::qWait(130); // as after a load
        next = 1 - next;
    }
}

} // namespace

BENCHMARK(Floor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Refresh)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SaveNew)->Unit(benchmark::kMillisecond)->UseManualTime();
// Each iteration waits for the key release outside the timing; a fixed count
// keeps the run short.
BENCHMARK(LoadByHotkey)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(12);
BENCHMARK(BareRestore)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(12);

int main(int argc, char** argv) {
    // libobs needs an X display, reached through Qt's xcb platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    if (qEnvironmentVariableIsEmpty("LIBGL_ALWAYS_SOFTWARE"))
        qputenv("LIBGL_ALWAYS_SOFTWARE", "1");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (Plugin::started)
        TestHost::stop();
    return 0;
}
