#include "uApplication.h"

#include "platform/ErrorReport.h"

#include <clocale>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The media player needs the C numeric locale; the system's own number and
    // date forms come from the regional settings, never from the C locale.
    std::setlocale(LC_NUMERIC, "C");
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ReportException(e);
    } catch (...) {
        ReportError(QStringLiteral("Unknown error."));
    }
    return false;
}
