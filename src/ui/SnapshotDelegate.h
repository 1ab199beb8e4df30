// SPDX-License-Identifier: GPL-2.0-or-later
// Paints one snapshot row: the bold row number, a mark on the snapshot loaded
// last, the elided name, then its hotkey and the time, both muted.
#pragma once

#include <QStyledItemDelegate>

class SnapshotDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    ~SnapshotDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
