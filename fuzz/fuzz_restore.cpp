// restore of arbitrary state and geometry bytes on a real window. Whatever Qt
// makes of the bytes, a refused snapshot leaves the window as it was.
#include "FuzzSupport.h"
#include "Snapshot.h"

#include <QApplication>
#include <QDockWidget>
#include <QLabel>
#include <QMainWindow>

namespace {

QMainWindow* makeWindow() {
    auto* window = new QMainWindow; // lives as long as the process
    window->setCentralWidget(new QLabel(QStringLiteral("preview"), window));
    const char* names[] = {"scenesDock", "sourcesDock", "mixerDock", "controlsDock", "chatDock"};
    const Qt::DockWidgetArea areas[] = {Qt::LeftDockWidgetArea, Qt::LeftDockWidgetArea,
                                        Qt::BottomDockWidgetArea, Qt::RightDockWidgetArea,
                                        Qt::RightDockWidgetArea};
    for (int i = 0; i < 5; ++i) {
        auto* dock = new QDockWidget(QString::fromLatin1(names[i]), window);
        dock->setObjectName(QString::fromLatin1(names[i]));
        window->addDockWidget(areas[i], dock);
    }
    window->resize(1200, 800);
    window->show();
    QApplication::processEvents();
    return window;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QCoreApplication* app = fuzzsupport::guiApplication();
    (void)app;
    static QMainWindow* window = makeWindow();
    static const kestrune::Snapshot original = kestrune::capture(*window, QString());

    // The first byte splits the rest into geometry and state, so both halves
    // can be anything from empty to everything.
    kestrune::Snapshot snapshot;
    snapshot.name = QStringLiteral("fuzz");
    if (size > 0) {
        const size_t split = size_t(data[0]) * (size - 1) / 255;
        const char* rest = reinterpret_cast<const char*>(data + 1);
        snapshot.geometry = QByteArray(rest, qsizetype(split));
        snapshot.state = QByteArray(rest + split, qsizetype(size - 1 - split));
    }

    const QRect before = window->geometry();
    if (!kestrune::restore(*window, snapshot)) {
        if (window->windowState() == Qt::WindowNoState)
            FUZZ_CHECK(window->geometry() == before);
    }
    // Put the starting layout back so every input meets the same window.
    FUZZ_CHECK(kestrune::restore(*window, original));
    return 0;
}
