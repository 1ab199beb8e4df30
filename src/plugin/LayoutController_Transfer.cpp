// SPDX-License-Identifier: GPL-2.0-or-later
// Import and export: snapshots cross the folder boundary only through the
// snapshot file format, so whatever comes in or goes out is re-validated.
#include "LayoutController.h"

#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QScopedValueRollback>
#include <QStringList>

QString LayoutController::filePath(QFileDialog::AcceptMode mode, const QString& suggested) {
    const bool saving = mode == QFileDialog::AcceptSave;
    // The home folder at first, then where the last import or export went.
    if (transferDir.isEmpty())
        transferDir = QDir::homePath();
    QPointer<QFileDialog> chooser = new QFileDialog(
        dialog, localeText(saving ? "Export" : "Import"), transferDir, localeText("FileFilter"));
    chooser->setAcceptMode(mode);
    chooser->setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    chooser->setDefaultSuffix("json");
    if (!suggested.isEmpty())
        chooser->selectFile(suggested);

    const int result = chooser->exec();
    QString chosen;
    if (result == QDialog::Accepted && chooser && !shutDown && mainWindow) {
        const QStringList files = chooser->selectedFiles();
        if (!files.isEmpty())
            chosen = files.first();
    }
    if (!chosen.isEmpty())
        transferDir = QFileInfo(chosen).absolutePath();
    delete chooser;
    return chosen;
}

void LayoutController::write(const QString& path, const kestrune::Snapshot& snapshot) {
    if (kestrune::write(path, snapshot) != kestrune::FileStatus::Ok)
        error("WriteFailed", path);
    else // one pass, so a "%2" in the name stays as typed
        showStatus(localeText("StatusExported").arg(snapshot.name, QDir::toNativeSeparators(path)));
}

void LayoutController::importSnapshot() {
    if (!idle())
        return;
    QScopedValueRollback<bool> guard(loading, true);
    if (!canAddSnapshot())
        return;
    const QString source = filePath(QFileDialog::AcceptOpen, QString());
    if (source.isEmpty())
        return;
    kestrune::Snapshot snapshot;
    if (kestrune::read(source, snapshot) != kestrune::FileStatus::Ok) {
        error("ReadFailed", source);
        return;
    }
    // The layout is only stored, not applied, so lastPath stays.
    saveSnapshot(snapshot, QString(), false);
}

void LayoutController::exportSnapshot() {
    if (!idle())
        return;
    QScopedValueRollback<bool> guard(loading, true);
    QString path;
    kestrune::Snapshot snapshot;
    if (!readSelected(path, snapshot))
        return;
    const QString target = filePath(QFileDialog::AcceptSave, snapshot.name + ".json");
    if (target.isEmpty())
        return;
    write(target, snapshot);
}
