#pragma once
// Test entry: every test process gets a temporary HOME and XDG folders before
// the application object exists, so tests never touch the real data folder or
// the user's home; widgets run offscreen unless a display is asked for.

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <cstdlib>

namespace sortelle_test {

// The temporary home of this test process; Documents lies below it.
inline QString& HomeDir() {
    static QString home;
    return home;
}

inline void PrepareEnvironment() {
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/sortelle-test-XXXXXX"));
    HomeDir() = dir.path();
    const QByteArray home = QFile::encodeName(dir.path());
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", home + "/.config");
    qputenv("XDG_CACHE_HOME", home + "/.cache");
    qputenv("XDG_DATA_HOME", home + "/.local/share");
    qputenv("XDG_RUNTIME_DIR", home + "/.runtime");
    qputenv("XDG_DOCUMENTS_DIR", home + "/Documents");
    QDir().mkpath(dir.path() + QStringLiteral("/.runtime"));
    QFile::setPermissions(dir.path() + QStringLiteral("/.runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace sortelle_test

#define SORTELLE_TEST_MAIN(TestObject)                                                            \
    int main(int argc, char** argv) {                                                             \
        sortelle_test::PrepareEnvironment();                                                      \
        QApplication app(argc, argv);                                                             \
        std::setlocale(LC_NUMERIC, "C");                                                          \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                  \
        TestObject tc;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                \
        return QTest::qExec(&tc, argc, argv);                                                     \
    }
