// TLeftTextCheckBox: a check box whose caption stands at the left of the control and whose box
// stands at its right edge, the whole control taking clicks.
#pragma once

#include <QCheckBox>

class TLeftTextCheckBox : public QCheckBox {
  public:
    using QCheckBox::QCheckBox;

    // The indicator's place inside the control: right edge, centred vertically.
    QRect IndicatorRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};
