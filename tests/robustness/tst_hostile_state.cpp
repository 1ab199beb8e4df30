// Hostile state bytes must never reach Qt's parser in a shape that makes it
// read out of bounds, recurse without end or spin; real states always pass.
#include "kestrune.h"
#include "state_format.h"

#include <QApplication>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QProcess>
#include <QTest>
#include <QToolBar>

#include <memory>

namespace {

const QString crashers = QStringLiteral(KESTRUNE_DATA_DIR "/crashers/");

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::unique_ptr<QMainWindow> richWindow() {
    auto window = std::make_unique<QMainWindow>();
    window->setCentralWidget(new QLabel("preview", window.get()));
    const Qt::DockWidgetArea areas[] = {Qt::LeftDockWidgetArea, Qt::RightDockWidgetArea,
                                        Qt::BottomDockWidgetArea, Qt::TopDockWidgetArea};
    QList<QDockWidget*> docks;
    for (int i = 0; i < 12; ++i) {
        auto* dock = new QDockWidget(QString("Dock %1").arg(i), window.get());
        dock->setObjectName(QString("dock%1").arg(i));
        window->addDockWidget(areas[i % 4], dock, i % 3 ? Qt::Vertical : Qt::Horizontal);
        docks.append(dock);
    }
    window->tabifyDockWidget(docks[0], docks[4]);
    window->tabifyDockWidget(docks[1], docks[5]);
    window->splitDockWidget(docks[2], docks[6], Qt::Horizontal);
    window->splitDockWidget(docks[6], docks[10], Qt::Vertical);
    docks[11]->setFloating(true);
    for (int i = 0; i < 3; ++i) {
        auto* bar = window->addToolBar(QString("bar%1").arg(i));
        bar->setObjectName(QString("bar%1").arg(i));
        bar->addAction(QString("action %1").arg(i));
    }
    window->addToolBarBreak();
    auto* side = new QToolBar("side", window.get());
    side->setObjectName("side");
    window->addToolBar(Qt::LeftToolBarArea, side);
    window->resize(1400, 900);
    window->show();
    QApplication::processEvents();
    return window;
}

QByteArray header() {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << qint32(0xff) << qint32(0);
    return bytes;
}

QByteArray deepNesting(int depth) {
    QByteArray bytes = header();
    QDataStream out(&bytes, QIODevice::Append);
    out << quint8(0xfd) << qint32(1) << qint32(0) << qint32(100) << qint32(100);
    for (int i = 0; i < depth; ++i) {
        out << quint8(0xfc) << quint8(1) << qint32(1); // sequence of one item
        out << quint8(0xfc) << qint32(0) << qint32(10) << qint32(0) << qint32(0);
    }
    out << quint8(0xfc) << quint8(1) << qint32(0);
    out << qint32(100) << qint32(100) << qint32(1) << qint32(2) << qint32(4) << qint32(8);
    return bytes;
}

QByteArray endlessToolBarLines() {
    QByteArray bytes = header();
    QDataStream out(&bytes, QIODevice::Append);
    out << quint8(0xfe) << qint32(0x7fffffff);
    return bytes;
}

} // namespace

class HostileState : public QObject {
    Q_OBJECT

private slots:
    void realStatesPass() {
        auto window = richWindow();
        const QByteArray state = window->saveState(0);
        QVERIFY(kestrune::isRestorableState(state, 0));
        QVERIFY(!kestrune::isRestorableState(state, 1)); // another version is refused as Qt does
        window->removeDockWidget(window->findChild<QDockWidget*>("dock3"));
        QVERIFY(kestrune::isRestorableState(window->saveState(0), 0));
        QVERIFY(kestrune::isRestorableState(QMainWindow().saveState(0), 0));
    }

    void brokenStatesAreRefused() {
        QVERIFY(!kestrune::isRestorableState(
            fileBytes(crashers + "state-dock-area-out-of-range.bin"), 0));
        QVERIFY(!kestrune::isRestorableState(deepNesting(100000), 0));
        QVERIFY(kestrune::isRestorableState(deepNesting(20), 0));
        QVERIFY(!kestrune::isRestorableState(endlessToolBarLines(), 0));
        QVERIFY(!kestrune::isRestorableState(QByteArray(), 0));
        // Any cut of a real state either still parses or is refused, never more.
        auto window = richWindow();
        const QByteArray state = window->saveState(0);
        int refused = 0;
        for (int size = 0; size < state.size(); ++size)
            refused += kestrune::isRestorableState(state.left(size), 0) ? 0 : 1;
        QVERIFY(refused > state.size() * 9 / 10);
        QVERIFY(!kestrune::isRestorableState(state + '\0', 0));
    }

    // Run in a child, so a crash shows as a failure instead of ending the run.
    void restoreRefusesCrashersAndKeepsTheWindow() {
        for (const char* file : {"state-dock-area-out-of-range.bin", "deep", "toolbar-lines"}) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            const QString path = crashers + QString::fromLatin1(file);
            child.start(QCoreApplication::applicationFilePath(),
                        {"--restore", QFile::exists(path) ? path : QString::fromLatin1(file)});
            if (!child.waitForFinished(30000)) {
                child.kill();
                child.waitForFinished();
                QFAIL(qPrintable(QString("restore of %1 did not return").arg(file)));
            }
            QVERIFY2(child.exitStatus() == QProcess::NormalExit, file);
            QVERIFY2(child.exitCode() == 0,
                     qPrintable(QString("%1: child answered %2").arg(file).arg(child.exitCode())));
        }
    }
};

// Child: restore the hostile state on a rich window; 0 when it is refused
// and the window keeps its layout.
static int restoreInChild(const QString& statePath) {
    auto window = richWindow();
    const kestrune::Snapshot before = kestrune::capture(*window, QString());
    kestrune::Snapshot hostile = before;
    hostile.state = statePath == "deep"            ? deepNesting(100000)
                    : statePath == "toolbar-lines" ? endlessToolBarLines()
                                                   : fileBytes(statePath);
    if (hostile.state.isEmpty() || kestrune::restore(*window, hostile))
        return 1;
    return kestrune::capture(*window, QString()).state == before.state ? 0 : 2;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--restore") == 0)
        return restoreInChild(QString::fromLocal8Bit(argv[2]));
    HostileState test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_hostile_state.moc"
