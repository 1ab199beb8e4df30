#include "SnapshotDelegate.h"

// PLACEHOLDER: replaced by the real implementation.
SnapshotDelegate::~SnapshotDelegate() = default;
void SnapshotDelegate::paint(QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& i) const { QStyledItemDelegate::paint(p, o, i); }
