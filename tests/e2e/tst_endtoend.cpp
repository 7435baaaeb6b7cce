// The whole system the way a user runs it: two runs of the program in one
// fresh home, with the real windows and real libmpv (no picture, no sound
// device). Only the open dialog, the popup menus, the shell and the error
// report are answered by the test.
#include "common/TestMain.h"

#include "../player/MediaFixtures.h"
#include "app/uProgram.h"
#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "platform/Shell.h"
#include "player/uMediaPlayer.h"
#include "player/uPlayer.h"
#include "settings/uOptions.h"
#include "ui/about/uAbout.h"
#include "ui/grid/uItemGrid.h"
#include "ui/main/uMain.h"
#include "ui/main/uStatusBar.h"
#include "ui/main/uTreeViewAdapter.h"

#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace media_fixtures;

class TestEndToEnd : public QObject {
    Q_OBJECT

    QStringList fReports;
    QList<QMenu*> fPopups;
    QStringList fDialogFiles;
    QString fSong, fClip, fNotes;
    QStringList fTreeBefore;
    QList<QStringList> fRowsBefore;
    QRect fMainGeometry{60, 50, 700, 420};
    double fSavedPosition = 0;
    int fSavedProgress = 0;

    static QString Folder() {
        return sortelle_test::HomeDir() + QStringLiteral("/Documents/quendrix/Sortelle/Options");
    }
    static QByteArray ReadAll(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QTreeWidget& T() { return *frmMain->tvwCategories; }
    TItemGrid& G() { return *frmMain->grdTable; }
    QString Panel(int i) { return frmMain->StatusBar->PanelText(i); }
    TMediaPlayer& Wmp() { return *frmPlayer->wmpPlayer; }

    void Start() {
        fReports.clear();
        CreateWindows();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
    }
    void Stop() {
        frmMain->close();
        QCoreApplication::processEvents();
        QVERIFY(!frmMain->isVisible());
        DestroyWindows();
    }
    // The popup the next right-click opens, with the item chosen from it.
    QMenu* RightClick(QTreeWidgetItem* item) {
        const int before = int(fPopups.size());
        QPoint pos = item ? T().visualItemRect(item).center() : QPoint(5, T().viewport()->height() - 3);
        QTest::mouseClick(T().viewport(), Qt::RightButton, {}, pos);
        return fPopups.size() > before ? fPopups.last() : nullptr;
    }
    void Choose(QMenu* menu, const QString& caption) {
        QVERIFY(menu);
        for (QAction* action : menu->actions())
            if (action->text() == caption) {
                action->trigger();
                QCoreApplication::processEvents();
                return;
            }
        QFAIL(qPrintable(QStringLiteral("no menu item ") + caption));
    }
    void TypeCaption(const QString& text) {
        QLineEdit* editor = nullptr;
        for (QLineEdit* e : T().viewport()->findChildren<QLineEdit*>())
            if (e->isVisible())
                editor = e;
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    QTreeWidgetItem* Find(const QString& caption) {
        const auto items = T().findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        return items.isEmpty() ? nullptr : items.first();
    }
    QStringList TreeDump(QTreeWidgetItem* parent = nullptr, int depth = 0) {
        QStringList lines;
        QTreeWidgetItem* level = parent ? parent : T().invisibleRootItem();
        for (int i = 0; i < level->childCount(); ++i) {
            QTreeWidgetItem* child = level->child(i);
            TNode* node = NodeOfItem(child);
            lines << QStringLiteral("%1%2|%3|%4").arg(QString(depth * 2, u' '), child->text(0)).arg(node->ID())
                         .arg(int(node->NodeType()));
            lines << TreeDump(child, depth + 1);
        }
        return lines;
    }
    QList<QStringList> Rows() {
        QList<QStringList> rows;
        for (int r = 0; r < G().RowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < ColumnCount; ++c)
                cells << G().Cells(c, r);
            rows << cells;
        }
        return rows;
    }
    int RowOf(const QString& path) {
        for (int r = 0; r < G().RowCount(); ++r)
            if (G().Cells(colPathIndex, r) == path)
                return r;
        return -1;
    }
    void DoubleClick(int row) {
        const QRect rect = G().visualRect(G().model()->index(row, colNameIndex));
        QTest::mouseClick(G().viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(G().viewport(), Qt::LeftButton, {}, rect.center());
        QCoreApplication::processEvents();
    }
    bool WaitFor(TPlayState state, int timeout = 15000) {
        QElapsedTimer t;
        t.start();
        while (Wmp().playState() != state && t.elapsed() < timeout)
            QTest::qWait(5);
        return Wmp().playState() == state;
    }
    // Shows the options window modally, runs `edit` inside it and closes it.
    void WithOptionsWindow(const std::function<void()>& edit) {
        QTimer::singleShot(0, frmOptions, [&] {
            QVERIFY(frmOptions->isVisible());
            edit();
            frmOptions->close();
        });
        frmMain->btnOptions->click();
        QVERIFY(!frmOptions->isVisible());
    }

private Q_SLOTS:
    void initTestCase() {
        TMediaPlayerOptions options;
        options.Video = TMediaPlayerOptions::TVideo::None;
        options.Audio = TMediaPlayerOptions::TAudio::None;
        options.Untimed = false; // pausing at a position needs playback at its real pace
        TMediaPlayer::SetDefaultOptions(options);
        SetErrorReportHandler([this](const QString& message) {
            fReports << message;
            return TErrorChoice::Continue;
        });
        TfrmMain::SetPopupHandler([this](QMenu* menu, const QPoint&) { fPopups << menu; });
        SetShellHandler([](const QUrl&) { return true; });
        SetOpenFilesHandler([this](QWidget*) { return fDialogFiles; });
        TfrmMain::SetImportEventInterval(0);
        const QString files = sortelle_test::HomeDir() + QStringLiteral("/files");
        fSong = files + QStringLiteral("/Evening song.wav");
        fClip = files + QStringLiteral("/clip.mp4");
        fNotes = files + QStringLiteral("/notes.txt");
        QVERIFY(WriteSilentWav(fSong, 40.0, 8000));
        if (!HaveFfmpeg())
            QSKIP("the ffmpeg program is needed to make the test video");
        QVERIFY(MakeVideo(fClip, 2.0));
        QFile notes(fNotes);
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write(QByteArray(1048576, 'n'));
    }

    void firstRunStartsEmpty() {
        QVERIFY(!QDir(Folder()).exists());
        Start();
        QVERIFY(frmMain && frmOptions && frmPlayer && frmAbout);
        QVERIFY(!frmOptions->isVisible() && !frmPlayer->isVisible() && !frmAbout->isVisible());
        QCOMPARE(T().topLevelItemCount(), 0);
        QCOMPARE(G().RowCount(), 0);
        QVERIFY(fReports.isEmpty());
    }

    void buildTheTree() {
        Choose(RightClick(nullptr), QStringLiteral("New Category"));
        TypeCaption(QStringLiteral("Music"));
        QTreeWidgetItem* music = Find(QStringLiteral("Music"));
        QVERIFY(music);
        Choose(RightClick(music), QStringLiteral("New Sub Category"));
        TypeCaption(QStringLiteral("Live"));
        Choose(RightClick(music), QStringLiteral("New collection"));
        TypeCaption(QStringLiteral("Zeta songs"));
        QCOMPARE(Panel(0), QStringLiteral("0 items"));
        Choose(RightClick(music), QStringLiteral("New collection"));
        TypeCaption(QStringLiteral("Alpha songs"));
        // Each rename sorted the level: Live, Zeta songs; then Alpha songs first.
        QStringList captions;
        for (int i = 0; i < music->childCount(); ++i)
            captions << music->child(i)->text(0);
        QCOMPARE(captions, (QStringList{QStringLiteral("Alpha songs"), QStringLiteral("Live"),
                                        QStringLiteral("Zeta songs")}));
        QVERIFY(fReports.isEmpty());
    }

    void importIntoTheFirstCollection() {
        QTreeWidgetItem* zeta = Find(QStringLiteral("Zeta songs"));
        QMenu* menu = RightClick(zeta);
        QCOMPARE(menu, frmMain->pumCollection);
        QCOMPARE(CurrentTable->ID(), NodeOfItem(zeta)->ID());
        QCOMPARE(Panel(1), QStringLiteral("Zeta songs"));
        fDialogFiles = {fSong, fClip, fNotes};
        Choose(menu, QStringLiteral("Import File(s)"));
        QCOMPARE(G().RowCount(), 3);
        QCOMPARE(Panel(0), QStringLiteral("3 items added."));
        QVERIFY(CurrentTable->IsChanged());
        QVERIFY(!frmMain->ProgressBar->isVisible());
        const int song = RowOf(fSong), clip = RowOf(fClip), notes = RowOf(fNotes);
        QCOMPARE(QList<int>({song, clip, notes}), QList<int>({0, 1, 2}));
        QCOMPARE(G().CellsByName(QStringLiteral("colName"), song), QStringLiteral("Evening song"));
        QCOMPARE(G().CellsByName(QStringLiteral("colType"), song), QStringLiteral("9"));
        QCOMPARE(G().CellsByName(QStringLiteral("colType"), clip), QStringLiteral("10"));
        QCOMPARE(G().CellsByName(QStringLiteral("colType"), notes), QStringLiteral("13"));
        QCOMPARE(G().CellsByName(QStringLiteral("colSize"), song), QStringLiteral("0.3"));
        QCOMPARE(G().CellsByName(QStringLiteral("colSize"), notes), QStringLiteral("1.0"));
        QCOMPARE(G().CellsByName(QStringLiteral("colDuration"), song), QString());
        QCOMPARE(G().CellsByName(QStringLiteral("colDuration"), clip), QStringLiteral("00:02"));
        QCOMPARE(G().CellsByName(QStringLiteral("colExtension"), clip), QStringLiteral("mp4"));
        QCOMPARE(G().Cell(colAddedIndex, song).AsDateTime(), DateTimeFromQDate(QDate::currentDate()));
    }

    void playPauseAndFinish() {
        DoubleClick(RowOf(fSong));
        QVERIFY(frmPlayer->isVisible());
        QVERIFY(WaitFor(psPlaying));
        const TPlaylistPtr playlist = Wmp().currentPlaylist();
        QCOMPARE(playlist->count(), 2);
        QCOMPARE(playlist->item(0)->sourceURL(), fSong);
        QCOMPARE(playlist->item(1)->sourceURL(), fClip);
        Wmp().controls().setCurrentPosition(12.0);
        QTest::qWait(200);
        Wmp().controls().pause();
        QVERIFY(WaitFor(psPaused));
        QVERIFY(Wmp().status().startsWith(QStringLiteral("Paused")));
        frmPlayer->close();
        QVERIFY(!frmPlayer->isVisible());
        const int song = RowOf(fSong);
        fSavedPosition = G().Cell(colCurrentPositionIndex, song).AsFloat();
        fSavedProgress = G().CellByName(QStringLiteral("colProgress"), song).AsInteger();
        QVERIFY2(fSavedPosition >= 12.0 && fSavedPosition < 14.0, qPrintable(QString::number(fSavedPosition)));
        QCOMPARE(fSavedProgress, qRound(fSavedPosition * 100 / 40.0));

        // The video played to its end.
        DoubleClick(RowOf(fClip));
        QVERIFY(WaitFor(psPlaying));
        QTRY_COMPARE_WITH_TIMEOUT(G().CellByName(QStringLiteral("colProgress"), RowOf(fClip)).AsInteger(), 100, 15000);
        frmPlayer->close();
        QCOMPARE(G().Cell(colCurrentPositionIndex, RowOf(fSong)).AsFloat(), fSavedPosition);
        QVERIFY(fReports.isEmpty());
    }

    void switchAwayAndBack() {
        const QList<QStringList> rows = Rows();
        QTreeWidgetItem* zeta = Find(QStringLiteral("Zeta songs"));
        const QString file = TCurrentTable::TableFileName(NodeOfItem(zeta)->ID());
        QTest::mouseClick(T().viewport(), Qt::LeftButton, {}, T().visualItemRect(Find(QStringLiteral("Alpha songs"))).center());
        QCOMPARE(Panel(1), QStringLiteral("Alpha songs"));
        QCOMPARE(G().RowCount(), 0);
        const QByteArray written = ReadAll(file);
        QVERIFY(written.startsWith("\xFF\xFE"));
        QTest::mouseClick(T().viewport(), Qt::LeftButton, {}, T().visualItemRect(zeta).center());
        QCOMPARE(Rows(), rows);
        // Written again unchanged, the file is the same to the byte.
        CurrentTable->SetIsChanged(true);
        CurrentTable->SaveIfChanged();
        QCOMPARE(ReadAll(file), written);
        fRowsBefore = rows;
    }

    void changeOptionsAndClose() {
        WithOptionsWindow([] { frmOptions->edtAudio->setText(QStringLiteral("mp3, wav, flac")); });
        frmMain->setGeometry(fMainGeometry);
        QCoreApplication::processEvents();
        fMainGeometry = frmMain->geometry();
        fTreeBefore = TreeDump();
        Stop();
        for (const char* name : {"categories.xml", "frmMain.ini", "frmOptions.ini", "frmPlayer.ini"})
            QVERIFY2(QFile::exists(Folder() + u'/' + QLatin1String(name)), name);
        QVERIFY(ReadAll(Folder() + QStringLiteral("/frmOptions.ini")).contains("edtAudio_Text=mp3, wav, flac"));
    }

    void secondRunRestoresEverything() {
        Start();
        QCOMPARE(TreeDump(), fTreeBefore);
        QCOMPARE(frmMain->geometry(), fMainGeometry);
        // The stored lists reach the options window at its first opening only.
        QCOMPARE(frmOptions->edtAudio->text(), QStringLiteral("mp3, wav, ogg, midi"));
        WithOptionsWindow([] { QCOMPARE(frmOptions->edtAudio->text(), QStringLiteral("mp3, wav, flac")); });
        QTreeWidgetItem* zeta = Find(QStringLiteral("Zeta songs"));
        T().expandItem(zeta->parent()); // a loaded tree shows its top level collapsed
        QTest::mouseClick(T().viewport(), Qt::LeftButton, {}, T().visualItemRect(zeta).center());
        QCOMPARE(Rows(), fRowsBefore);
        QCOMPARE(G().CellByName(QStringLiteral("colProgress"), RowOf(fClip)).AsInteger(), 100);
        QCOMPARE(G().CellByName(QStringLiteral("colProgress"), RowOf(fSong)).AsInteger(), fSavedProgress);

        // The song resumes where it was paused.
        DoubleClick(RowOf(fSong));
        QVERIFY(WaitFor(psPlaying));
        const double position = Wmp().controls().currentPosition();
        QVERIFY2(position >= fSavedPosition - 0.5 && position < fSavedPosition + 3,
                 qPrintable(QStringLiteral("%1 vs %2").arg(position).arg(fSavedPosition)));
        frmPlayer->close();
        Stop();
        QVERIFY(fReports.isEmpty());
    }
};

SORTELLE_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
