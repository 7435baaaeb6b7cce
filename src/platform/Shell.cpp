#include "Shell.h"

#include <QDesktopServices>

namespace {
std::function<bool(const QUrl&)>& Handler() {
    static std::function<bool(const QUrl&)> handler;
    return handler;
}

bool Open(const QUrl& url) {
    if (Handler())
        return Handler()(url);
    return QDesktopServices::openUrl(url);
}
} // namespace

bool ShellOpenFile(QWidget*, const QString& path) {
    if (path.isEmpty())
        return false;
    return Open(QUrl::fromLocalFile(path));
}

bool ShellOpenUrl(QWidget*, const QUrl& url) { return Open(url); }

void SetShellHandler(std::function<bool(const QUrl&)> handler) { Handler() = std::move(handler); }
