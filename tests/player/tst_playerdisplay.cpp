// The player window on a real display: the picture drawn by libmpv through
// OpenGL, an audio entry's name, the controls and btnStop. Skipped on the
// offscreen platform; run under a virtual X display:
//   QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" player_tst_playerdisplay
// With SORTELLE_SCREENSHOT_DIR set, the screen is saved there as
// player-video.png and player-audio.png.

#include "common/TestMain.h"

#include "MediaFixtures.h"
#include "platform/DataFolder.h"
#include "platform/ErrorReport.h"
#include "player/uMediaPlayer.h"
#include "player/uMediaPlayerViews.h"
#include "player/uPlayer.h"
#include "ui/grid/uItemGrid.h"

#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>

using namespace media_fixtures;

namespace {
bool WaitFor(TMediaPlayer& player, TPlayState state, int timeout = 15000) {
    QElapsedTimer timer;
    timer.start();
    while (player.playState() != state && timer.elapsed() < timeout)
        QTest::qWait(10);
    return player.playState() == state;
}

// The share of pixels in a rectangle of the image that are not near black.
double LitShare(const QImage& image, const QRect& area) {
    int lit = 0, all = 0;
    for (int y = area.top(); y <= area.bottom(); y += 3)
        for (int x = area.left(); x <= area.right(); x += 3) {
            const QColor c = image.pixelColor(x, y);
            ++all;
            if (c.red() + c.green() + c.blue() > 60)
                ++lit;
        }
    return all ? double(lit) / all : 0;
}

void SaveScreen(QWidget& window, const QString& name) {
    const QString dir = qEnvironmentVariable("SORTELLE_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    const QRect frame = window.frameGeometry();
    const QPixmap shot = window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    QVERIFY(shot.save(dir + QLatin1Char('/') + name));
}
} // namespace

class TestPlayerDisplay : public QObject {
    Q_OBJECT

    QTemporaryDir fDir;

private Q_SLOTS:
    void initTestCase() {
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QSKIP("needs a real display (xcb)");
        if (!HaveFfmpeg())
            QSKIP("ffmpeg is not installed");
        QVERIFY(fDir.isValid());
        DataFolder = ComputeDataFolder();
        QVERIFY(MakeVideo(fDir.filePath("Test pattern.mp4"), 20, true));
        QVERIFY(WriteSilentWav(fDir.filePath("Evening song.wav"), 200));
        SetErrorReportHandler([](const QString& message) {
            qWarning("error reported: %s", qPrintable(message));
            return TErrorChoice::Continue;
        });
    }

    void videoAndAudio() {
        TfrmPlayer player;
        TItemGrid grid;
        QVERIFY(player.wmpPlayer->UsesOpenGL());
        const auto add = [&](const QString& name, int type) {
            const int row = grid.AddRow(1);
            grid.CellByName(QStringLiteral("colPath"), row).SetAsString(fDir.filePath(name));
            grid.CellByName(QStringLiteral("colType"), row).SetAsInteger(type);
            return row;
        };
        add("Test pattern.mp4", 10);
        add("Evening song.wav", 9);

        QVERIFY(grid.FindText(colPathIndex, fDir.filePath("Test pattern.mp4"), soExactMatch));
        QVERIFY(player.OpenEntry(grid));
        QVERIFY(QTest::qWaitForWindowExposed(&player));
        QVERIFY(WaitFor(*player.wmpPlayer, psPlaying));
        QTest::qWait(1500);
        player.wmpPlayer->controls().pause();
        QVERIFY(WaitFor(*player.wmpPlayer, psPaused));
        QTest::qWait(500);
        QVERIFY(player.wmpPlayer->ShowsVideo());
        const QImage frame = player.grab().toImage();
        auto* area = player.wmpPlayer->findChild<TMediaVideoArea*>();
        const QRect video(area->mapTo(&player, QPoint(0, 0)), area->size());
        QVERIFY2(LitShare(frame, video.adjusted(40, 40, -40, -40)) > 0.3, "no picture drawn");
        SaveScreen(player, QStringLiteral("player-video.png"));

        // The audio entry: its name where the picture would be.
        QVERIFY(grid.FindText(colPathIndex, fDir.filePath("Evening song.wav"), soExactMatch));
        QVERIFY(player.OpenEntry(grid));
        QVERIFY(WaitFor(*player.wmpPlayer, psPlaying));
        player.wmpPlayer->controls().setCurrentPosition(83);
        QTest::qWait(800);
        QVERIFY(!player.wmpPlayer->ShowsVideo());
        auto* audio = player.wmpPlayer->findChild<TAudioDisplay*>();
        QVERIFY(audio->isVisible());
        QCOMPARE(audio->Title(), QStringLiteral("Evening song"));
        SaveScreen(player, QStringLiteral("player-audio.png"));
        player.close();
    }
};

SORTELLE_TEST_MAIN(TestPlayerDisplay)
#include "tst_playerdisplay.moc"
