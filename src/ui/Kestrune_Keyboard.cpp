// Return or Enter in the search field loads the row the search points at.
#include "Kestrune.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>

bool Kestrune::eventFilter(QObject* watched, QEvent* event) {
    // Type first: the filter also sees the field's last events while it is
    // being destroyed, when it is no longer a QLineEdit to compare with.
    if (event->type() != QEvent::KeyPress || !search || watched != search)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return QObject::eventFilter(watched, event);

    // Consumed from here on: no returnPressed, no default button.
    if (key->isAutoRepeat())
        return true;
    if (!list || shutDown || loading)
        return true;

    const QString query = search->text().trimmed().normalized(QString::NormalizationForm_C);
    // Keep a row the user picked by hand while it still matches.
    QListWidgetItem* target = list->currentItem();
    if (!target || query.startsWith(QLatin1Char('#')) ||
        !target->text().contains(query, Qt::CaseInsensitive))
        target = searchMatch(query);
    if (!target)
        return true;

    load(target->data(Qt::UserRole).toString());
    return true;
}
