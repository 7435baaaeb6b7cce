#pragma once
// The application object: every error that escapes an event handler is shown
// by the application-wide error report, and the program goes on.

#include <QApplication>

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
