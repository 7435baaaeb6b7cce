// The options window: its layout and built-in lists, how it closes, and how
// its lists persist from run to run through frmOptions.ini.

#include "common/TestMain.h"

#include "platform/DataFolder.h"
#include "platform/ErrorReport.h"
#include "settings/uOptions.h"
#include "settings/uWindowStateStorage.h"

#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {
QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// Opens the window modally the way the Options button does, runs `whileOpen`
// inside the modal loop, then closes it with its Close button.
int OpenAndClose(TfrmOptions& window, const std::function<void()>& whileOpen = {}) {
    QTimer::singleShot(0, &window, [&window, whileOpen] {
        if (whileOpen)
            whileOpen();
        window.btnClose->click();
    });
    return window.exec();
}
} // namespace

class TestOptions : public QObject {
    Q_OBJECT
private:
    int fCase = 0;
    QString IniPath() const { return DataFolder + QStringLiteral("/frmOptions.ini"); }

private Q_SLOTS:
    void init();
    void cleanup();

    void layoutAndBuiltInTexts();
    void tabOrder();
    void enterAndEscapeDoNotClose();
    void closingEndsTheModalLoopWithCancel();
    void neverOpenedRunWritesTheVersionOnly();
    void openedRunWritesTheKeysInOrder();
    void firstOpeningIsCentredOnTheMainWindow();
    void listsKeptBetweenRunsPictureNot();
    void unreadableFileIsReportedAndTheWindowWorks();
};

void TestOptions::init() {
    ++fCase;
    DataFolder = sortelle_test::HomeDir() + QStringLiteral("/case%1/Documents/quendrix/Sortelle/Options").arg(fCase);
    SetErrorReportHandler([](const QString&) { return TErrorChoice::Continue; });
}

void TestOptions::cleanup() {
    DataFolder.clear();
    SetErrorReportHandler({});
}

void TestOptions::layoutAndBuiltInTexts() {
    TfrmOptions window;
    QCOMPARE(ExtensionLists, static_cast<IExtensionLists*>(&window));
    QCOMPARE(window.windowTitle(), QStringLiteral("Options"));
    QCOMPARE(window.size(), QSize(495, 363));
    QCOMPARE(window.minimumSize(), window.maximumSize()); // not resizable
    const Qt::WindowFlags flags = window.windowFlags();
    QVERIFY(flags & Qt::WindowStaysOnTopHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowCloseButtonHint);

    QCOMPARE(window.GroupBox1->title(), QStringLiteral("File Extensions"));
    QCOMPARE(window.GroupBox1->geometry(), QRect(23, 24, 449, 277));
    QVERIFY(window.GroupBox1->font().bold());
    QCOMPARE(window.GroupBox1->palette().color(QPalette::WindowText), QColor(166, 202, 240));

    struct TRow { QLabel* Label; QString Caption; int LabelTop; QLineEdit* Edit; int EditTop; QString Text; };
    const TRow rows[] = {
        {window.Label1, QStringLiteral("Archive:"), 37, window.edtArchive, 34, QStringLiteral("zip, rar, gz")},
        {window.Label2, QStringLiteral("Audio:"), 77, window.edtAudio, 74, QStringLiteral("mp3, wav, ogg, midi")},
        {window.Label3, QStringLiteral("Document:"), 117, window.edtDocument, 114, QStringLiteral("pdf, txt, doc, djvu")},
        {window.Label4, QStringLiteral("Executable:"), 157, window.edtExecutable, 154, QStringLiteral("exe, msi")},
        {window.Label6, QStringLiteral("Picture:"), 197, window.edtPicture, 194, QStringLiteral("jpg, gif, png, bmp, ico")},
        {window.Label5, QStringLiteral("Video:"), 237, window.edtVideo, 234, QStringLiteral("mp4, avi, wmv, m4v")},
    };
    for (const TRow& row : rows) {
        QCOMPARE(row.Label->text(), row.Caption);
        QCOMPARE(row.Label->parentWidget(), window.GroupBox1);
        QCOMPARE(row.Label->pos(), QPoint(24, row.LabelTop));
        QVERIFY(!row.Label->font().bold());
        QCOMPARE(row.Label->palette().color(QPalette::WindowText), window.palette().color(QPalette::WindowText));
        QCOMPARE(row.Edit->geometry(), QRect(104, row.EditTop, 321, 21));
        QCOMPARE(row.Edit->text(), row.Text);
        QVERIFY(!row.Edit->font().bold());
    }
    QCOMPARE(window.ArchiveText(), QStringLiteral("zip, rar, gz"));
    QCOMPARE(window.AudioText(), QStringLiteral("mp3, wav, ogg, midi"));
    QCOMPARE(window.DocumentText(), QStringLiteral("pdf, txt, doc, djvu"));
    QCOMPARE(window.ExecutableText(), QStringLiteral("exe, msi"));
    QCOMPARE(window.PictureText(), QStringLiteral("jpg, gif, png, bmp, ico"));
    QCOMPARE(window.VideoText(), QStringLiteral("mp4, avi, wmv, m4v"));

    QCOMPARE(window.Panel1->geometry(), QRect(0, 321, 495, 42));
    QCOMPARE(window.btnClose->text(), QStringLiteral("Close"));
    QCOMPARE(window.btnClose->parentWidget(), window.Panel1);
    QCOMPARE(window.btnClose->geometry(), QRect(414, 8, 75, 25));
    QVERIFY(!window.btnClose->isDefault());
    QVERIFY(!window.btnClose->autoDefault());
}

