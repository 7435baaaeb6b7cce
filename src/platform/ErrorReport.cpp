#include "ErrorReport.h"

#include "Errors.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {
std::function<TErrorChoice(const QString&)>& Handler() {
    static std::function<TErrorChoice(const QString&)> handler;
    return handler;
}
int gReportCount = 0;
bool gRestart = false;
bool gShowing = false;

TErrorChoice AskUser(const QString& message) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"),
                    QStringLiteral("An error occurred in the application."),
                    QMessageBox::NoButton, QApplication::activeWindow());
    box.setInformativeText(message);
    QPushButton* cont = box.addButton(QStringLiteral("&Continue"), QMessageBox::AcceptRole);
    QPushButton* restart = box.addButton(QStringLiteral("&Restart"), QMessageBox::ResetRole);
    QPushButton* close = box.addButton(QStringLiteral("C&lose Application"), QMessageBox::RejectRole);
    box.setDefaultButton(cont);
    box.setEscapeButton(cont);
    box.exec();
    if (box.clickedButton() == restart)
        return TErrorChoice::Restart;
    if (box.clickedButton() == close)
        return TErrorChoice::Close;
    return TErrorChoice::Continue;
}
} // namespace

void ReportError(const QString& message) {
    ++gReportCount;
    TErrorChoice choice = TErrorChoice::Continue;
    if (Handler()) {
        choice = Handler()(message);
    } else if (!gShowing && QApplication::instance()) {
        // One report at a time: an error raised while the report is open is
        // counted but not stacked on top of it.
        gShowing = true;
        choice = AskUser(message);
        gShowing = false;
    }
    if (choice == TErrorChoice::Restart)
        gRestart = true;
    if (choice != TErrorChoice::Continue && QCoreApplication::instance())
        QCoreApplication::exit(choice == TErrorChoice::Restart ? 0 : 1);
}

QString ErrorMessage(const std::exception& error) {
    if (auto own = dynamic_cast<const Exception*>(&error))
        return own->Message();
    return QString::fromLocal8Bit(error.what());
}

void ReportException(const std::exception& error) { ReportError(ErrorMessage(error)); }

bool ReportErrors(const std::function<void()>& body) {
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        ReportException(e);
    } catch (...) {
        ReportError(QStringLiteral("Unknown error."));
    }
    return false;
}

int ErrorReportCount() { return gReportCount; }

void SetErrorReportHandler(std::function<TErrorChoice(const QString&)> handler) {
    Handler() = std::move(handler);
}

bool RestartRequested() { return gRestart; }
