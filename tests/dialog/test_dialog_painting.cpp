// Row painting measured on the rendered list: number column, name start,
// time at the right edge, elision and colours; and the README screenshot.
#include "DialogSupport.h"

using namespace dialogtest;

namespace {

// Each text is painted in one pure colour on black, told apart by channel.
enum Ink { Name, Selected, Dim };

struct Span {
    int left = -1, right = -1;
};

// Horizontal extent of one ink inside [from, to) of a row.
Span span(const QImage& image, const QRect& row, Ink ink, int from = 0, int to = INT_MAX) {
    Span s;
    for (int x = std::max(row.left(), from); x <= std::min(row.right(), to - 1); ++x) {
        for (int y = row.top(); y <= row.bottom(); ++y) {
            const QColor c = image.pixelColor(x, y);
            const int channel[] = {c.red(), c.green(), c.blue()};
            if (channel[ink] > 80 && channel[(ink + 1) % 3] < 40 && channel[(ink + 2) % 3] < 40) {
                s.left = s.left < 0 ? x : s.left;
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
        p.setColor(group, QPalette::Highlight, Qt::black);
        p.setColor(group, QPalette::Text, Qt::red);
        p.setColor(group, QPalette::HighlightedText, Qt::green);
        p.setColor(group, QPalette::PlaceholderText, Qt::blue);
    }
    list->setPalette(p);
}

} // namespace

class DialogPainting : public QObject {
    Q_OBJECT

    Manager m;

    QRect row(int index) const { return m.list->visualItemRect(m.list->item(index)); }
    QImage render(int current = -1) {
        m.list->clearSelection();
        m.list->setCurrentRow(current);
        Host::wait(0);
        return m.list->viewport()->grab().toImage();
    }

private slots:
    void initTestCase() { Host::get().start(); }
    void cleanupTestCase() { Host::get().stop(); }
    void init() { Host::get().reset(); }

    void rowsAreLaidOutAndColouredByState() {
        // Names begin alike, so their first painted column is comparable.
        for (int i = 1; i <= 30; ++i)
            writeSnapshot(QStringLiteral("n%1").arg(i, 2, 10, QLatin1Char('0')),
                          QStringLiteral("Name %1").arg(i, 2, 10, QLatin1Char('0')));
        m = openFromTools();
        QVERIFY(m.list->verticalScrollBar()->isVisible());
        paintInPureColours(m.list);
        // Narrow letters, so an elided name ends within a few pixels of its room.
        const QString longName(400, QLatin1Char('i'));
        const int slack = 8;
        m.list->item(1)->setText(longName);
        m.list->item(2)->setText(longName); // no time: no gap either
        m.list->item(2)->setData(Qt::UserRole + 1, QString());
        m.list->item(3)->setData(Qt::UserRole + 1, QString(200, QLatin1Char('8')));
        const QImage image = render();

        // Rows have no icon or check box: their text starts at the row's left.
        const int textLeft = row(0).left();
        const int textRight = m.list->viewport()->width() - 3;
        QFont bold = m.list->font();
        bold.setWeight(QFont::Bold);
        const QFontMetrics boldMetrics(bold), fm(m.list->font());
        const int numberColumn = boldMetrics.horizontalAdvance(QStringLiteral("1000."));
        const int nameStart = textLeft + numberColumn + boldMetrics.horizontalAdvance(' ');
        const Span name = span(image, row(0), Name);
        const Span number = span(image, row(0), Dim, 0, nameStart);
        QVERIFY(name.left >= nameStart && name.left <= nameStart + 3);
        QVERIFY(number.right < textLeft + numberColumn &&
                number.right >= textLeft + numberColumn - 4);
        for (int index : {8, 9}) { // "9." and "10."
            QCOMPARE(span(image, row(index), Name).left, name.left);
            QCOMPARE(span(image, row(index), Dim, 0, nameStart).right, number.right);
        }
        QVERIFY(span(image, row(9), Dim, 0, nameStart).left <
                span(image, row(8), Dim, 0, nameStart).left);

        // The time ends inside the viewport beside the scroll bar, not elided.
        const Span time = span(image, row(0), Dim, name.right + 1);
        QVERIFY(time.right <= textRight && time.right >= textRight - 4);
        const QString timeText = m.list->item(0)->data(Qt::UserRole + 1).toString();
        QVERIFY(std::abs(time.right - time.left + 1 - fm.horizontalAdvance(timeText)) <= 3);

        const Span elided = span(image, row(1), Name);
        const int gap = span(image, row(1), Dim, elided.right + 1).left - elided.right - 1;
        QVERIFY(gap >= 12 && gap <= 12 + slack);
        const Span noTime = span(image, row(2), Name);
        QCOMPARE(span(image, row(2), Dim, noTime.right + 1).left, -1);
        QVERIFY(noTime.right <= textRight - 2 && noTime.right >= textRight - 2 - slack);
        const int half = (textRight - textLeft + 1) / 2;
        const Span shortName = span(image, row(3), Name);
        const Span longTime = span(image, row(3), Dim, shortName.right + 1);
        QVERIFY(longTime.left > shortName.right + 12 && longTime.right <= textRight);
        QVERIFY(longTime.right - longTime.left + 1 <= half &&
                longTime.left < textRight - half + 20);

        const QImage selected = render(4);
        QVERIFY(span(selected, row(4), Selected).left >= 0);
        QVERIFY(span(selected, row(4), Name).left < 0 && span(selected, row(4), Dim).left < 0);
        QVERIFY(span(selected, row(3), Name).left >= 0);
        m.list->setEnabled(false);
        const QImage disabled = render();
        m.list->setEnabled(true);
        QVERIFY(span(disabled, row(3), Name).left < 0 && span(disabled, row(3), Dim).left < 0);

        // A dragged row takes the number of its new place.
        const QRect numbers(0, row(0).top(), nameStart, row(0).height());
        QVERIFY(m.list->model()->moveRow(QModelIndex(), 0, QModelIndex(), 3));
        QCOMPARE(render().copy(numbers), image.copy(numbers));
    }

    void screenshotForTheReadme() {
        const QStringList names = {"Streaming", "Recording", "Podcast with guests",
                                   "Minimal",   "Editing",   "Chat and alerts on the left"};
        for (int i = 0; i < names.size(); ++i)
            writeSnapshot(QStringLiteral("s%1").arg(i), names[i], testhost::dockNames()[i]);
        m = openFromTools();
        QVERIFY(m.dialog);
        m.list->setCurrentRow(1);
        Host::wait(50);
        const QImage shot = m.dialog->grab().toImage();
        QVERIFY(shot.save(QStringLiteral(KESTRUNE_SCREENSHOT_OUT)));
        if (qEnvironmentVariableIsSet("KESTRUNE_UPDATE_SCREENSHOT"))
            QVERIFY(
                shot.save(QStringLiteral(KESTRUNE_SOURCE_DIR "/docs/images/manager-dialog.png")));
    }
};

QTEST_MAIN(DialogPainting)
#include "test_dialog_painting.moc"
