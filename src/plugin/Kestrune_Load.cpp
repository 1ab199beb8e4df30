// Applying a stored snapshot to the main window, and stepping through them.
#include "Kestrune.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QMainWindow>
#include <QScopedValueRollback>

void Kestrune::load(const QString& requested) {
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
    if (!missing.isEmpty() && !confirm(text("MissingDocks").arg(missing.join(", ")), false))
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
    if (!list)
        return;
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->data(Qt::UserRole).toString() == path) {
            list->setCurrentRow(row);
            break;
        }
    }
}

void Kestrune::cycle(int step) {
    if (shutDown || loading || !mainWindow || order.isEmpty())
        return;
    const int count = order.size();
    const int index = lastPath.isEmpty() ? -1 : order.indexOf(QFileInfo(lastPath).fileName());
    int target = 0;
    if (index >= 0)
        target = ((index + step) % count + count) % count;
    else if (step < 0)
        target = count - 1;
    load(QDir(snapshotsDir).absoluteFilePath(order.at(target)));
}
