// SPDX-License-Identifier: GPL-2.0-or-later
#include "Snapshot.h"
#include "StateFormat.h"

#include <QDockWidget>
#include <QLayout>
#include <QMainWindow>

namespace kestrune {

namespace {

constexpr int stateVersion = 0;

QList<QString> dockNames(const QMainWindow& window) {
    QStringList names;
    const QList<QDockWidget*> docks =
        window.findChildren<QDockWidget*>(QString(), Qt::FindChildrenRecursively);
    for (const QDockWidget* dock : docks) {
        const QString name = dock->objectName();
        if (!name.isEmpty())
            names.append(name);
    }
    names.removeDuplicates();
    names.sort(Qt::CaseSensitive);
    return names;
}

void activateLayout(QMainWindow& window) {
    if (QLayout* layout = window.layout())
        layout->activate();
}

} // namespace

Snapshot capture(QMainWindow& window, const QString& name) {
    return Snapshot{name, window.saveState(stateVersion), window.saveGeometry(), dockNames(window)};
}

bool restore(QMainWindow& window, const Snapshot& snapshot) {
    // Qt trusts the structure of state bytes; hostile ones crash or hang it,
    // so their shape is checked before Qt sees them. Bytes refused before
    // anything changed need no rollback: on a maximised window, that rollback
    // would itself apply the normal size while the window stays maximised.
    if (snapshot.state.isEmpty() || snapshot.geometry.isEmpty() ||
        !isRestorableState(snapshot.state, stateVersion))
        return false;
    const Snapshot backup = capture(window, QString());
    const QRect rect = window.geometry();
    const Qt::WindowStates states = window.windowState();

    // Geometry first, so the state is laid out in the window's final size.
    // restoreGeometry checks its bytes before it changes anything.
    if (!window.restoreGeometry(snapshot.geometry))
        return false;
    if (window.restoreState(snapshot.state, stateVersion)) {
        activateLayout(window);
        return true;
    }

    // Qt refused the state after the geometry was applied. restoreGeometry
    // may move a window to fit the screen, and on a window that is still
    // maximised it applies the normal size: put the rectangle back exactly,
    // which drops the maximised flag, then the flags.
    window.restoreGeometry(backup.geometry);
    window.setGeometry(rect);
    window.setWindowState(states);
    window.restoreState(backup.state, stateVersion);
    // The layout may still be fitted to the snapshot's size.
    if (QLayout* layout = window.layout())
        layout->invalidate();
    activateLayout(window);
    return false;
}

QList<QString> missingDocks(const QMainWindow& window, const Snapshot& snapshot) {
    const QList<QString> present = dockNames(window);
    QList<QString> missing;
    for (const QString& name : snapshot.docks) {
        if (!present.contains(name))
            missing.append(name);
    }
    return missing;
}

} // namespace kestrune
