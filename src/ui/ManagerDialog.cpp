// SPDX-License-Identifier: GPL-2.0-or-later
#include "ManagerDialog.h"
#include "ItemRoles.h"
#include "KestruneVersion.h"
#include "PlainText.h"
#include "SnapshotDelegate.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayoutItem>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>

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
    view.keep = keep;
    view.row = list->currentRow();
    view.scroll = list->verticalScrollBar()->value();
    if (QListWidgetItem* top = list->itemAt(1, 1)) {
        view.topPath = top->data(PathRole).toString();
        view.topOffset = list->visualItemRect(top).top();
    }
    return view;
}

} // namespace

ManagerDialog::ManagerDialog(QWidget* parent, TextLookup lookup)
    : QDialog(parent, Qt::WindowFlags()), texts(std::move(lookup)) {
    setWindowTitle(texts("Title"));
    resize(630, 400);

    auto* box = new QVBoxLayout(this);
    auto* help = new QLabel(texts("Help"), this);
    help->setWordWrap(true);
    box->addWidget(help, 0);

    auto* grid = new QGridLayout();
    grid->setSpacing(box->spacing());
    grid->setColumnStretch(0, 1);
    // Created in this order, which is also the order Tab follows.
    createSearchRow(grid);
    createList();
    const int rows = createButtons(grid);
    grid->addWidget(list, 1, 0, rows - 1, 1);
    box->addLayout(grid, 0);
    unreadableLabel = new QLabel(this);
    unreadableLabel->hide();
    box->addWidget(unreadableLabel, 0);
    box->addStretch(0);
    createFooter(box);
    createActions();
}

ManagerDialog::~ManagerDialog() {
    // The children outlive this part of the object: they must not call back
    // into it while QWidget deletes them.
    search->removeEventFilter(this);
    for (QObject* sender : {static_cast<QObject*>(search), static_cast<QObject*>(list),
                            static_cast<QObject*>(list->model())})
        disconnect(sender, nullptr, this, nullptr);
}

void ManagerDialog::createSearchRow(QGridLayout* grid) {
    auto* row = new QHBoxLayout();
    search = new QLineEdit(this);
    search->setAttribute(Qt::WA_LayoutUsesWidgetRect);
    search->setPlaceholderText(texts("SearchPrompt"));
    search->setAccessibleName(texts("Search"));
    search->setClearButtonEnabled(true);
    search->installEventFilter(this);
    notFoundLabel = new QLabel(texts("SearchNotFound"), this);
    notFoundLabel->hide();
    row->addWidget(search, 1);
    row->addWidget(notFoundLabel, 0);
    grid->addLayout(row, 0, 0);
    connect(search, &QLineEdit::textChanged, this, &ManagerDialog::searchChanged);
}

