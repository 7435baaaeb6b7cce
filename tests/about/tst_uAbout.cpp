// The about window: its frame and layout, the texts it fills once from the
// version record and the running system, a failing record read, repeated
// showings, and its place over the main window.
#include "common/TestMain.h"

#include "platform/ErrorReport.h"
#include "platform/Errors.h"
#include "platform/SystemInfo.h"
#include "ui/about/uAbout.h"

#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>

#include <memory>

namespace {

const TSystemInfo kDebianAmd64{QStringLiteral("linux"), QStringLiteral("6.1.0-18-amd64"),
                               QStringLiteral("x86_64"), 64};

TVersionRecord FullRecord() {
    return {QStringLiteral("Quendrix Sortelle"), QStringLiteral("1.0.0"),
            QStringLiteral("(c) 2026 The Quendrix Sortelle developers")};
}

QString Text(QWidget* window, const char* name) {
    auto* label = window->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QString::fromLatin1(name));
}

QStringList AllTexts(QWidget* window) {
    QStringList texts;
    for (const char* name :
         {"lblName", "lblVersion", "lblCopyright", "lblOSName", "lblMajorVersion", "lblMinorVersion"})
        texts << Text(window, name);
    return texts;
}

template <typename T> T* Child(QWidget* window, const char* name) {
    T* child = window->findChild<T*>(QString::fromLatin1(name));
    if (!child)
        qFatal("no child %s", name);
    return child;
}

} // namespace

Q_DECLARE_METATYPE(TVersionRecord)
Q_DECLARE_METATYPE(TSystemInfo)

class TestAbout : public QObject {
    Q_OBJECT

    TSystemInfo fSystem;
    TVersionRecord fRecord;

private Q_SLOTS:
    void init() {
        fSystem = kDebianAmd64;
        fRecord = FullRecord();
        SetSystemInfo(&fSystem);
        SetVersionRecordReader([this] { return fRecord; });
        SetErrorReportHandler([](const QString& message) {
            qWarning("unexpected error report: %s", qPrintable(message));
            return TErrorChoice::Continue;
        });
    }

    void cleanup() {
        SetSystemInfo(nullptr);
        SetVersionRecordReader({});
        SetErrorReportHandler({});
        QApplication::setFont(QFont());
    }

    void texts_data() {
        QTest::addColumn<TVersionRecord>("record");
        QTest::addColumn<TSystemInfo>("system");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("Debian on amd64")
            << FullRecord() << kDebianAmd64
            << QStringList{"Name: Quendrix Sortelle", "Version: 1.0.0",
                           "Copyright: (c) 2026 The Quendrix Sortelle developers", "Linux 64 bit",
                           "Major Version: 6", "Minor Version: 1"};
        QTest::newRow("record without copyright")
            << TVersionRecord{"Quendrix Sortelle", "1.0.0", {}} << kDebianAmd64
            << QStringList{"Name: Quendrix Sortelle", "Version: 1.0.0", "Copyright: ", "Linux 64 bit",
                           "Major Version: 6", "Minor Version: 1"};
        QTest::newRow("empty record")
            << TVersionRecord{} << kDebianAmd64
            << QStringList{"Name: ", "Version: ", "Copyright: ", "Linux 64 bit", "Major Version: 6",
                           "Minor Version: 1"};
        QTest::newRow("64-bit ARM")
            << FullRecord() << TSystemInfo{"linux", "6.6.31+rpt-rpi-v8", "arm64", 64}
            << QStringList{"Name: Quendrix Sortelle", "Version: 1.0.0",
                           "Copyright: (c) 2026 The Quendrix Sortelle developers", "Linux 64 bit",
                           "Major Version: 6", "Minor Version: 6"};
        QTest::newRow("32-bit program on a 64-bit machine")
            << FullRecord() << TSystemInfo{"linux", "5.10.0-28-amd64", "x86_64", 32}
            << QStringList{"Name: Quendrix Sortelle", "Version: 1.0.0",
                           "Copyright: (c) 2026 The Quendrix Sortelle developers", "Linux 64 bit",
                           "Major Version: 5", "Minor Version: 10"};
        QTest::newRow("32-bit x86")
            << FullRecord() << TSystemInfo{"linux", "4.19.0-6-686-pae", "i686", 32}
            << QStringList{"Name: Quendrix Sortelle", "Version: 1.0.0",
                           "Copyright: (c) 2026 The Quendrix Sortelle developers", "Linux 86 bit",
                           "Major Version: 4", "Minor Version: 19"};
        QTest::newRow("32-bit ARM on FreeBSD")
            << FullRecord() << TSystemInfo{"freebsd", "13.2-RELEASE", "armv7", 32}
            << QStringList{"Name: Quendrix Sortelle", "Version: 1.0.0",
                           "Copyright: (c) 2026 The Quendrix Sortelle developers", "FreeBSD 32 bit",
                           "Major Version: 13", "Minor Version: 2"};
    }

