// The main window as a whole: its kept properties in frmMain.ini, a state file
// that cannot be read, the progress bar's place, and the double-click and
// close handler working with the player window.
#include "common/TestMain.h"

#include "MainFixture.h"
#include "player/uMediaPlayer.h"
#include "player/uPlayer.h"
#include "settings/uWindowStateStorage.h"

#include <QProgressBar>
#include <QtEndian>

namespace {
// A mono 8-bit WAV of silence.
void WriteSilentWav(const QString& path, int seconds) {
    const quint32 rate = 8000;
    const quint32 samples = rate * quint32(seconds);
    QByteArray data("RIFF");
    auto put32 = [&](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        data.append(b, 4);
    };
    auto put16 = [&](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        data.append(b, 2);
    };
    put32(36 + samples);
    data.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(rate);
    put32(rate);
    put16(1);
    put16(8);
    data.append("data");
    put32(samples);
    data.append(QByteArray(int(samples), char(0x80)));
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

const QStringList KeptKeys{
    QStringLiteral("btnCategoryView_Down"), QStringLiteral("Panel1_Visible"), QStringLiteral("Panel1_Width"),
    QStringLiteral("colAdded_Width"), QStringLiteral("colDuration_Width"), QStringLiteral("colExtension_Width"),
    QStringLiteral("colName_Width"), QStringLiteral("colPath_Width"),
    QStringLiteral("colProgress_SlideCaptionLocation"), QStringLiteral("colSize_Width"),
    QStringLiteral("colType_Alignment"), QStringLiteral("colAdded_Sorted"), QStringLiteral("colDuration_Sorted"),
    QStringLiteral("colExtension_Sorted"), QStringLiteral("colName_Sorted"), QStringLiteral("colProgress_Position"),
    QStringLiteral("colSize_Sorted"), QStringLiteral("colType_StyleClass")};
} // namespace

class TestWindow : public QObject {
    Q_OBJECT
    TMainFixture f;

