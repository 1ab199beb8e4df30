// Shared by the dialog tests: the dialog's widgets, and snapshot files whose
// layouts tell apart which one was loaded.
#pragma once

#include "TestHost.h"
#include "Snapshot.h"

#include <QtWidgets>

namespace dialogtest {

using testhost::Host;

inline QString localeText(const char* key) {
    auto text = Host::get().symbol<const char* (*)(const char*)>("obs_module_text");
    return QString::fromUtf8(text ? text(key) : key);
}

// The command buttons, top to bottom.
inline const QStringList buttonKeys = {"SaveNew", "Overwrite", "Load",   "Rename",
                                       "Delete",  "Import",    "Export", "Refresh"};

struct Manager {
    QPointer<QDialog> dialog;
    QPointer<QLineEdit> search;
    QPointer<QListWidget> list;
    QPointer<QLabel> notFound;
    QList<QPushButton*> buttons; // in grid order

    QPushButton* button(const char* key) const { return buttons.value(buttonKeys.indexOf(key)); }
    QStringList rowTexts() const {
        QStringList texts;
        for (int row = 0; list && row < list->count(); ++row)
            texts.append(list->item(row)->text());
        return texts;
    }
};

// Every snapshot list under the main window: one per manager dialog.
inline QList<QListWidget*> managerLists() {
    return Host::get().window()->findChildren<QListWidget*>();
}

inline Manager manager() {
    Manager m;
    if (managerLists().size() != 1)
        return m;
    m.list = managerLists().first();
    m.dialog = qobject_cast<QDialog*>(m.list->window());
    m.search = m.dialog->findChild<QLineEdit*>();
    for (QLabel* label : m.dialog->findChildren<QLabel*>())
        if (label->text() == localeText("SearchNotFound"))
            m.notFound = label;
    auto* grid = m.dialog->findChild<QGridLayout*>();
    for (int row = 0; grid && row < grid->rowCount(); ++row)
        if (QLayoutItem* item = grid->itemAtPosition(row, 1))
            if (auto* b = qobject_cast<QPushButton*>(item->widget()))
                m.buttons.append(b);
    return m;
}

inline Manager openFromTools() {
    for (QAction* action : Host::get().toolsActions())
        action->trigger();
    Host::wait(0);
    Manager m = manager();
    if (m.dialog && m.dialog->isVisible())
        (void)QTest::qWaitForWindowExposed(m.dialog);
    return m;
}

inline void showAllDocks() {
    for (const QString& name : testhost::dockNames())
        if (QDockWidget* dock = Host::get().dock(name))
            dock->show();
}

// Writes fileBase + ".json" named name, whose layout hides the dock hiddenDock.
inline void writeSnapshot(const QString& fileBase, const QString& name,
                          const QString& hiddenDock = QString()) {
    showAllDocks();
    if (QDockWidget* dock = Host::get().dock(hiddenDock))
        dock->hide();
    const kestrune::Snapshot snapshot = kestrune::capture(*Host::get().window(), name);
    showAllDocks();
    QDir().mkpath(Host::get().snapshotsDir());
    const QString path = QDir(Host::get().snapshotsDir()).absoluteFilePath(fileBase + ".json");
    if (kestrune::write(path, snapshot) != kestrune::FileStatus::Ok)
        qFatal("could not write %s", qPrintable(path));
}

} // namespace dialogtest
