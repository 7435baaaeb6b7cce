#pragma once
// The media player component wmpPlayer: playlists, media items, position,
// play and stop, a status text and play-state events, on libmpv; with its own
// "full" controls (play/pause, stop, seek with time and length, volume).
//
// CONTRACT (written before the implementation): the public members below are
// what the import and the player window call. Extend freely; change a
// signature only together with its callers. Failures raise (Exception).

#include <QString>
#include <QWidget>
#include <memory>

// A media item: a local file with its duration, read when the item is made.
class TMediaItem {
public:
    explicit TMediaItem(const QString& sourceURL);
    QString sourceURL() const { return fSourceURL; } // the path, unchanged
    double duration() const { return fDuration; }    // seconds, 0 when unknown
    QString durationString() const;                  // "mm:ss" / "h:mm:ss"; empty when unknown
    void SetDuration(double seconds) { fDuration = seconds; }

private:
    QString fSourceURL;
    double fDuration = 0;
};
using TMediaItemPtr = std::shared_ptr<TMediaItem>;

// The length of a media file in seconds read with libavformat; a negative
// value when it cannot be read.
double ProbeMediaDuration(const QString& path);

// "mm:ss" below one hour, "h:mm:ss" from one hour on; empty for a negative value.
QString FormatDuration(double seconds);

class TPlaylist {
public:
    TPlaylist(const QString& name, const QString& url) : fName(name), fURL(url) {}
    void clear() { fItems.clear(); }
    void appendItem(const TMediaItemPtr& item) { fItems.append(item); }
    int count() const { return int(fItems.size()); }
    TMediaItemPtr item(int index) const { return fItems.value(index); }
    QString name() const { return fName; }

private:
    QString fName;
    QString fURL;
    QList<TMediaItemPtr> fItems;
};
using TPlaylistPtr = std::shared_ptr<TPlaylist>;

class TMediaPlayer;

class TPlayerControls {
public:
    explicit TPlayerControls(TMediaPlayer& player) : fPlayer(player) {}
    double currentPosition() const;
    void setCurrentPosition(double seconds); // before the item loads: applies when it loads
    void play();
    void pause();
    void stop();

private:
    TMediaPlayer& fPlayer;
};

// Play states, in the component's numbering.
enum TPlayState {
    psUndefined = 0,
    psStopped = 1,
    psPaused = 2,
    psPlaying = 3,
    psMediaEnded = 8,
    psTransitioning = 9,
    psReady = 10,
};

class TMediaPlayer : public QWidget {
    Q_OBJECT
public:
    explicit TMediaPlayer(QWidget* parent = nullptr);
    ~TMediaPlayer() override;

    TPlaylistPtr newPlaylist(const QString& name, const QString& url);
    TMediaItemPtr newMedia(const QString& url);
    void setCurrentPlaylist(const TPlaylistPtr& playlist); // starts playback
    TPlaylistPtr currentPlaylist() const;
    TPlayerControls& controls();
    TMediaItemPtr currentMedia() const; // nullptr when none
    QString status() const;             // "Playing...", "Paused", "Stopped", ...
    void close();

Q_SIGNALS:
    void PlayStateChange(int NewState);
};
