// SPDX-License-Identifier: GPL-2.0-or-later
#include "SnapshotDelegate.h"
#include "ItemRoles.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QStyle>

#include <algorithm>

SnapshotDelegate::~SnapshotDelegate() = default;

void SnapshotDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);

    const QFontMetrics fm(opt.font);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();

    QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    // Keep the last pixel columns of the viewport free when a scroll bar narrows it.
    if (const auto* view = qobject_cast<const QAbstractItemView*>(widget))
        textRect.setRight(std::min(textRect.right(), view->viewport()->width() - 3));

    const QString number = QStringLiteral("%1.").arg(index.row() + 1);
    QFont boldFont = opt.font;
    boldFont.setWeight(QFont::Bold);
    const QFontMetrics boldFm(boldFont);
    // As wide as the largest row number the list can hold, so names line up.
    const int numberWidth = boldFm.horizontalAdvance(QStringLiteral("%1.").arg(1000));

    const QString time = index.model() ? index.data(TimeRole).toString() : QString();
    const int timeWidth =
        std::max(0, std::min(fm.horizontalAdvance(time) + 2, textRect.width() / 2));
    const int space = boldFm.horizontalAdvance(QLatin1Char(' '));
    const int gap = time.isEmpty() ? 0 : 12;
    // The hotkey, muted, before the time; at most a quarter of the row.
    const QString hotkey = index.model() ? index.data(HotkeyRole).toString() : QString();
    const int hotkeyWidth =
        hotkey.isEmpty() ? 0 : std::min(fm.horizontalAdvance(hotkey) + 2, textRect.width() / 4);
    const int hotkeyRight = textRect.right() - gap - timeWidth;
    // The snapshot loaded last carries a mark before its name.
    const QString mark = index.data(LastRole).toBool() ? QStringLiteral("\u25cf ") : QString();

    const int markLeft = textRect.left() + numberWidth + space;
    const int nameLeft = markLeft + fm.horizontalAdvance(mark);
    const int nameRight = hotkeyRight - (hotkeyWidth > 0 ? hotkeyWidth + 12 : 0);
    const QRect nameRect(QPoint(nameLeft, textRect.top()), QPoint(nameRight, textRect.bottom()));
    const int nameWidth = std::max(0, nameRight - nameLeft + 1);
    // The note of its links follows the name, muted; the name keeps half the room.
    const QString note = index.model() ? index.data(NoteRole).toString() : QString();
    const int noteWidth =
        note.isEmpty() ? 0 : std::min(fm.horizontalAdvance(note) + 2 * space, nameWidth / 2);
    const QString name = fm.elidedText(opt.text, Qt::ElideRight, nameWidth - noteWidth, 0);

    // The style draws background, selection and focus; the text is ours.
    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    painter->save();
    painter->setClipRect(textRect, Qt::IntersectClip);

    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Active
                                                                            : QPalette::Inactive;
    const bool isSelected = opt.state & QStyle::State_Selected;
    const QColor dim =
        opt.palette.brush(group, isSelected ? QPalette::HighlightedText : QPalette::PlaceholderText)
            .color();

    painter->setPen(dim);
    painter->setFont(boldFont);
    painter->drawText(QRect(QPoint(textRect.left(), textRect.top()),
                            QPoint(textRect.left() + numberWidth - 1, textRect.bottom())),
                      Qt::AlignRight | Qt::AlignVCenter, number);

    painter->setFont(opt.font);
    if (!mark.isEmpty()) {
        painter->setPen(
            opt.palette.brush(group, isSelected ? QPalette::HighlightedText : QPalette::Highlight)
                .color());
        painter->drawText(
            QRect(QPoint(markLeft, textRect.top()), QPoint(nameLeft, textRect.bottom())),
            Qt::AlignLeft | Qt::AlignVCenter, mark);
    }
    painter->setPen(
        opt.palette.brush(group, isSelected ? QPalette::HighlightedText : QPalette::Text).color());
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter, name);
    if (noteWidth > 0) {
        const int noteLeft = nameLeft + fm.horizontalAdvance(name) + space;
        painter->setPen(dim);
        painter->drawText(QRect(QPoint(noteLeft, textRect.top()),
                                QPoint(noteLeft + noteWidth, textRect.bottom())),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          fm.elidedText(note, Qt::ElideRight, noteWidth - space, 0));
    }
    if (hotkeyWidth > 0) {
        painter->setPen(dim);
        painter->drawText(QRect(QPoint(hotkeyRight - hotkeyWidth + 1, textRect.top()),
                                QPoint(hotkeyRight, textRect.bottom())),
                          Qt::AlignRight | Qt::AlignVCenter,
                          fm.elidedText(hotkey, Qt::ElideRight, hotkeyWidth, 0));
    }

    painter->setPen(dim);
    painter->drawText(QRect(QPoint(textRect.right() - timeWidth + 1, textRect.top()),
                            QPoint(textRect.right(), textRect.bottom())),
                      Qt::AlignRight | Qt::AlignVCenter,
                      fm.elidedText(time, Qt::ElideRight, timeWidth, 0));

    painter->restore();
}
