// Search by name or "#" and a row number, and Return in the search field.
#include "DialogSupport.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace dialogtest;
using testhost::Host;
using testhost::Modals;

namespace {

// Delivered straight to the field, as the window system would.
void pressReturn(QLineEdit* field, bool autoRepeat = false, Qt::Key key = Qt::Key_Return,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, QStringLiteral("\r"), autoRepeat);
    QCoreApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, QStringLiteral("\r"), autoRepeat);
    QCoreApplication::sendEvent(field, &release);
    Host::wait(0);
}

} // namespace

class DialogSearch : public QObject {
    Q_OBJECT

    Manager m;

    // The dock hidden by the snapshot that was loaded, or empty for none.
    QString loaded() const {
        const QStringList hidden = hiddenDocks();
        return hidden.size() == 1 ? hidden.first() : hidden.join(QLatin1Char('+'));
    }

private slots:
    void initTestCase() { Host::get().start(); }
    void cleanupTestCase() { Host::get().stop(); }

    void init() {
        Host::get().reset();
        writeSnapshot("a", "Alpha Layout", "scenesDock");
        writeSnapshot("b", "Beta", "sourcesDock");
        writeSnapshot("c", "Delta studio", "mixerDock");
        writeSnapshot("d", "Gamma STUDIO", "transitionsDock");
        m = openFromTools();
        QVERIFY(m.dialog && m.search && m.list && m.notFound);
        QCOMPARE(m.rowTexts(),
                 (QStringList{"Alpha Layout", "Beta", "Delta studio", "Gamma STUDIO"}));
        showAllDocks();
    }

    void typingMovesTheCurrentRowToTheFirstMatch_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("current"); // empty: stays on row 2 ("Beta")
        QTest::addColumn<bool>("notFound");
        QTest::newRow("case-insensitive substring, first from the top") << "STUDIO"
                                                                        << "Delta studio" << false;
        QTest::newRow("lower case finds upper case inside a name") << "mma st"
                                                                   << "Gamma STUDIO" << false;
        QTest::newRow("surrounding spaces ignored") << "  layout "
                                                    << "Alpha Layout" << false;
        QTest::newRow("#3 is the third row") << "#3"
                                             << "Delta studio" << false;
        QTest::newRow("#1") << "#1"
                            << "Alpha Layout" << false;
        QTest::newRow("#0") << "#0"
                            << "" << true;
        QTest::newRow("# alone") << "#"
                                 << "" << true;
        QTest::newRow("# and letters") << "#two"
                                       << "" << true;
        QTest::newRow("# beyond the rows") << "#5"
                                           << "" << true;
        QTest::newRow("# negative") << "#-1"
                                    << "" << true;
        QTest::newRow("# too large for an int") << "#99999999999"
                                                << "" << true;
        QTest::newRow("no match") << "zzz"
                                  << "" << true;
        QTest::newRow("spaces only count as empty") << "   "
                                                    << "" << false;
    }
    void typingMovesTheCurrentRowToTheFirstMatch() {
        QFETCH(QString, typed);
        QFETCH(QString, current);
        QFETCH(bool, notFound);
        m.list->setCurrentRow(1);
        m.search->setFocus();
        QTest::keyClicks(m.search, typed);
        QCOMPARE(m.search->text(), typed); // keys other than Return reach the field
        QCOMPARE(m.currentText(), current.isEmpty() ? QStringLiteral("Beta") : current);
        QCOMPARE(m.notFound->isVisible(), notFound);
        QVERIFY(hiddenDocks().isEmpty());
    }

    void returnLoadsTheRowTheSearchPointsAt_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("currentRow"); // set by hand after typing
        QTest::addColumn<QString>("loads");  // dock of the loaded snapshot, empty: none
        QTest::newRow("empty query loads the current row") << "" << 2 << "mixerDock";
        QTest::newRow("current row still matching is kept") << "studio" << 3 << "transitionsDock";
        QTest::newRow("current row not matching: first match") << "studio" << 1 << "mixerDock";
        QTest::newRow("#2 whatever the current row") << "#2" << 3 << "sourcesDock";
        QTest::newRow("#9 loads nothing") << "#9" << 0 << "";
        QTest::newRow("no match loads nothing") << "zzz" << 0 << "";
    }
    void returnLoadsTheRowTheSearchPointsAt() {
        QFETCH(QString, query);
        QFETCH(int, currentRow);
        QFETCH(QString, loads);
        QSignalSpy returnPressed(m.search, &QLineEdit::returnPressed);
        m.search->setText(query);
        m.list->setCurrentRow(currentRow);
        pressReturn(m.search);
        QCOMPARE(loaded(), loads);
        QCOMPARE(returnPressed.count(), 0);
        QVERIFY(m.dialog->isVisible()); // no default button closed it
    }

    void enterAndModifiedReturnActLikeReturn() {
        m.search->setText(QStringLiteral("Beta"));
        pressReturn(m.search, false, Qt::Key_Enter);
        QCOMPARE(loaded(), QStringLiteral("sourcesDock"));
        showAllDocks();
        m.search->setText(QStringLiteral("Alpha"));
        pressReturn(m.search, false, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(loaded(), QStringLiteral("scenesDock"));
    }

    void returnHeldDownLoadsOnce() {
        m.search->setText(QStringLiteral("Gamma"));
        pressReturn(m.search);
        QCOMPARE(loaded(), QStringLiteral("transitionsDock"));
        showAllDocks();
        for (int i = 0; i < 3; ++i)
            pressReturn(m.search, true);
        QCOMPARE(loaded(), QString());
    }

    void returnOnAnEmptyListIsConsumedAndDoesNothing() {
        for (const QString& file : QDir(Host::get().snapshotsDir()).entryList(QDir::Files))
            QFile::remove(QDir(Host::get().snapshotsDir()).filePath(file));
        QTest::mouseClick(m.button("Refresh"), Qt::LeftButton);
        QCOMPARE(m.list->count(), 0);
        QSignalSpy returnPressed(m.search, &QLineEdit::returnPressed);
        pressReturn(m.search);
        QCOMPARE(returnPressed.count(), 0);
        QVERIFY(hiddenDocks().isEmpty());
        QCOMPARE(Modals::get().seen().size(), 0);
    }

    void returnWhileACommandRunsIsSwallowed() {
        m.search->setText(QStringLiteral("Beta"));
        QString loadedDuringPrompt = QStringLiteral("not run");
        Modals::get().expect(Modals::inspect(
            [&](QWidget*) {
                pressReturn(m.search);
                loadedDuringPrompt = loaded();
            },
            Modals::reject()));
        m.button("Rename")->click();
        QCOMPARE(Modals::get().seen().size(), 1);
        QCOMPARE(loadedDuringPrompt, QString());
    }

    void returnInTheListLoadsTheListRowNotTheSearchMatch() {
        QVERIFY(QTest::qWaitForWindowActive(m.dialog));
        m.search->setText(QStringLiteral("Alpha"));
        m.list->setCurrentRow(2);
        m.list->setFocus();
        QTest::keyClick(m.list, Qt::Key_Return);
        QCOMPARE(loaded(), QStringLiteral("mixerDock"));
    }

    void doubleClickLoadsTheRow() {
        const QRect rect = m.list->visualItemRect(m.list->item(3));
        QTest::mouseClick(m.list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(m.list->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(loaded(), QStringLiteral("transitionsDock"));
    }
};

QTEST_MAIN(DialogSearch)
#include "test_dialog_search.moc"
