// SPDX-License-Identifier: GPL-2.0-or-later
// Paints one snapshot row: bold row number, elided name, dimmed time.
#pragma once

#include <QStyledItemDelegate>

class SnapshotDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    ~SnapshotDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
