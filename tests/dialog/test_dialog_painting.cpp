// Row painting measured on the rendered list: number column, name start,
// time at the right edge, elision and colours.
#include "DialogSupport.h"

#include <QDialog>
#include <QDir>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QtTest>

using namespace dialogtest;
using testhost::Host;

namespace {

// Pure colours on black, so every painted pixel tells which text it belongs to.
const QColor nameColour(255, 0, 0);
const QColor dimColour(0, 0, 255);
const QColor selectedColour(0, 255, 0);

enum class Ink { None, Name, Dim, Selected };

Ink inkAt(const QImage& image, int x, int y) {
    const QColor c = image.pixelColor(x, y);
    const int r = c.red(), g = c.green(), b = c.blue();
    if (r > 80 && g < 40 && b < 40)
        return Ink::Name;
    if (b > 80 && r < 40 && g < 40)
        return Ink::Dim;
    if (g > 80 && r < 40 && b < 40)
        return Ink::Selected;
    return Ink::None;
}

// Horizontal extent of one ink inside [from, to) of a row, or (-1, -1).
struct Span {
    int left = -1;
    int right = -1;
};

Span span(const QImage& image, const QRect& row, Ink ink, int from = 0, int to = INT_MAX) {
    Span s;
    for (int x = std::max(row.left(), from); x <= std::min(row.right(), to - 1); ++x) {
        for (int y = row.top(); y <= row.bottom(); ++y) {
            if (inkAt(image, x, y) == ink) {
                if (s.left < 0)
                    s.left = x;
                s.right = x;
                break;
            }
        }
    }
    return s;
}

void paintInPureColours(QListWidget* list) {
    QPalette p = list->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Base, Qt::black);
        p.setColor(group, QPalette::Text, nameColour);
        p.setColor(group, QPalette::PlaceholderText, dimColour);
        p.setColor(group, QPalette::Highlight, Qt::black);
        p.setColor(group, QPalette::HighlightedText, selectedColour);
    }
    p.setColor(QPalette::Disabled, QPalette::Base, Qt::black);
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(255, 0, 255));
    p.setColor(QPalette::Disabled, QPalette::PlaceholderText, QColor(255, 0, 255));
    list->setPalette(p);
}

} // namespace

class DialogPainting : public QObject {
    Q_OBJECT

    Manager m;
    QImage image;
    int textLeft = 0; // left edge of the text rectangle in the viewport

    void render() {
        m.list->clearSelection();
        m.list->setCurrentItem(nullptr);
        Host::wait(0);
        image = m.list->viewport()->grab().toImage();
        // Rows have no icon or check box: their text starts at the row's left.
        textLeft = row(0).left();
    }

    QRect row(int index) const { return m.list->visualItemRect(m.list->item(index)); }

private slots:
    void initTestCase() { Host::get().start(); }
    void cleanupTestCase() { Host::get().stop(); }

    void init() {
        Host::get().reset();
        // Names begin alike, so their first painted column is comparable.
        for (int i = 1; i <= 30; ++i)
            writeSnapshot(QStringLiteral("n%1").arg(i, 2, 10, QLatin1Char('0')),
                          QStringLiteral("Name %1").arg(i, 2, 10, QLatin1Char('0')));
        m = openFromTools();
        QVERIFY(m.list);
        QCOMPARE(m.list->count(), 30);
        paintInPureColours(m.list);
    }

    void numbersAreRightAlignedAndNamesStartTogether() {
        render();
        QFont bold = m.list->font();
        bold.setWeight(QFont::Bold);
        const QFontMetrics boldMetrics(bold);
        const int numberColumn = boldMetrics.horizontalAdvance(QStringLiteral("1000."));
        const int nameStart = textLeft + numberColumn + boldMetrics.horizontalAdvance(' ');

        const Span firstName = span(image, row(0), Ink::Name);
        const Span firstNumber = span(image, row(0), Ink::Dim, 0, nameStart);
        QVERIFY(firstName.left >= nameStart);
        QVERIFY2(firstName.left <= nameStart + 3, qPrintable(QString::number(firstName.left)));
        QVERIFY(firstNumber.right < textLeft + numberColumn);
        QVERIFY(firstNumber.right >= textLeft + numberColumn - 4);

        for (int index : {8, 9}) { // "9." and "10."
            const Span name = span(image, row(index), Ink::Name);
            const Span number = span(image, row(index), Ink::Dim, 0, nameStart);
            QCOMPARE(name.left, firstName.left);
            QCOMPARE(number.right, firstNumber.right);
        }
        QVERIFY(span(image, row(9), Ink::Dim, 0, nameStart).left <
                span(image, row(8), Ink::Dim, 0, nameStart).left);
    }

