// The deciding byte white on red, the bytes after it in red.
#include "ui/qt/byte_marks.h"

#include "ui/qt/monitor_model.h"

#include <QApplication>
#include <QPainter>

void ByteMarks::paint(QPainter *painter, const QStyleOptionViewItem &option,
                      const QModelIndex &index) const {
    const QVariant mark = index.data(MonitorModel::MarkRole);
    if (!mark.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear(); // background and selection only
    QStyle *style = item.widget ? item.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, item.widget) + 1;
    QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget)
                     .adjusted(margin, 0, -margin, 0);
    const QPoint span = mark.toPoint(); // from, length of the deciding byte
    const QString parts[3] = {text.left(span.x()), text.mid(span.x(), span.y()),
                              text.mid(span.x() + span.y())};
    const QColor normal = item.palette.color(
        (item.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text);
    const QColor marked(0xD0, 0x30, 0x30);

    painter->save();
    painter->setClipRect(area);
    painter->setFont(item.font);
    const QFontMetrics metrics(item.font);
    for (int part = 0; part < 3; part++) {
        const int width = metrics.horizontalAdvance(parts[part]);
        const QRect place(area.left(), area.top(), width, area.height());
        if (part == 1) {
            painter->fillRect(place.adjusted(-1, 1, 1, -1), marked);
            painter->setPen(Qt::white);
        } else {
            painter->setPen(part == 0 ? normal : marked);
        }
        painter->drawText(place, Qt::AlignLeft | Qt::AlignVCenter, parts[part]);
        area.setLeft(area.left() + width);
    }
    painter->restore();
}