void TestOptions::tabOrder() {
    TfrmOptions window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.edtArchive->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, QStringList({"edtArchive", "edtAudio", "edtDocument", "edtExecutable", "edtVideo",
                                   "edtPicture", "btnClose", "edtArchive"}));
    window.close();
}

void TestOptions::enterAndEscapeDoNotClose() {
    TfrmOptions window;
    bool stillOpen = true;
    const int result = OpenAndClose(window, [&] {
        for (QWidget* target : {static_cast<QWidget*>(window.edtAudio), static_cast<QWidget*>(window.btnClose)}) {
            target->setFocus();
            for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
                QTest::keyClick(target, key);
                stillOpen = stillOpen && window.isVisible();
            }
        }
    });
    QVERIFY(stillOpen);
    QCOMPARE(result, int(QDialog::Rejected));
}

void TestOptions::closingEndsTheModalLoopWithCancel() {
    TfrmOptions window;
    QCOMPARE(OpenAndClose(window), int(QDialog::Rejected));
    QVERIFY(!window.isVisible());
    QVERIFY(window.WindowStateStorage().Saved());
    // The title bar's close does the same.
    QTimer::singleShot(0, &window, [&window] { window.close(); });
    QCOMPARE(window.exec(), int(QDialog::Rejected));
    QVERIFY(!window.isVisible());
    QVERIFY(window.WindowStateStorage().Restored());
}

void TestOptions::neverOpenedRunWritesTheVersionOnly() {
    QVERIFY(!QFileInfo::exists(DataFolder));
    { TfrmOptions window; }
    QCOMPARE(ReadBytes(IniPath()), QByteArray("[frmOptions]\r\nFormVersion=0\r\n\r\n"));
    // Stored lists stay as they were in a run that never opens the window.
    QFile f(IniPath());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("[frmOptions]\r\nFormVersion=0\r\nedtAudio_Text=mp3, flac\r\n\r\n");
    f.close();
    {
        TfrmOptions window;
        QCOMPARE(window.AudioText(), QStringLiteral("mp3, wav, ogg, midi"));
    }
    QCOMPARE(ReadBytes(IniPath()), QByteArray("[frmOptions]\r\nFormVersion=0\r\nedtAudio_Text=mp3, flac\r\n\r\n"));
}