    void timeStaysInsideTheViewportBesideTheScrollBar() {
        QVERIFY(m.list->verticalScrollBar()->isVisible());
        render();
        const int viewportWidth = m.list->viewport()->width();
        const QString time = m.list->item(0)->data(Qt::UserRole + 1).toString();
        QVERIFY(!time.isEmpty());
        const QFontMetrics fm(m.list->font());
        const Span name = span(image, row(0), Ink::Name);
        const Span painted = span(image, row(0), Ink::Dim, name.right + 1);
        QVERIFY(painted.right <= viewportWidth - 3);
        QVERIFY(painted.right >= viewportWidth - 3 - 4);
        // Not elided: the full text is as wide as the metrics say.
        QVERIFY(std::abs((painted.right - painted.left + 1) - fm.horizontalAdvance(time)) <= 3);
    }

    void longNamesAreElidedBeforeTheTime() {
        // Narrow letters, so the elided name ends within a few pixels of its room.
        const QString longName(400, QLatin1Char('i'));
        const int slack = 8;
        m.list->item(1)->setText(longName);
        // A row without time gets no gap: its name runs to the text's right edge.
        m.list->item(2)->setText(longName);
        m.list->item(2)->setData(Qt::UserRole + 1, QString());
        // A time wider than half the row is cut to half.
        m.list->item(3)->setData(Qt::UserRole + 1, QString(200, QLatin1Char('8')));
        render();
        const int textRight = m.list->viewport()->width() - 3;

        const Span name = span(image, row(1), Ink::Name);
        const Span time = span(image, row(1), Ink::Dim, name.right + 1);
        QVERIFY(time.left > 0);
        const int gap = time.left - name.right - 1;
        QVERIFY2(gap >= 12 && gap <= 12 + slack, qPrintable(QString::number(gap)));

        const Span noTime = span(image, row(2), Ink::Name);
        QVERIFY(span(image, row(2), Ink::Dim, noTime.right + 1).left < 0);
        QVERIFY2(noTime.right <= textRight - 2 && noTime.right >= textRight - 2 - slack,
                 qPrintable(QStringLiteral("%1 %2").arg(noTime.right).arg(textRight)));

        const int half = (textRight - textLeft + 1) / 2;
        const Span shortName = span(image, row(3), Ink::Name);
        const Span longTime = span(image, row(3), Ink::Dim, shortName.right + 1);
        QVERIFY(longTime.left > shortName.right + 12);
        QVERIFY(longTime.right <= textRight);
        QVERIFY2(longTime.right - longTime.left + 1 <= half &&
                     longTime.left < textRight - half + 20,
                 qPrintable(
                     QStringLiteral("%1 %2 %3").arg(longTime.left).arg(longTime.right).arg(half)));
    }

    void selectedAndDisabledRowsUseTheirColourGroups() {
        render();
        m.list->setCurrentRow(4);
        Host::wait(0);
        image = m.list->viewport()->grab().toImage();
        QVERIFY(span(image, row(4), Ink::Selected).left >= 0);
        QVERIFY(span(image, row(4), Ink::Name).left < 0);
        QVERIFY(span(image, row(4), Ink::Dim).left < 0);
        QVERIFY(span(image, row(3), Ink::Name).left >= 0);

        m.list->setEnabled(false);
        image = m.list->viewport()->grab().toImage();
        m.list->setEnabled(true);
        QVERIFY(span(image, row(3), Ink::Name).left < 0);
        QVERIFY(span(image, row(3), Ink::Dim).left < 0);
    }

    void draggedRowTakesTheNumberOfItsPlace() {
        render();
        const QImage before = image;
        const QRect numberColumn(0, row(0).top(), textLeft + 20, row(0).height());
        QVERIFY(m.list->model()->moveRow(QModelIndex(), 0, QModelIndex(), 3));
        render();
        QCOMPARE(m.list->item(0)->text(), QStringLiteral("Name 02"));
        // Row 1 still shows "1." although another snapshot stands there.
        QCOMPARE(image.copy(numberColumn), before.copy(numberColumn));
    }

    void screenshotForTheReadme() {
        Host::get().reset();
        const QStringList names = {"Streaming", "Recording", "Podcast with guests",
                                   "Minimal",   "Editing",   "Chat and alerts on the left"};
        const QStringList docks = testhost::dockNames();
        for (int i = 0; i < names.size(); ++i)
            writeSnapshot(QStringLiteral("s%1").arg(i), names[i], docks[i]);
        m = openFromTools();
        QVERIFY(m.dialog);
        m.list->setCurrentRow(1);
        Host::wait(50);
        const QImage shot = m.dialog->grab().toImage();
        QVERIFY(!shot.isNull());
        QVERIFY(shot.save(QStringLiteral(KESTRUNE_SCREENSHOT_OUT)));
        if (qEnvironmentVariableIsSet("KESTRUNE_UPDATE_SCREENSHOT"))
            QVERIFY(
                shot.save(QStringLiteral(KESTRUNE_SOURCE_DIR "/docs/images/manager-dialog.png")));
    }
};

QTEST_MAIN(DialogPainting)
#include "test_dialog_painting.moc"
