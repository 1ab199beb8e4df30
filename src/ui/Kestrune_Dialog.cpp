// The manager dialog: built on first use, hidden on close, reused afterwards.
#include "Kestrune.h"
#include "SnapshotDelegate.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLayoutItem>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace {

// A shortcut on the list only, so the same keys on a button do nothing.
void addListShortcut(QListWidget* list, const QList<QKeySequence>& keys, Kestrune* context,
                     std::function<void()> run) {
    auto* shortcut = new QShortcut(list);
    shortcut->setKeys(keys);
    shortcut->setContext(Qt::WidgetShortcut);
    shortcut->setAutoRepeat(false);
    QObject::connect(shortcut, &QShortcut::activated, context, std::move(run));
}

QString footerText() {
    const QString homepage = QString::fromUtf8(KESTRUNE_HOMEPAGE).toHtmlEscaped();
    // One pass, so a "%1" inside the author text stays as typed.
    return QString::fromUtf8("OBS-Kestrune %1 \u00b7 %2 ")
               .arg(QString::fromUtf8(pluginVersion), text("Author").toHtmlEscaped()) +
           QStringLiteral("<a href=\"%1\">%1</a>").arg(homepage);
}

} // namespace

void Kestrune::show() {
    if (!ready || shutDown || loading || !mainWindow || !ensureDirectory())
        return;

    // Clearing only the minimised flag keeps a maximised or full-screen window so.
    if (mainWindow->isMinimized())
        mainWindow->setWindowState(mainWindow->windowState() & ~Qt::WindowMinimized);

    if (!dialog) {
        selectionButtons.clear();

        dialog = new QDialog(mainWindow, Qt::WindowFlags());
        dialog->setWindowTitle(text("Title"));
        dialog->resize(630, 400);

        auto* box = new QVBoxLayout(dialog);
        auto* help = new QLabel(text("Help"), dialog);
        help->setWordWrap(true);
        box->addWidget(help, 0);

        auto* grid = new QGridLayout();
        grid->setSpacing(box->spacing());
        grid->setColumnStretch(0, 1);

        auto* searchRow = new QHBoxLayout();
        search = new QLineEdit(dialog);
        search->setAttribute(Qt::WA_LayoutUsesWidgetRect);
        search->setPlaceholderText(text("SearchPrompt"));
        search->setAccessibleName(text("Search"));
        search->setClearButtonEnabled(true);
        search->installEventFilter(this);
        notFoundLabel = new QLabel(text("SearchNotFound"), dialog);
        notFoundLabel->hide();
        searchRow->addWidget(search, 1);
        searchRow->addWidget(notFoundLabel, 0);
        grid->addLayout(searchRow, 0, 0);

        list = new QListWidget(dialog);
        list->setAttribute(Qt::WA_LayoutUsesWidgetRect);
        list->setItemDelegate(new SnapshotDelegate(list));
        list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
        list->setUniformItemSizes(true);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setDragDropMode(QAbstractItemView::InternalMove);
        list->setDefaultDropAction(Qt::MoveAction);
        list->setContextMenuPolicy(Qt::ActionsContextMenu);

        auto* searchAction = new QAction(text("Search"), dialog);
        searchAction->setShortcut(QKeySequence::Find);
        searchAction->setShortcutContext(Qt::WindowShortcut);
        searchAction->setAutoRepeat(false);
        connect(searchAction, &QAction::triggered, this, [this] { focusSearch(); });
        dialog->addAction(searchAction);

        connect(search, &QLineEdit::textChanged, this, [this] { searchChanged(); });

        auto* openFolderAction = new QAction(text("OpenFolder"), list);
        connect(openFolderAction, &QAction::triggered, this, [this] { openFolder(); });
        list->addAction(openFolderAction);

        addListShortcut(list, {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}, this,
                        [this] { load(selected()); });
        addListShortcut(list, {QKeySequence(Qt::Key_F2)}, this, [this] { rename(); });
        addListShortcut(list, {QKeySequence(Qt::Key_Delete)}, this, [this] { remove(); });

        struct Command {
            const char* key;
            bool needsSelection;
            std::function<void()> run;
        };
        const Command commands[] = {
            {"SaveNew", false, [this] { saveNew(); }},
            {"Overwrite", true, [this] { overwrite(); }},
            {"Load", true, [this] { load(selected()); }},
            {"Rename", true, [this] { rename(); }},
            {"Delete", true, [this] { remove(); }},
            {"Import", false, [this] { importSnapshot(); }},
            {"Export", true, [this] { exportSnapshot(); }},
            {"Refresh", false,
             [this] {
                 refresh(QString());
                 saveSettings();
             }},
        };
        int row = 0;
        QPushButton* saveNewButton = nullptr;
        for (const Command& command : commands) {
            auto* button = new QPushButton(text(command.key), dialog);
            button->setAttribute(Qt::WA_LayoutUsesWidgetRect);
            connect(button, &QPushButton::clicked, this, command.run);
            grid->addWidget(button, row++, 1);
            if (command.needsSelection)
                selectionButtons.append(button);
            if (!saveNewButton)
                saveNewButton = button;
        }

        // One row height for the field and every button, so the list lines up with them.
        const int height =
            std::max(search->sizeHint().height(), saveNewButton->sizeHint().height());
        search->setFixedHeight(height);
        for (int r = 0; r < row; ++r) {
            if (QLayoutItem* item = grid->itemAtPosition(r, 1); item && item->widget())
                item->widget()->setFixedHeight(height);
        }

        grid->addWidget(list, 1, 0, row - 1, 1);

        box->addLayout(grid, 0);
        box->addStretch(0);

        auto* footer = new QLabel(footerText(), dialog);
        footer->setTextFormat(Qt::RichText);
        footer->setTextInteractionFlags(Qt::TextBrowserInteraction);
        footer->setOpenExternalLinks(true);
        footer->setWordWrap(true);
        box->addWidget(footer, 0);

        connect(list, &QListWidget::itemSelectionChanged, this, [this] { updateButtons(); });
        // The current item, not the clicked one: the same row every other load path uses.
        connect(list, &QListWidget::itemDoubleClicked, this, [this] { load(selected()); });
        connect(list->model(), &QAbstractItemModel::rowsMoved, this, [this] { rowsReordered(); });
    }

    refresh(lastPath);
    if (search)
        search->clear();
    if (dialog) {
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
    }
}

void Kestrune::focusSearch() {
    if (shutDown || loading || !search)
        return;
    search->setFocus(Qt::ShortcutFocusReason);
    search->selectAll();
}
