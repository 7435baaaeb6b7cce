#include "common/TestMain.h"

#include "MediaFixtures.h"
#include "player/uMediaPlayer.h"
#include "player/uMediaPlayerViews.h"

#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>

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

// Records every play state and, at each, the item the component holds.
struct TStateLog {
    QList<int> States;
    QStringList Urls; // "state:url" for the states 3 and 8
    explicit TStateLog(TMediaPlayer& player) {
        QObject::connect(&player, &TMediaPlayer::PlayStateChange, &player, [this, &player](int state) {
            States.append(state);
            if (state == psPlaying || state == psMediaEnded) {
                const TMediaItemPtr item = player.currentMedia();
                Urls.append(QString::number(state) + QLatin1Char(':') + (item ? item->sourceURL() : QString()));
            }
        });
    }
    int Count(int state) const { return int(States.count(state)); }
};

bool WaitForState(TMediaPlayer& player, TPlayState state, int timeout = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (player.playState() != state && timer.elapsed() < timeout)
        QTest::qWait(5);
    return player.playState() == state;
}
} // namespace

class TestMediaPlayer : public QObject {
    Q_OBJECT

    QTemporaryDir fDir;
    QString Path(const QString& name) const { return fDir.filePath(name); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(fDir.isValid());
        QVERIFY(WriteSilentWav(Path("a83.wav"), 83));
        QVERIFY(WriteSilentWav(Path("a2.wav"), 2));
        QVERIFY(WriteSilentWav(Path("a1.wav"), 1));
        QVERIFY(WriteSilentWav(Path("a120.wav"), 120));
        QVERIFY(WriteSilentWav(Path("a30.wav"), 30));
        QFile text(Path("notes.txt"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("just some words, not media\n");
    }

    void formatDuration_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("83 s") << 83.0 << "01:23";
        QTest::newRow("3723 s") << 3723.0 << "1:02:03";
        QTest::newRow("zero") << 0.0 << "00:00";
        QTest::newRow("just below an hour") << 3599.0 << "59:59";
        QTest::newRow("one hour") << 3600.0 << "1:00:00";
        QTest::newRow("rounds to the hour") << 3599.6 << "1:00:00";
        QTest::newRow("fraction") << 82.6 << "01:23";
        QTest::newRow("ten hours") << 36000.0 << "10:00:00";
        QTest::newRow("unknown") << -1.0 << "";
        QTest::newRow("not a number") << std::nan("") << "";
        QTest::newRow("infinite") << HUGE_VAL << "";
    }
    void formatDuration() {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(FormatDuration(seconds), text);
    }

    void newMediaReadsDuration() {
        TMediaPlayer player(Headless(true), nullptr);
        const TMediaItemPtr wav = player.newMedia(Path("a83.wav"));
        QCOMPARE(wav->sourceURL(), Path("a83.wav"));
        QVERIFY(qAbs(wav->duration() - 83.0) < 0.01);
        QCOMPARE(wav->durationString(), QStringLiteral("01:23"));

        // Not media, missing, empty: no duration and an empty text, no error.
        for (const QString& path : {Path("notes.txt"), Path("missing.mp4"), QString(), Path("")}) {
            const TMediaItemPtr item = player.newMedia(path);
            QCOMPARE(item->sourceURL(), path);
            QCOMPARE(item->duration(), 0.0);
            QVERIFY(!item->durationKnown());
            QCOMPARE(item->durationString(), QString());
        }
        if (!HaveFfmpeg())
            QSKIP("ffmpeg is not installed: no video to measure");
        QVERIFY(MakeVideo(Path("v3.mp4"), 3));
        const TMediaItemPtr video = player.newMedia(Path("v3.mp4"));
        QVERIFY(qAbs(video->duration() - 3.0) < 0.2);
        QCOMPARE(video->durationString(), QStringLiteral("00:03"));
    }

    // Names that a player could take for standard input, a protocol or a URL
    // are files in the working folder, and are read as such.
    void pathsAreAlwaysLocalFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("dash") << "-";
        QTest::newRow("pipe protocol") << "pipe:0";
        QTest::newRow("url") << "http://example.invalid/a.wav";
        QTest::newRow("mpv protocol") << "av://lavfi:sine";
        QTest::newRow("option-like") << "--volume=100";
        QTest::newRow("file prefix") << "file:x.wav";
    }
    void pathsAreAlwaysLocalFiles() {
        QFETCH(QString, name);
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        const auto restore = qScopeGuard([&] { QDir::setCurrent(saved); });
        QVERIFY(WriteSilentWav(work.filePath(name), 2));

        const QByteArray argument = LocalFileArgument(name);
        QVERIFY(argument.startsWith('/'));
        QCOMPARE(QFile::decodeName(argument), work.path() + QLatin1Char('/') + name);
        QVERIFY(qAbs(ProbeMediaDuration(name) - 2.0) < 0.01);

        TMediaPlayer player(Headless(true), nullptr);
        TStateLog log(player);
        const TPlaylistPtr playlist = player.newPlaylist("Temp", "eee");
        playlist->appendItem(player.newMedia(name));
        player.setCurrentPlaylist(playlist);
        // Our two-second file plays and ends; a generator or standard input
        // would not end, an unreachable URL would not play.
        QTRY_COMPARE_WITH_TIMEOUT(player.playState(), psStopped, 10000);
        QCOMPARE(log.Urls, (QStringList{"3:" + name, "8:" + name}));
    }

