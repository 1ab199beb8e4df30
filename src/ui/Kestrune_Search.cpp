// Finding a row from the search text, and following it as the user types.
#include "Kestrune.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>

QListWidgetItem* Kestrune::searchMatch(const QString& query) const {
    if (!list || query.isEmpty())
        return nullptr;

    // "#" addresses the number painted in front of each row.
    if (query.startsWith(QLatin1Char('#'))) {
        bool ok = false;
        const int number = query.mid(1).toInt(&ok);
        if (!ok || number < 1 || number > list->count())
            return nullptr;
        return list->item(number - 1);
    }

    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem* item = list->item(row);
        if (item->text().contains(query, Qt::CaseInsensitive))
            return item;
    }
    return nullptr;
}

void Kestrune::searchChanged() {
    if (!list || !search || !notFoundLabel || shutDown || loading || !mainWindow)
        return;

    const QString query = search->text().trimmed().normalized(QString::NormalizationForm_C);
    QListWidgetItem* match = searchMatch(query);
    notFoundLabel->setVisible(!query.isEmpty() && !match);
    if (match) {
        list->setCurrentItem(match);
        list->scrollToItem(match, QAbstractItemView::EnsureVisible);
    }
}
