// TFieldInfoFrm: the empty field information form. The program creates it after the main
// window, centred on it, and never shows it.
#pragma once

#include <QWidget>

class TFieldInfoFrm : public QWidget {
  public:
    explicit TFieldInfoFrm(const QWidget* mainForm);
};
