// SPDX-License-Identifier: GPL-2.0-or-later
// Everything the plug-in tells or asks the user, and the snapshots folder.
#include "LayoutController.h"
#include "PlainText.h"
#include "PluginLog.h"

#include <QDesktopServices>
#include <QDir>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QUrl>

void LayoutController::error(const char* key, const QString& detail) {
    const char* safeKey = key ? key : "";
    logLine(LOG_WARNING, "%s: %s", safeKey, detail.toUtf8().constData());
    if (shutDown || !mainWindow)
        return;

    QString body = localeText(safeKey);
    if (!detail.isEmpty())
        body += QStringLiteral("\n\n") + detail;
    QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Warning, localeText("Title"), body,
                                                QMessageBox::Ok, boxParent());
    // Paths and names are shown as they are, never as markup.
    box->setTextFormat(Qt::PlainText);
    box->exec();
    // The parent may have taken the box with it while it was open.
    delete box.data();
}

void LayoutController::report(LoadTrigger trigger, const char* key, const QString& detail) {
    if (trigger == LoadTrigger::Dialog || trigger == LoadTrigger::Hotkey)
        error(key, detail);
    else
        logLine(LOG_WARNING, "%s: %s", key, detail.toUtf8().constData());
}

void LayoutController::showStatus(const QString& message) {
    // Only a status bar the host has; asking QMainWindow for one would make one.
    auto* bar = mainWindow
                    ? mainWindow->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly)
                    : nullptr;
    if (!bar)
        return;
    // OBS's status bar hides QStatusBar's message slots behind its own, which
    // show the text in a label: called by name, the host's own one runs.
    const bool label = bar->metaObject() != &QStatusBar::staticMetaObject;
    QMetaObject::invokeMethod(bar, "showMessage",
                              Q_ARG(QString, label ? shownAsPlainText(message) : message),
                              Q_ARG(int, statusMs));
}

bool LayoutController::confirm(const QString& question, bool continueIsDefault) {
    // During teardown nothing is asked and nothing is agreed to.
    if (shutDown)
        return false;
    QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Question, localeText("Title"),
                                                question, QMessageBox::NoButton, dialog.data());
    box->setTextFormat(Qt::PlainText);
    QPushButton* continueButton = box->addButton(localeText("Continue"), QMessageBox::AcceptRole);
    QPushButton* cancelButton = box->addButton(localeText("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(continueIsDefault ? continueButton : cancelButton);
    box->exec();
    const bool accepted = box && !shutDown && box->clickedButton() == continueButton;
    delete box.data();
    return accepted;
}

QWidget* LayoutController::boxParent() const {
    // Once the dialog exists, even hidden, boxes belong to it.
    return dialog ? static_cast<QWidget*>(dialog.data()) : mainWindow.data();
}

bool LayoutController::ensureDirectory() {
    if (!snapshotsDir.isEmpty() && !settingsPath.isEmpty() && QDir().mkpath(snapshotsDir))
        return true;
    error("DirectoryFailed", QString());
    return false;
}

void LayoutController::openFolder() {
    if (!ensureDirectory())
        return;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(snapshotsDir)))
        error("OpenFolderFailed", snapshotsDir);
}
