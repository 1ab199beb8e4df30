// SPDX-License-Identifier: GPL-2.0-or-later
// Applying a stored snapshot to the main window, and stepping through them.
#include "LayoutController.h"
#include "PluginLog.h"

#include <obs.hpp>

#include <QMainWindow>
#include <QScopedValueRollback>

LoadResult LayoutController::load(const QString& requested, LoadTrigger trigger,
                                  bool ignoreMissingDocks) {
    if (requested.isEmpty() || !mainWindow || shutDown || loading)
        return {LoadResult::Busy, {}, {}};
    QScopedValueRollback<bool> guard(loading, true);
    // The caller's string may live in state that the nested event loops of the
    // question and error boxes change.
    const QString path = requested;
    const bool asks = trigger == LoadTrigger::Dialog || trigger == LoadTrigger::Hotkey;

    kestrune::Snapshot snapshot;
    if (kestrune::read(path, snapshot) != kestrune::FileStatus::Ok) {
        report(trigger, "ReadFailed", path);
        return {LoadResult::ReadFailed, {}, {}};
    }
    const QList<QString> missing = kestrune::missingDocks(*mainWindow, snapshot);
    // Object names are internal (generated, for browser docks): people are
    // told the titles where the file has them.
    QStringList shown;
    for (const QString& dock : missing) {
        const QString title = snapshot.titles.value(snapshot.docks.indexOf(dock));
        shown.append(title.isEmpty() ? dock : title);
    }
    if (!missing.isEmpty()) {
        if (trigger == LoadTrigger::Automatic)
            logLine(LOG_INFO, "Loading %s without the docks %s", qUtf8Printable(snapshot.name),
                    qUtf8Printable(shown.join(", ")));
        else if (trigger == LoadTrigger::Remote && !ignoreMissingDocks)
            return {LoadResult::MissingDocks, snapshot.name, missing};
        else if (asks && !confirm(localeText("MissingDocks").arg(shown.join(", ")), false))
            return {LoadResult::Cancelled, snapshot.name, missing};
    }
    // The window may have gone while the question was open.
    if (!mainWindow || shutDown)
        return {LoadResult::Busy, snapshot.name, missing};
    if (!kestrune::restore(*mainWindow, snapshot)) {
        report(trigger, "RestoreFailed", QString());
        return {LoadResult::RestoreFailed, snapshot.name, missing};
    }

    kestrune::keepOnScreen(*mainWindow);
    lastPath = path;
    saveTimer.start(saveDelayMs);
    if (dialog) {
        dialog->selectPath(path);
        dialog->markLast(path);
    }
    if (trigger != LoadTrigger::Dialog)
        showStatus(localeText("StatusLoaded").arg(snapshot.name));
    static const char* const triggers[] = {"dialog", "hotkey", "remote", "automatic"};
    const OBSDataAutoRelease event = obs_data_create();
    obs_data_set_string(event, "name", snapshot.name.toUtf8().constData());
    obs_data_set_string(event, "file", fileNameOf(path).toUtf8().constData());
    obs_data_set_string(event, "trigger", triggers[int(trigger)]);
    emitEvent("SnapshotLoaded", event);
    return {LoadResult::Loaded, snapshot.name, missing};
}

LoadResult LayoutController::cycle(int step, LoadTrigger trigger, bool ignoreMissingDocks) {
    if (shutDown || loading || !mainWindow || order.isEmpty())
        return {LoadResult::Busy, {}, {}};
    const int count = order.size();
    const int index = lastPath.isEmpty() ? -1 : order.indexOf(fileNameOf(lastPath));
    int target = 0;
    if (index >= 0)
        target = ((index + step) % count + count) % count;
    else if (step < 0)
        target = count - 1;
    return load(kestrune::detail::entryPrefix(snapshotsDir) + order.at(target), trigger,
                ignoreMissingDocks);
}
