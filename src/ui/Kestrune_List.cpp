// Turning the snapshots folder into the list, the user's order and the
// per-snapshot hotkeys, with or without the dialog.
#include "Kestrune.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QSignalBlocker>
#include <QStringBuilder>

#include <algorithm>

namespace {

// What the user was looking at before the rows were rebuilt.
struct View {
    bool keep = false;
    int row = -1;
    int scroll = 0;
    QString topPath;
    int topOffset = 0;
};

View rememberView(QListWidget* list, bool keep) {
    View view;
    if (!list)
        return view;
    view.keep = keep;
    view.row = list->currentRow();
    view.scroll = list->verticalScrollBar()->value();
    if (QListWidgetItem* top = list->itemAt(1, 1)) {
        view.topPath = top->data(Qt::UserRole).toString();
        view.topOffset = list->visualItemRect(top).top();
    }
    return view;
}

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

// Looked up once per refresh instead of once per row.
struct RowTexts {
    QString modified = text("Modified");
};

void fillItem(QListWidgetItem* item, const kestrune::SnapshotEntry& entry, const QString& path,
              const RowTexts& texts) {
    const Stamps stamps = timeStamps(entry.modified.toLocalTime());
    item->setData(Qt::UserRole, path);
    item->setData(Qt::UserRole + 1, stamps.minutes);
    const QString when = texts.modified.arg(stamps.seconds);
    item->setToolTip(entry.name % QLatin1Char('\n') % when % QLatin1Char('\n') % path);
}

} // namespace

void Kestrune::refresh(const QString& select) {
    const QString target = select.isEmpty() ? selected() : select;
    const View view = rememberView(list, select.isEmpty());
    if (list)
        list->clear();

    int skipped = 0;
    int overLimit = 0;
    const QList<kestrune::SnapshotEntry> entries =
        kestrune::listSnapshots(snapshotsDir, order, skipped, &overLimit);

    order.clear();
    order.reserve(entries.size());
    QSet<QString> listed;
    listed.reserve(entries.size());
    const QString prefix = kestrune::detail::entryPrefix(snapshotsDir);
    const RowTexts texts;
    if (list) {
        // Every row in one insertion instead of one per snapshot.
        QStringList names;
        names.reserve(entries.size());
        for (const kestrune::SnapshotEntry& entry : entries)
            names.append(entry.name);
        list->addItems(names);
    }
    QListWidgetItem* top = nullptr;
    QListWidgetItem* current = nullptr;
    for (qsizetype row = 0; row < entries.size(); ++row) {
        const kestrune::SnapshotEntry& entry = entries.at(row);
        order.append(entry.file);
        const QString path = prefix + entry.file;
        listed.insert(path);
        syncSnapshotHotkey(path, entry.name);
        if (!list)
            continue;
        QListWidgetItem* item = list->item(int(row));
        {
            // Nothing has been laid out or painted since the rows went in,
            // so the view needs no news of their data.
            const QSignalBlocker quiet(list->model());
            fillItem(item, entry, path, texts);
        }
        if (path == view.topPath)
            top = item;
        if (path == target)
            current = item;
    }
    if (current)
        list->setCurrentItem(current);

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
        blog(LOG_WARNING, "[obs-kestrune] Skipped %d unreadable snapshot file(s)", skipped);
    if (overLimit != 0)
        blog(LOG_WARNING,
             "[obs-kestrune] %d snapshot file(s) exceed the %d-snapshot limit; files remain on "
             "disk",
             overLimit, kestrune::snapshotLimit);

    if (!list)
        return;
    if (!current && list->count() > 0)
        list->setCurrentRow(std::max(0, std::min(list->count() - 1, view.row)));
    if (view.keep) {
        list->doItemsLayout();
        QScrollBar* bar = list->verticalScrollBar();
        if (top) {
            list->scrollToItem(top, QAbstractItemView::PositionAtTop);
            if (list->verticalScrollMode() == QAbstractItemView::ScrollPerPixel)
                bar->setValue(bar->value() - view.topOffset);
        } else {
            bar->setValue(view.scroll);
        }
    } else if (QListWidgetItem* current = list->currentItem()) {
        list->scrollToItem(current, QAbstractItemView::EnsureVisible);
    }
    if (search && notFoundLabel) {
        const QString query = search->text().trimmed().normalized(QString::NormalizationForm_C);
        notFoundLabel->setVisible(!query.isEmpty() && !searchMatch(query));
    }
    updateButtons();
}

QString Kestrune::selected() const {
    if (!list || !list->currentItem())
        return QString();
    return list->currentItem()->data(Qt::UserRole).toString();
}

void Kestrune::updateButtons() {
    const bool enabled = !selected().isEmpty();
    for (const QPointer<QPushButton>& button : std::as_const(selectionButtons)) {
        if (button)
            button->setEnabled(enabled);
    }
}

void Kestrune::rowsReordered() {
    // Without the rows there is no order to take; keep the one we have.
    if (!list || shutDown)
        return;
    order.clear();
    for (int row = 0; row < list->count(); ++row)
        order.append(QFileInfo(list->item(row)->data(Qt::UserRole).toString()).fileName());
    saveSettings();
}