void ManagerDialog::createList() {
    list = new QListWidget(this);
    list->setAttribute(Qt::WA_LayoutUsesWidgetRect);
    list->setItemDelegate(new SnapshotDelegate(list));
    list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    list->setUniformItemSizes(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setDragDropMode(QAbstractItemView::InternalMove);
    list->setDefaultDropAction(Qt::MoveAction);
    list->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(list, &QListWidget::itemSelectionChanged, this, &ManagerDialog::updateButtons);
    // The current item, not the clicked one: the same row every other load path uses.
    connect(list, &QListWidget::itemDoubleClicked, this,
            [this] { emit loadRequested(selectedPath()); });
    connect(list->model(), &QAbstractItemModel::rowsMoved, this, &ManagerDialog::rowsMoved);
}

int ManagerDialog::createButtons(QGridLayout* grid) {
    struct Command {
        const char* key;
        bool needsSelection;
        void (ManagerDialog::*signal)();
    };
    static const Command commands[] = {
        {"SaveNew", false, &ManagerDialog::saveNewRequested},
        {"Overwrite", true, &ManagerDialog::overwriteRequested},
        {"Load", true, nullptr},
        {"Rename", true, &ManagerDialog::renameRequested},
        {"Delete", true, &ManagerDialog::deleteRequested},
        {"Import", false, &ManagerDialog::importRequested},
        {"Export", true, &ManagerDialog::exportRequested},
        {"Refresh", false, &ManagerDialog::refreshRequested},
    };
    int row = 0;
    for (const Command& command : commands) {
        auto* button = new QPushButton(texts(command.key), this);
        button->setAttribute(Qt::WA_LayoutUsesWidgetRect);
        if (command.signal)
            connect(button, &QPushButton::clicked, this, command.signal);
        else
            connect(button, &QPushButton::clicked, this,
                    [this] { emit loadRequested(selectedPath()); });
        grid->addWidget(button, row++, 1);
        if (command.needsSelection)
            selectionButtons.append(button);
    }
    // One row height for the field and every button, so the list lines up with them.
    const int height = std::max(search->sizeHint().height(),
                                grid->itemAtPosition(0, 1)->widget()->sizeHint().height());
    search->setFixedHeight(height);
    for (int r = 0; r < row; ++r)
        grid->itemAtPosition(r, 1)->widget()->setFixedHeight(height);
    return row;
}

void ManagerDialog::createFooter(QVBoxLayout* box) {
    const QString homepage = QStringLiteral(KESTRUNE_HOMEPAGE).toHtmlEscaped();
    // One pass, so a "%1" inside the author text stays as typed.
    const QString footer =
        QString::fromUtf8("OBS-Kestrune %1 \u00b7 %2 ")
            .arg(QStringLiteral(KESTRUNE_VERSION), texts("Author").toHtmlEscaped()) +
        QStringLiteral("<a href=\"%1\">%1</a>").arg(homepage);
    auto* label = new QLabel(footer, this);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    label->setOpenExternalLinks(true);
    label->setWordWrap(true);
    box->addWidget(label, 0);
}

void ManagerDialog::createActions() {
    auto* searchAction = new QAction(texts("Search"), this);
    searchAction->setShortcut(QKeySequence::Find);
    searchAction->setShortcutContext(Qt::WindowShortcut);
    searchAction->setAutoRepeat(false);
    connect(searchAction, &QAction::triggered, this, &ManagerDialog::focusSearch);
    addAction(searchAction);

    auto* openFolder = new QAction(texts("OpenFolder"), list);
    connect(openFolder, &QAction::triggered, this, &ManagerDialog::openFolderRequested);
    list->addAction(openFolder);
    auto* separator = new QAction(list);
    separator->setSeparator(true);
    list->addAction(separator);
    for (const LinkKind kind : {LinkKind::Start, LinkKind::Profile, LinkKind::Collection}) {
        auto* action = new QAction(list);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this,
                [this, kind](bool on) { emit linkToggled(selectedPath(), kind, on); });
        list->addAction(action);
        linkActions[int(kind)] = action;
    }
    linkActions[int(LinkKind::Start)]->setText(texts("LoadAtStart"));
    connect(list, &QListWidget::currentItemChanged, this, &ManagerDialog::showLinks);

    // Shortcuts of the list only, so the same keys on a button do nothing.
    const auto addListShortcut = [this](const QList<QKeySequence>& keys, auto slot) {
        auto* shortcut = new QShortcut(list);
        shortcut->setKeys(keys);
        shortcut->setContext(Qt::WidgetShortcut);
        shortcut->setAutoRepeat(false);
        connect(shortcut, &QShortcut::activated, this, slot);
    };
    addListShortcut({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)},
                    [this] { emit loadRequested(selectedPath()); });
    addListShortcut({QKeySequence(Qt::Key_F2)}, [this] { emit renameRequested(); });
    addListShortcut({QKeySequence(Qt::Key_Delete)}, [this] { emit deleteRequested(); });
}

void ManagerDialog::setRows(const QList<SnapshotRow>& rows, const QString& select) {
    const QString target = select.isEmpty() ? selectedPath() : select;
    const View view = rememberView(list, select.isEmpty());
    list->clear();

    // Every row in one insertion instead of one per snapshot.
    QStringList names;
    names.reserve(rows.size());
    for (const SnapshotRow& row : rows)
        names.append(row.name);
    list->addItems(names);
    QListWidgetItem* top = nullptr;
    QListWidgetItem* current = nullptr;
    shown.clear();
    {
        // Nothing has been laid out or painted since the rows went in, so
        // the view needs no news of their data.
        const QSignalBlocker quiet(list->model());
        for (int index = 0; index < rows.size(); ++index) {
            const SnapshotRow& row = rows.at(index);
            QListWidgetItem* item = list->item(index);
            shown.insert(row.path, {row, item});
            showRow(item, row);
            if (row.path == view.topPath)
                top = item;
            if (row.path == target)
                current = item;
        }
    }
    if (current)
        list->setCurrentItem(current);
    else if (list->count() > 0)
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
    } else if (QListWidgetItem* item = list->currentItem()) {
        list->scrollToItem(item, QAbstractItemView::EnsureVisible);
    }
    updateNotFound();
    updateButtons();
    showLinks();
}

void ManagerDialog::showRow(QListWidgetItem* item, const SnapshotRow& row) {
    item->setData(PathRole, row.path);
    item->setData(TimeRole, row.time);
    item->setData(LastRole, row.last);
    item->setData(HotkeyRole, row.hotkey);
    item->setData(NoteRole, row.note);
    const QString lastLine = row.last ? QLatin1Char('\n') + texts("LoadedLast") : QString();
    item->setToolTip(shownAsPlainText(row.toolTip + lastLine));
}

