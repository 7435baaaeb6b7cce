#include "common/TestMain.h"

#include "MediaFixtures.h"
#include "platform/DataFolder.h"
#include "platform/ErrorReport.h"
#include "platform/Errors.h"
#include "platform/Shell.h"
#include "player/uMediaPlayer.h"
#include "player/uMediaPlayerViews.h"
#include "player/uPlayer.h"
#include "ui/grid/uItemGrid.h"

#include <QFrame>
#include <QPushButton>
#include <QToolButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cmath>

using namespace media_fixtures;

namespace {
TMediaPlayerOptions Headless(bool untimed) {
    TMediaPlayerOptions options;
    options.Video = TMediaPlayerOptions::TVideo::None;
    options.Audio = TMediaPlayerOptions::TAudio::None;
    options.Untimed = untimed;
    return options;
}

// A grid with entries, and a player window playing from it.
struct TFixture {
    TItemGrid grid;
    std::unique_ptr<TfrmPlayer> player;
    TMediaPlayer* wmp = nullptr;
    QList<int> rowsAtPlaying; // CurrentRow each time an item started playing
    QStringList ended;        // the item at each end

    explicit TFixture(bool untimed) {
        TMediaPlayer::SetDefaultOptions(Headless(untimed));
        player = std::make_unique<TfrmPlayer>();
        wmp = player->wmpPlayer;
        // Connected after the window's own handler: sees what it did.
        QObject::connect(wmp, &TMediaPlayer::PlayStateChange, wmp, [this](int state) {
            if (state == psPlaying)
                rowsAtPlaying.append(CurrentRow);
            if (state == psMediaEnded)
                ended.append(wmp->currentMedia() ? wmp->currentMedia()->sourceURL() : QString());
        });
        grid.resize(700, 300);
    }

    int Add(const QString& path, int type, double position = 0, int progress = 0) {
        const int row = grid.AddRow(1);
        grid.CellByName(QStringLiteral("colPath"), row).SetAsString(path);
        grid.CellByName(QStringLiteral("colName"), row).SetAsString(QFileInfo(path).completeBaseName());
        grid.CellByName(QStringLiteral("colType"), row).SetAsInteger(type);
        grid.CellByName(QStringLiteral("colCurrentPosition"), row).SetAsFloat(position);
        grid.CellByName(QStringLiteral("colProgress"), row).SetAsInteger(progress);
        return row;
    }
    void Select(int row) {
        QVERIFY(grid.FindText(colPathIndex, grid.Cells(colPathIndex, row), soExactMatch));
        QCOMPARE(grid.SelectedRow(), row);
    }
    bool Open(int row) {
        Select(row);
        return player->OpenEntry(grid);
    }
    double Position(int row) { return grid.CellByName(QStringLiteral("colCurrentPosition"), row).AsFloat(); }
    int Progress(int row) { return grid.CellByName(QStringLiteral("colProgress"), row).AsInteger(); }
    bool WaitFor(TPlayState state, int timeout = 10000) {
        QElapsedTimer timer;
        timer.start();
        while (wmp->playState() != state && timer.elapsed() < timeout)
            QTest::qWait(5);
        return wmp->playState() == state;
    }
    // Paused at `seconds` of the current item.
    bool PauseAt(double seconds) {
        if (!WaitFor(psPlaying))
            return false;
        wmp->controls().pause();
        if (!WaitFor(psPaused))
            return false;
        wmp->controls().setCurrentPosition(seconds);
        return true;
    }
    QStringList Playlist() const {
        QStringList out;
        const TPlaylistPtr playlist = wmp->currentPlaylist();
        for (int i = 0; playlist && i < playlist->count(); ++i)
            out << playlist->item(i)->sourceURL();
        return out;
    }
};
} // namespace

class TestPlayer : public QObject {
    Q_OBJECT

    QTemporaryDir fDir;
    QList<QUrl> fShellOpened;
    QStringList fReported;

