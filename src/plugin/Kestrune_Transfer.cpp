// Import and export: snapshots cross the folder boundary only through the
// snapshot file format, so whatever comes in or goes out is re-validated.
#include "Kestrune.h"

#include <QMainWindow>
#include <QScopedValueRollback>
#include <QStringList>

QString Kestrune::filePath(QFileDialog::AcceptMode mode, const QString& suggested) {
    const bool saving = mode == QFileDialog::AcceptSave;
    QPointer<QFileDialog> chooser =
        new QFileDialog(dialog ? dialog.data() : nullptr, text(saving ? "Export" : "Import"),
                        QString(), text("FileFilter"));
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

void Kestrune::write(const QString& path, const kestrune::Snapshot& snapshot) {
    if (kestrune::write(path, snapshot) != kestrune::FileStatus::Ok)
        error("WriteFailed", path);
}

void Kestrune::importSnapshot() {
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

void Kestrune::exportSnapshot() {
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
