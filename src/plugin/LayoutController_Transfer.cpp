// SPDX-License-Identifier: GPL-2.0-or-later
// Import and export: snapshots cross the folder boundary only through the
// snapshot file format, so whatever comes in or goes out is re-validated.
#include "LayoutController.h"

#include <QMainWindow>
#include <QScopedValueRollback>
#include <QStringList>

QString LayoutController::filePath(QFileDialog::AcceptMode mode, const QString& suggested) {
    const bool saving = mode == QFileDialog::AcceptSave;
    QPointer<QFileDialog> chooser = new QFileDialog(
        dialog, localeText(saving ? "Export" : "Import"), QString(), localeText("FileFilter"));
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
    delete chooser;
    return chosen;
}

void LayoutController::write(const QString& path, const kestrune::Snapshot& snapshot) {
    if (kestrune::write(path, snapshot) != kestrune::FileStatus::Ok)
        error("WriteFailed", path);
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
    if (!saveSnapshot(snapshot, QString()).isEmpty())
        saveSettings();
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
