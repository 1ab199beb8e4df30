#include "LayoutFolder.h"

#include "Snapshot.h"

#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QMainWindow>
#include <QRandomGenerator>
#include <QTextEdit>

#include <cstdio>

namespace benchdata {

QStringList dockNames() {
    return {QStringLiteral("scenesDock"),      QStringLiteral("sourcesDock"),
            QStringLiteral("mixerDock"),       QStringLiteral("transitionsDock"),
            QStringLiteral("controlsDock"),    QStringLiteral("statsDock"),
            QStringLiteral("chatDock"),        QStringLiteral("browserDock_alerts"),
            QStringLiteral("browserDock_obs"), QStringLiteral("vstDock"),
            QStringLiteral("captionsDock"),    QStringLiteral("scriptLogDock")};
}

std::unique_ptr<QMainWindow> makeWindow() {
    auto window = std::make_unique<QMainWindow>();
    window->setObjectName(QStringLiteral("OBSBasic"));
    window->setCentralWidget(new QLabel(QStringLiteral("preview"), window.get()));
    window->setDockNestingEnabled(true);
    for (const QString& name : dockNames()) {
        auto* dock = new QDockWidget(name, window.get());
        dock->setObjectName(name);
        dock->setWidget(new QTextEdit(dock));
        window->addDockWidget(Qt::BottomDockWidgetArea, dock);
    }
    window->resize(1500, 900);
    window->show();
    QApplication::processEvents();
    return window;
}

void arrange(QMainWindow& window, int n) {
    QRandomGenerator random(quint32(n) * 2654435761u + 7);
    const Qt::DockWidgetArea areas[] = {Qt::LeftDockWidgetArea, Qt::RightDockWidgetArea,
                                        Qt::BottomDockWidgetArea, Qt::TopDockWidgetArea};
    QList<QDockWidget*> docks;
    for (const QString& name : dockNames())
        docks.append(window.findChild<QDockWidget*>(name));
    for (QDockWidget* dock : docks) {
        dock->setFloating(false);
        window.addDockWidget(areas[random.bounded(4)], dock,
                             random.bounded(2) ? Qt::Horizontal : Qt::Vertical);
    }
    // A few tab groups and one or two floating docks, as real layouts have.
    for (int i = 0; i < 3; ++i) {
        QDockWidget* first = docks[random.bounded(docks.size())];
        QDockWidget* second = docks[random.bounded(docks.size())];
        if (first != second)
            window.tabifyDockWidget(first, second);
    }
    for (int i = 0, floating = 1 + n % 2; i < floating; ++i) {
        QDockWidget* dock = docks[random.bounded(docks.size())];
        dock->setFloating(true);
        dock->setGeometry(100 + random.bounded(800), 100 + random.bounded(500),
                          250 + random.bounded(300), 150 + random.bounded(300));
    }
    window.setGeometry(20 + random.bounded(100), 40 + random.bounded(100),
                       1200 + random.bounded(400), 700 + random.bounded(250));
    QApplication::processEvents();
    QList<int> sizes;
    for (int i = 0; i < docks.size(); ++i)
        sizes.append(120 + random.bounded(260));
    window.resizeDocks(docks, sizes, random.bounded(2) ? Qt::Horizontal : Qt::Vertical);
    QApplication::processEvents();
}

QString snapshotName(int n) {
    static const char* const words[] = {"Streaming", "Recording", "Podcast",       "Gaming",
                                        "Interview", "Tutorial",  "Just Chatting", "Music",
                                        "Überblick", "Réunion",   "配信",          "Ensayo"};
    return QStringLiteral("%1 %2").arg(QString::fromUtf8(words[n % 12])).arg(n, 4, 10, QChar('0'));
}

QStringList populate(QMainWindow& window, const QString& dir, int count) {
    QDir().mkpath(dir);
    QStringList files;
    const int arrangements = 40;
    QList<kestrune::Snapshot> captured;
    for (int i = 0; i < arrangements; ++i) {
        arrange(window, i);
        captured.append(kestrune::capture(window, QString()));
    }
    for (int i = 0; i < count; ++i) {
        kestrune::Snapshot snapshot = captured[i % arrangements];
        snapshot.name = snapshotName(i);
        const QString file = snapshot.name + QStringLiteral(".json");
        if (kestrune::write(QDir(dir).filePath(file), snapshot) != kestrune::FileStatus::Ok) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            continue;
        }
        files.append(file);
    }
    return files;
}

int readAndParseAll(const QString& dir) {
    int parsed = 0;
    const QDir folder(dir);
    for (const QString& file :
         folder.entryList({QStringLiteral("*.json")}, QDir::Files | QDir::Hidden)) {
        QFile f(folder.filePath(file));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        if (QJsonDocument::fromJson(f.readAll()).isObject())
            ++parsed;
    }
    return parsed;
}

} // namespace benchdata
