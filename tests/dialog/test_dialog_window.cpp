// The manager dialog in the host: opening, layout, selection and order,
// search and the keyboard.
#include "DialogSupport.h"

using namespace dialogtest;
using testhost::Modals;

namespace {

const QStringList names = {"Alpha Layout", "Beta", "Delta studio", "Gamma STUDIO", "Omega"};

// The row of the snapshot loaded since showAllDocks(), by the dock it hides:
// -1 for none, -2 for several.
int loadedRow() {
    int row = -1;
    for (int i = 0; i < testhost::dockNames().size(); ++i)
        if (Host::get().dock(testhost::dockNames()[i])->isHidden())
            row = row == -1 ? i : -2;
    return row;
}

// Delivered straight to the field, as the window system would.
void pressReturn(QLineEdit* field, bool autoRepeat = false, Qt::Key key = Qt::Key_Return,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent event(type, key, modifiers, QStringLiteral("\r"), autoRepeat);
        QCoreApplication::sendEvent(field, &event);
    }
    Host::wait(0);
}

void addRow(const char* name, const char* typed, int current, bool notFound, int picked,
            int loads) {
    QTest::newRow(name) << QString(typed) << current << notFound << picked << loads;
}

} // namespace

class DialogWindow : public QObject {
    Q_OBJECT

    Manager m;

    QStringList enabledButtons() const {
        QStringList on;
        for (int i = 0; i < m.buttons.size(); ++i)
            if (m.buttons[i]->isEnabled())
                on.append(buttonKeys[i]);
        return on;
    }

private slots:
    void initTestCase() { Host::get().start(); }
    void cleanupTestCase() { Host::get().stop(); }
    void init() {
        Host::get().reset();
        // a.json to e.json; loading one hides the dock of its row.
        for (int i = 0; i < names.size(); ++i)
            writeSnapshot(QString(QChar('a' + i)), names[i], testhost::dockNames()[i]);
    }

    void toolsActionAndOpenHotkeyShowOneDialogRebuiltEachTime() {
        QVERIFY(managerLists().isEmpty());
        m = openFromTools();
        QVERIFY(m.dialog && m.dialog->isVisible());
        QCOMPARE(m.rowTexts(), names);
        m.search->setText(QStringLiteral("nothing like it"));
        QVERIFY(m.notFound->isVisible());
        m.dialog->close();
        QVERIFY(m.dialog && !m.dialog->isVisible()); // hidden, not destroyed

        writeSnapshot("z", "Zeta");
        Host::get().bind(Host::get().hotkey("obs-kestrune.open"), {QStringLiteral("OBS_KEY_F9")});
        Host::get().press(OBS_KEY_F9);
        QTRY_VERIFY(m.dialog->isVisible());
        QCOMPARE(m.rowTexts(), names + QStringList{"Zeta"});
        QVERIFY(m.search->text().isEmpty() && !m.notFound->isVisible());

        // Opened again while visible and the main window minimised: the same
        // dialog, cleared and in front; the window restored and still maximised.
        QMainWindow* window = Host::get().window();
        window->showMaximized();
        Host::wait(50);
        window->setWindowState(window->windowState() | Qt::WindowMinimized);
        Host::wait(50);
        QVERIFY(window->isMinimized());
        m.search->setText(QStringLiteral("nothing like it"));
        openFromTools();
        QVERIFY(!window->isMinimized() && (window->windowState() & Qt::WindowMaximized));
        QCOMPARE(managerLists(), QList<QListWidget*>{m.list});
        QVERIFY(m.search->text().isEmpty() && !m.notFound->isVisible());
        QTRY_VERIFY(m.dialog->isActiveWindow());
    }