void ManagerDialog::selectPath(const QString& path) {
    if (const auto it = shown.constFind(path); it != shown.cend())
        list->setCurrentItem(it->item);
}

void ManagerDialog::markLast(const QString& path) {
    // A load runs this: only the rows whose mark changes are shown again.
    for (auto it = shown.begin(); it != shown.end(); ++it) {
        if (it->row.last != (it.key() == path)) {
            it->row.last = !it->row.last;
            showRow(it->item, it->row);
        }
    }
}

void ManagerDialog::setHotkey(const QString& path, const QString& hotkey) {
    if (const auto it = shown.find(path); it != shown.end()) {
        it->row.hotkey = hotkey;
        showRow(it->item, it->row);
    }
}

void ManagerDialog::setLinkTargets(const QString& profile, const QString& collection) {
    linkActions[int(LinkKind::Profile)]->setText(texts("LoadWithProfile").arg(profile));
    linkActions[int(LinkKind::Collection)]->setText(texts("LoadWithCollection").arg(collection));
}

void ManagerDialog::showLinks() {
    const SnapshotRow row = shown.value(selectedPath()).row;
    const bool checked[] = {row.atStart, row.withProfile, row.withCollection};
    for (int kind = 0; kind < 3; ++kind) {
        linkActions[kind]->setEnabled(!row.path.isEmpty());
        linkActions[kind]->setChecked(checked[kind]);
    }
}

void ManagerDialog::setUnreadable(const QStringList& files) {
    unreadableLabel->setVisible(!files.isEmpty());
    unreadableLabel->setText(texts("Unreadable").arg(files.size()));
    // At most ten names, so that the tip stays on the screen.
    QStringList names = files.mid(0, 10);
    if (files.size() > 10)
        names.append(QString::fromUtf8("\u2026"));
    unreadableLabel->setToolTip(shownAsPlainText(names.join(QLatin1Char('\n'))));
}

QString ManagerDialog::selectedPath() const {
    QListWidgetItem* item = list->currentItem();
    return item ? item->data(PathRole).toString() : QString();
}

QString ManagerDialog::selectedName() const {
    QListWidgetItem* item = list->currentItem();
    return item ? item->text() : QString();
}

void ManagerDialog::present() {
    search->clear();
    show();
    raise();
    activateWindow();
    // "Type to search" types where it says, however the dialog was left.
    search->setFocus(Qt::OtherFocusReason);
}

bool ManagerDialog::eventFilter(QObject* watched, QEvent* event) {
    // Type first: the filter also sees the field's last events while it is
    // being destroyed, when it is no longer a QLineEdit to compare with.
    if (event->type() != QEvent::KeyPress || watched != search)
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return QDialog::eventFilter(watched, event);

    // Consumed from here on: no returnPressed, no default button.
    if (key->isAutoRepeat())
        return true;
    const QString typed = query();
    // Keep a row the user picked by hand while it still matches.
    QListWidgetItem* target = list->currentItem();
    if (!target || typed.startsWith(QLatin1Char('#')) ||
        !target->text().contains(typed, Qt::CaseInsensitive))
        target = searchMatch(typed);
    if (target)
        emit loadRequested(target->data(PathRole).toString());
    return true;
}

QString ManagerDialog::query() const {
    return search->text().trimmed().normalized(QString::NormalizationForm_C);
}

QListWidgetItem* ManagerDialog::searchMatch(const QString& typed) const {
    if (typed.isEmpty())
        return nullptr;
    // "#" addresses the number painted in front of each row.
    if (typed.startsWith(QLatin1Char('#'))) {
        bool ok = false;
        const int number = typed.mid(1).toInt(&ok);
        return ok && number >= 1 && number <= list->count() ? list->item(number - 1) : nullptr;
    }
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text().contains(typed, Qt::CaseInsensitive))
            return list->item(row);
    }
    return nullptr;
}

void ManagerDialog::updateNotFound() {
    const QString typed = query();
    notFoundLabel->setVisible(!typed.isEmpty() && !searchMatch(typed));
}

void ManagerDialog::searchChanged() {
    updateNotFound();
    if (QListWidgetItem* match = searchMatch(query())) {
        list->setCurrentItem(match);
        list->scrollToItem(match, QAbstractItemView::EnsureVisible);
    }
}

void ManagerDialog::focusSearch() {
    search->setFocus(Qt::ShortcutFocusReason);
    search->selectAll();
}

void ManagerDialog::updateButtons() {
    const bool enabled = !selectedPath().isEmpty();
    for (const QPointer<QPushButton>& button : std::as_const(selectionButtons)) {
        if (button)
            button->setEnabled(enabled);
    }
}

void ManagerDialog::rowsMoved() {
    QStringList paths;
    for (int row = 0; row < list->count(); ++row)
        paths.append(list->item(row)->data(PathRole).toString());
    emit orderChanged(paths);
}
