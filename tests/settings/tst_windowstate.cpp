// The window-state storage: reading, applying, copying and writing a window's
// state file, on a plain window with a few properties of every kind.

#include "common/TestMain.h"

#include "platform/ErrorReport.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"
#include "settings/uWindowStateStorage.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QWidget>

namespace {

// A window with one property of each kind. The width clamps like a grid column.
class TFakeWindow : public QWidget {
public:
    bool Down = true;
    int Width = 185;
    int Alignment = 2; // taCenter
    QString StyleClass;
    int Refused = 7;

    void SetWidth(int v) { Width = qMax(8, v); }

    QList<TStoredProp> Props() {
        return {
            BooleanProp(QStringLiteral("btnCategoryView.Down"), [this] { return Down; }, [this](bool v) { Down = v; }),
            IntegerProp(QStringLiteral("Panel1.Width"), [this] { return Width; }, [this](int v) { SetWidth(v); }),
            EnumerationProp(QStringLiteral("colType.Alignment"),
                            {QStringLiteral("taLeftJustify"), QStringLiteral("taRightJustify"), QStringLiteral("taCenter")},
                            [this] { return Alignment; }, [this](int v) { Alignment = v; }),
            // A setter that refuses every value: the property keeps its value silently.
            IntegerProp(QStringLiteral("Refusing.Value"), [this] { return Refused; },
                        [](int) { throw EConvertError(QStringLiteral("refused")); }),
            StringProp(QStringLiteral("colType.StyleClass"), [this] { return StyleClass; },
                       [this](const QString& v) { StyleClass = v; }),
        };
    }
};

// One run of the program as one window sees it: created and named, maybe
// shown, closed and destroyed (which writes the file).
struct TRun {
    TFakeWindow Window;
    std::unique_ptr<TWindowStateStorage> Storage;

    explicit TRun(const QString& path, const QString& section = QStringLiteral("frmMain"), bool isMain = true,
                  TFirstShowRule rule = TFirstShowRule::PlatformDefault) {
        Window.setObjectName(section);
        Window.setGeometry(50, 60, 300, 200);
        Storage = std::make_unique<TWindowStateStorage>(&Window, section, isMain, rule);
        Storage->SetStoredProps(Window.Props());
        Storage->SetFileName(path);
    }
    void Exit() {
        if (!Storage->Saved())
            Storage->SaveState();
        Storage.reset();
    }
};

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void WriteText(const QString& path, const QString& text) { WriteBytes(path, text.toUtf8()); }

// The lines of a file written in the system encoding, split at CR LF.
QStringList Lines(const QString& path) {
    QString text = QString::fromUtf8(ReadBytes(path));
    return text.split(QStringLiteral("\r\n"));
}

void UseDesktop(QSize size, int ppi = 96) {
    TScreenMetrics m;
    m.VirtualDesktopSize = [size] { return size; };
    m.PixelsPerInch = [ppi](const QWidget*) { return ppi; };
    m.PointOnMonitor = [size](const QPoint& p) { return QRect(QPoint(0, 0), size).contains(p); };
    TWindowStateStorage::SetScreenMetrics(m);
}

} // namespace

class TestWindowState : public QObject {
    Q_OBJECT
private:
    int fCase = 0;
    QString fPath;

private Q_SLOTS:
    void init();
    void cleanup();

    void neverShownWritesOnlyTheVersion();
    void neverShownKeepsStoredState();
    void keyOrderOfANewFile();
    void placementRoundTrip();
    void desktopSizeChange();
    void pixelsPerInchChangeKeepsPlacementOff();
    void capitalsInHeaderAndKey();
    void propertyValues_data();
    void propertyValues();
    void refusedPropertyKeepsItsValueSilently();
    void commentsAndEmptyLinesAreGoneAfterAWrite();
    void placementApplies_data();
    void placementApplies();
    void firstShowRules();
    void firstShowRuleAlsoWhenRestoreFails();
    void negativeFormVersion();
    void showCommands_data();
    void showCommands();
    void copiedShowCommands();
    void encodingsAreWrittenBack_data();
    void encodingsAreWrittenBack();
    void readOnlyFileIsUntouched();
    void faultyIntegers_data();
    void faultyIntegers();
    void emptyPlacementIntegersCountAsZero();
    void unreadableFileRaisesAndIsNotOverwritten();
    void failedWriteIsReportedAndKeepsTheOldFile();
    void sameNameAgainDoesNotReload();
};

