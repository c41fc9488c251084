#include "app/gui/left_text_check_box.h"

#include <QStyleOptionButton>
#include <QStylePainter>

QRect TLeftTextCheckBox::IndicatorRect() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    const int w = style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this);
    const int h = style()->pixelMetric(QStyle::PM_IndicatorHeight, &option, this);
    return QRect(width() - w, (height() - h) / 2, w, h);
}

void TLeftTextCheckBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect box = IndicatorRect();

    QStyleOptionButton indicator = option;
    indicator.rect = box;
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, indicator);

    QStyleOptionButton label = option;
    label.rect = QRect(0, 0, box.left() - 4, height());
    painter.drawControl(QStyle::CE_CheckBoxLabel, label);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = painter.fontMetrics()
                         .boundingRect(label.rect, Qt::AlignLeft | Qt::AlignVCenter, text())
                         .adjusted(-1, 0, 1, 0);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}
