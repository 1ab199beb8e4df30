// SPDX-License-Identifier: GPL-2.0-or-later
// Applying a stored snapshot to the main window, and stepping through them.
#include "LayoutController.h"

#include <QMainWindow>
#include <QScopedValueRollback>

void LayoutController::load(const QString& requested) {
    if (requested.isEmpty() || !mainWindow || shutDown || loading)
        return;
    QScopedValueRollback<bool> guard(loading, true);
    // The caller's string may live in state that the nested event loops of the
    // question and error boxes change.
    const QString path = requested;

    kestrune::Snapshot snapshot;
    if (kestrune::read(path, snapshot) != kestrune::FileStatus::Ok) {
        error("ReadFailed", path);
        return;
    }
    const QList<QString> missing = kestrune::missingDocks(*mainWindow, snapshot);
    if (!missing.isEmpty() && !confirm(localeText("MissingDocks").arg(missing.join(", ")), false))
        return;
    // The window may have gone while the question was open.
    if (!mainWindow || shutDown)
        return;
    if (!kestrune::restore(*mainWindow, snapshot)) {
        error("RestoreFailed", QString());
        return;
    }

    lastPath = path;
    saveTimer.start(saveDelayMs);
    if (dialog)
        dialog->selectPath(path);
}

void LayoutController::cycle(int step) {
    if (shutDown || loading || !mainWindow || order.isEmpty())
        return;
    const int count = order.size();
    const int index = lastPath.isEmpty() ? -1 : order.indexOf(fileNameOf(lastPath));
    int target = 0;
    if (index >= 0)
        target = ((index + step) % count + count) % count;
    else if (step < 0)
        target = count - 1;
    load(kestrune::detail::entryPrefix(snapshotsDir) + order.at(target));
}