void TestWindowState::init() {
    ++fCase;
    // Missing parents: the storage creates the whole folder chain at exit.
    fPath = sortelle_test::HomeDir() + QStringLiteral("/case%1/Documents/quendrix/Sortelle/Options/frmMain.ini").arg(fCase);
    TWindowStateStorage::SetScreenMetrics({});
    SetErrorReportHandler([](const QString&) { return TErrorChoice::Continue; });
}

void TestWindowState::cleanup() {
    TWindowStateStorage::SetScreenMetrics({});
    SetWriteFaultHook({});
    SetErrorReportHandler({});
}

void TestWindowState::neverShownWritesOnlyTheVersion() {
    QVERIFY(!QFileInfo::exists(QFileInfo(fPath).absolutePath()));
    const QString path = QFileInfo(fPath).absolutePath() + QStringLiteral("/frmOptions.ini");
    TRun run(path, QStringLiteral("frmOptions"), false, TFirstShowRule::CentreOnMainWindow);
    run.Exit();
    QCOMPARE(ReadBytes(path), QByteArray("[frmOptions]\r\nFormVersion=0\r\n\r\n"));
}

void TestWindowState::neverShownKeepsStoredState() {
    const QByteArray stored("[frmMain]\r\nFormVersion=0\r\nShowCmd=3\r\nNormPos=1,2,3,4\r\nPanel1_Width=300\r\n\r\n");
    WriteBytes(fPath, stored);
    TRun run(fPath);
    run.Window.Width = 200;
    run.Storage->SaveState(); // a close without a showing copies the version only
    QVERIFY(run.Storage->Saved());
    run.Exit();
    QCOMPARE(ReadBytes(fPath), stored);
}

void TestWindowState::keyOrderOfANewFile() {
    TRun run(fPath);
    run.Storage->RestoreState();
    QVERIFY(run.Storage->Restored());
    run.Window.show();
    run.Window.setGeometry(110, 120, 300, 200);
    run.Window.StyleClass = QStringLiteral("grid");
    run.Storage->SaveState();
    run.Exit();
    const QRect frame = run.Window.frameGeometry();
    const QRect client = run.Window.geometry();
    const QString minMax = QStringLiteral("=-1,-1,%1,%2").arg(frame.left() - client.left()).arg(frame.top() - client.top());
    QCOMPARE(Lines(fPath), QStringList({
                               QStringLiteral("[frmMain]"),
                               QStringLiteral("FormVersion=0"),
                               QStringLiteral("ShowCmd=1"),
                               QStringLiteral("Flags=0"),
                               QStringLiteral("PixelsPerInch=96"),
                               QStringLiteral("MinMaxPos(800x800)") + minMax,
                               QStringLiteral("MinMaxPos") + minMax,
                               QStringLiteral("NormPos(800x800)=110,120,410,320"),
                               QStringLiteral("NormPos=110,120,410,320"),
                               QStringLiteral("btnCategoryView_Down=TRUE"),
                               QStringLiteral("Panel1_Width=185"),
                               QStringLiteral("colType_Alignment=taCenter"),
                               QStringLiteral("Refusing_Value=7"),
                               QStringLiteral("colType_StyleClass=grid"),
                               QString(),
                               QString(),
                           }));
}

void TestWindowState::placementRoundTrip() {
    {
        TRun run(fPath);
        run.Storage->RestoreState();
        run.Window.show();
        run.Window.setGeometry(150, 160, 320, 240);
        run.Window.setWindowState(Qt::WindowMaximized);
        QTRY_VERIFY(run.Window.isMaximized());
        run.Storage->SaveState();
        run.Exit();
    }
    QVERIFY(Lines(fPath).contains(QStringLiteral("NormPos=150,160,470,400")));
    QVERIFY(Lines(fPath).contains(QStringLiteral("ShowCmd=3")));
    TRun next(fPath);
    next.Storage->RestoreState();
    QVERIFY(next.Window.windowState() & Qt::WindowMaximized);
    next.Window.show();
    QTRY_VERIFY(next.Window.isMaximized());
    QCOMPARE(next.Window.normalGeometry(), QRect(150, 160, 320, 240));
}