    QString Media(const QString& name) const { return fDir.filePath(name); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(fDir.isValid());
        DataFolder = ComputeDataFolder();
        for (const auto& [name, seconds] : {std::pair{"s1a.wav", 1.0}, {"s1b.wav", 1.0}, {"s1c.wav", 1.0},
                                            {"l120.wav", 120.0}, {"l360.wav", 360.0}, {"l30.wav", 30.0}})
            QVERIFY(WriteSilentWav(Media(name), seconds));
        SetShellHandler([this](const QUrl& url) {
            fShellOpened.append(url);
            return true;
        });
        SetErrorReportHandler([this](const QString& message) {
            fReported.append(message);
            return TErrorChoice::Continue;
        });
    }
    void init() {
        fShellOpened.clear();
        fReported.clear();
        CurrentRow = 0;
    }
    void cleanup() { QVERIFY2(fReported.isEmpty(), qPrintable(fReported.join(QLatin1Char('\n')))); }

    void window() {
        TFixture f(true);
        TfrmPlayer& w = *f.player;
        QCOMPARE(w.windowTitle(), QStringLiteral("Player"));
        QCOMPARE(w.size(), QSize(691, 455));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.pnlPlayer->geometry(), QRect(0, 0, 691, 455));
        QCOMPARE(w.wmpPlayer->geometry(), QRect(1, 1, 689, 453));
        QCOMPARE(w.btnStop->geometry(), QRect(36, 424, 24, 24));
        QVERIFY(w.btnStop->text().isEmpty());
        QVERIFY(w.btnStop->toolTip().isEmpty());
        // It lies over the component's own stop button.
        auto* ownStop = w.wmpPlayer->findChild<TMediaControlBar*>()->StopButton();
        QCOMPARE(QRect(ownStop->mapTo(&w, QPoint(0, 0)), ownStop->size()), w.btnStop->geometry());
        // Anchored to the left and bottom edges.
        w.resize(900, 600);
        QTRY_COMPARE(w.btnStop->geometry(), QRect(36, 600 - 31, 24, 24));
        QCOMPARE(w.ImageList1.size(), 2);
        for (const QPixmap& image : w.ImageList1) {
            QCOMPARE(image.size(), QSize(16, 16));
            QVERIFY(image.hasAlphaChannel());
        }
        const QColor grey = w.ImageList1[0].toImage().pixelColor(8, 8);
        const QColor blue = w.ImageList1[1].toImage().pixelColor(8, 8);
        QVERIFY(qAbs(grey.red() - grey.blue()) < 10 && grey.red() > 80);
        QVERIFY(blue.blue() > blue.red() + 80);
        // Grey normally, blue under the mouse.
        const auto shown = [&] { return w.btnStop->icon().pixmap(16, 16).toImage().pixelColor(8, 8); };
        QCOMPARE(shown(), grey);
        QTest::mouseMove(w.btnStop, QPoint(12, 12));
        QTRY_COMPARE(shown(), blue);
        QTest::mouseMove(&w, QPoint(300, 100));
        QTRY_COMPARE(shown(), grey);
        // F toggles full screen of the window.
        QTest::keyClick(&w, Qt::Key_F);
        QVERIFY(w.isFullScreen());
        QTest::keyClick(&w, Qt::Key_F);
        QVERIFY(!w.isFullScreen());
        // So does a double-click on the picture; the video stays in the window.
        auto* area = w.wmpPlayer->findChild<TMediaVideoArea*>();
        QTest::mouseDClick(area, Qt::LeftButton);
        QVERIFY(w.isFullScreen());
        QCOMPARE(area->window(), &w);
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(!w.isFullScreen());
        // Closing hides the window; it stays for the next playback.
        w.close();
        QVERIFY(!w.isVisible());
    }

    void stateFileIsThePlayersOwn() {
        {
            TFixture f(true);
            f.player->show();
            QVERIFY(QTest::qWaitForWindowExposed(f.player.get()));
            f.player->close();
        }
        QFile file(DataFolder + QStringLiteral("/frmPlayer.ini"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("[frmPlayer]"));
    }

    // Which rows go into the playlist: the double-clicked one and every later
    // audio or video row, in table order.
    void playlistFromRows_data() {
        QTest::addColumn<QList<int>>("types");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QList<int>>("expected"); // rows in the playlist
        QTest::newRow("last row, a video") << QList<int>{9, 13, 10} << 2 << QList<int>{2};
        QTest::newRow("audio above two documents and a video")
            << QList<int>{9, 13, 13, 10} << 0 << QList<int>{0, 3};
        QTest::newRow("rows above are not played") << QList<int>{10, 9, 16, 10, 12} << 1 << QList<int>{1, 3};
        QTest::newRow("every kind of other entry is skipped")
            << QList<int>{10, 0, 12, 14, 15, 16, 9} << 0 << QList<int>{0, 6};
    }
    void playlistFromRows() {
        QFETCH(QList<int>, types);
        QFETCH(int, selected);
        QFETCH(QList<int>, expected);
        TFixture f(false);
        for (int i = 0; i < types.size(); ++i)
            f.Add(Media(QStringLiteral("row%1.wav").arg(i)), types[i]);
        QVERIFY(f.Open(selected));
        QCOMPARE(CurrentRow, selected);
        QStringList paths;
        for (int row : expected)
            paths << f.grid.Cells(colPathIndex, row);
        QCOMPARE(f.Playlist(), paths);
        QCOMPARE(f.wmp->currentPlaylist()->name(), QStringLiteral("Temp"));
        QVERIFY(f.player->isVisible());
        QVERIFY(fShellOpened.isEmpty());
        f.player->close();
    }

    void otherEntriesGoToTheShell() {
        TFixture f(true);
        f.Add(Media("s1a.wav"), 9);
        f.Add(QStringLiteral("/docs/report.pdf"), 13);
        QVERIFY(!f.Open(1));
        QCOMPARE(fShellOpened, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/docs/report.pdf"))});
        QCOMPARE(CurrentRow, 1);
        QVERIFY(!f.player->isVisible());
        QVERIFY(!f.wmp->currentPlaylist());
    }

    void emptyTableDoesNothing() {
        TFixture f(true);
        CurrentRow = 4;
        QVERIFY(!f.player->OpenEntry(f.grid));
        QCOMPARE(CurrentRow, 4);
        QVERIFY(fShellOpened.isEmpty());
        QVERIFY(!f.player->isVisible());
    }

    void resumePosition_data() {
        QTest::addColumn<double>("stored");
        QTest::addColumn<double>("start");
        QTest::newRow("0 starts at the beginning") << 0.0 << 0.0;
        QTest::newRow("95.5 resumes there") << 95.5 << 95.5;
        QTest::newRow("not a number is not applied") << std::nan("") << 0.0;
    }
    void resumePosition() {
        QFETCH(double, stored);
        QFETCH(double, start);
        TFixture f(false);
        f.Add(Media("l120.wav"), 9, stored);
        QVERIFY(f.Open(0));
        QCOMPARE(f.wmp->controls().currentPosition(), start);
        double atStart = -1;
        QObject::connect(f.wmp, &TMediaPlayer::PlayStateChange, f.wmp, [&](int state) {
            if (state == psPlaying && atStart < 0)
                atStart = f.wmp->controls().currentPosition();
        });
        QVERIFY(f.WaitFor(psPlaying));
        QVERIFY2(atStart >= start && atStart < start + 1, qPrintable(QString::number(atStart)));
        f.player->close();
    }

    void stopSavesPositionAndPercentage_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<double>("at");
        QTest::addColumn<int>("percentage");
        QTest::newRow("30 of 120") << "l120.wav" << 30.0 << 25;
        QTest::newRow("45 of 360: 12.5 to the even 12") << "l360.wav" << 45.0 << 12;
        QTest::newRow("54 of 120: 45") << "l120.wav" << 54.0 << 45;
    }
    void stopSavesPositionAndPercentage() {
        QFETCH(QString, file);
        QFETCH(double, at);
        QFETCH(int, percentage);
        TFixture f(false);
        f.Add(QStringLiteral("/docs/a.txt"), 13);
        const int row = f.Add(Media(file), 9);
        QVERIFY(f.Open(row));
        QVERIFY(f.PauseAt(at));
        f.player->btnStop->click();
        QCOMPARE(f.wmp->playState(), psStopped);
        QCOMPARE(f.Position(row), at);
        QCOMPARE(f.Progress(row), percentage);
        QCOMPARE(f.Progress(0), 0);
        // A second stop finds the item stopped at 0 and keeps what was saved.
        f.player->btnStop->click();
        QCOMPARE(f.Position(row), at);
        QCOMPARE(f.Progress(row), percentage);
    }

    void percentagePlayed_data() {
        QTest::addColumn<double>("position");
        QTest::addColumn<double>("duration");
        QTest::addColumn<int>("percentage");
        QTest::newRow("30 of 120") << 30.0 << 120.0 << 25;
        QTest::newRow("12.5 to 12") << 45.0 << 360.0 << 12;
        QTest::newRow("13.5 to 14") << 54.0 << 400.0 << 14;
        QTest::newRow("not clamped") << 130.0 << 120.0 << 108;
        QTest::newRow("zero duration") << 10.0 << 0.0 << 0;
        QTest::newRow("unknown duration") << 10.0 << std::nan("") << 0;
        QTest::newRow("negative duration") << 10.0 << -5.0 << 0;
        QTest::newRow("position unknown") << std::nan("") << 100.0 << 0;
        QTest::newRow("tiny duration stays in range") << 1e6 << 1e-300 << INT_MAX;
    }
    void percentagePlayed() {
        QFETCH(double, position);
        QFETCH(double, duration);
        QFETCH(int, percentage);
        QCOMPARE(TfrmPlayer::PercentagePlayed(position, duration), percentage);
    }

    // A zero or unknown length: the position is kept and the percentage is 0.
    void zeroDurationSavesPositionAndZero() {
        TFixture f(false);
        f.Add(Media("l30.wav"), 10, 0, 55);
        QVERIFY(f.Open(0));
        QVERIFY(f.PauseAt(12));
        f.wmp->currentMedia()->SetDuration(0);
        f.player->btnStop->click();
        QCOMPARE(f.Position(0), 12.0);
        QCOMPARE(f.Progress(0), 0);
    }

    // An entry played to its end shows 100 and keeps its older position, so
    // the next double-click resumes from there.
    void playToEnd() {
        TFixture f(true);
        f.Add(Media("s1a.wav"), 9, 0.25, 10);
        f.Add(Media("s1b.wav"), 10, 0, 0);
        QVERIFY(f.Open(0));
        QVERIFY(f.WaitFor(psStopped));
        QCOMPARE(f.ended, (QStringList{Media("s1a.wav"), Media("s1b.wav")}));
        QCOMPARE(f.Progress(0), 100);
        QCOMPARE(f.Progress(1), 100);
        QCOMPARE(f.Position(0), 0.25);
        QCOMPARE(f.Position(1), 0.0);
        QVERIFY(f.Open(0));
        QCOMPARE(f.wmp->controls().currentPosition(), 0.25);
        f.player->close();
    }

    void closeWhileStoppedSavesNothing() {
        TFixture f(false);
        f.Add(Media("l120.wav"), 9, 7, 3);
        QVERIFY(f.Open(0));
        QVERIFY(f.WaitFor(psPlaying));
        f.wmp->controls().stop(); // the component's own stop saves nothing
        f.player->close();
        QVERIFY(!f.player->isVisible());
        QCOMPARE(f.Position(0), 7.0);
        QCOMPARE(f.Progress(0), 3);
        QVERIFY(!f.wmp->currentMedia()); // closed
    }

    void closeWhilePausedSaves() {
        TFixture f(false);
        f.Add(Media("l120.wav"), 9);
        QVERIFY(f.Open(0));
        QVERIFY(f.PauseAt(30));
        f.player->close();
        QVERIFY(!f.player->isVisible());
        QCOMPARE(f.Position(0), 30.0);
        QCOMPARE(f.Progress(0), 25);
        QVERIFY(!f.wmp->currentMedia());
        QCOMPARE(f.wmp->playState(), psReady);
    }

    void closeWhilePlayingSaves() {
        TFixture f(false);
        f.Add(Media("l120.wav"), 9, 60);
        QVERIFY(f.Open(0));
        QVERIFY(f.WaitFor(psPlaying));
        QTest::qWait(100);
        f.player->close();
        // Timed playback: somewhat past 60 s, the percentage of about the same place.
        QVERIFY2(f.Position(0) > 60 && f.Position(0) < 70, qPrintable(QString::number(f.Position(0))));
        QVERIFY(qAbs(f.Progress(0) - TfrmPlayer::PercentagePlayed(f.Position(0), 120)) <= 1);
    }

    void statusTests_data() {
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("playing");
        QTest::addColumn<bool>("paused");
        QTest::newRow("Playing") << "Playing" << true << false;
        QTest::newRow("upper case") << "PLAYING" << true << false;
        QTest::newRow("more text") << "playing 'song.mp3'" << true << false;
        QTest::newRow("mixed case, more text") << "pLaYiNg..." << true << false;
        QTest::newRow("too short") << "Playin" << false << false;
        QTest::newRow("Paused") << "Paused" << false << true;
        QTest::newRow("paused upper") << "PAUSED" << false << true;
        QTest::newRow("paused, more text") << "paused at 01:23" << false << true;
        QTest::newRow("not A to Z") << QString::fromUtf8("PAUSÉD") << false << false;
        QTest::newRow("Stopped") << "Stopped" << false << false;
        QTest::newRow("leading space") << " Playing" << false << false;
        QTest::newRow("empty") << "" << false << false;
    }
    void statusTests() {
        QFETCH(QString, status);
        QFETCH(bool, playing);
        QFETCH(bool, paused);
        QCOMPARE(TfrmPlayer::StatusIsPlaying(status), playing);
        QCOMPARE(TfrmPlayer::StatusIsPaused(status), paused);
    }

    // Closing consults the status text only.
    void closeFollowsTheStatusText() {
        TFixture f(false);
        f.Add(Media("l120.wav"), 9);
        QVERIFY(f.Open(0));
        QVERIFY(f.PauseAt(30));
        f.player->SetStatusSource([] { return QStringLiteral("Stopped"); });
        f.player->close();
        QCOMPARE(f.Progress(0), 0);
        QCOMPARE(f.Position(0), 0.0);

        QVERIFY(f.Open(0));
        QVERIFY(f.PauseAt(60));
        f.player->SetStatusSource([] { return QStringLiteral("PLAYING and more"); });
        f.player->close();
        QCOMPARE(f.Position(0), 60.0);
        QCOMPARE(f.Progress(0), 50);
    }

    // The main window's close handler: the position reached goes into the row
    // before the table is saved; nothing when nothing plays.
    void savePositionIfPlaying() {
        TFixture f(false);
        f.Add(Media("l120.wav"), 9);
        QVERIFY(f.Open(0));
        QVERIFY(f.PauseAt(90));
        f.player->SavePositionIfPlaying();
        QCOMPARE(f.Position(0), 90.0);
        QCOMPARE(f.Progress(0), 75);
        QCOMPARE(f.wmp->playState(), psPaused); // playback is left alone
        f.wmp->controls().stop();
        f.player->SavePositionIfPlaying();
        QCOMPARE(f.Position(0), 90.0);
    }

    // The selection and the current row step down the table from one entry of
    // the playlist to the next; each entry gets 100 at its end.
    void searchStepsDownTheTable() {
        TFixture f(true);
        f.Add(Media("s1a.wav"), 9);
        f.Add(QStringLiteral("/docs/a.txt"), 13);
        f.Add(Media("s1b.wav"), 10);
        f.Add(Media("s1c.wav"), 9);
        QVERIFY(f.Open(0));
        QVERIFY(f.WaitFor(psStopped));
        QCOMPARE(f.rowsAtPlaying, (QList<int>{0, 2, 3}));
        QCOMPARE(f.grid.SelectedRow(), 3);
        QCOMPARE((QList<int>{f.Progress(0), f.Progress(1), f.Progress(2), f.Progress(3)}),
                 (QList<int>{100, 0, 100, 100}));
    }

    // An entry above the selected row is not found: the current row stays.
    void goingBackAboveTheSelectedRowFindsNothing() {
        TFixture f(false);
        f.Add(Media("l120.wav"), 9);
        f.Add(QStringLiteral("/docs/a.txt"), 13);
        f.Add(Media("l30.wav"), 9);
        QVERIFY(f.Open(2));
        QVERIFY(f.WaitFor(psPlaying));
        const TPlaylistPtr back = f.wmp->newPlaylist("Temp", "eee");
        back->appendItem(f.wmp->newMedia(Media("l120.wav")));
        f.wmp->setCurrentPlaylist(back);
        QVERIFY(f.WaitFor(psPlaying));
        QCOMPARE(f.rowsAtPlaying, (QList<int>{2, 2}));
        QCOMPARE(CurrentRow, 2);
        QCOMPARE(f.grid.SelectedRow(), 2);
        // What is saved goes to the entry played, not to the current row.
        QVERIFY(f.PauseAt(30));
        f.player->btnStop->click();
        QCOMPARE(f.Position(0), 30.0);
        QCOMPARE(f.Progress(0), 25);
        QCOMPARE(f.Position(2), 0.0);
        QCOMPARE(f.Progress(2), 0);
    }

    // A missing file is skipped: never reported as playing, its row gets nothing.
    void missingFileIsSkipped() {
        TFixture f(true);
        f.Add(Media("s1a.wav"), 9);
        f.Add(Media("gone.wav"), 9);
        f.Add(Media("s1b.wav"), 9);
        QVERIFY(f.Open(0));
        QVERIFY(f.WaitFor(psStopped));
        QCOMPARE(f.rowsAtPlaying, (QList<int>{0, 2}));
        QCOMPARE(f.ended, (QStringList{Media("s1a.wav"), Media("s1b.wav")}));
        QCOMPARE((QList<int>{f.Progress(0), f.Progress(1), f.Progress(2)}), (QList<int>{100, 0, 100}));
    }

    // A later row whose path contains the playing path is taken as its row by
    // the search; the 100 still goes to the entry's own row.
    void laterRowContainingThePath() {
        TFixture f(true);
        f.Add(Media("s1a.wav"), 9);
        f.Add(Media("s1b.wav") + QStringLiteral(".old"), 13);
        f.Add(Media("s1b.wav"), 9);
        QVERIFY(f.Open(0));
        QVERIFY(f.WaitFor(psStopped));
        QCOMPARE(f.rowsAtPlaying, (QList<int>{0, 1}));
        QCOMPARE(f.grid.SelectedRow(), 1);
        QCOMPARE(f.Progress(1), 0);
        QCOMPARE(f.Progress(2), 100);
    }

    // A document double-clicked while a playlist plays moves the current row;
    // the playing entry's values still go to its own row.
    void documentOpenedWhilePlaying() {
        TFixture f(false);
        f.Add(Media("l120.wav"), 9);
        f.Add(QStringLiteral("/docs/a.txt"), 13);
        QVERIFY(f.Open(0));
        QVERIFY(f.WaitFor(psPlaying));
        QVERIFY(!f.Open(1));
        QCOMPARE(CurrentRow, 1);
        QCOMPARE(fShellOpened.size(), 1);
        QVERIFY(f.PauseAt(60));
        f.player->btnStop->click();
        QCOMPARE(f.Position(0), 60.0);
        QCOMPARE(f.Progress(0), 50);
        QCOMPARE(f.Position(1), 0.0);
        QCOMPARE(f.Progress(1), 0);
    }

    // Rows deleted or sorted while playing: the writes follow the entry, and
    // an entry whose row is gone gets nothing, without an error.
    void rowsChangedWhilePlaying() {
        TFixture f(false);
        f.Add(QStringLiteral("/docs/b.txt"), 13);
        f.Add(QStringLiteral("/docs/c.txt"), 13);
        f.Add(Media("l120.wav"), 9);
        QVERIFY(f.Open(2));
        QVERIFY(f.PauseAt(30));
        f.grid.DeleteRow(0);
        f.grid.DeleteRow(0); // the entry is row 0 now; the current row 2 is past the end
        f.player->btnStop->click();
        QCOMPARE(f.grid.RowCount(), 1);
        QCOMPARE(f.Position(0), 30.0);
        QCOMPARE(f.Progress(0), 25);

        f.Add(QStringLiteral("/docs/a.txt"), 13); // "a" sorts first
        QVERIFY(f.Open(0));
        QVERIFY(f.PauseAt(60));
        f.grid.ClickHeader(colNameIndex);
        QCOMPARE(f.grid.Cells(colPathIndex, 1), Media("l120.wav"));
        f.player->SavePositionIfPlaying();
        QCOMPARE(f.Position(1), 60.0);
        QCOMPARE(f.Progress(1), 50);
        QCOMPARE(f.Position(0), 0.0);

        f.grid.DeleteRow(1);
        f.player->btnStop->click();
        QCOMPARE(f.grid.RowCount(), 1);
        QCOMPARE(f.Position(0), 0.0);
        QCOMPARE(f.Progress(0), 0);
    }

    // Another collection shown while playing: it receives nothing, even where
    // it holds the same file.
    void anotherCollectionShownWhilePlaying() {
        TFixture f(true);
        f.Add(Media("s1a.wav"), 9);
        f.Add(Media("s1b.wav"), 9);
        QVERIFY(f.Open(0));
        // As switching the table does: emptied, then the other table's rows.
        f.grid.ClearRows();
        f.Add(Media("s1b.wav"), 9);
        f.Add(Media("s1a.wav"), 9);
        QVERIFY(f.WaitFor(psStopped));
        QCOMPARE(f.ended.size(), 2);
        QCOMPARE((QList<int>{f.Progress(0), f.Progress(1)}), (QList<int>{0, 0}));
        QCOMPARE(f.grid.SelectedRow(), -1); // the search left the other table alone

        // A new double-click plays from the table shown, and writes there.
        f.Select(1);
        QVERIFY(f.player->OpenEntry(f.grid));
        QVERIFY(f.WaitFor(psStopped));
        QCOMPARE(f.Progress(1), 100);
    }

    // Stop and close with no current item save nothing and raise nothing.
    void stopAndCloseWithoutItem() {
        TFixture f(true);
        f.Add(Media("s1a.wav"), 9, 0.5, 7);
        f.player->show();
        f.player->btnStop->click();
        f.player->SavePositionIfPlaying();
        f.player->close();
        QCOMPARE(f.Position(0), 0.5);
        QCOMPARE(f.Progress(0), 7);
        // The playlist has run out: nothing is current any more.
        QVERIFY(f.Open(0));
        QVERIFY(f.WaitFor(psStopped));
        QVERIFY(!f.wmp->currentMedia());
        f.player->btnStop->click();
        f.player->close();
        QCOMPARE(f.Position(0), 0.5);
        QCOMPARE(f.Progress(0), 100);
    }

    // A new double-click replaces the playlist playing.
    void doubleClickReplacesPlaylist() {
        TFixture f(false);
        f.Add(Media("l120.wav"), 9);
        f.Add(Media("l30.wav"), 10, 12);
        QVERIFY(f.Open(0));
        QVERIFY(f.WaitFor(psPlaying));
        QVERIFY(f.Open(1));
        QCOMPARE(CurrentRow, 1);
        QCOMPARE(f.Playlist(), QStringList{Media("l30.wav")});
        QCOMPARE(f.wmp->controls().currentPosition(), 12.0);
        QVERIFY(f.WaitFor(psPlaying));
        QCOMPARE(f.wmp->currentMedia()->sourceURL(), Media("l30.wav"));
        QCOMPARE(f.Position(0), 0.0); // not saved for the entry that was playing
        f.player->close();
    }
};

SORTELLE_TEST_MAIN(TestPlayer)
#include "tst_player.moc"
