#pragma once
// The desktop shell's "open": a file or a web page is opened with the
// application the desktop has registered for it. A path is always handed over
// as a local file, never read as a URL or a command line.

#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

// Opens a local file with its registered application. The result is not
// examined by the system's callers; it is returned for completeness.
bool ShellOpenFile(QWidget* owner, const QString& path);

// Opens a URL (the introduction page) in the user's browser.
bool ShellOpenUrl(QWidget* owner, const QUrl& url);

// Tests replace the shell: the handler receives every URL that would be opened
// (local files as file: URLs). An empty function restores the real shell.
void SetShellHandler(std::function<bool(const QUrl& url)> handler);
