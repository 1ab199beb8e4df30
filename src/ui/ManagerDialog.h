// SPDX-License-Identifier: GPL-2.0-or-later
// The manager dialog: the searchable, reorderable snapshot list and its
// commands. It shows the rows it is given and says what the user asked for;
// what a command does is up to whoever listens.
#pragma once

#include <QDialog>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QVBoxLayout;

// What a snapshot can be set to load with, from the list's context menu.
enum class LinkKind { Start, Profile, Collection };

// One snapshot as the list shows it.
struct SnapshotRow {
    QString path; // the snapshot file, which identifies the row
    QString name;
    QString time;    // painted at the right of the row
    QString toolTip; // plain text
    bool last = false;
    QString hotkey = {}; // painted before the time
    QString note = {};   // its links, muted after the name
    bool atStart = false, withProfile = false, withCollection = false;
};

class ManagerDialog : public QDialog {
    Q_OBJECT

public:
    using TextLookup = std::function<QString(const char* key)>;

    ManagerDialog(QWidget* parent, TextLookup text);
    ~ManagerDialog() override;

    // Shows rows in this order. With select empty, the selected snapshot and
    // the top of the view stay where they were; otherwise select becomes the
    // current row and is scrolled into view.
    void setRows(const QList<SnapshotRow>& rows, const QString& select);
    void selectPath(const QString& path);
    // The mark of the snapshot loaded last moves to path.
    void markLast(const QString& path);
    void setHotkey(const QString& path, const QString& hotkey);
    // Names the files of the folder that could not be read; none hides the line.
    void setUnreadable(const QStringList& files);
    // The profile and scene collection the context menu's links name.
    void setLinkTargets(const QString& profile, const QString& collection);
    QString selectedPath() const;
    QString selectedName() const;
    // Empties the search field and brings the dialog to the front.
    void present();

signals:
    void loadRequested(const QString& path);
    void saveNewRequested();
    void overwriteRequested();
    void renameRequested();
    void deleteRequested();
    void importRequested();
    void exportRequested();
    void refreshRequested();
    void openFolderRequested();
    // The rows' paths in their new order, after the user dragged one.
    void orderChanged(const QStringList& paths);
    void linkToggled(const QString& path, LinkKind kind, bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void searchChanged();
    void focusSearch();
    void updateButtons();
    void rowsMoved();
    void showLinks();

private:
    void createSearchRow(QGridLayout* grid);
    void createList();
    int createButtons(QGridLayout* grid);
    void createFooter(QVBoxLayout* box);
    void createActions();
    void showRow(QListWidgetItem* item, const SnapshotRow& row);
    QString query() const;
    QListWidgetItem* searchMatch(const QString& query) const;
    void updateNotFound();

    TextLookup texts;
    QPointer<QLineEdit> search;
    QPointer<QLabel> notFoundLabel;
    QPointer<QListWidget> list;
    QPointer<QLabel> unreadableLabel;
    QPointer<QAction> linkActions[3]; // by LinkKind
    struct Shown {
        SnapshotRow row;
        QListWidgetItem* item = nullptr; // valid until the rows are set again
    };
    QHash<QString, Shown> shown; // the rows by path
    QList<QPointer<QPushButton>> selectionButtons;
};
