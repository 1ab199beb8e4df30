// SPDX-License-Identifier: GPL-2.0-or-later
// The manager dialog on its own: what it shows of the rows it is given, and
// what it asks for when the user searches, types, clicks and drags.
#include "ManagerDialog.h"

#include <QtTest/QtTest>
#include <QtWidgets>

namespace {
const QStringList names = {"Alpha Layout", "Beta", "Delta studio", "Gamma STUDIO", "Omega"};
const QStringList keys = {"SaveNew", "Overwrite", "Load",   "Rename",
                          "Delete",  "Import",    "Export", "Refresh"};

QList<SnapshotRow> rows(int count) {
    QList<SnapshotRow> out;
    for (int i = 0; i < count; ++i)
        out.append({QString("/s/%1.json").arg(i), i < 5 ? names[i] : QString("Name %1").arg(i),
                    "2026-12-06 12:00", i < 5 ? names[i] : "tip"});
    return out;
}
} // namespace

class ManagerDialogTest : public QObject {
    Q_OBJECT

    QPointer<ManagerDialog> dialog;
    QLineEdit* search() { return dialog->findChild<QLineEdit*>(); }
    QListWidget* list() { return dialog->findChild<QListWidget*>(); }
    QPushButton* button(const char* key) {
        return dialog->findChildren<QPushButton*>().value(keys.indexOf(key));
    }
    QLabel* notFound() { return dialog->findChildren<QLabel*>().value(1); }
    QStringList loads(const std::function<void()>& act) {
        QSignalSpy spy(dialog.data(), &ManagerDialog::loadRequested);
        act();
        QStringList paths;
        for (const QList<QVariant>& call : spy)
            paths.append(call[0].toString());
        return paths;
    }
    void pressReturn(bool autoRepeat = false) {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, Qt::Key_Return, Qt::ShiftModifier, "\r", autoRepeat);
            QCoreApplication::sendEvent(search(), &event);
        }
    }

