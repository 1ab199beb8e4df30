#include "test_files.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QScreen>
#include <QTest>

#include <memory>

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
    QDockWidget* scenes;
    QDockWidget* audio;

    Host() {
        window.setCentralWidget(new QWidget(&window));
        scenes = addDock(window, "Scenes", Qt::LeftDockWidgetArea);
        addDock(window, "Scenes", Qt::RightDockWidgetArea);
        audio = addDock(window, "audio", Qt::BottomDockWidgetArea);
        addDock(window, "", Qt::RightDockWidgetArea);
        auto* nested = new QDockWidget(window.centralWidget());
        nested->setObjectName("Zeta");
        window.setGeometry(100, 100, 640, 480);
    }
};

// Off screen: Qt's restoreGeometry alone would pull the window back inside.
QRect offScreenRect() {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    return QRect(screen.left() - 500, screen.top() + 100, 400, 300);
}

} // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void capture() {
        Host host;
        const Snapshot snapshot = kestrune::capture(host.window, "  Padded name ");
        QCOMPARE(snapshot.name, QStringLiteral("  Padded name "));
        QCOMPARE(snapshot.docks, QStringList({"Scenes", "Zeta", "audio"}));
        QVERIFY(!snapshot.geometry.isEmpty());
        // The state carries version 0.
        QVERIFY(host.window.restoreState(snapshot.state, 0));
        QVERIFY(!host.window.restoreState(snapshot.state, 1));
    }

    void restoreApplies() {
        Host host;
        const Snapshot snapshot = kestrune::capture(host.window, "s");
        const QRect rect = host.window.geometry();

        host.window.addDockWidget(Qt::RightDockWidgetArea, host.audio);
        host.window.setGeometry(50, 60, 500, 400);
        QVERIFY(kestrune::restore(host.window, snapshot));
        QCOMPARE(host.window.dockWidgetArea(host.audio), Qt::BottomDockWidgetArea);
        QCOMPARE(host.window.geometry(), rect);
    }

    void restoreRollsBack_data() {
        QTest::addColumn<bool>("emptyState");
        QTest::addColumn<bool>("emptyGeometry");
        QTest::addColumn<bool>("foreignState");
        QTest::addColumn<QByteArray>("badState");
        QTest::addColumn<QByteArray>("badGeometry");

        QTest::newRow("empty geometry") << false << true << false << QByteArray() << QByteArray();
        QTest::newRow("empty state") << true << false << false << QByteArray() << QByteArray();
        QTest::newRow("geometry refused")
            << false << false << false << QByteArray() << QByteArray("not a geometry");
        QTest::newRow("state refused")
            << false << false << false << QByteArray("not a state") << QByteArray();
        QTest::newRow("state of version 1")
            << false << false << true << QByteArray() << QByteArray();
    }

    void restoreRollsBack() {
        QFETCH(bool, emptyState);
        QFETCH(bool, emptyGeometry);
        QFETCH(bool, foreignState);
        QFETCH(QByteArray, badState);
        QFETCH(QByteArray, badGeometry);

        Host host;
        // A snapshot Qt would accept in part: another rect, another layout.
        host.window.addDockWidget(Qt::TopDockWidgetArea, host.scenes);
        host.window.setGeometry(20, 30, 700, 500);
        Snapshot snapshot = kestrune::capture(host.window, "s");
        if (foreignState)
            snapshot.state = host.window.saveState(1);
        if (emptyState)
            snapshot.state.clear();
        if (emptyGeometry)
            snapshot.geometry.clear();
        if (!badState.isEmpty())
            snapshot.state = badState;
        if (!badGeometry.isEmpty())
            snapshot.geometry = badGeometry;

        host.window.addDockWidget(Qt::LeftDockWidgetArea, host.scenes);
        const QRect rect = offScreenRect();
        host.window.setGeometry(rect);

        QVERIFY(!kestrune::restore(host.window, snapshot));
        QCOMPARE(host.window.geometry(), rect);
        QCOMPARE(host.window.dockWidgetArea(host.scenes), Qt::LeftDockWidgetArea);
        QCOMPARE(host.window.dockWidgetArea(host.audio), Qt::BottomDockWidgetArea);
    }

    // A maximised window keeps what restoreGeometry gives it: the remembered
    // rectangle is not forced back onto it.
    void restoreKeepsMaximisedWindow() {
        Host host;
        Snapshot snapshot = kestrune::capture(host.window, "s");
        snapshot.state = "not a state";
        const QRect rect = offScreenRect();
        host.window.setGeometry(rect);
        host.window.setWindowState(Qt::WindowMaximized);

        QVERIFY(!kestrune::restore(host.window, snapshot));
        QCOMPARE(host.window.windowState(), Qt::WindowMaximized);
        QVERIFY(host.window.geometry() != rect);
    }

    void missingDocks() {
        Host host;
        Snapshot snapshot = kestrune::capture(host.window, "s");
        QVERIFY(kestrune::missingDocks(host.window, snapshot).isEmpty());

        snapshot.docks = {"gone", "Scenes", "", "AUDIO", "gone", "Zeta"};
        QCOMPARE(kestrune::missingDocks(host.window, snapshot),
                 QStringList({"gone", "", "AUDIO", "gone"}));
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "tst_window_layout.moc"
