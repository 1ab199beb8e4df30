// SPDX-License-Identifier: GPL-2.0-or-later
// Turning the snapshots folder into the user's order, the per-snapshot
// hotkeys and the dialog's rows, with or without the dialog.
#include "LayoutController.h"
#include "PluginLog.h"

#include <QMainWindow>
#include <QSet>
#include <QStringBuilder>

namespace {

// The time as "yyyy-MM-dd HH:mm:ss"; its first 16 units are the short form.
// QDateTime::toString parses its format on every call, which costs more than
// reading the snapshot file; the rare time outside the years 1 to 9999 is
// still left to it.
struct Stamps {
    QString minutes;
    QString seconds;
};

Stamps timeStamps(const QDateTime& time) {
    const QDate date = time.date();
    const int year = date.year();
    if (!time.isValid() || year < 1 || year > 9999)
        return {time.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))};
    const QTime clock = time.time();
    char16_t units[] = u"0000-00-00 00:00:00";
    const auto put = [&units](int at, int value, int digits) {
        for (int i = at + digits - 1; i >= at; --i, value /= 10)
            units[i] = char16_t(u'0' + value % 10);
    };
    put(0, year, 4);
    put(5, date.month(), 2);
    put(8, date.day(), 2);
    put(11, clock.hour(), 2);
    put(14, clock.minute(), 2);
    put(17, clock.second(), 2);
    return {QString::fromUtf16(units, 16), QString::fromUtf16(units, 19)};
}

} // namespace

void LayoutController::openManager() {
    if (!ready || shutDown || loading || !mainWindow || !ensureDirectory())
        return;
    // Clearing only the minimised flag keeps a maximised or full-screen window so.
    if (mainWindow->isMinimized())
        mainWindow->setWindowState(mainWindow->windowState() & ~Qt::WindowMinimized);
    if (!dialog)
        dialog = createDialog();
    refresh(lastPath);
    dialog->present();
}

ManagerDialog* LayoutController::createDialog() {
    auto* created = new ManagerDialog(mainWindow, localeText);
    connect(created, &ManagerDialog::loadRequested, this,
            [this](const QString& path) { load(path, LoadTrigger::Dialog); });
    connect(created, &ManagerDialog::saveNewRequested, this, &LayoutController::saveNew);
    connect(created, &ManagerDialog::overwriteRequested, this, &LayoutController::overwrite);
    connect(created, &ManagerDialog::renameRequested, this, &LayoutController::rename);
    connect(created, &ManagerDialog::deleteRequested, this, &LayoutController::remove);
    connect(created, &ManagerDialog::importRequested, this, &LayoutController::importSnapshot);
    connect(created, &ManagerDialog::exportRequested, this, &LayoutController::exportSnapshot);
    connect(created, &ManagerDialog::openFolderRequested, this, &LayoutController::openFolder);
    connect(created, &ManagerDialog::orderChanged, this, &LayoutController::reorder);
    connect(created, &ManagerDialog::linkToggled, this, &LayoutController::toggleLink);
    connect(created, &ManagerDialog::refreshRequested, this, [this] {
        refresh(QString());
        saveSettings();
    });
    return created;
}

void LayoutController::refresh(const QString& select) {
    if (shutDown)
        return;
    int skipped = 0;
    int overLimit = 0;
    QStringList unreadable;
    const QList<kestrune::SnapshotEntry> entries =
        kestrune::listSnapshots(snapshotsDir, order, skipped, &overLimit, &unreadable);

    order.clear();
    order.reserve(entries.size());
    QSet<QString> listed;
    listed.reserve(entries.size());
    QList<SnapshotRow> rows;
    rows.reserve(dialog ? entries.size() : 0);
    const QString prefix = kestrune::detail::entryPrefix(snapshotsDir);
    // Looked up once per refresh instead of once per row.
    const QString modified = localeText("Modified");
    const QString profile = dialog ? currentProfile() : QString();
    const QString collection = dialog ? currentCollection() : QString();
    for (const kestrune::SnapshotEntry& entry : entries) {
        order.append(entry.file);
        const QString path = prefix + entry.file;
        listed.insert(path);
        syncSnapshotHotkey(path, entry.name);
        if (!dialog)
            continue;
        const Stamps stamps = timeStamps(entry.modified.toLocalTime());
        SnapshotRow row{path,
                        entry.name,
                        stamps.minutes,
                        entry.name % QLatin1Char('\n') % modified.arg(stamps.seconds) %
                            QLatin1Char('\n') % path,
                        path == lastPath,
                        firstBinding(snapshotHotkeyIds.value(path))};
        describeLinks(entry.file, profile, collection, row);
        rows.append(row);
    }

    // Files that vanished, were renamed outside the plug-in or fell past the
    // limit lose their hotkeys here.
    for (auto it = snapshotHotkeyIds.begin(); it != snapshotHotkeyIds.end();) {
        if (listed.contains(it.key())) {
            ++it;
            continue;
        }
        obs_hotkey_unregister(it.value());
        it = snapshotHotkeyIds.erase(it);
    }

    if (skipped != 0)
        logLine(LOG_WARNING, "Skipped %d unreadable snapshot file(s)", skipped);
    if (overLimit != 0)
        logLine(LOG_WARNING,
                "%d snapshot file(s) exceed the %d-snapshot limit; files remain on disk", overLimit,
                kestrune::snapshotLimit);
    if (!dialog)
        return;
    dialog->setLinkTargets(profile, collection);
    dialog->setRows(rows, select);
    unreadable.sort();
    dialog->setUnreadable(unreadable);
}

QString LayoutController::selected() const {
    return dialog ? dialog->selectedPath() : QString();
}

void LayoutController::reorder(const QStringList& paths) {
    if (shutDown)
        return;
    order.clear();
    for (const QString& path : paths)
        order.append(fileNameOf(path));
    saveSettings();
    snapshotsChanged();
}