private slots:
    void init() {
        dialog = new ManagerDialog(nullptr, [](const char* key) {
            const bool counted =
                QByteArray(key) == "Unreadable" || QByteArray(key).contains("With");
            return QString(key) + (counted ? " %1" : "");
        });
        dialog->setRows(rows(5), QString());
        dialog->present();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
    }
    void cleanup() { delete dialog; }

    void laysOutOneHeightAndAGrowingList() {
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            QCOMPARE(b->height(), search()->height());
        QCOMPARE(search()->y(), button("SaveNew")->y());
        QCOMPARE(list()->y(), button("Overwrite")->y());
        QCOMPARE(list()->geometry().bottom(), button("Refresh")->geometry().bottom());
        const QSize before = list()->size();
        dialog->resize(dialog->size() + QSize(200, 200));
        QTRY_COMPARE(list()->size(), before + QSize(200, 0));
        QCOMPARE(list()->actions().value(0)->text(), "OpenFolder");
    }

    void typingFindsAndReturnLoads_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("current"); // row after typing; row 0 was current
        QTest::addColumn<bool>("notFound");
        QTest::addColumn<int>("picked"); // row made current before Return, -1 none
        QTest::addColumn<int>("loads");  // row loaded by Return, -1 none
        const auto row = [](const char* typed, int current, bool notFound, int picked, int loads) {
            QTest::newRow(typed) << QString(typed) << current << notFound << picked << loads;
        };
        row("STUDIO", 2, false, -1, 2); // the first match, in any case
        row("mma st", 3, false, -1, 3);
        row("  layout ", 0, false, -1, 0);
        row("studio", 2, false, 3, 3); // a picked row is kept while it matches
        row("studio ", 2, false, 1, 2);
        row("#3", 2, false, -1, 2);
        row("#2", 1, false, 3, 1);
        row("#0", 0, true, 1, -1);
        row("#", 0, true, -1, -1);
        row("#two", 0, true, -1, -1);
        row("#6", 0, true, -1, -1);
        row("#99999999999", 0, true, -1, -1);
        row("zzz", 0, true, 2, -1);
        row("   ", 0, false, 2, 2); // spaces only: the current row
    }
    void typingFindsAndReturnLoads() {
        QFETCH(QString, typed);
        QFETCH(int, picked);
        QFETCH(int, loads);
        QTest::keyClicks(search(), typed);
        QCOMPARE(search()->text(), typed); // other keys reach the field
        QTEST(list()->currentRow(), "current");
        QTEST(notFound()->isVisible(), "notFound");
        if (picked >= 0)
            list()->setCurrentRow(picked);
        QSignalSpy returnPressed(search(), &QLineEdit::returnPressed);
        QCOMPARE(this->loads([&] { pressReturn(); }),
                 loads < 0 ? QStringList() : QStringList{rows(5)[loads].path});
        QVERIFY(returnPressed.isEmpty() && dialog->isVisible());    // no default button either
        QVERIFY(this->loads([&] { pressReturn(true); }).isEmpty()); // held down: once
    }

    void listKeysAndButtonsActOnTheList() {
        list()->setCurrentRow(2);
        QSignalSpy renames(dialog.data(), &ManagerDialog::renameRequested);
        QSignalSpy deletes(dialog.data(), &ManagerDialog::deleteRequested);
        for (QWidget* target :
             {static_cast<QWidget*>(button("SaveNew")), static_cast<QWidget*>(list())}) {
            target->setFocus();
            QTest::keyClick(target, Qt::Key_F2);
            QTest::keyClick(target, Qt::Key_Delete);
        }
        QCOMPARE(renames.size(), 1);
        QCOMPARE(deletes.size(), 1);
        QCOMPARE(loads([&] { QTest::keyClick(list(), Qt::Key_Return); }), QStringList{"/s/2.json"});
        const QPoint third = list()->visualItemRect(list()->item(3)).center();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, third);
        QCOMPARE(loads([&] { QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, third); }),
                 QStringList{"/s/3.json"});
        search()->setText("Alpha");
        QTest::keyClick(list(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(search()->hasFocus() && search()->selectedText() == "Alpha");
        dialog->setRows({}, QString());
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            QCOMPARE(b->isEnabled(),
                     QStringList({"SaveNew", "Import", "Refresh"}).contains(b->text()));
        QVERIFY(loads([&] { pressReturn(); }).isEmpty());
    }

    void newRowsKeepTheSelectionAndTheTopRow() {
        dialog->setRows(rows(45), QString());
        list()->scrollToItem(list()->item(20), QAbstractItemView::PositionAtTop);
        list()->setCurrentRow(22);
        QList<SnapshotRow> fewer = rows(45);
        fewer.remove(3, 2);
        fewer.append({"/s/new.json", "new", "", ""});
        dialog->setRows(fewer, QString());
        QCOMPARE(dialog->selectedPath(), "/s/22.json");
        QCOMPARE(list()->itemAt(1, 1)->text(), "Name 20");
        dialog->setRows(fewer, "/s/44.json");
        QCOMPARE(dialog->selectedPath(), "/s/44.json");
        QVERIFY(list()->visualItemRect(list()->item(42)).bottom() < list()->viewport()->height());
    }

    void namesUnreadableFilesAndFocusesTheSearch() {
        QStringList files;
        for (int i = 0; i < 12; ++i)
            files.append(QString("%1.json").arg(i));
        dialog->setUnreadable(files);
        QLabel* line = dialog->findChildren<QLabel*>().value(2);
        QVERIFY(line->isVisible() && line->text() == "Unreadable 12");
        QCOMPARE(line->toolTip().split('\n'), files.mid(0, 10) + QStringList{"\u2026"});
        dialog->setUnreadable({});
        QVERIFY(!line->isVisible());
        list()->setCurrentRow(3);
        list()->setFocus();
        search()->setText("Gamma");
        dialog->present();
        QVERIFY(search()->hasFocus() && search()->text().isEmpty() && list()->currentRow() == 3);
    }

    void offersLinksForTheSelectedRow() {
        QList<SnapshotRow> linked = rows(3);
        linked[1].withProfile = true;
        dialog->setRows(linked, "/s/1.json");
        dialog->setLinkTargets("Live", "Show");
        const QList<QAction*> actions = list()->actions();
        QCOMPARE(actions[3]->text(), "LoadWithProfile Live");
        QVERIFY(!actions[2]->isChecked() && actions[3]->isChecked() && !actions[4]->isChecked());
        QSignalSpy toggled(dialog.data(), &ManagerDialog::linkToggled);
        actions[4]->trigger();
        QCOMPARE(toggled.value(0),
                 QVariantList({"/s/1.json", QVariant::fromValue(LinkKind::Collection), true}));
        list()->setCurrentRow(0);
        QVERIFY(!actions[3]->isChecked());
    }

    void aDragReportsTheNewOrder() {
        QSignalSpy order(dialog.data(), &ManagerDialog::orderChanged);
        QVERIFY(list()->model()->moveRow(QModelIndex(), 0, QModelIndex(), 3)); // what a drop does
        QCOMPARE(order.value(0).value(0).toStringList(),
                 QStringList({"/s/1.json", "/s/2.json", "/s/0.json", "/s/3.json", "/s/4.json"}));
    }

    void namesShowAsPlainText() {
        const QString name = "<img src=\"/x.png\"><b>Live";
        dialog->setRows({{"/s/x.json", name, "", name + "\n/s/x.json"}}, QString());
        QCOMPARE(list()->item(0)->text(), name);
        const QString tip = list()->item(0)->toolTip();
        QCOMPARE(Qt::mightBeRichText(tip) ? QTextDocumentFragment::fromHtml(tip).toPlainText()
                                          : tip,
                 name + "\n/s/x.json");
    }

    // Number column as wide as "1000.", names at one x, the time inside the
    // viewport, colours by state.
    void rowsArePaintedByPlaceAndState() {
        QList<SnapshotRow> many = rows(40);
        many[6].name = QString(400, 'i');              // elided before the time
        many[7] = {"/s/7.json", many[6].name, "", ""}; // no time, no gap
        many[5].last = true;
        many[5].hotkey = "Ctrl+F5";
        many[2].note = "at start";
        dialog->setRows(many, QString());
        QPalette p = list()->palette();
        for (auto [role, colour] : {std::pair{QPalette::Base, Qt::black},
                                    {QPalette::Highlight, Qt::magenta},
                                    {QPalette::Text, Qt::red},
                                    {QPalette::HighlightedText, Qt::green},
                                    {QPalette::PlaceholderText, Qt::blue}})
            p.setColor(role, colour);
        list()->setPalette(p);
        list()->setCurrentRow(4);
        const QImage image = list()->viewport()->grab().toImage();
        const auto ink = [&](int row, QRgb colour, int from = 0,
                             int to = 9999) { // first, last column
            const QRect r = list()->visualItemRect(list()->item(row));
            QPair<int, int> span{-1, -1};
            for (int x = std::max(from, r.left()); x <= std::min(to, r.right()); ++x)
                for (int y = r.top(); y <= r.bottom(); ++y)
                    if (QColor c = image.pixelColor(x, y);
                        (c.red() > 80) == bool(qRed(colour)) &&
                        (c.green() > 80) == bool(qGreen(colour)) &&
                        (c.blue() > 80) == bool(qBlue(colour)) && c.value() > 80) {
                        span = {span.first < 0 ? x : span.first, x};
                        break;
                    }
            return span;
        };
        QFont bold = list()->font();
        bold.setBold(true);
        const int left = list()->visualItemRect(list()->item(0)).left(),
                  right = list()->viewport()->width() - 3;
        const int nameStart = left + QFontMetrics(bold).horizontalAdvance("1000. ");
        const auto nine = ink(8, qRgb(0, 0, 255), 0, nameStart),
                   ten = ink(9, qRgb(0, 0, 255), 0, nameStart);
        QVERIFY(nine.second == ten.second && ten.first < nine.first && ten.second > nameStart - 12);
        QVERIFY(std::abs(ink(0, qRgb(255, 0, 0)).first - nameStart) <= 2 &&
                std::abs(ink(9, qRgb(255, 0, 0)).first - nameStart) <= 2);
        const auto name = ink(6, qRgb(255, 0, 0)), time = ink(6, qRgb(0, 0, 255), nameStart);
        QVERIFY(time.first - name.second > 12 && time.first - name.second < 22);
        QVERIFY(time.second <= right && time.second > right - 4);
        QVERIFY(ink(7, qRgb(255, 0, 0)).second > right - 12 &&
                ink(7, qRgb(0, 0, 255), nameStart).first < 0);
        QVERIFY(ink(4, qRgb(0, 255, 0)).first >= 0 &&
                ink(4, qRgb(255, 0, 0)).first < 0); // selected
        // The mark before the name of the snapshot loaded last; a hotkey before
        // the time, and the note of links after the name, both muted.
        const auto mark = ink(5, qRgb(255, 0, 255), 0, nameStart + 30);
        QVERIFY(std::abs(mark.first - nameStart) <= 2 &&
                ink(5, qRgb(255, 0, 0)).first > mark.second);
        QVERIFY(ink(3, qRgb(255, 0, 255)).first < 0);
        const int timeLeft = ink(0, qRgb(0, 0, 255), ink(0, qRgb(255, 0, 0)).second + 1).first;
        QVERIFY(ink(5, qRgb(0, 0, 255), nameStart + 1, timeLeft - 12).first >= 0);
        QVERIFY(ink(0, qRgb(0, 0, 255), nameStart + 1, timeLeft - 12).first < 0);
        QVERIFY(ink(2, qRgb(0, 0, 255), ink(2, qRgb(255, 0, 0)).second + 1, timeLeft - 12).first >=
                0);
        QCOMPARE(list()->item(5)->toolTip(), "tip\nLoadedLast");
        dialog->markLast("/s/3.json");
        QCOMPARE(list()->item(5)->toolTip(), "tip");
        QCOMPARE(list()->item(3)->toolTip(), names[3] + "\nLoadedLast");
    }
};

QTEST_MAIN(ManagerDialogTest)
#include "ManagerDialogTest.moc"
