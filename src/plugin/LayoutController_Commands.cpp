// SPDX-License-Identifier: GPL-2.0-or-later
// Save new, overwrite, rename and delete: the commands that change the
// snapshots folder from the dialog, and the one place that writes into it.
#include "LayoutController.h"

#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QMainWindow>
#include <QScopeGuard>
#include <QScopedValueRollback>

namespace {

// The characters a name may not hold, readable: unprintable ones by number.
QString shownCharacters(const QString& units) {
    QStringList shown;
    for (const QChar unit : units)
        shown.append(
            unit.isPrint()
                ? QString(unit)
                : QStringLiteral("U+%1").arg(uint(unit.unicode()), 4, 16, QChar(u'0')).toUpper());
    return shown.join(QLatin1Char(' '));
}

} // namespace

QString nameReason(const QString& name) {
    const kestrune::NameProblem problem = kestrune::nameProblem(name);
    switch (problem.rule) {
    case kestrune::NameRule::Length:
        return localeText("NameLength");
    case kestrune::NameRule::Spaces:
        return localeText("NameSpaces");
    case kestrune::NameRule::Characters:
        return localeText("NameCharacters").arg(shownCharacters(problem.detail));
    case kestrune::NameRule::Reserved:
        return localeText("NameReserved").arg(problem.detail);
    case kestrune::NameRule::None:
        break;
    }
    return QString();
}

bool LayoutController::idle() const {
    return !shutDown && !loading && mainWindow;
}

bool LayoutController::readSelected(QString& path, kestrune::Snapshot& snapshot) {
    path = selected();
    if (path.isEmpty())
        return false;
    if (kestrune::read(path, snapshot) == kestrune::FileStatus::Ok)
        return true;
    error("ReadFailed", path);
    return false;
}

bool LayoutController::canAddSnapshot(LoadTrigger trigger) {
    int skipped = 0;
    if (kestrune::listSnapshots(snapshotsDir, order, skipped, nullptr).size() <
        kestrune::snapshotLimit)
        return true;
    report(trigger, "SnapshotLimit", QString());
    return false;
}

void LayoutController::refuseName(kestrune::NameStatus status, const QString& name) {
    if (status == kestrune::NameStatus::Duplicate)
        error("DuplicateName", QString());
    else
        error("InvalidName", nameReason(name));
}

QString LayoutController::nameFor(const QString& initial, const QString& current) {
    QPointer<QInputDialog> prompt = new QInputDialog(dialog);
    const auto cleanup = qScopeGuard([&prompt] { delete prompt; });
    prompt->setInputMode(QInputDialog::TextInput);
    prompt->setWindowTitle(localeText("Title"));
    prompt->setLabelText(localeText("NamePrompt"));
    prompt->setTextValue(initial);
    prompt->setOkButtonText(localeText("Save"));
    prompt->setCancelButtonText(localeText("Cancel"));

    for (;;) {
        const int result = prompt->exec();
        if (result != QDialog::Accepted || !prompt || shutDown || !mainWindow)
            return QString();
        const QString name = prompt->textValue().trimmed().normalized(QString::NormalizationForm_C);
        const kestrune::NameStatus status = kestrune::checkName(snapshotsDir, name, current);
        if (status == kestrune::NameStatus::Valid)
            return name;
        prompt->setTextValue(name);
        refuseName(status, name);
        // The box ran an event loop: the host may be closing by now.
        if (!prompt || shutDown || !mainWindow)
            return QString();
    }
}

QString LayoutController::saveSnapshot(const kestrune::Snapshot& snapshot, const QString& oldPath,
                                       bool captured, LoadTrigger trigger) {
    if (!ensureDirectory())
        return QString();
    const bool adding = oldPath.isEmpty() || !QFileInfo::exists(oldPath);
    if (adding && !canAddSnapshot(trigger))
        return QString();
    const kestrune::NameStatus status = kestrune::checkName(snapshotsDir, snapshot.name, oldPath);
    if (status != kestrune::NameStatus::Valid) {
        if (trigger == LoadTrigger::Dialog)
            refuseName(status, snapshot.name);
        return QString();
    }

    // Same form as the list's paths, so an unchanged name never looks like a move.
    const QString path = kestrune::detail::entryPrefix(snapshotsDir) + snapshot.name + ".json";
    const bool moved = !oldPath.isEmpty() && oldPath != path;
    if (moved && !QFile::rename(oldPath, path)) {
        report(trigger, "RenameFailed", oldPath);
        return QString();
    }

    if (kestrune::write(path, snapshot) == kestrune::FileStatus::Ok) {
        if (oldPath.isEmpty())
            removeSnapshotSettings(path); // nothing left by an earlier file of this name
        else if (moved)
            moveSnapshotSettings(oldPath, path);
        if (captured)
            lastPath = path; // before the refresh, which marks its row
        refresh(path);
        saveSettings();
        snapshotsChanged();
        return path;
    }

    report(trigger, "WriteFailed", path);
    // The host may have torn down while the box was open; the file still goes back.
    if (moved && !QFile::rename(path, oldPath)) {
        // The old content stays under the new name; settings and list follow it there.
        report(trigger, "RenameFailed", path);
        moveSnapshotSettings(oldPath, path);
        refresh(path);
        saveSettings();
    }
    return QString();
}

void LayoutController::saveNew() {
    if (!idle())
        return;
    QScopedValueRollback<bool> guard(loading, true);
    if (!canAddSnapshot())
        return;
    const QString name = nameFor(QString(), QString());
    if (!name.isEmpty() && mainWindow)
        saveSnapshot(kestrune::capture(*mainWindow, name), QString(), true);
}

void LayoutController::overwrite() {
    if (!idle())
        return;
    QScopedValueRollback<bool> guard(loading, true);
    QString path;
    kestrune::Snapshot stored;
    if (!readSelected(path, stored))
        return;
    if (confirm(localeText("ConfirmOverwrite").arg(stored.name), false) && mainWindow)
        saveSnapshot(kestrune::capture(*mainWindow, stored.name), path, true);
}

void LayoutController::rename() {
    if (!idle())
        return;
    QScopedValueRollback<bool> guard(loading, true);
    QString path;
    kestrune::Snapshot snapshot;
    if (!readSelected(path, snapshot))
        return;
    const QString name = nameFor(snapshot.name, path);
    if (name.isEmpty())
        return;
    snapshot.name = name;
    saveSnapshot(snapshot, path, false);
}

void LayoutController::remove() {
    if (!idle())
        return;
    QScopedValueRollback<bool> guard(loading, true);
    const QString path = selected();
    if (path.isEmpty())
        return;
    if (!confirm(localeText("ConfirmDelete").arg(dialog->selectedName()), true))
        return;
    if (!QFile::remove(path)) {
        error("DeleteFailed", path);
        return;
    }
    removeSnapshotSettings(path);
    if (lastPath == path)
        lastPath.clear();
    refresh(QString());
    saveSettings();
    snapshotsChanged();
}
