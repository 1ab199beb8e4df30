// SPDX-License-Identifier: GPL-2.0-or-later
#include "Snapshot.h"
#include "StateFormat.h"

#include <QDataStream>
#include <QDockWidget>
#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QMap>
#include <QScreen>

#include <algorithm>

namespace kestrune {

namespace {

constexpr int stateVersion = 0;

// Object names of the window's docks, sorted, each with the title of the
// first dock of that name.
QMap<QString, QString> dockTitles(const QMainWindow& window) {
    QMap<QString, QString> titles;
    for (const QDockWidget* dock : window.findChildren<QDockWidget*>()) {
        if (!dock->objectName().isEmpty() && !titles.contains(dock->objectName()))
            titles.insert(dock->objectName(), dock->windowTitle());
    }
    return titles;
}

QList<QString> dockNames(const QMainWindow& window) {
    return dockTitles(window).keys();
}

// Geometry in Qt's own format (its header and the length its version has),
// which Qt may still refuse when it was saved on a screen of another size.
bool isWellFormedGeometry(const QByteArray& geometry) {
    QDataStream in(geometry);
    quint32 magic = 0;
    quint16 major = 0;
    in >> magic >> major;
    // Versions 1 to 3 add the screen's width, then the client rectangle.
    const int length = major == 1 ? 46 : major == 2 ? 50 : 66;
    return magic == 0x1D9D0CB && major >= 1 && major <= 3 && geometry.size() >= length;
}

// How far a rectangle lies from a screen's area: 0 when it touches it.
int distance(const QRect& rect, const QRect& screen) {
    const int dx = std::max({0, screen.left() - rect.right(), rect.left() - screen.right()});
    const int dy = std::max({0, screen.top() - rect.bottom(), rect.top() - screen.bottom()});
    return dx + dy;
}

void bringOnScreen(QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty() || std::any_of(screens.begin(), screens.end(), [&](QScreen* screen) {
            return screen->geometry().intersects(frame);
        }))
        return;
    const QScreen* nearest =
        *std::min_element(screens.begin(), screens.end(), [&](QScreen* a, QScreen* b) {
            return distance(frame, a->geometry()) < distance(frame, b->geometry());
        });
    const QRect area = nearest->availableGeometry();
    const QSize margins = frame.size() - window.size();
    const QSize size = window.size().boundedTo(area.size() - margins);
    window.resize(size);
    window.move(
        std::clamp(frame.left(), area.left(), area.right() - size.width() - margins.width()),
        std::clamp(frame.top(), area.top(), area.bottom() - size.height() - margins.height()));
}

void activateLayout(QMainWindow& window) {
    if (QLayout* layout = window.layout())
        layout->activate();
}

} // namespace

Snapshot capture(QMainWindow& window, const QString& name) {
    const QMap<QString, QString> titles = dockTitles(window);
    return Snapshot{name, window.saveState(stateVersion), window.saveGeometry(), titles.keys(),
                    titles.values()};
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
    // restoreGeometry checks its bytes before it changes anything, and it
    // refuses geometry saved on a screen of another size: the docks are then
    // arranged in the window as it is.
    const bool placed = window.restoreGeometry(snapshot.geometry);
    if (!placed && !isWellFormedGeometry(snapshot.geometry))
        return false;
    if (window.restoreState(snapshot.state, stateVersion)) {
        activateLayout(window);
        return true;
    }
    if (!placed) {
        window.restoreState(backup.state, stateVersion);
        activateLayout(window);
        return false;
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

void keepOnScreen(QMainWindow& window) {
    bringOnScreen(window);
    for (QDockWidget* dock : window.findChildren<QDockWidget*>()) {
        if (dock->isFloating() && dock->isVisible())
            bringOnScreen(*dock);
    }
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
