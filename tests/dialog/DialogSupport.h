// Shared by the dialog tests: finding the dialog's widgets, writing snapshot
// files whose layouts tell apart which one was loaded.
#pragma once

#include "TestHost.h"

#include <QPointer>
#include <QString>
#include <QStringList>

class QDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace dialogtest {

// The module's locale text of key.
QString localeText(const char* key);

// Keys of the command buttons, top to bottom.
QStringList buttonKeys();

struct Manager {
    QPointer<QDialog> dialog;
    QPointer<QLineEdit> search;
    QPointer<QListWidget> list;
    QPointer<QLabel> notFound;
    QList<QPushButton*> buttons; // in grid order

    QPushButton* button(const char* key) const;
    QStringList rowTexts() const;
    QString currentText() const;
};

// Every manager dialog under the main window (there should be at most one).
QList<QDialog*> managerDialogs();
Manager manager();

// Opens the dialog through the Tools-menu action and returns its widgets.
Manager openFromTools();

// Writes a snapshot file named fileBase + ".json" holding name. The stored
// layout has the dock hiddenDock hidden, so loading it can be recognised.
QString writeSnapshot(const QString& fileBase, const QString& name,
                      const QString& hiddenDock = QString());

void showAllDocks();
// The docks hidden now: after showAllDocks() and one load, the dock that
// identifies the loaded snapshot.
QStringList hiddenDocks();

} // namespace dialogtest