    void embeddedSettings() {
        TMediaPlayer player(Headless(true), nullptr);
        QCOMPARE(player.volume(), 50);
        QCOMPARE(player.mute(), false);
        QCOMPARE(player.rate(), 1.0);
        QCOMPARE(player.fullScreen(), false);
        QVERIFY(!player.UsesOpenGL()); // offscreen: no OpenGL
        QVERIFY(!player.currentMedia());
        QCOMPARE(player.controls().currentPosition(), 0.0);
        auto* volume = player.findChild<QSlider*>("wmpVolume");
        QVERIFY(volume);
        QCOMPARE(volume->value(), 50);
        volume->setValue(20);
        QCOMPARE(player.volume(), 20);
    }

    // The playlist plays in append order and moves on by itself; an item that
    // cannot be played is skipped without being reported as playing.
    void playlistPlaysInOrderAndSkipsUnplayable() {
        if (!HaveFfmpeg())
            QSKIP("ffmpeg is not installed");
        QVERIFY(MakeVideo(Path("v2.mp4"), 2));
        TMediaPlayer player(Headless(true), nullptr);
        TStateLog log(player);
        const TPlaylistPtr playlist = player.newPlaylist("Temp", "eee");
        playlist->clear();
        QCOMPARE(playlist->count(), 0);
        for (const char* name : {"a2.wav", "missing.wav", "notes.txt", "v2.mp4", "a1.wav"})
            playlist->appendItem(player.newMedia(Path(name)));
        QCOMPARE(playlist->count(), 5);
        player.setCurrentPlaylist(playlist);
        QCOMPARE(player.currentPlaylist(), playlist);
        QCOMPARE(player.currentMedia()->sourceURL(), Path("a2.wav"));
        QTRY_COMPARE_WITH_TIMEOUT(player.playState(), psStopped, 15000);
        QCOMPARE(log.Urls, (QStringList{"3:" + Path("a2.wav"), "8:" + Path("a2.wav"), "3:" + Path("v2.mp4"),
                                        "8:" + Path("v2.mp4"), "3:" + Path("a1.wav"), "8:" + Path("a1.wav")}));
        QCOMPARE(log.States.first(), int(psTransitioning));
        QCOMPARE(log.States.last(), int(psStopped));
        QVERIFY(!player.currentMedia()); // the playlist has run out
        QCOMPARE(player.status(), QStringLiteral("Stopped"));
        QVERIFY(player.findChild<TAudioDisplay*>()->isHidden());
    }

    // A position set before the item has loaded is where it starts.
    void positionBeforeLoadAppliesWhenLoaded() {
        TMediaPlayer player(Headless(false), nullptr);
        const TPlaylistPtr playlist = player.newPlaylist("Temp", "eee");
        playlist->appendItem(player.newMedia(Path("a120.wav")));
        player.setCurrentPlaylist(playlist);
        player.controls().setCurrentPosition(95.5);
        QCOMPARE(player.controls().currentPosition(), 95.5);
        double atStart = -1;
        connect(&player, &TMediaPlayer::PlayStateChange, this, [&](int state) {
            if (state == psPlaying && atStart < 0)
                atStart = player.controls().currentPosition();
        });
        player.controls().play();
        QVERIFY(WaitForState(player, psPlaying));
        QVERIFY2(atStart >= 95.5 && atStart < 96.5, qPrintable(QString::number(atStart)));
        QTest::qWait(300);
        const double later = player.controls().currentPosition();
        QVERIFY2(later > 95.5 && later < 97.5, qPrintable(QString::number(later)));
        QCOMPARE(player.status().left(7), QStringLiteral("Playing"));
        player.close();
    }

