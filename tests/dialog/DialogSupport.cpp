#include "DialogSupport.h"

#include "kestrune.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QDockWidget>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>

using testhost::Host;

namespace dialogtest {

QString localeText(const char* key) {
    auto text = Host::get().symbol<const char* (*)(const char*)>("obs_module_text");
    return text ? QString::fromUtf8(text(key)) : QString::fromUtf8(key);
}

QStringList buttonKeys() {
    return {QStringLiteral("SaveNew"), QStringLiteral("Overwrite"), QStringLiteral("Load"),
            QStringLiteral("Rename"),  QStringLiteral("Delete"),    QStringLiteral("Import"),
            QStringLiteral("Export"),  QStringLiteral("Refresh")};
}

QPushButton* Manager::button(const char* key) const {
    const int index = buttonKeys().indexOf(QString::fromLatin1(key));
    return index >= 0 && index < buttons.size() ? buttons[index] : nullptr;
}

QStringList Manager::rowTexts() const {
    QStringList texts;
    for (int row = 0; list && row < list->count(); ++row)
        texts.append(list->item(row)->text());
    return texts;
}

QString Manager::currentText() const {
    return list && list->currentItem() ? list->currentItem()->text() : QString();
}

QList<QDialog*> managerDialogs() {
    QList<QDialog*> found;
    if (QMainWindow* window = Host::get().window()) {
        for (QDialog* d : window->findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly))
            if (d->findChild<QListWidget*>())
                found.append(d);
    }
    return found;
}

Manager manager() {
    Manager m;
    const QList<QDialog*> dialogs = managerDialogs();
    if (dialogs.size() != 1)
        return m;
    m.dialog = dialogs.first();
    m.search = m.dialog->findChild<QLineEdit*>();
    m.list = m.dialog->findChild<QListWidget*>();
    for (QLabel* label : m.dialog->findChildren<QLabel*>())
        if (label->text() == localeText("SearchNotFound"))
            m.notFound = label;
    if (auto* grid = m.dialog->findChild<QGridLayout*>()) {
        for (int row = 0; row < grid->rowCount(); ++row) {
            QLayoutItem* item = grid->itemAtPosition(row, 1);
            if (auto* b = item ? qobject_cast<QPushButton*>(item->widget()) : nullptr)
                m.buttons.append(b);
        }
    }
    return m;
}

Manager openFromTools() {
    for (QAction* action : Host::get().toolsActions()) {
        if (action->text() == localeText("Title")) {
            action->trigger();
            break;
        }
    }
    Host::wait(0);
    Manager m = manager();
    if (m.dialog)
        (void)QTest::qWaitForWindowExposed(m.dialog);
    return m;
}

QString writeSnapshot(const QString& fileBase, const QString& name, const QString& hiddenDock) {
    QMainWindow* window = Host::get().window();
    showAllDocks();
    if (QDockWidget* dock = Host::get().dock(hiddenDock))
        dock->hide();
    const kestrune::Snapshot snapshot = kestrune::capture(*window, name);
    showAllDocks();
    QDir().mkpath(Host::get().snapshotsDir());
    const QString path = QDir(Host::get().snapshotsDir()).absoluteFilePath(fileBase + ".json");
    if (kestrune::write(path, snapshot) != kestrune::FileStatus::Ok)
        qWarning("could not write %s", qPrintable(path));
    return path;
}

void showAllDocks() {
    for (const QString& name : testhost::dockNames())
        if (QDockWidget* dock = Host::get().dock(name))
            dock->show();
}

QStringList hiddenDocks() {
    QStringList hidden;
    for (const QString& name : testhost::dockNames())
        if (QDockWidget* dock = Host::get().dock(name); dock && dock->isHidden())
            hidden.append(name);
    return hidden;
}

} // namespace dialogtest
