#include "Snapshot.h"
#include "state_format.h"

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
    const Snapshot backup = capture(window, QString());
    const QRect rect = window.geometry();

    // Geometry first, so the state is laid out in the window's final size.
    // Qt trusts the structure of state bytes; hostile ones crash or hang it,
    // so their shape is checked before Qt sees them.
    if (!snapshot.state.isEmpty() && !snapshot.geometry.isEmpty() &&
        isRestorableState(snapshot.state, stateVersion) &&
        window.restoreGeometry(snapshot.geometry) &&
        window.restoreState(snapshot.state, stateVersion)) {
        activateLayout(window);
        return true;
    }

    window.restoreGeometry(backup.geometry);
    window.restoreState(backup.state, stateVersion);
    activateLayout(window);
    // restoreGeometry may move a window to fit the screen; put a normal
    // window back exactly where it was.
    if (window.windowState() == Qt::WindowNoState)
        window.setGeometry(rect);
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