void TestWindowState::desktopSizeChange() {
    const QString stored = QStringLiteral("[frmPlayer]\r\nFormVersion=0\r\nShowCmd=1\r\nFlags=0\r\nPixelsPerInch=96\r\n"
                                          "MinMaxPos(1920x1080)=-1,-1,-3,-3\r\nMinMaxPos=-1,-1,-3,-3\r\n"
                                          "NormPos(1920x1080)=700,330,1207,722\r\nNormPos=700,330,1207,722\r\n");
    WriteText(fPath, stored);
    UseDesktop(QSize(2560, 1440));
    {
        TRun run(fPath, QStringLiteral("frmPlayer"), false, TFirstShowRule::CentreOnDesktop);
        run.Storage->SetStoredProps({}); // placement only, like the player window
        run.Storage->RestoreState();
        QCOMPARE(run.Window.geometry(), QRect(700, 330, 507, 392)); // the plain keys apply
        run.Window.setGeometry(900, 400, 507, 392);
        run.Storage->SaveState();
        run.Exit();
    }
    QCOMPARE(Lines(fPath), QStringList({
                               QStringLiteral("[frmPlayer]"),
                               QStringLiteral("FormVersion=0"),
                               QStringLiteral("ShowCmd=1"),
                               QStringLiteral("Flags=0"),
                               QStringLiteral("PixelsPerInch=96"),
                               QStringLiteral("MinMaxPos(1920x1080)=-1,-1,-3,-3"),
                               QStringLiteral("MinMaxPos=-1,-1,0,0"),
                               QStringLiteral("NormPos(1920x1080)=700,330,1207,722"),
                               QStringLiteral("NormPos=900,400,1407,792"),
                               QStringLiteral("MinMaxPos(2560x1440)=-1,-1,0,0"),
                               QStringLiteral("NormPos(2560x1440)=900,400,1407,792"),
                               QString(),
                               QString(),
                           }));
    // The old desktop size returns: its own keys apply again, not the plain ones.
    UseDesktop(QSize(1920, 1080));
    TRun back(fPath, QStringLiteral("frmPlayer"), false, TFirstShowRule::CentreOnDesktop);
    back.Storage->RestoreState();
    QCOMPARE(back.Window.geometry(), QRect(700, 330, 507, 392));
    // And the new one uses its own too.
    UseDesktop(QSize(2560, 1440));
    TRun again(fPath, QStringLiteral("frmPlayer"), false, TFirstShowRule::CentreOnDesktop);
    again.Storage->RestoreState();
    QCOMPARE(again.Window.geometry(), QRect(900, 400, 507, 392));
}

void TestWindowState::pixelsPerInchChangeKeepsPlacementOff() {
    WriteText(fPath, QStringLiteral("[frmMain]\r\nShowCmd=3\r\nPixelsPerInch=96\r\nNormPos=10,20,310,220\r\n"
                                    "Panel1_Width=300\r\n"));
    UseDesktop(QSize(800, 800), 120);
    TRun run(fPath);
    run.Storage->RestoreState();
    QCOMPARE(run.Window.normalGeometry(), QRect(50, 60, 300, 200)); // placement not applied
    QVERIFY(run.Window.windowState() & Qt::WindowMaximized);        // the state is
    QCOMPARE(run.Window.Width, 300);                                 // and so are the properties
    run.Storage->SaveState();
    QVERIFY(run.Storage->DocumentText().contains(QStringLiteral("\r\nPixelsPerInch=120\r\n")));
}

void TestWindowState::capitalsInHeaderAndKey() {
    WriteText(fPath, QStringLiteral("[FRMMAIN]\r\nPANEL1_WIDTH=300\r\n"));
    TRun run(fPath);
    run.Storage->RestoreState();
    QCOMPARE(run.Window.Width, 300);
    run.Window.Width = 250;
    run.Exit();
    const QStringList lines = Lines(fPath);
    QCOMPARE(lines.first(), QStringLiteral("[FRMMAIN]"));
    QCOMPARE(lines.at(1), QStringLiteral("Panel1_Width=250")); // replaced in place, system spelling
    QVERIFY(!lines.join(QLatin1Char('\n')).contains(QStringLiteral("PANEL1_WIDTH")));
    QVERIFY(!lines.join(QLatin1Char('\n')).contains(QStringLiteral("[frmMain]")));
}

