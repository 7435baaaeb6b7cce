#include "uProgram.h"

#include "uApplication.h"
#include "platform/DataFolder.h"
#include "platform/ErrorReport.h"
#include "player/uPlayer.h"
#include "settings/uOptions.h"
#include "ui/about/uAbout.h"
#include "ui/main/uMain.h"

#include <QIcon>
#include <QProcess>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

void CreateWindows() {
    frmMain = new TfrmMain();
    frmOptions = new TfrmOptions();
    frmPlayer = new TfrmPlayer();
    frmAbout = new TfrmAbout();
}

void DestroyWindows() {
    delete frmAbout;
    frmAbout = nullptr;
    delete frmPlayer;
    frmPlayer = nullptr;
    delete frmOptions;
    frmOptions = nullptr;
    delete frmMain;
    frmMain = nullptr;
    DataFolder.clear();
}

namespace {
int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here: the loop picks the byte up.
    [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &byte, 1);
}

void CloseMainWindow() {
    if (frmMain)
        frmMain->close();
}
} // namespace

void InstallSessionEndHandlers() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app) {
        // A logout closes the main window like the user would, so it saves the same.
        QObject::connect(app, &QGuiApplication::commitDataRequest, app,
                         [](QSessionManager&) { CloseMainWindow(); });
    }
    if (gSignalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) == 0) {
        ::fcntl(gSignalPipe[1], F_SETFL, O_NONBLOCK);
        auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, app);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
            char buffer[16];
            [[maybe_unused]] ssize_t n = ::read(gSignalPipe[0], buffer, sizeof buffer);
            CloseMainWindow();
        });
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGHUP, &action, nullptr);
    }
}

int RunProgram(int argc, char** argv) {
    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("Quendrix Sortelle"));
    TApplication::setDesktopFileName(QStringLiteral("quendrix-sortelle"));
    TApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/app/quendrix-sortelle.svg")));
    // The loop runs until the main window has closed, whatever else is open.
    app.setQuitOnLastWindowClosed(false);
    InstallSessionEndHandlers();
    CreateWindows();
    frmMain->show();
    const int result = app.exec();
    DestroyWindows();
    if (RestartRequested())
        QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    return result;
}
