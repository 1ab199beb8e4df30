// Which row is current after opening, loading, deleting and refreshing, and
// the order the user drags rows into.
#include "DialogSupport.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

using namespace dialogtest;
using testhost::Host;
using testhost::Modals;

namespace {

QJsonObject savedSettings() {
    QFile file(Host::get().settingsPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QStringList savedOrder() {
    QStringList names;
    for (const QJsonValue& v : savedSettings()["snapshotOrder"].toArray())
        names.append(v.toString());
    return names;
}

QString lastSaved() {
    return savedSettings()["last"].toString();
}

void writeNumbered(int count, const QString& prefix = QStringLiteral("row")) {
    for (int i = 1; i <= count; ++i) {
        const QString number = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        writeSnapshot(prefix + number, prefix + QLatin1Char(' ') + number);
    }
}

QString topText(const Manager& m) {
    QListWidgetItem* item = m.list->itemAt(1, 1);
    return item ? item->text() : QString();
}

} // namespace

class DialogList : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Host::get().start(); }
    void cleanupTestCase() { Host::get().stop(); }
    void init() { Host::get().reset(); }

    void firstOpeningSelectsTheFirstRowOrTheLastLoaded() {
        writeNumbered(3);
        Manager m = openFromTools();
        QCOMPARE(m.currentText(), QStringLiteral("row 01"));

        m.list->setCurrentRow(2);
        m.button("Load")->click();
        QCOMPARE(m.currentText(), QStringLiteral("row 03"));
        m.list->setCurrentRow(1);
        m.dialog->close();
        openFromTools();
        QCOMPARE(m.currentText(), QStringLiteral("row 03"));

        // A new dialog whose last loaded file is gone starts at the first row.
        QFile::remove(QDir(Host::get().snapshotsDir()).filePath("row03.json"));
        Host::get().restart();
        QVERIFY(lastSaved().endsWith(QStringLiteral("/row03.json")));
        QCOMPARE(openFromTools().currentText(), QStringLiteral("row 01"));
    }

    void deletingMovesTheSelectionToTheRowThatTookItsPlace() {
        writeNumbered(5);
        Manager m = openFromTools();
        m.list->setCurrentRow(4);
        Modals::get().expect(Modals::click(localeText("Continue")));
        m.button("Delete")->click();
        QCOMPARE(m.list->count(), 4);
        QCOMPARE(m.currentText(), QStringLiteral("row 04"));

        m.list->setCurrentRow(0);
        Modals::get().expect(Modals::click(localeText("Continue")));
        m.button("Delete")->click();
        QCOMPARE(m.rowTexts(), (QStringList{"row 02", "row 03", "row 04"}));
        QCOMPARE(m.currentText(), QStringLiteral("row 02"));
    }

    void refreshKeepsTheSelectionAndTheTopOfTheView() {
        writeNumbered(40);
        Manager m = openFromTools();
        QVERIFY(m.list->verticalScrollBar()->isVisible());
        m.list->scrollToItem(m.list->item(20), QAbstractItemView::PositionAtTop);
        m.list->setCurrentRow(22);
        QCOMPARE(topText(m), QStringLiteral("row 21"));

        // Rows above the view go away, others appear: same row at the top.
        for (const char* gone : {"row02.json", "row05.json", "row07.json"})
            QVERIFY(QFile::remove(QDir(Host::get().snapshotsDir()).filePath(gone)));
        writeNumbered(4, QStringLiteral("new"));
        QTest::mouseClick(m.button("Refresh"), Qt::LeftButton);
        QCOMPARE(m.list->count(), 41);
        QCOMPARE(m.currentText(), QStringLiteral("row 23"));
        QCOMPARE(topText(m), QStringLiteral("row 21"));
    }

    void draggedOrderIsSavedAndSurvivesRefreshAndRestart() {
        writeNumbered(4);
        Manager m = openFromTools();
        // What a drop inside the list does: move the row in the model.
        QVERIFY(m.list->model()->moveRow(QModelIndex(), 0, QModelIndex(), 3));
        const QStringList dragged = {"row 02", "row 03", "row 01", "row 04"};
        QCOMPARE(m.rowTexts(), dragged);
        QCOMPARE(m.list->count(), 4); // moved, not copied
        QCOMPARE(savedOrder(),
                 (QStringList{"row02.json", "row03.json", "row01.json", "row04.json"}));

        QTest::mouseClick(m.button("Refresh"), Qt::LeftButton);
        QCOMPARE(m.rowTexts(), dragged);

        Host::get().restart();
        const Manager after = openFromTools();
        QVERIFY(after.list);
        QCOMPARE(after.rowTexts(), dragged);
    }
};

QTEST_MAIN(DialogList)
#include "test_dialog_list.moc"