    void texts() {
        QFETCH(TVersionRecord, record);
        QFETCH(TSystemInfo, system);
        QFETCH(QStringList, expected);
        fRecord = record;
        fSystem = system;
        TfrmAbout about;
        QCOMPARE(AllTexts(&about), expected);
        QCOMPARE(ErrorReportCount(), 0);
    }

    // The product's own record, compiled into the program.
    void ownVersionRecord() {
        SetVersionRecordReader({});
        TfrmAbout about;
        QCOMPARE(Text(&about, "lblName"), QStringLiteral("Name: Quendrix Sortelle"));
        QVERIFY(Text(&about, "lblVersion").contains(QRegularExpression(QStringLiteral("^Version: \\d+\\.\\d+"))));
        QVERIFY(Text(&about, "lblCopyright").size() > QStringLiteral("Copyright: ").size());
    }

    void failingRecordReadIsReportedAndKeepsDesignCaptions() {
        SetVersionRecordReader([]() -> TVersionRecord {
            throw EOSError(2, QStringLiteral("The version record of the program could not be read."));
        });
        QStringList reports;
        SetErrorReportHandler([&reports](const QString& message) {
            reports << message;
            return TErrorChoice::Continue;
        });
        TfrmAbout about;
        QCOMPARE(reports, QStringList{QStringLiteral("The version record of the program could not be read.")});
        QCOMPARE(AllTexts(&about),
                 (QStringList{"Name: ", "Version: ", "Copyright: ", "OS Name", "Major Version: ",
                              "Minor Version: "}));
        // Still a working window.
        QTimer::singleShot(0, &about, [&about] { Child<QPushButton>(&about, "btnClose")->click(); });
        about.exec();
        QVERIFY(!about.isVisible());
    }

    void showingTwiceShowsTheSameTexts() {
        TfrmAbout about;
        const QStringList first = AllTexts(&about);
        for (int showing = 0; showing < 2; ++showing) {
            bool wasVisible = false;
            QTimer::singleShot(0, &about, [&] {
                wasVisible = about.isVisible();
                Child<QPushButton>(&about, "btnClose")->click();
            });
            about.exec();
            QVERIFY(wasVisible);
            QVERIFY(!about.isVisible());
            QCOMPARE(AllTexts(&about), first);
        }
        QCOMPARE(first.at(0), QStringLiteral("Name: Quendrix Sortelle"));
    }

    void frame() {
        TfrmAbout about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
        const Qt::WindowFlags flags = about.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QCOMPARE(about.size(), about.minimumSize());
    }

    // With a font small enough for the design, every control sits exactly where
    // the design puts it.
    void designGeometryAt96Dpi() {
        QFont small = QApplication::font();
        small.setPixelSize(10);
        QApplication::setFont(small);
        fRecord = {QStringLiteral("Sortelle"), QStringLiteral("1.0"), QStringLiteral("(c) 2026")};
        TfrmAbout about;
        QCOMPARE(about.size(), QSize(352, 269));
        QCOMPARE(Child<QWidget>(&about, "Panel1")->geometry(), QRect(0, 228, 352, 41));
        QCOMPARE(Child<QWidget>(&about, "Panel2")->geometry(), QRect(0, 0, 352, 228));
        QCOMPARE(Child<QLabel>(&about, "Image1")->geometry(), QRect(31, 30, 64, 64));
        QCOMPARE(Child<QGroupBox>(&about, "gbxProgram")->geometry(), QRect(145, 30, 176, 71));
        QCOMPARE(Child<QGroupBox>(&about, "gbxRunningOn")->geometry(), QRect(145, 129, 176, 71));
        QCOMPARE(Child<QLabel>(&about, "lblName")->pos(), QPoint(20, 22));
        QCOMPARE(Child<QLabel>(&about, "lblVersion")->pos(), QPoint(20, 35));
        QCOMPARE(Child<QLabel>(&about, "lblCopyright")->pos(), QPoint(20, 48));
        QCOMPARE(Child<QLabel>(&about, "lblOSName")->pos(), QPoint(20, 24));
        QCOMPARE(Child<QLabel>(&about, "lblMajorVersion")->pos(), QPoint(20, 37));
        QCOMPARE(Child<QLabel>(&about, "lblMinorVersion")->pos(), QPoint(20, 50));
        QCOMPARE(Child<QPushButton>(&about, "btnClose")->geometry(), QRect(246, 8, 75, 25));
    }