    static QString IniFile() { return TMainFixture::Folder() + QStringLiteral("/frmMain.ini"); }
    static void WriteIni(const QByteArray& text) {
        QDir().mkpath(TMainFixture::Folder());
        QFile file(IniFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    // The property keys of a state document, in their order.
    static QStringList PropertyKeys(const QString& document) {
        QStringList keys;
        for (const QString& line : document.split(QStringLiteral("\r\n"))) {
            const QString key = line.section(u'=', 0, 0);
            if (line.contains(u'=') && KeptKeys.contains(key))
                keys << key;
        }
        return keys;
    }

private Q_SLOTS:
    void initTestCase() { f.InstallSeams(); }
    void cleanup() {
        f.Stop();
        QVERIFY2(f.Reports.isEmpty(), qPrintable(f.Reports.join(u'\n')));
    }

    void keptPropertiesAreAppliedAtTheFirstShowing() {
        // Start() clears the data folder: write the file after that, then a
        // second window reads it.
        f.Start(false);
        f.Stop();
        WriteIni("[FRMMAIN]\r\nFormVersion=0\r\nbtnCategoryView_Down=no\r\nPanel1_Visible=FALSE\r\n"
                 "PANEL1_WIDTH=300\r\ncolName_Width=\r\ncolType_Alignment=taLeftJustify\r\n"
                 "colProgress_SlideCaptionLocation=clLeft\r\ncolProgress_Position=3\r\n"
                 "colName_Sorted=TRUE\r\ncolSize_Sorted=TRUE\r\ncolType_StyleClass=fancy\r\n");
        f.Main = std::make_unique<TfrmMain>();
        frmMain = f.Main.get();
        TfrmMain& w = f.W();
        QVERIFY(!w.StateStorage().Restored());
        QCOMPARE(w.Panel1->maximumWidth(), 185); // nothing applied before the first showing
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.StateStorage().Restored());
        QVERIFY(!w.btnCategoryView->isChecked());
        QVERIFY(w.Panel1->isHidden());
        QVERIFY(w.Splitter1->isHidden());
        QCOMPARE(w.Panel1->maximumWidth(), 300);
        QCOMPARE(w.Panel1->width(), 300);
        QCOMPARE(w.grdTable->ColumnByName(QStringLiteral("colName"))->Width(), 8);
        QCOMPARE(w.grdTable->ColumnByName(QStringLiteral("colType"))->Alignment(), taLeftJustify);
        QCOMPARE(w.grdTable->ColumnByName(QStringLiteral("colProgress"))->SlideCaptionLocation(), clLeft);
        QCOMPARE(w.grdTable->ColumnByName(QStringLiteral("colProgress"))->Position(), 3);
        // The last sorted mark in list order wins.
        QVERIFY(w.grdTable->ColumnByName(QStringLiteral("colSize"))->Sorted());
        QVERIFY(!w.grdTable->ColumnByName(QStringLiteral("colName"))->Sorted());
        QCOMPARE(w.grdTable->ColumnByName(QStringLiteral("colType"))->StyleClass(), QStringLiteral("fancy"));
        // The category view button shows the panel again, at its width.
        w.btnCategoryView->click();
        QVERIFY(w.Panel1->isVisible());
        QCOMPARE(w.Panel1->width(), 300);
    }

    void theEighteenPropertiesAreCopiedInListOrder() {
        f.Start();
        f.W().Panel1->setFixedWidth(222);
        f.W().grdTable->ColumnByName(QStringLiteral("colDuration"))->SetWidth(77);
        f.W().close();
        QCoreApplication::processEvents();
        QVERIFY(!f.W().isVisible());
        QVERIFY(f.W().StateStorage().Saved());
        const QString document = f.W().StateStorage().DocumentText();
        QCOMPARE(PropertyKeys(document), KeptKeys);
        QVERIFY(document.contains(QStringLiteral("\r\nbtnCategoryView_Down=TRUE\r\nPanel1_Visible=TRUE\r\n"
                                                 "Panel1_Width=222\r\n")));
        QVERIFY(document.contains(QStringLiteral("\r\ncolDuration_Width=77\r\n")));
        QVERIFY(document.contains(QStringLiteral("\r\ncolType_Alignment=taCenter\r\n")));
        QVERIFY(document.contains(QStringLiteral("\r\ncolProgress_SlideCaptionLocation=clTop\r\n")));
        // Written when the window is destroyed.
        f.Stop();
        const QString written = QString::fromLocal8Bit(TMainFixture::ReadAll(IniFile()));
        QVERIFY(written.startsWith(QStringLiteral("[frmMain]\r\nFormVersion=0\r\n")));
        QCOMPARE(PropertyKeys(written), KeptKeys);
    }

    void draggingTheSplitterSetsThePanelWidth() {
        f.Start();
        TSplitter* splitter = f.W().Splitter1;
        const QPoint grip(1, splitter->height() / 2);
        QTest::mousePress(splitter, Qt::LeftButton, {}, grip);
        QTest::mouseMove(splitter, grip + QPoint(50, 0));
        QTest::mouseRelease(splitter, Qt::LeftButton, {}, grip + QPoint(50, 0));
        QCOMPARE(f.W().Panel1->width(), 235);
        // Never narrower than the splitter's minimum, and the grid keeps some room.
        QTest::mousePress(splitter, Qt::LeftButton, {}, grip);
        QTest::mouseMove(splitter, grip - QPoint(400, 0));
        QTest::mouseRelease(splitter, Qt::LeftButton, {}, grip - QPoint(400, 0));
        QCOMPARE(f.W().Panel1->width(), splitter->MinSize());
        QTest::mousePress(splitter, Qt::LeftButton, {}, grip);
        QTest::mouseMove(splitter, grip + QPoint(5000, 0));
        QTest::mouseRelease(splitter, Qt::LeftButton, {}, grip + QPoint(5000, 0));
        QVERIFY(f.G().width() >= splitter->MinSize());
        QCOMPARE(f.W().Panel1->width() + splitter->width() + splitter->MinSize(), splitter->parentWidget()->width());
        // The width is what the window keeps.
        f.W().close();
        QVERIFY(f.W().StateStorage().DocumentText().contains(
            QStringLiteral("\r\nPanel1_Width=%1\r\n").arg(f.W().Panel1->width())));
    }

    void anUnreadableStateFileIsReportedAndStartUpGoesOn() {
        f.Start(false);
        f.Stop();
        // A file that exists but cannot be read, whoever runs the test: the
        // process's own memory at address 0.
        QDir().mkpath(TMainFixture::Folder());
        QFile::remove(IniFile());
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), IniFile()));
        QFile categories(TMainFixture::Folder() + QStringLiteral("/categories.xml"));
        QVERIFY(categories.open(QIODevice::WriteOnly));
        categories.write("<xml><item text=\"Kept\" NodeID=\"0\" NodeType=\"0\"/></xml>");
        categories.close();
        f.Main = std::make_unique<TfrmMain>();
        frmMain = f.Main.get();
        QCOMPARE(f.Reports.size(), 1);
        f.Reports.clear();
        // The rest of the creation handler ran.
        QVERIFY(Tree && CurrentTable);
        QCOMPARE(f.T().topLevelItemCount(), 1);
        QCOMPARE(f.T().topLevelItem(0)->text(0), QStringLiteral("Kept"));
        QCOMPARE(f.W().ProgressBar->parentWidget(), f.W().StatusBar);
        f.W().show();
        QVERIFY(QTest::qWaitForWindowExposed(f.Main.get()));
        f.Stop();
        QVERIFY(QFile::remove(IniFile()));
        f.Reports.clear(); // whatever the storage says about its unreadable file at exit
    }

    void statusBarPanels() {
        f.Start();
        TStatusBar* bar = f.W().StatusBar;
        QCOMPARE(bar->PanelCount(), 3);
        QCOMPARE(bar->PanelAlignment(0), Qt::AlignLeft);
        QCOMPARE(bar->PanelAlignment(1), Qt::AlignHCenter);
        QCOMPARE(bar->PanelRect(1).left(), 120);
        QCOMPARE(bar->PanelRect(2).left(), 580);
        QCOMPARE(bar->height(), 19);
        QVERIFY(!f.W().ProgressBar->isVisible());
        // Drawing panel 2 places the progress bar in it.
        f.W().ProgressBar->show();
        bar->repaint();
        QCOMPARE(f.W().ProgressBar->geometry(), bar->PanelRect(2));
        f.W().resize(900, 500);
        QCoreApplication::processEvents();
        QCOMPARE(f.W().ProgressBar->geometry(), bar->PanelRect(2));
    }

    void doubleClickOpensEntriesAndTheCloseSavesThePositionFirst() {
        TMediaPlayerOptions options;
        options.Video = TMediaPlayerOptions::TVideo::None;
        options.Audio = TMediaPlayerOptions::TAudio::None;
        TMediaPlayer::SetDefaultOptions(options);
        f.Start();
        frmPlayer = new TfrmPlayer();
        QTreeWidgetItem* coll = f.AddNode(nullptr, QStringLiteral("C"), ntCollection);
        f.T().setCurrentItem(coll);
        const QString doc = TMainFixture::MakeFile(QStringLiteral("a.pdf"));
        const QString song = TMainFixture::FilesFolder() + QStringLiteral("/song.wav");
        WriteSilentWav(song, 30);
        f.DialogFiles = {doc, song};
        f.W().mnuImportFiles->trigger();
        QCOMPARE(f.G().RowCount(), 2);
        const std::int32_t id = CurrentTable->ID();
        f.T().setCurrentItem(f.AddNode(nullptr, QStringLiteral("Other"), ntCollection));
        f.T().setCurrentItem(coll); // written and read back: not changed
        QVERIFY(!CurrentTable->IsChanged());

        auto doubleClick = [&](int row) {
            const QPoint at = f.G().CellRect(colNameIndex, row).center();
            QTest::mouseClick(f.G().viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(f.G().viewport(), Qt::LeftButton, {}, at);
        };
        // A document goes to the shell and changes nothing.
        doubleClick(0);
        QCOMPARE(f.Opened, (QList<QUrl>{QUrl::fromLocalFile(doc)}));
        QVERIFY(!CurrentTable->IsChanged());
        // An audio entry plays, and the table is changed.
        doubleClick(1);
        QVERIFY(CurrentTable->IsChanged());
        QTRY_VERIFY_WITH_TIMEOUT(frmPlayer->wmpPlayer->controls().currentPosition() > 0.3, 10000);

        // The close handler has the player write the position into the row
        // before the table is saved.
        f.W().close();
        QCoreApplication::processEvents();
        QVERIFY(!Tree);
        TItemGrid check;
        check.LoadFromTextFile(TCurrentTable::TableFileName(id), u',', u'|', 0);
        QCOMPARE(check.RowCount(), 2);
        QVERIFY(check.CellByName(QStringLiteral("colCurrentPosition"), 1).AsFloat() > 0.3);
        frmPlayer->close();
        delete frmPlayer;
        frmPlayer = nullptr;
    }
};

SORTELLE_TEST_MAIN(TestWindow)
#include "tst_window.moc"