void TestWindowState::propertyValues_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QVariant>("before");
    QTest::addColumn<QVariant>("after");
    const QString down = QStringLiteral("btnCategoryView_Down");
    QTest::newRow("bool yes") << down << "yes" << QVariant(false) << QVariant(true);
    QTest::newRow("bool Y") << down << "Y" << QVariant(false) << QVariant(true);
    QTest::newRow("bool TrUe") << down << "TrUe" << QVariant(false) << QVariant(true);
    QTest::newRow("bool no") << down << "No" << QVariant(true) << QVariant(false);
    QTest::newRow("bool n") << down << "n" << QVariant(true) << QVariant(false);
    QTest::newRow("bool 0") << down << "0" << QVariant(true) << QVariant(false);
    QTest::newRow("bool -3") << down << "-3" << QVariant(false) << QVariant(true);
    QTest::newRow("bool empty") << down << "" << QVariant(true) << QVariant(false);
    QTest::newRow("bool word, was true") << down << "maybe" << QVariant(true) << QVariant(true);
    QTest::newRow("bool word, was false") << down << "maybe" << QVariant(false) << QVariant(false);
    const QString width = QStringLiteral("Panel1_Width");
    QTest::newRow("int 300") << width << "300" << QVariant(185) << QVariant(300);
    QTest::newRow("int empty gives 0, raised to 8") << width << "" << QVariant(185) << QVariant(8);
    QTest::newRow("int -5 raised to 8") << width << "-5" << QVariant(185) << QVariant(8);
    QTest::newRow("int +40") << width << "+40" << QVariant(185) << QVariant(40);
    QTest::newRow("int word") << width << "wide" << QVariant(185) << QVariant(185);
    QTest::newRow("int fraction") << width << "12.5" << QVariant(185) << QVariant(185);
    QTest::newRow("int hex") << width << "$20" << QVariant(185) << QVariant(185);
    QTest::newRow("int too large") << width << "99999999999" << QVariant(185) << QVariant(185);
    const QString align = QStringLiteral("colType_Alignment");
    QTest::newRow("enum TACENTER") << align << "TACENTER" << QVariant(0) << QVariant(2);
    QTest::newRow("enum taRightJustify") << align << "taRightJustify" << QVariant(0) << QVariant(1);
    QTest::newRow("enum 2") << align << "2" << QVariant(0) << QVariant(2);
    QTest::newRow("enum empty") << align << "" << QVariant(2) << QVariant(0);
    QTest::newRow("enum 7 ignored") << align << "7" << QVariant(1) << QVariant(1);
    QTest::newRow("enum -1 ignored") << align << "-1" << QVariant(1) << QVariant(1);
    QTest::newRow("enum other word") << align << "centre" << QVariant(1) << QVariant(1);
    const QString style = QStringLiteral("colType_StyleClass");
    QTest::newRow("string trimmed") << style << "  mp3, flac \t" << QVariant(QString()) << QVariant("mp3, flac");
    QTest::newRow("string empty") << style << "" << QVariant("x") << QVariant(QString());
    QTest::newRow("string keeps =") << style << "a=b" << QVariant(QString()) << QVariant("a=b");
}

void TestWindowState::propertyValues() {
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QVariant, before);
    QFETCH(QVariant, after);
    WriteText(fPath, QStringLiteral("[frmMain]\r\n%1=%2\r\n").arg(key, value));
    TRun run(fPath);
    auto field = [&]() -> QVariant {
        if (key == QLatin1String("btnCategoryView_Down")) return run.Window.Down;
        if (key == QLatin1String("Panel1_Width")) return run.Window.Width;
        if (key == QLatin1String("colType_Alignment")) return run.Window.Alignment;
        return run.Window.StyleClass;
    };
    if (key == QLatin1String("btnCategoryView_Down")) run.Window.Down = before.toBool();
    else if (key == QLatin1String("Panel1_Width")) run.Window.Width = before.toInt();
    else if (key == QLatin1String("colType_Alignment")) run.Window.Alignment = before.toInt();
    else run.Window.StyleClass = before.toString();
    run.Storage->RestoreState();
    QCOMPARE(field().toString(), after.toString());
}

