// TApplication: the window program's application object. An error escaping any event
// handler is caught at the one place Qt delivers events and shown by the error display; the
// program goes on.
#pragma once

#include <QApplication>

class TApplication : public QApplication {
  public:
    TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

    bool notify(QObject* receiver, QEvent* event) override;
};
