// SPDX-License-Identifier: GPL-2.0-or-later
// The manager dialog on its own: what it shows of the rows it is given, and
// what it asks for when the user searches, types, clicks and drags.
#include "ManagerDialog.h"

#include <QtTest/QtTest>
#include <QtWidgets>

class ManagerDialogTest : public QObject {
    Q_OBJECT

    const QStringList names = {"Alpha Layout", "Beta", "Delta studio", "Gamma STUDIO", "Omega"};
    QPointer<ManagerDialog> dialog;
    QLineEdit* search() { return dialog->findChild<QLineEdit*>(); }
    QListWidget* list() { return dialog->findChild<QListWidget*>(); }
    QList<SnapshotRow> rows(int count) {
        QList<SnapshotRow> out;
        for (int i = 0; i < count; ++i)
            out.append({QString("/s/%1.json").arg(i), names.value(i, QString("Name %1").arg(i)),
                        "2026-12-06 12:00", names.value(i, "tip")});
        return out;
    }
    QStringList loads(const std::function<void()>& act) { // the paths loaded by act
        QSignalSpy spy(dialog.data(), &ManagerDialog::loadRequested);
        act();
        QStringList paths;
        for (const QList<QVariant>& call : spy)
            paths.append(call[0].toString());
        return paths;
    }
    void pressReturn(bool autoRepeat = false) {
        for (bool press : {true, false})
            QTest::simulateEvent(search(), press, Qt::Key_Return, Qt::ShiftModifier, "\r",
                                 autoRepeat);
    }

private slots:
    void init() {
        dialog = new ManagerDialog(nullptr, [](const char* key) { return QString(key); });
        dialog->setRows(rows(5), QString());
        dialog->present();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
    }
    void cleanup() { delete dialog; }