void TestWindowState::refusedPropertyKeepsItsValueSilently() {
    WriteText(fPath, QStringLiteral("[frmMain]\r\nRefusing_Value=3\r\ncolType_StyleClass=after\r\n"));
    const int reports = ErrorReportCount();
    TRun run(fPath);
    run.Storage->RestoreState();
    QCOMPARE(run.Window.Refused, 7);
    QCOMPARE(run.Window.StyleClass, QStringLiteral("after")); // the next entry still applies
    QVERIFY(run.Storage->Restored());
    QCOMPARE(ErrorReportCount(), reports);
}

void TestWindowState::commentsAndEmptyLinesAreGoneAfterAWrite() {
    WriteText(fPath, QStringLiteral("; written by hand\r\nlost=1\r\n[frmMain]\r\n\r\n; width of the tree\r\n"
                                    "Panel1_Width=300\r\n\r\n\r\njust a line\r\n[Other]\r\n; note\r\nKey = Value\r\n"));
    TRun run(fPath);
    run.Exit();
    QCOMPARE(QString::fromUtf8(ReadBytes(fPath)),
             QStringLiteral("[frmMain]\r\nPanel1_Width=300\r\njust a line\r\nFormVersion=0\r\n\r\n"
                            "[Other]\r\nKey=Value\r\n\r\n"));
}

void TestWindowState::placementApplies_data() {
    QTest::addColumn<QString>("entries");
    QTest::addColumn<QRect>("geometry");
    const QRect unchanged(50, 60, 300, 200);
    QTest::newRow("on the screen") << "NormPos=100,100,400,300" << QRect(100, 100, 300, 200);
    QTest::newRow("last pixel on the screen") << "NormPos=500,500,800,800" << QRect(500, 500, 300, 300);
    QTest::newRow("bottom right off") << "NormPos=600,600,900,900" << unchanged;
    QTest::newRow("top left off") << "NormPos=-50,10,200,200" << unchanged;
    QTest::newRow("on no screen") << "NormPos=2000,2000,2300,2200" << unchanged;
    QTest::newRow("left equals right") << "NormPos=100,100,100,300" << unchanged;
    QTest::newRow("other dpi") << "PixelsPerInch=120\r\nNormPos=100,100,400,300" << unchanged;
    QTest::newRow("same dpi") << "PixelsPerInch=96\r\nNormPos=100,100,400,300" << QRect(100, 100, 300, 200);
    QTest::newRow("suffixed key first") << "NormPos(800x800)=10,10,110,110\r\nNormPos=100,100,400,300"
                                        << QRect(10, 10, 100, 100);
    // Faulty words take the window's current left, top, width and height.
    QTest::newRow("faulty words") << "NormPos=100,x,400" << QRect(100, 60, 300, 140);
    QTest::newRow("blanks as separators") << "NormPos=100 100  400,,300" << QRect(100, 100, 300, 200);
    QTest::newRow("extremes") << "NormPos=2147483647,-2147483648,-2147483648,2147483647" << unchanged;
    QTest::newRow("MinMaxPos faulty, no error") << "MinMaxPos=a,b,c,d\r\nNormPos=100,100,400,300"
                                                << QRect(100, 100, 300, 200);
}

void TestWindowState::placementApplies() {
    QFETCH(QString, entries);
    QFETCH(QRect, geometry);
    WriteText(fPath, QStringLiteral("[frmMain]\r\n") + entries + QStringLiteral("\r\n"));
    TRun run(fPath);
    run.Storage->RestoreState();
    QCOMPARE(run.Window.geometry(), geometry);
}

