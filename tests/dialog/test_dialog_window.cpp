// Opening the manager dialog, its layout, buttons, actions and shortcuts.
#include "DialogSupport.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QShortcut>
#include <QtTest>

using namespace dialogtest;
using testhost::Host;
using testhost::Modals;

class DialogWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Host::get().start(); }
    void cleanupTestCase() { Host::get().stop(); }
    void init() {
        Host::get().reset();
        showAllDocks();
    }

    void toolsActionAndOpenHotkeyShareOneDialog() {
        writeSnapshot("one", "One");
        QVERIFY(managerDialogs().isEmpty());
        Manager m = openFromTools();
        QVERIFY(m.dialog);
        QVERIFY(m.dialog->isVisible());
        QCOMPARE(m.dialog->windowTitle(), localeText("Title"));
        QVERIFY(!m.dialog->testAttribute(Qt::WA_DeleteOnClose));

        m.dialog->close();
        QVERIFY(m.dialog); // hidden, not destroyed
        QVERIFY(!m.dialog->isVisible());

        const obs_hotkey_id open = Host::get().hotkey("obs-kestrune.open");
        QVERIFY(open != OBS_INVALID_HOTKEY_ID);
        Host::get().bind(open, {QStringLiteral("OBS_KEY_F9")});
        Host::get().press(OBS_KEY_F9);
        QTRY_VERIFY(m.dialog->isVisible());
        QCOMPARE(managerDialogs().size(), 1);

        openFromTools();
        QCOMPARE(managerDialogs().size(), 1);
        QCOMPARE(manager().dialog, m.dialog);
    }

    void secondOpeningRebuildsAndClearsTheSearch() {
        writeSnapshot("one", "One");
        Manager m = openFromTools();
        QCOMPARE(m.rowTexts(), QStringList{"One"});
        m.search->setText(QStringLiteral("nothing like it"));
        QVERIFY(m.notFound->isVisible());

        writeSnapshot("two", "Two");
        const Manager again = openFromTools();
        QCOMPARE(again.dialog, m.dialog);
        QCOMPARE(m.rowTexts(), (QStringList{"One", "Two"}));
        QVERIFY(m.search->text().isEmpty());
        QVERIFY(!m.notFound->isVisible());
        QVERIFY(m.dialog->isVisible());
        QTRY_VERIFY(m.dialog->isActiveWindow());
    }

    void openingRestoresAMinimisedMainWindowKeepingItMaximised() {
        QMainWindow* window = Host::get().window();
        window->showMaximized();
        Host::wait(50);
        window->setWindowState(window->windowState() | Qt::WindowMinimized);
        Host::wait(50);
        QVERIFY(window->isMinimized());
        QVERIFY(openFromTools().dialog);
        QVERIFY(!window->isMinimized());
        QVERIFY(window->windowState() & Qt::WindowMaximized);
        window->showNormal();
        Host::wait(50);
    }

    void nothingOpensWhileACommandRuns() {
        writeSnapshot("one", "One");
        Manager m = openFromTools();
        m.search->setText(QStringLiteral("On"));
        m.dialog->hide();
        // The rename prompt runs a nested event loop with the command guard set.
        bool shownDuringPrompt = true;
        Modals::get().expect(Modals::inspect(
            [&](QWidget*) {
                openFromTools();
                shownDuringPrompt = m.dialog->isVisible();
            },
            Modals::reject()));
        m.list->setFocus();
        m.button("Rename")->click();
        QCOMPARE(Modals::get().seen().size(), 1);
        QVERIFY(!shownDuringPrompt);
        QCOMPARE(m.search->text(), QStringLiteral("On"));
    }

    void layoutLinesTheListUpWithTheButtons() {
        Manager m = openFromTools();
        QCOMPARE(m.buttons.size(), 8);
        QStringList texts;
        for (QPushButton* b : m.buttons)
            texts.append(b->text());
        QStringList expected;
        for (const QString& key : buttonKeys())
            expected.append(localeText(key.toUtf8().constData()));
        QCOMPARE(texts, expected);

        const int height = m.search->height();
        for (QPushButton* b : m.buttons)
            QCOMPARE(b->height(), height);
        QCOMPARE(m.search->geometry().top(), m.buttons[0]->geometry().top());
        QCOMPARE(m.list->geometry().top(), m.buttons[1]->geometry().top());
        QCOMPARE(m.list->geometry().bottom(), m.buttons[7]->geometry().bottom());
        QCOMPARE(m.list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

        const QRect list = m.list->geometry();
        const int buttonWidth = m.buttons[0]->width();
        m.dialog->resize(m.dialog->width() + 200, m.dialog->height());
        Host::wait(50);
        QCOMPARE(m.list->width(), list.width() + 200);
        QCOMPARE(m.buttons[0]->width(), buttonWidth);

        m.dialog->resize(m.dialog->width(), m.dialog->height() + 200);
        Host::wait(50);
        QCOMPARE(m.list->height(), list.height());
    }

    void footerNamesVersionAndEscapedAuthorWithALink() {
        Manager m = openFromTools();
        QLabel* footer = nullptr;
        for (QLabel* label : m.dialog->findChildren<QLabel*>())
            if (label->text().startsWith(QStringLiteral("OBS-Kestrune ")))
                footer = label;
        QVERIFY(footer);
        QCOMPARE(footer->textFormat(), Qt::RichText);
        QVERIFY(footer->openExternalLinks());
        const QString prefix = QStringLiteral("OBS-Kestrune 1.0.0 \u00b7 %1 ")
                                   .arg(localeText("Author").toHtmlEscaped());
        QVERIFY2(footer->text().startsWith(prefix), qPrintable(footer->text()));
        QVERIFY(footer->text().contains(QStringLiteral("<a href=\"http")));
    }

    void contextMenuHasOneEntry() {
        Manager m = openFromTools();
        QCOMPARE(m.list->contextMenuPolicy(), Qt::ActionsContextMenu);
        QCOMPARE(m.list->actions().size(), 1);
        QCOMPARE(m.list->actions().first()->text(), localeText("OpenFolder"));
    }

    void selectionButtonsFollowTheSelection() {
        Manager m = openFromTools();
        auto enabled = [&] {
            QStringList on;
            for (int i = 0; i < m.buttons.size(); ++i)
                if (m.buttons[i]->isEnabled())
                    on.append(buttonKeys()[i]);
            return on;
        };
        const QStringList always = {"SaveNew", "Import", "Refresh"};
        QCOMPARE(enabled(), always);

        const QString path = writeSnapshot("one", "One");
        QTest::mouseClick(m.button("Refresh"), Qt::LeftButton);
        QCOMPARE(m.currentText(), QStringLiteral("One"));
        QCOMPARE(enabled(), buttonKeys());

        QFile::remove(path);
        QTest::mouseClick(m.button("Refresh"), Qt::LeftButton);
        QCOMPARE(m.list->count(), 0);
        QCOMPARE(enabled(), always);
    }

    void findKeyFocusesTheSearchAndListKeysStayOnTheList() {
        writeSnapshot("one", "One");
        Manager m = openFromTools();
        QVERIFY(QTest::qWaitForWindowActive(m.dialog));
        m.search->setText(QStringLiteral("On"));
        m.buttons[0]->setFocus();
        QTest::keyClick(m.buttons[0], Qt::Key_F, Qt::ControlModifier);
        QVERIFY(m.search->hasFocus());
        QCOMPARE(m.search->selectedText(), QStringLiteral("On"));

        // F2 and Delete on a button run nothing; on the list they open the
        // rename prompt and the delete question.
        Modals::get().clear();
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
        QVERIFY(QFile::exists(QDir(Host::get().snapshotsDir()).filePath("one.json")));
    }
};

QTEST_MAIN(DialogWindow)
#include "test_dialog_window.moc"