void TestOptions::openedRunWritesTheKeysInOrder() {
    QRect placed;
    QRect frame;
    {
        TfrmOptions window;
        OpenAndClose(window, [&] {
            placed = window.geometry();
            frame = window.frameGeometry();
        });
    }
    const QString minMax = QStringLiteral("=-1,-1,%1,%2").arg(frame.left() - placed.left()).arg(frame.top() - placed.top());
    const QString norm = QStringLiteral("=%1,%2,%3,%4")
                             .arg(placed.left()).arg(placed.top())
                             .arg(placed.left() + 495).arg(placed.top() + 363);
    const QString suffix = TWindowStateStorage::DesktopSuffix();
    QCOMPARE(QString::fromUtf8(ReadBytes(IniPath())).split(QStringLiteral("\r\n")),
             QStringList({
                 QStringLiteral("[frmOptions]"),
                 QStringLiteral("FormVersion=0"),
                 QStringLiteral("ShowCmd=1"),
                 QStringLiteral("Flags=0"),
                 QStringLiteral("PixelsPerInch=96"),
                 QStringLiteral("MinMaxPos") + suffix + minMax,
                 QStringLiteral("MinMaxPos") + minMax,
                 QStringLiteral("NormPos") + suffix + norm,
                 QStringLiteral("NormPos") + norm,
                 QStringLiteral("edtArchive_Text=zip, rar, gz"),
                 QStringLiteral("edtAudio_Text=mp3, wav, ogg, midi"),
                 QStringLiteral("edtDocument_Text=pdf, txt, doc, djvu"),
                 QStringLiteral("edtExecutable_Text=exe, msi"),
                 QStringLiteral("edtVideo_Text=mp4, avi, wmv, m4v"),
                 QString(),
                 QString(),
             }));
}

void TestOptions::firstOpeningIsCentredOnTheMainWindow() {
    QWidget main;
    main.setObjectName(QStringLiteral("frmMain"));
    main.setGeometry(40, 30, 700, 600);
    main.show();
    for (QWidget* given : {static_cast<QWidget*>(&main), static_cast<QWidget*>(nullptr)}) {
        TfrmOptions window(nullptr, given); // found by name when not given
        QPoint centre;
        OpenAndClose(window, [&] { centre = window.frameGeometry().center(); });
        QVERIFY2(qAbs(centre.x() - main.frameGeometry().center().x()) <= 2, qPrintable(QString::number(centre.x())));
        QVERIFY2(qAbs(centre.y() - main.frameGeometry().center().y()) <= 2, qPrintable(QString::number(centre.y())));
        QFile::remove(IniPath());
    }
}

void TestOptions::listsKeptBetweenRunsPictureNot() {
    QRect placed;
    {
        TfrmOptions window;
        OpenAndClose(window, [&] {
            window.edtAudio->setText(QStringLiteral(" mp3, flac"));
            window.edtPicture->setText(QStringLiteral("jpg"));
            window.move(window.pos() + QPoint(17, 9));
        });
        placed = window.geometry();
        QCOMPARE(window.PictureText(), QStringLiteral("jpg")); // lasts until exit
    }
    TfrmOptions window;
    // Until the first opening the boxes hold the built-in lists.
    QCOMPARE(window.AudioText(), QStringLiteral("mp3, wav, ogg, midi"));
    QRect shownAt;
    OpenAndClose(window, [&] { shownAt = window.geometry(); });
    QCOMPARE(window.AudioText(), QStringLiteral("mp3, flac")); // the leading blank is trimmed away
    QCOMPARE(window.PictureText(), QStringLiteral("jpg, gif, png, bmp, ico"));
    QCOMPARE(window.ArchiveText(), QStringLiteral("zip, rar, gz"));
    QCOMPARE(shownAt, placed);
    // Later openings restore nothing: the boxes show what they hold.
    window.edtAudio->setText(QStringLiteral("ogg"));
    OpenAndClose(window);
    QCOMPARE(window.AudioText(), QStringLiteral("ogg"));
}

void TestOptions::unreadableFileIsReportedAndTheWindowWorks() {
    QVERIFY(QDir().mkpath(IniPath())); // exists, cannot be read as a file
    QStringList messages;
    SetErrorReportHandler([&](const QString& m) {
        messages << m;
        return TErrorChoice::Continue;
    });
    {
        TfrmOptions window;
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.first().startsWith(QStringLiteral("Cannot open file")));
        QCOMPARE(OpenAndClose(window, [&] { window.edtAudio->setText(QStringLiteral("flac")); }),
                 int(QDialog::Rejected));
        QCOMPARE(window.AudioText(), QStringLiteral("flac"));
    }
    QCOMPARE(messages.size(), 1);
    QVERIFY(QFileInfo(IniPath()).isDir());
}

SORTELLE_TEST_MAIN(TestOptions)
#include "tst_options.moc"
