// Paints the bytes of a line monitor cell with the deciding byte and those after it marked, as
// the model's MarkRole says; other cells as usual.
#pragma once

#include <QStyledItemDelegate>

class ByteMarks : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};