void TestWindowState::firstShowRules() {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget main;
    main.setObjectName(QStringLiteral("frmMain"));
    main.setGeometry(60, 80, 500, 400);
    main.show();
    {
        TRun run(fPath, QStringLiteral("frmOptions"), false, TFirstShowRule::CentreOnMainWindow);
        run.Storage->RestoreState();
        run.Window.show();
        QVERIFY(qAbs(run.Window.frameGeometry().center().x() - main.frameGeometry().center().x()) <= 2);
        QVERIFY(qAbs(run.Window.frameGeometry().center().y() - main.frameGeometry().center().y()) <= 2);
        // A later showing leaves it where the user put it.
        run.Window.hide();
        run.Window.move(10, 10);
        run.Storage->RestoreState();
        QCOMPARE(run.Window.pos(), QPoint(10, 10));
    }
    {
        TRun run(fPath, QStringLiteral("frmPlayer"), false, TFirstShowRule::CentreOnDesktop);
        run.Storage->RestoreState();
        run.Window.show();
        QVERIFY(qAbs(run.Window.frameGeometry().center().x() - screen.center().x()) <= 2);
        QVERIFY(qAbs(run.Window.frameGeometry().center().y() - screen.center().y()) <= 2);
    }
    {
        TRun run(fPath, QStringLiteral("frmMain"), true, TFirstShowRule::PlatformDefault);
        run.Storage->RestoreState();
        QCOMPARE(run.Window.geometry(), QRect(50, 60, 300, 200));
    }
    // A stored placement that applies switches the rule off.
    WriteText(fPath, QStringLiteral("[frmPlayer]\r\nNormPos=20,30,320,230\r\n"));
    TRun run(fPath, QStringLiteral("frmPlayer"), false, TFirstShowRule::CentreOnDesktop);
    run.Storage->RestoreState();
    QCOMPARE(run.Window.geometry(), QRect(20, 30, 300, 200));
}

void TestWindowState::firstShowRuleAlsoWhenRestoreFails() {
    WriteText(fPath, QStringLiteral("[frmPlayer]\r\nFormVersion=zero\r\nNormPos=20,30,320,230\r\n"));
    TRun run(fPath, QStringLiteral("frmPlayer"), false, TFirstShowRule::CentreOnDesktop);
    QVERIFY_THROWS_EXCEPTION(EConvertError, run.Storage->RestoreState());
    run.Window.show();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(qAbs(run.Window.frameGeometry().center().x() - screen.center().x()) <= 2);
}

void TestWindowState::negativeFormVersion() {
    WriteText(fPath, QStringLiteral("[frmMain]\r\nFormVersion=-1\r\nShowCmd=3\r\nNormPos=100,100,400,300\r\n"
                                    "Panel1_Width=300\r\n"));
    TRun run(fPath);
    run.Storage->RestoreState();
    QVERIFY(run.Storage->Restored());
    QCOMPARE(run.Window.Width, 185);
    QCOMPARE(run.Window.geometry(), QRect(50, 60, 300, 200));
    QVERIFY(!(run.Window.windowState() & Qt::WindowMaximized));
    run.Storage->SaveState();
    const QString text = run.Storage->DocumentText();
    QVERIFY(text.contains(QStringLiteral("\r\nFormVersion=0\r\n")));
    QVERIFY(text.contains(QStringLiteral("\r\nShowCmd=1\r\n")));
    QVERIFY(text.contains(QStringLiteral("\r\nNormPos=50,60,350,260\r\n")));
    QVERIFY(text.contains(QStringLiteral("\r\nPanel1_Width=185\r\n")));
}

void TestWindowState::showCommands_data() {
    QTest::addColumn<QString>("entries");
    QTest::addColumn<bool>("isMain");
    QTest::addColumn<int>("state");
    const int normal = Qt::WindowNoState, min = Qt::WindowMinimized, max = Qt::WindowMaximized;
    for (const char* v : {"1", "5", "9", "0", "42", "-1", ""})
        QTest::newRow(qPrintable(QStringLiteral("ShowCmd=%1").arg(QLatin1String(v))))
            << QStringLiteral("ShowCmd=%1").arg(QLatin1String(v)) << false << normal;
    for (const char* v : {"2", "6", "7"})
        QTest::newRow(qPrintable(QStringLiteral("ShowCmd=%1").arg(QLatin1String(v))))
            << QStringLiteral("ShowCmd=%1").arg(QLatin1String(v)) << false << min;
    QTest::newRow("ShowCmd=3") << "ShowCmd=3" << false << max;
    QTest::newRow("main window minimized") << "ShowCmd=2" << true << min;
    QTest::newRow("minimized, back to maximized") << "ShowCmd=2\r\nFlags=2" << true << (min | max);
}

