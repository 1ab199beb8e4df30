#include "CommandTest.h"

#include <QAction>
#include <QListWidget>
#include <QPushButton>

void CommandTest::cleanup() {
    QCOMPARE(Modals::get().unexpected(), 0);
    QCOMPARE(Modals::get().pending(), 0);
    for (const QString& file : folder().keys())
        QVERIFY2(readBack(pathOf(file)) != kestrune::Snapshot(), qPrintable(file));
}

kestrune::Snapshot CommandTest::sample(const QString& name) {
    kestrune::Snapshot s = live(name);
    s.state = "seeded state of " + name.toUtf8();
    s.docks = {"seededDock"};
    return s;
}

bool CommandTest::seed(const QString& file, const kestrune::Snapshot& snapshot) {
    return QDir().mkpath(host().snapshotsDir()) &&
           kestrune::write(pathOf(file), snapshot) == kestrune::FileStatus::Ok;
}

kestrune::Snapshot CommandTest::readBack(const QString& path) {
    kestrune::Snapshot s;
    return kestrune::read(path, s) == kestrune::FileStatus::Ok ? s : kestrune::Snapshot();
}

QMap<QString, QByteArray> CommandTest::folder() {
    QMap<QString, QByteArray> out;
    const auto filter = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QFileInfo& info : QDir(host().snapshotsDir()).entryInfoList(filter))
        out.insert(info.fileName(), readBytes(info.absoluteFilePath()));
    return out;
}

obs_hotkey_id CommandTest::bindF5(const QString& file) {
    host().bind(hotkey(file), {"OBS_KEY_F5"});
    return hotkey(file);
}

static QListWidget* list() {
    return host().window()->findChild<QListWidget*>();
}

bool CommandTest::openDialog() {
    for (QAction* action : host().toolsActions())
        if (action->text() == moduleText("Title"))
            action->trigger();
    Host::wait(0);
    return list() && list()->isVisible();
}

void CommandTest::click(const char* key) {
    for (QPushButton* b : host().window()->findChildren<QPushButton*>())
        if (b->text() == moduleText(key) && b->isVisible() && b->isEnabled())
            b->click();
    Host::wait(0);
}

bool CommandTest::select(const QString& file) {
    for (int row = 0; row < list()->count(); ++row)
        if (list()->item(row)->data(Qt::UserRole).toString() == pathOf(file))
            list()->setCurrentRow(row);
    return current() == pathOf(file);
}

QString CommandTest::current() {
    QListWidgetItem* item = list() ? list()->currentItem() : nullptr;
    return item ? item->data(Qt::UserRole).toString() : QString();
}

QStringList CommandTest::seen() {
    QStringList out;
    for (const testhost::SeenModal& m : Modals::get().seen())
        out.append(m.type + ": " + m.text);
    return out;
}

QString CommandTest::box(const char* key, const QString& detail) {
    return "QMessageBox: " + moduleText(key) + (detail.isEmpty() ? QString() : "\n\n" + detail);
}
