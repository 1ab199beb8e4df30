// Hostile state bytes must never reach Qt's parser in a shape that makes it
// read out of bounds, recurse without end or spin; real states always pass.
#include "Snapshot.h"
#include "state_format.h"

#include <QApplication>
#include <QDockWidget>
#include <QFile>
#include <QMainWindow>
#include <QTest>
#include <QToolBar>

namespace {

// As rich as OBS's own: docks in every area, tabbed, split and floating,
// and toolbars in two lines and on the side.
void furnish(QMainWindow& window) {
    window.setCentralWidget(new QWidget(&window));
    QList<QDockWidget*> docks;
    for (int i = 0; i < 12; ++i) {
        docks.append(new QDockWidget(QString("Dock %1").arg(i), &window));
        docks[i]->setObjectName(QString("dock%1").arg(i));
        const Qt::DockWidgetArea area = Qt::DockWidgetArea(1 << (i % 4));
        window.addDockWidget(area, docks[i], i % 3 ? Qt::Vertical : Qt::Horizontal);
    }
    window.tabifyDockWidget(docks[0], docks[4]);
    window.tabifyDockWidget(docks[1], docks[5]);
    window.splitDockWidget(docks[2], docks[6], Qt::Horizontal);
    window.splitDockWidget(docks[6], docks[10], Qt::Vertical);
    docks[11]->setFloating(true);
    for (int i = 0; i < 3; ++i)
        window.addToolBar(QString("bar%1").arg(i))->setObjectName(QString("bar%1").arg(i));
    window.addToolBarBreak();
    auto* side = new QToolBar("side", &window);
    side->setObjectName("side");
    window.addToolBar(Qt::LeftToolBarArea, side);
    window.resize(1400, 900);
    window.show();
    QApplication::processEvents();
}

// A state of version 0 whose body the writer fills in.
template <typename Body>
QByteArray state(Body body) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << qint32(0xff) << qint32(0);
    body(out);
    return bytes;
}

// Nested splits of one dock area, depth levels deep.
QByteArray deepNesting(int depth) {
    return state([depth](QDataStream& out) {
        out << quint8(0xfd) << qint32(1) << qint32(0) << qint32(100) << qint32(100);
        for (int i = 0; i < depth; ++i) {
            out << quint8(0xfc) << quint8(1) << qint32(1); // a sequence of one item
            out << quint8(0xfc) << qint32(0) << qint32(10) << qint32(0) << qint32(0);
        }
        out << quint8(0xfc) << quint8(1) << qint32(0);
        out << qint32(100) << qint32(100) << qint32(1) << qint32(2) << qint32(4) << qint32(8);
    });
}

// Qt 6.4 would loop over this many toolbar lines.
QByteArray endlessToolBarLines() {
    return state([](QDataStream& out) { out << quint8(0xfe) << qint32(0x7fffffff); });
}

QByteArray crasher() {
    QFile file(KESTRUNE_DATA_DIR "/crashers/state-dock-area-out-of-range.bin");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class HostileState : public QObject {
    Q_OBJECT

private slots:
    void realStatesPassBrokenOnesAreRefused() {
        QMainWindow window;
        furnish(window);
        const QByteArray real = window.saveState(0);
        QVERIFY(kestrune::isRestorableState(real, 0));
        QVERIFY(!kestrune::isRestorableState(real, 1)); // another version, refused as Qt does
        QVERIFY(kestrune::isRestorableState(QMainWindow().saveState(0), 0));
        QVERIFY(kestrune::isRestorableState(deepNesting(20), 0));
        for (const QByteArray& broken :
             {crasher(), deepNesting(100000), endlessToolBarLines(), QByteArray(), real + '\0'})
            QVERIFY(!kestrune::isRestorableState(broken, 0));
        // Any cut of a real state either still parses or is refused, never more.
        int refused = 0;
        for (int size = 0; size < real.size(); ++size)
            refused += kestrune::isRestorableState(real.left(size), 0) ? 0 : 1;
        QVERIFY(refused > real.size() * 9 / 10);
        window.removeDockWidget(window.findChild<QDockWidget*>("dock3"));
        QVERIFY(kestrune::isRestorableState(window.saveState(0), 0));
    }

    // Before the check, each of these crashed or hung the host.
    void restoreRefusesCrashersAndKeepsTheWindow() {
        QVERIFY(!crasher().isEmpty());
        for (const QByteArray& hostile : {crasher(), deepNesting(100000), endlessToolBarLines()}) {
            QMainWindow window;
            furnish(window);
            kestrune::Snapshot snapshot = kestrune::capture(window, "hostile");
            const QByteArray before = snapshot.state;
            snapshot.state = hostile;
            QVERIFY(!kestrune::restore(window, snapshot));
            QCOMPARE(window.saveState(0), before);
        }
    }
};

QTEST_MAIN(HostileState)
#include "tst_hostile_state.moc"