    void pauseResumeStopClose() {
        TMediaPlayer player(Headless(false), nullptr);
        TStateLog log(player);
        const TPlaylistPtr playlist = player.newPlaylist("Temp", "eee");
        playlist->appendItem(player.newMedia(Path("a30.wav")));
        player.setCurrentPlaylist(playlist);
        QVERIFY(WaitForState(player, psPlaying));
        player.controls().pause();
        QVERIFY(WaitForState(player, psPaused));
        QCOMPARE(player.status(), QStringLiteral("Paused"));

        // While paused, a seek is reported at once and stays where it went.
        player.controls().setCurrentPosition(12.25);
        QCOMPARE(player.controls().currentPosition(), 12.25);
        QTest::qWait(200);
        QVERIFY2(qAbs(player.controls().currentPosition() - 12.25) < 0.01,
                 qPrintable(QString::number(player.controls().currentPosition())));

        player.controls().play();
        QVERIFY(WaitForState(player, psPlaying));
        QCOMPARE(log.States.count(psPlaying), 2); // started, then resumed
        QCOMPARE(log.States.count(psPaused), 1);

        player.controls().stop();
        QCOMPARE(player.playState(), psStopped);
        QCOMPARE(player.status(), QStringLiteral("Stopped"));
        QCOMPARE(player.controls().currentPosition(), 0.0);
        QVERIFY(player.currentMedia()); // still the current item
        QTest::qWait(200);
        QCOMPARE(player.playState(), psStopped); // no late event from the old item
        QCOMPARE(log.Count(psMediaEnded), 0);

        // Play after stop starts the item again.
        player.controls().play();
        QVERIFY(WaitForState(player, psPlaying));
        QVERIFY(player.controls().currentPosition() < 2);

        player.close();
        QVERIFY(!player.currentMedia());
        QVERIFY(!player.currentPlaylist());
        QCOMPARE(player.controls().currentPosition(), 0.0);
        QVERIFY(!player.status().startsWith(QLatin1String("Playing")));
        QVERIFY(!player.status().startsWith(QLatin1String("Paused")));
        QTest::qWait(200);
        QCOMPARE(log.Count(psMediaEnded), 0);
    }

    // A new playlist replaces the one playing; nothing of the old one is
    // reported afterwards.
    void newPlaylistReplacesPlayingOne() {
        TMediaPlayer player(Headless(false), nullptr);
        TStateLog log(player);
        TPlaylistPtr first = player.newPlaylist("Temp", "eee");
        first->appendItem(player.newMedia(Path("a30.wav")));
        first->appendItem(player.newMedia(Path("a83.wav")));
        player.setCurrentPlaylist(first);
        QVERIFY(WaitForState(player, psPlaying));
        TPlaylistPtr second = player.newPlaylist("Temp", "eee");
        second->appendItem(player.newMedia(Path("a1.wav")));
        player.setCurrentPlaylist(second);
        QCOMPARE(player.currentMedia()->sourceURL(), Path("a1.wav"));
        QVERIFY(WaitForState(player, psStopped, 15000));
        QCOMPARE(log.Urls, (QStringList{"3:" + Path("a30.wav"), "3:" + Path("a1.wav"), "8:" + Path("a1.wav")}));
    }

    // The controls follow the component: play shows pause, the time and the
    // length are shown, stop is there where the window's own stop lies.
    void controlsFollowPlayback() {
        TMediaPlayer player(Headless(false), nullptr);
        player.resize(689, 453);
        player.show();
        auto* bar = player.findChild<TMediaControlBar*>();
        QVERIFY(bar);
        QCOMPARE(QRect(bar->StopButton()->mapTo(&player, QPoint(0, 0)), bar->StopButton()->size()),
                 QRect(35, 453 - TMediaControlBar::BarHeight + 8, 24, 24));
        QVERIFY(!bar->StopButton()->isEnabled());
        const TPlaylistPtr playlist = player.newPlaylist("Temp", "eee");
        playlist->appendItem(player.newMedia(Path("a83.wav")));
        player.setCurrentPlaylist(playlist);
        QVERIFY(WaitForState(player, psPlaying));
        QCOMPARE(bar->LengthLabel()->text(), QStringLiteral("01:23"));
        QVERIFY(bar->StopButton()->isEnabled());
        QCOMPARE(bar->PlayButton()->toolTip(), QStringLiteral("Pause"));
        // An audio item shows its name instead of a black area.
        auto* audio = player.findChild<TAudioDisplay*>();
        QVERIFY(audio->isVisible());
        QCOMPARE(audio->Title(), QStringLiteral("a83"));
        bar->PlayButton()->click();
        QVERIFY(WaitForState(player, psPaused));
        QCOMPARE(bar->PlayButton()->toolTip(), QStringLiteral("Play"));
        player.controls().setCurrentPosition(61);
        QTRY_COMPARE(bar->TimeLabel()->text(), QStringLiteral("01:01"));
        QVERIFY(qAbs(bar->SeekSlider()->value() - 61000) <= 1);
        bar->StopButton()->click();
        QCOMPARE(player.playState(), psStopped);
        player.close();
    }
};

SORTELLE_TEST_MAIN(TestMediaPlayer)
#include "tst_mediaplayer.moc"
