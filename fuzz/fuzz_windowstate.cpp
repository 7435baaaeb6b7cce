// Arbitrary bytes as a window-state file: read into the document, applied to
// a hidden window with a few properties, copied back and written; must never
// crash, hang or grow without bound. What was written reads back to the same
// document.
#include "platform/Errors.h"
#include "settings/uWindowStateStorage.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

namespace {
struct TFuzzWindow : QWidget {
    int Width = 185;
    bool Down = true;
    int Alignment = 2;
    QString Text = QStringLiteral("mp3, wav");

    QList<TStoredProp> Props() {
        return {
            IntegerProp(QStringLiteral("Panel1.Width"), [this] { return Width; },
                        [this](int v) { Width = qMax(8, v); }),
            BooleanProp(QStringLiteral("btnCategoryView.Down"), [this] { return Down; }, [this](bool v) { Down = v; }),
            EnumerationProp(QStringLiteral("colType.Alignment"),
                            {QStringLiteral("taLeftJustify"), QStringLiteral("taRightJustify"), QStringLiteral("taCenter")},
                            [this] { return Alignment; }, [this](int v) {
                                if (v < 0 || v > 2)
                                    __builtin_trap(); // an out-of-range ordinal must never arrive
                                Alignment = v;
                            }),
            StringProp(QStringLiteral("edtAudio.Text"), [this] { return Text; },
                       [this](const QString& v) { Text = v; }),
        };
    }
};

QApplication& App() {
    static int argc = 1;
    static char name[] = "fuzz_windowstate";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    App();
    static QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/frmMain.ini");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    QString written;
    {
        TFuzzWindow window;
        window.setGeometry(50, 60, 300, 200);
        TWindowStateStorage storage(&window, QStringLiteral("frmMain"), true, TFirstShowRule::CentreOnDesktop);
        storage.SetStoredProps(window.Props());
        try {
            storage.SetFileName(path);
            storage.RestoreState();
        } catch (const Exception&) {
        }
        storage.SaveState();
        written = storage.DocumentText();
        storage.WriteStateFile();
    }
    // The file just written is read again: the same document.
    TFuzzWindow again;
    TWindowStateStorage reread(&again, QStringLiteral("frmMain"), true, TFirstShowRule::CentreOnDesktop);
    try {
        reread.SetFileName(path);
    } catch (const Exception&) {
        __builtin_trap();
    }
    if (reread.DocumentText() != written)
        __builtin_trap();
    reread.SetFileName(QString()); // nothing to write at its end
    return 0;
}