    void typingFindsAndReturnLoads_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("current"); // row after typing; row 0 was current
        QTest::addColumn<int>("picked");  // row made current before Return, -1 none
        QTest::addColumn<int>("loads");   // row loaded by Return, -1 none: "not found"
        for (auto [typed, current, picked, loads] : QList<std::tuple<const char*, int, int, int>>{
                 {"STUDIO", 2, -1, 2}, // the first match, in any case
                 {"studio", 2, 3, 3},  // a picked row is kept while it matches
                 {"#2", 1, 3, 1},
                 {"#0", 0, 1, -1},
                 {"#99999999999", 0, -1, -1},
                 {"zzz", 0, 2, -1},
                 {"   ", 0, 2, 2}}) // spaces only: the current row
            QTest::newRow(typed) << QString(typed) << current << picked << loads;
    }
    void typingFindsAndReturnLoads() {
        QFETCH(QString, typed);
        QFETCH(int, picked);
        QFETCH(int, loads);
        QTest::keyClicks(search(), typed);
        QTEST(list()->currentRow(), "current");
        QCOMPARE(dialog->findChildren<QLabel*>()[1]->isVisible(), loads < 0); // "not found"
        if (picked >= 0)
            list()->setCurrentRow(picked);
        QCOMPARE(this->loads([&] { pressReturn(); }),
                 loads < 0 ? QStringList() : QStringList{rows(5)[loads].path});
        // Held down it loads once; no default button closes the dialog either.
        QVERIFY(this->loads([&] { pressReturn(true); }).isEmpty() && dialog->isVisible());
    }

    // F2 and Delete only in the list; Return and a double click there load;
    // without rows only what needs none is enabled.
    void listKeysAndButtonsActOnTheList() {
        list()->setCurrentRow(2);
        QSignalSpy renames(dialog.data(), &ManagerDialog::renameRequested);
        QSignalSpy deletes(dialog.data(), &ManagerDialog::deleteRequested);
        for (QWidget* target : {(QWidget*)dialog->findChild<QPushButton*>(), (QWidget*)list()}) {
            target->setFocus();
            QTest::keyClick(target, Qt::Key_F2);
            QTest::keyClick(target, Qt::Key_Delete);
        }
        QVERIFY(renames.size() == 1 && deletes.size() == 1);
        QCOMPARE(loads([&] { QTest::keyClick(list(), Qt::Key_Return); }), QStringList{"/s/2.json"});
        const QPoint third = list()->visualItemRect(list()->item(3)).center();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, third);
        QCOMPARE(loads([&] { QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, third); }),
                 QStringList{"/s/3.json"});
        dialog->setRows({}, QString());
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            QCOMPARE(b->isEnabled(),
                     b->text() == "SaveNew" || b->text() == "Import" || b->text() == "Refresh");
        QVERIFY(loads([&] { pressReturn(); }).isEmpty());
    }

    // New rows keep the selection and the top row; presenting again clears
    // the search only; a drag reports the new order; markup shows as text.
    void keepsItsPlaceAndShowsPlainText() {
        dialog->setRows(rows(45), QString());
        list()->scrollToItem(list()->item(20), QAbstractItemView::PositionAtTop);
        list()->setCurrentRow(22);
        QList<SnapshotRow> fewer = rows(45);
        fewer.remove(3, 2);
        dialog->setRows(fewer, QString());
        QVERIFY(dialog->selectedPath() == "/s/22.json" &&
                list()->itemAt(1, 1)->text() == "Name 20");
        search()->setText("Name 22");
        dialog->present();
        QVERIFY(search()->hasFocus() && search()->text().isEmpty());
        QCOMPARE(dialog->selectedPath(), "/s/22.json");
        QSignalSpy order(dialog.data(), &ManagerDialog::orderChanged);
        QVERIFY(list()->model()->moveRow(QModelIndex(), 0, QModelIndex(), 2)); // what a drop does
        QCOMPARE(order.value(0).value(0).toStringList().mid(0, 3),
                 QStringList({"/s/1.json", "/s/0.json", "/s/2.json"}));
        const QString markup = "<img src=\"/x.png\"><b>Live";
        dialog->setRows({{"/s/x.json", markup, "", markup}}, QString());
        const QString tip = list()->item(0)->toolTip();
        QCOMPARE(Qt::mightBeRichText(tip) ? QTextDocumentFragment::fromHtml(tip).toPlainText()
                                          : tip,
                 markup);
        QCOMPARE(list()->item(0)->text(), markup);
    }

    // Numbers in a column as wide as the widest, names at one x,
    // the time 12 px after an elided name and inside the viewport, the
    // selected row in its own colour; the last loaded row says so.
    void rowsArePaintedByPlaceAndState() {
        QList<SnapshotRow> many = rows(12);
        many[6].name = QString(400, 'i');
        many[5].last = true;
        dialog->setRows(many, QString());
        QPalette p = list()->palette();
        p.setColor(QPalette::Base, Qt::black);
        p.setColor(QPalette::Text, Qt::red);
        p.setColor(QPalette::HighlightedText, Qt::green);
        p.setColor(QPalette::PlaceholderText, Qt::blue);
        list()->setPalette(p);
        list()->setCurrentRow(4);
        const QImage image = list()->viewport()->grab().toImage();
        // First and last column of a row, from x on, with ink of one channel.
        const auto ink = [&](int row, int channel, int from = 0) {
            const QRect r = list()->visualItemRect(list()->item(row));
            QPair<int, int> span{-1, -1};
            for (int x = std::max(from, r.left()); x <= r.right(); ++x)
                for (int y = r.top(); y <= r.bottom(); ++y)
                    if (const QRgb c = image.pixel(x, y); (c >> (8 * channel) & 0xff) > 80) {
                        span = {span.first < 0 ? x : span.first, x};
                        break;
                    }
            return span;
        };
        const int red = 2, green = 1, blue = 0, right = list()->viewport()->width() - 3;
        const int name = ink(0, red).first; // "1." and "10." leave the names at one x
        QVERIFY(name > 20 && qAbs(ink(9, red).first - name) <= 2);
        const auto elided = ink(6, red), time = ink(6, blue, name);
        QVERIFY(time.first - elided.second > 12 && time.first - elided.second < 22);
        QVERIFY(time.second <= right && time.second > right - 4);
        QVERIFY(ink(4, green).first >= 0 && ink(4, red).first < 0); // selected
        QVERIFY(qAbs(ink(5, green).first - name) <= 2); // the mark, in the highlight colour
        QCOMPARE(list()->item(5)->toolTip(), "tip\nLoadedLast");
        dialog->markLast("/s/3.json");
        QCOMPARE(list()->item(5)->toolTip() + list()->item(3)->toolTip(),
                 "tip" + names[3] + "\nLoadedLast");
    }
};

QTEST_MAIN(ManagerDialogTest)
#include "ManagerDialogTest.moc"