void TestWindowState::showCommands() {
    QFETCH(QString, entries);
    QFETCH(bool, isMain);
    QFETCH(int, state);
    WriteText(fPath, QStringLiteral("[frmX]\r\n") + entries + QStringLiteral("\r\n"));
    TRun run(fPath, QStringLiteral("frmX"), isMain);
    run.Storage->RestoreState();
    run.Window.show(); // the state set before the window became visible is how it comes up
    QCOMPARE(int(run.Window.windowState()), state);
    QCOMPARE(run.Window.isMinimized(), bool(state & Qt::WindowMinimized));
}

void TestWindowState::copiedShowCommands() {
    TRun run(fPath);
    run.Storage->RestoreState();
    run.Window.show();
    run.Window.setWindowState(Qt::WindowMaximized);
    run.Storage->SaveState();
    QVERIFY(run.Storage->DocumentText().contains(QStringLiteral("\r\nShowCmd=3\r\nFlags=0\r\n")));
    run.Window.setWindowState(Qt::WindowMinimized | Qt::WindowMaximized);
    run.Storage->SaveState();
    QVERIFY(run.Storage->DocumentText().contains(QStringLiteral("\r\nShowCmd=2\r\nFlags=2\r\n")));
    run.Window.setWindowState(Qt::WindowMinimized);
    run.Storage->SaveState();
    QVERIFY(run.Storage->DocumentText().contains(QStringLiteral("\r\nShowCmd=2\r\nFlags=0\r\n")));
}

void TestWindowState::encodingsAreWrittenBack_data() {
    QTest::addColumn<QByteArray>("mark");
    QTest::addColumn<int>("encoding");
    QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBF") << int(QStringConverter::Utf8);
    QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE") << int(QStringConverter::Utf16LE);
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF") << int(QStringConverter::Utf16BE);
    QTest::newRow("no mark: system") << QByteArray() << int(QStringConverter::System);
}

void TestWindowState::encodingsAreWrittenBack() {
    QFETCH(QByteArray, mark);
    QFETCH(int, encoding);
    const auto qtEncoding = QStringConverter::Encoding(encoding);
    const QString value = QString::fromUtf8("mp3, fl\xC3\xA2" "c, \xD0\xB6");
    WriteBytes(fPath, mark + QByteArray(QStringEncoder(qtEncoding).encode(
                                 QStringLiteral("[frmMain]\r\ncolType_StyleClass=%1\r\n").arg(value))));
    {
        TRun run(fPath);
        run.Storage->RestoreState();
        QCOMPARE(run.Window.StyleClass, value);
        run.Exit();
    }
    const QByteArray bytes = ReadBytes(fPath);
    QVERIFY(bytes.startsWith(mark));
    if (mark.isEmpty())
        QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    const QString text = QStringDecoder(qtEncoding).decode(QByteArrayView(bytes).sliced(mark.size()));
    QVERIFY(text.startsWith(QStringLiteral("[frmMain]\r\ncolType_StyleClass=%1\r\nFormVersion=0\r\n").arg(value)));
    QVERIFY(text.endsWith(QStringLiteral("\r\n\r\n")));
}

void TestWindowState::readOnlyFileIsUntouched() {
    const QByteArray stored("[frmMain]\r\n; kept as it is\r\nPanel1_Width=300\r\n");
    WriteBytes(fPath, stored);
    QFile::setPermissions(fPath, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const QDateTime modified = QFileInfo(fPath).lastModified();
    {
        TRun run(fPath);
        QVERIFY(run.Storage->ReadOnly());
        const QString before = run.Storage->DocumentText();
        run.Storage->RestoreState();
        QCOMPARE(run.Window.Width, 300); // applied normally
        run.Window.Width = 100;
        run.Storage->SaveState();
        QCOMPARE(run.Storage->DocumentText(), before);
        run.Exit();
    }
    QCOMPARE(ReadBytes(fPath), stored);
    QCOMPARE(QFileInfo(fPath).lastModified(), modified);
    QFile::setPermissions(fPath, QFile::ReadOwner | QFile::WriteOwner);
}

void TestWindowState::faultyIntegers_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("placementGiven");
    QTest::newRow("FormVersion") << "FormVersion" << "abc" << false;
    QTest::newRow("Flags") << "Flags" << "1.5" << false;
    QTest::newRow("PixelsPerInch") << "PixelsPerInch" << "96dpi" << false;
    QTest::newRow("ShowCmd") << "ShowCmd" << "max" << true;
}

