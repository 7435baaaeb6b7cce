#pragma once
// The application-wide error report. Every error that no handler catches ends
// that handler and is shown here; the program then goes on running unless the
// user chooses to restart or close it.

#include <QString>
#include <exception>
#include <functional>

enum class TErrorChoice { Continue, Restart, Close };

// Shows the report for an error message and carries out the user's choice:
// Continue returns; Restart and Close end the message loop in an orderly way
// (windows are destroyed and their files written; Restart starts a new copy).
void ReportError(const QString& message);

// The message of any exception, the system's own texts for its own errors.
QString ErrorMessage(const std::exception& error);
void ReportException(const std::exception& error);

// Runs `body`; an exception that escapes it is reported and swallowed.
// Returns false when an error was reported.
bool ReportErrors(const std::function<void()>& body);

// The number of reports shown in this run (tests check that nothing was reported).
int ErrorReportCount();

// Tests answer the report: the handler gets the message and returns the choice.
// An empty function restores the real dialog.
void SetErrorReportHandler(std::function<TErrorChoice(const QString& message)> handler);

// True once the user chose Restart; the program entry starts a new copy at exit.
bool RestartRequested();
