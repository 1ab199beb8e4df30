// Everything the plug-in tells or asks the user, and the snapshots folder.
#include "Kestrune.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

void Kestrune::error(const char* key, const QString& detail) {
    const char* safeKey = key ? key : "";
    blog(LOG_WARNING, "[obs-kestrune] %s: %s", safeKey, detail.toUtf8().constData());
    if (shutDown || !mainWindow)
        return;

    QString body = text(safeKey);
    if (!detail.isEmpty())
        body += QStringLiteral("\n\n") + detail;
    QWidget* parent = dialog ? static_cast<QWidget*>(dialog.data()) : mainWindow.data();
    QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Warning, text("Title"), body, QMessageBox::Ok, parent);
    // Paths and names are shown as they are, never as markup.
    box->setTextFormat(Qt::PlainText);
    box->exec();
    // The parent may have taken the box with it while it was open.
    delete box.data();
}

bool Kestrune::confirm(const QString& question, bool continueIsDefault) {
    // During teardown nothing is asked and nothing is agreed to.
    if (shutDown)
        return false;
    QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Question, text("Title"), question,
                                                QMessageBox::NoButton, dialog.data());
    box->setTextFormat(Qt::PlainText);
    QPushButton* continueButton = box->addButton(text("Continue"), QMessageBox::AcceptRole);
    QPushButton* cancelButton = box->addButton(text("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(continueIsDefault ? continueButton : cancelButton);
    box->exec();
    const bool accepted = box && !shutDown && box->clickedButton() == continueButton;
    delete box.data();
    return accepted;
}

bool Kestrune::ensureDirectory() {
    if (!snapshotsDir.isEmpty() && !settingsPath.isEmpty() && QDir().mkpath(snapshotsDir))
        return true;
    error("DirectoryFailed", QString());
    return false;
}

void Kestrune::openFolder() {
    if (!ensureDirectory())
        return;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(snapshotsDir)))
        error("OpenFolderFailed", snapshotsDir);
}