    void layoutFooterAndContextMenu() {
        m = openFromTools();
        QCOMPARE(m.buttons.size(), buttonKeys.size());
        for (QPushButton* b : m.buttons)
            QCOMPARE(b->height(), m.search->height());
        QCOMPARE(m.search->geometry().top(), m.buttons[0]->geometry().top());
        QCOMPARE(m.list->geometry().top(), m.buttons[1]->geometry().top());
        QCOMPARE(m.list->geometry().bottom(), m.buttons[7]->geometry().bottom());

        const QSize list = m.list->size();
        const int buttonWidth = m.buttons[0]->width();
        m.dialog->resize(m.dialog->size() + QSize(200, 200));
        Host::wait(50);
        QCOMPARE(m.list->size(), list + QSize(200, 0));
        QCOMPARE(m.buttons[0]->width(), buttonWidth);

        QCOMPARE(m.list->contextMenuPolicy(), Qt::ActionsContextMenu);
        QCOMPARE(m.list->actions().size(), 1);
        QCOMPARE(m.list->actions().first()->text(), localeText("OpenFolder"));

        const QString footer = QStringLiteral("OBS-Kestrune 1.0.0 \u00b7 %1 <a href=\"http")
                                   .arg(localeText("Author").toHtmlEscaped());
        const QList<QLabel*> labels = m.dialog->findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.begin(), labels.end(), [&](QLabel* l) {
            return l->text().startsWith(footer) && l->openExternalLinks();
        }));
    }

    void selectionAfterOpeningLoadingAndDeleting() {
        m = openFromTools();
        QCOMPARE(m.list->currentRow(), 0);
        m.list->setCurrentRow(2);
        m.button("Load")->click();
        m.list->setCurrentRow(1);
        m.dialog->close();
        openFromTools();
        QCOMPARE(m.list->currentRow(), 2);

        m.list->setCurrentRow(4);
        Modals::get().expect(Modals::click(localeText("Continue")));
        m.button("Delete")->click();
        QCOMPARE(m.list->count(), 4);
        QCOMPARE(m.list->currentRow(), 3);

        // A new dialog whose last loaded file is gone starts at the first row.
        QFile::remove(QDir(Host::get().snapshotsDir()).filePath("c.json"));
        Host::get().restart();
        QCOMPARE(openFromTools().list->currentRow(), 0);
    }

    void refreshKeepsTheSelectionAndTheTopOfTheView() {
        for (int i = 10; i < 45; ++i)
            writeSnapshot(QStringLiteral("row%1").arg(i), QStringLiteral("row %1").arg(i));
        m = openFromTools();
        QVERIFY(m.list->verticalScrollBar()->isVisible());
        m.list->scrollToItem(m.list->item(20), QAbstractItemView::PositionAtTop);
        m.list->setCurrentRow(22);
        const QString top = m.list->item(20)->text(), current = m.list->item(22)->text();

        // Rows above the view go away, another appears: same row at the top.
        for (const char* gone : {"b.json", "d.json", "row12.json"})
            QVERIFY(QFile::remove(QDir(Host::get().snapshotsDir()).filePath(gone)));
        writeSnapshot("new", "new");
        QTest::mouseClick(m.button("Refresh"), Qt::LeftButton);
        QCOMPARE(m.list->count(), 38);
        QCOMPARE(m.list->currentIndex().data().toString(), current);
        QCOMPARE(m.list->indexAt(QPoint(1, 1)).data().toString(), top);
    }

    void draggedOrderIsSavedAndSurvivesRefreshAndRestart() {
        m = openFromTools();
        // What a drop inside the list does: move the row in the model.
        QVERIFY(m.list->model()->moveRow(QModelIndex(), 0, QModelIndex(), 3));
        const QStringList dragged = {names[1], names[2], names[0], names[3], names[4]};
        QCOMPARE(m.rowTexts(), dragged); // moved, not copied
        QFile settings(Host::get().settingsPath());
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QCOMPARE(QJsonDocument::fromJson(settings.readAll())["snapshotOrder"].toArray(),
                 QJsonArray({"b.json", "c.json", "a.json", "d.json", "e.json"}));
        QTest::mouseClick(m.button("Refresh"), Qt::LeftButton);
        QCOMPARE(m.rowTexts(), dragged);
        Host::get().restart();
        QCOMPARE(openFromTools().rowTexts(), dragged);
    }

    void typingMovesTheCurrentRowAndReturnLoads_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("current"); // row after typing; row 0 was current
        QTest::addColumn<bool>("notFound");
        QTest::addColumn<int>("picked"); // row made current before Return, -1 none
        QTest::addColumn<int>("loads");  // row loaded by Return, -1 none
        addRow("first substring match, any case", "STUDIO", 2, false, -1, 2);
        addRow("lower case inside a longer name", "mma st", 3, false, -1, 3);
        addRow("spaces around ignored", "  layout ", 0, false, -1, 0);
        addRow("matching current row kept", "studio", 2, false, 3, 3);
        addRow("current row not matching", "studio", 2, false, 1, 2);
        addRow("#3 is the third row", "#3", 2, false, -1, 2);
        addRow("#2 whatever the current row", "#2", 1, false, 3, 1);
        addRow("#0", "#0", 0, true, 1, -1);
        addRow("# alone", "#", 0, true, -1, -1);
        addRow("# and letters", "#two", 0, true, -1, -1);
        addRow("# beyond the rows", "#6", 0, true, -1, -1);
        addRow("# too large for an int", "#99999999999", 0, true, -1, -1);
        addRow("no match", "zzz", 0, true, 2, -1);
        addRow("spaces only: the current row", "   ", 0, false, 2, 2);
    }
    void typingMovesTheCurrentRowAndReturnLoads() {
        QFETCH(QString, typed);
        QFETCH(int, picked);
        m = openFromTools();
        m.search->setFocus();
        QTest::keyClicks(m.search, typed);
        QCOMPARE(m.search->text(), typed); // keys other than Return reach the field
        QTEST(m.list->currentRow(), "current");
        QTEST(m.notFound->isVisible(), "notFound");
        QCOMPARE(loadedRow(), -1);

        if (picked >= 0)
            m.list->setCurrentRow(picked);
        QSignalSpy returnPressed(m.search, &QLineEdit::returnPressed);
        pressReturn(m.search);
        QTEST(loadedRow(), "loads");
        QCOMPARE(returnPressed.count(), 0);
        QVERIFY(m.dialog->isVisible()); // no default button closed it
    }

    void emptyListDisablesButtonsAndSwallowsReturn() {
        m = openFromTools();
        QCOMPARE(enabledButtons(), buttonKeys);
        for (const QFileInfo& file : QDir(Host::get().snapshotsDir()).entryInfoList(QDir::Files))
            QVERIFY(QFile::remove(file.filePath()));
        QTest::mouseClick(m.button("Refresh"), Qt::LeftButton);
        QCOMPARE(m.list->count(), 0);
        QCOMPARE(enabledButtons(), (QStringList{"SaveNew", "Import", "Refresh"}));
        QSignalSpy returnPressed(m.search, &QLineEdit::returnPressed);
        pressReturn(m.search);
        QCOMPARE(returnPressed.count(), 0);
        QCOMPARE(loadedRow(), -1);
        QCOMPARE(Modals::get().seen().size(), 0);
    }

    void returnIsSwallowedWhenRepeatedOrWhileACommandRuns() {
        m = openFromTools();
        m.search->setText(QStringLiteral("Beta"));
        pressReturn(m.search, false, Qt::Key_Enter, Qt::ShiftModifier);
        QCOMPARE(loadedRow(), 1);
        showAllDocks();
        for (int i = 0; i < 3; ++i)
            pressReturn(m.search, true);
        QCOMPARE(loadedRow(), -1);

        m.dialog->hide();
        // The rename prompt runs a nested event loop with the command guard set.
        QString during = QStringLiteral("not run");
        Modals::get().expect(Modals::inspect(
            [&](QWidget*) {
                pressReturn(m.search);
                openFromTools();
                during = QString::number(loadedRow()) + (m.dialog->isVisible() ? " shown" : "");
            },
            Modals::reject()));
        m.button("Rename")->click();
        QCOMPARE(Modals::get().seen().size(), 1);
        QCOMPARE(during, QStringLiteral("-1"));
        QCOMPARE(m.search->text(), QStringLiteral("Beta"));
    }

    void findKeyFocusesTheSearchAndListKeysActOnTheList() {
        m = openFromTools();
        QVERIFY(QTest::qWaitForWindowActive(m.dialog));
        m.search->setText(QStringLiteral("Alpha"));
        m.buttons[0]->setFocus();
        QTest::keyClick(m.buttons[0], Qt::Key_F, Qt::ControlModifier);
        QVERIFY(m.search->hasFocus());
        QCOMPARE(m.search->selectedText(), QStringLiteral("Alpha"));

        m.buttons[0]->setFocus();
        QTest::keyClick(m.buttons[0], Qt::Key_F2);
        QTest::keyClick(m.buttons[0], Qt::Key_Delete);
        QCOMPARE(Modals::get().seen().size(), 0);
        m.list->setFocus();
        QTest::keyClick(m.list, Qt::Key_F2);
        QTest::keyClick(m.list, Qt::Key_Delete);
        QCOMPARE(Modals::get().seen().size(), 2);
        QCOMPARE(Modals::get().seen()[0].type, QStringLiteral("QInputDialog"));
        QCOMPARE(Modals::get().seen()[1].type, QStringLiteral("QMessageBox"));
        QCOMPARE(m.list->count(), 5);

        // Return in the list loads the list's row, not the search match.
        m.list->setCurrentRow(2);
        QTest::keyClick(m.list, Qt::Key_Return);
        QCOMPARE(loadedRow(), 2);
        showAllDocks();
        const QPoint row3 = m.list->visualItemRect(m.list->item(3)).center();
        QTest::mouseClick(m.list->viewport(), Qt::LeftButton, {}, row3);
        QTest::mouseDClick(m.list->viewport(), Qt::LeftButton, {}, row3);
        QCOMPARE(loadedRow(), 3);
    }
};

QTEST_MAIN(DialogWindow)
#include "test_dialog_window.moc"