void TestWindowState::faultyIntegers() {
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(bool, placementGiven);
    const QString stored = QStringLiteral("[frmMain]\r\n%1=%2\r\nNormPos=100,100,400,300\r\nPanel1_Width=300\r\n\r\n")
                               .arg(key, value);
    WriteText(fPath, stored);
    {
        TRun run(fPath);
        for (int showing = 0; showing < 2; ++showing) {
            try {
                run.Storage->RestoreState();
                QFAIL("no error raised");
            } catch (const EConvertError& e) {
                QCOMPARE(e.Message(), QStringLiteral("'%1' is not a valid integer value").arg(value));
            }
            QVERIFY(!run.Storage->Restored());
        }
        QCOMPARE(run.Window.Width, 185); // the properties are not applied
        QCOMPARE(run.Window.geometry() == QRect(100, 100, 300, 200), placementGiven);
        run.Window.Width = 120;
        run.Storage->SaveState();
        run.Exit();
    }
    QString expected = stored;
    if (key == QLatin1String("FormVersion"))
        expected.replace(QStringLiteral("FormVersion=abc"), QStringLiteral("FormVersion=0"));
    else
        expected.replace(QStringLiteral("Panel1_Width=300\r\n"), QStringLiteral("Panel1_Width=300\r\nFormVersion=0\r\n"));
    QCOMPARE(QString::fromUtf8(ReadBytes(fPath)), expected);
}

void TestWindowState::emptyPlacementIntegersCountAsZero() {
    WriteText(fPath, QStringLiteral("[frmMain]\r\nFormVersion=\r\nFlags=\r\nShowCmd=\r\nPixelsPerInch=\r\n"
                                    "NormPos=100,100,400,300\r\nPanel1_Width=300\r\n"));
    TRun run(fPath);
    run.Storage->RestoreState();
    QVERIFY(run.Storage->Restored());
    QCOMPARE(run.Window.geometry(), QRect(50, 60, 300, 200)); // 0 pixels per inch never matches
    QCOMPARE(run.Window.Width, 300);
}

void TestWindowState::unreadableFileRaisesAndIsNotOverwritten() {
    QVERIFY(QDir().mkpath(fPath)); // a folder in place of the file: it exists, it cannot be read
    const int reports = ErrorReportCount();
    {
        TFakeWindow window;
        auto storage = std::make_unique<TWindowStateStorage>(&window, QStringLiteral("frmMain"), true,
                                                             TFirstShowRule::PlatformDefault);
        QVERIFY_THROWS_EXCEPTION(EOSError, storage->SetFileName(fPath));
        QCOMPARE(storage->FileName(), fPath);
        storage->RestoreState(); // the window still works
        storage->SaveState();
        storage.reset();
    }
    QVERIFY(QFileInfo(fPath).isDir());
    QCOMPARE(ErrorReportCount(), reports);
}

void TestWindowState::failedWriteIsReportedAndKeepsTheOldFile() {
    const QByteArray stored("[frmMain]\r\nPanel1_Width=300\r\n");
    WriteBytes(fPath, stored);
    QStringList messages;
    SetErrorReportHandler([&](const QString& m) {
        messages << m;
        return TErrorChoice::Continue;
    });
    SetWriteFaultHook([](const QString&, qint64) { return QStringLiteral("No space left on device"); });
    {
        TRun run(fPath);
        run.Storage->RestoreState();
        run.Window.Width = 99;
        run.Storage->SaveState();
        run.Exit(); // must not throw
    }
    SetWriteFaultHook({});
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages.first().contains(QStringLiteral("No space left on device")));
    QCOMPARE(ReadBytes(fPath), stored);
    QCOMPARE(QDir(QFileInfo(fPath).absolutePath()).entryList(QDir::Files), QStringList{QStringLiteral("frmMain.ini")});
}

void TestWindowState::sameNameAgainDoesNotReload() {
    WriteText(fPath, QStringLiteral("[frmMain]\r\nPanel1_Width=300\r\n"));
    TRun run(fPath);
    WriteText(fPath, QStringLiteral("[frmMain]\r\nPanel1_Width=400\r\n"));
    run.Storage->SetFileName(fPath);
    run.Storage->RestoreState();
    QCOMPARE(run.Window.Width, 300);
}

SORTELLE_TEST_MAIN(TestWindowState)
#include "tst_windowstate.moc"