    // In the desktop's own font the long texts still show whole: the group
    // boxes and the window grow, nothing overlaps and nothing is cut.
    void nothingCutInTheDesktopFont_data() {
        QTest::addColumn<int>("pointSize");
        QTest::newRow("9 pt") << 9;
        QTest::newRow("12 pt") << 12;
    }

    void nothingCutInTheDesktopFont() {
        QFETCH(int, pointSize);
        QFont font = QApplication::font();
        font.setPointSize(pointSize);
        QApplication::setFont(font);
        TfrmAbout about;
        QVERIFY(about.width() >= 352);
        QVERIFY(about.height() >= 269);
        auto* panel1 = Child<QWidget>(&about, "Panel1");
        auto* panel2 = Child<QWidget>(&about, "Panel2");
        QCOMPARE(panel1->geometry(), QRect(0, about.height() - 41, about.width(), 41));
        QCOMPARE(panel2->geometry(), QRect(0, 0, about.width(), about.height() - 41));
        QVERIFY(panel1->rect().contains(Child<QPushButton>(&about, "btnClose")->geometry()));
        auto* close = Child<QPushButton>(&about, "btnClose");
        QVERIFY(close->width() >= close->fontMetrics().horizontalAdvance(close->text()) + 16);
        QVERIFY(close->height() >= close->fontMetrics().height() + 6);

        QList<QRect> groups;
        for (const char* boxName : {"gbxProgram", "gbxRunningOn"}) {
            auto* box = Child<QGroupBox>(&about, boxName);
            QVERIFY(box->font().bold());
            QVERIFY(panel2->rect().contains(box->geometry()));
            QVERIFY(box->width() >= box->fontMetrics().horizontalAdvance(box->title()));
            QRect previous;
            for (QLabel* label : box->findChildren<QLabel*>()) {
                QVERIFY2(!label->font().bold(), qPrintable(label->objectName()));
                QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
                QVERIFY2(label->height() >= label->fontMetrics().height(), qPrintable(label->text()));
                QVERIFY2(box->contentsRect().contains(label->geometry()), qPrintable(label->text()));
                QVERIFY2(!label->geometry().intersects(previous), qPrintable(label->text()));
                previous = label->geometry();
            }
            groups << box->geometry();
        }
        QVERIFY(!groups.at(0).intersects(groups.at(1)));
        QVERIFY(!groups.at(0).intersects(Child<QLabel>(&about, "Image1")->geometry()));
        QCOMPARE(Child<QLabel>(&about, "Image1")->geometry(), QRect(31, 30, 64, 64));
    }

    void emblemIsA64PixelPictureWithAlpha() {
        TfrmAbout about;
        const QPixmap emblem = Child<QLabel>(&about, "Image1")->pixmap();
        QCOMPARE(emblem.size(), QSize(64, 64));
        const QImage image = emblem.toImage();
        QVERIFY(image.hasAlphaChannel());
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QVERIFY(qAlpha(image.pixel(32, 32)) > 0);
    }

    void centredOnTheMainWindow_data() {
        QTest::addColumn<bool>("asParent");
        QTest::newRow("main window found at show time") << false;
        QTest::newRow("parent window") << true;
    }

    void centredOnTheMainWindow() {
        QFETCH(bool, asParent);
        QMainWindow main;
        main.setGeometry(140, 90, 700, 500);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        std::unique_ptr<TfrmAbout> about(new TfrmAbout(asParent ? &main : nullptr));
        QPoint shownCentre;
        QTimer::singleShot(0, about.get(), [&] {
            shownCentre = about->frameGeometry().center();
            about->close();
        });
        about->exec();
        const QPoint wanted = main.frameGeometry().center();
        QVERIFY2((shownCentre - wanted).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("centre %1,%2, main window's %3,%4")
                                .arg(shownCentre.x()).arg(shownCentre.y()).arg(wanted.x()).arg(wanted.y())));

        // The main window moved: the next showing follows it.
        main.move(300, 200);
        QTimer::singleShot(0, about.get(), [&] {
            shownCentre = about->frameGeometry().center();
            about->close();
        });
        about->exec();
        QVERIFY((shownCentre - main.frameGeometry().center()).manhattanLength() <= 2);
    }
};

SORTELLE_TEST_MAIN(TestAbout)
#include "tst_uAbout.moc"
