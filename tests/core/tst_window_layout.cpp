#include "test_files.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QScreen>

using kestrune::Snapshot;

namespace {

QDockWidget* addDock(QMainWindow& window, const QString& name, Qt::DockWidgetArea area) {
    auto* dock = new QDockWidget(name.isEmpty() ? QStringLiteral("untitled") : name, &window);
    dock->setObjectName(name);
    dock->setWidget(new QWidget(dock));
    window.addDockWidget(area, dock);
    return dock;
}

// A host-like main window: a central widget, docks with a shared, a unique
// and an empty object name, and one dock nested deeper in the tree.
struct Host {
    QMainWindow window;
    QDockWidget* audio;

    Host() {
        window.setCentralWidget(new QWidget(&window));
        addDock(window, "Scenes", Qt::LeftDockWidgetArea);
        addDock(window, "Scenes", Qt::RightDockWidgetArea);
        audio = addDock(window, "audio", Qt::BottomDockWidgetArea);
        addDock(window, "", Qt::RightDockWidgetArea);
        (new QDockWidget(window.centralWidget()))->setObjectName("Zeta");
        window.setGeometry(20, 30, 700, 500);
    }
};

} // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void captureAndMissingDocks() {
        Host host;
        Snapshot snapshot = kestrune::capture(host.window, "  Padded name ");
        QCOMPARE(snapshot.name, QStringLiteral("  Padded name "));
        QCOMPARE(snapshot.docks, QStringList({"Scenes", "Zeta", "audio"}));
        QVERIFY(host.window.restoreState(snapshot.state, 0));
        QVERIFY(!host.window.restoreState(snapshot.state, 1)); // saved as version 0
        QVERIFY(kestrune::missingDocks(host.window, snapshot).isEmpty());

        snapshot.docks = {"gone", "Scenes", "", "AUDIO", "gone", "Zeta"};
        QCOMPARE(kestrune::missingDocks(host.window, snapshot),
                 QStringList({"gone", "", "AUDIO", "gone"}));
    }

    // The row's name says what is wrong with the snapshot.
    void restore_data() {
        QTest::addColumn<QString>("fault");
        for (const char* fault : {"none", "empty geometry", "empty state", "geometry refused",
                                  "state refused", "state of version 1", "maximised window"})
            QTest::newRow(fault) << QString(fault);
    }

    void restore() {
        QFETCH(QString, fault);
        const bool applied = fault == "none";
        const bool maximised = fault == "maximised window";
        Host host;
        // Qt matches docks by object name; a unique one keeps the check ours.
        host.window.addDockWidget(Qt::TopDockWidgetArea, host.audio);
        Snapshot snapshot = kestrune::capture(host.window, "s");
        const QRect snapshotRect = host.window.geometry();
        if (fault == "empty geometry")
            snapshot.geometry.clear();
        else if (fault == "empty state")
            snapshot.state.clear();
        else if (fault == "geometry refused")
            snapshot.geometry = "not a geometry";
        else if (fault == "state of version 1")
            snapshot.state = host.window.saveState(1);
        else if (!applied)
            snapshot.state = "not a state";

        // Off screen, where restoreGeometry alone would not leave the window.
        host.window.addDockWidget(Qt::BottomDockWidgetArea, host.audio);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect rect(screen.left() - 500, screen.top() + 100, 400, 300);
        host.window.setGeometry(rect);
        if (maximised)
            host.window.setWindowState(Qt::WindowMaximized);

        QCOMPARE(kestrune::restore(host.window, snapshot), applied);
        QCOMPARE(host.window.dockWidgetArea(host.audio),
                 applied ? Qt::TopDockWidgetArea : Qt::BottomDockWidgetArea);
        if (maximised) // what restoreGeometry gave it stays
            QVERIFY(host.window.isMaximized() && host.window.geometry() != rect);
        else
            QCOMPARE(host.window.geometry(), applied ? snapshotRect : rect);
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "tst_window_layout.moc"
