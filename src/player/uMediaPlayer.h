#pragma once
// The media player component wmpPlayer: playlists, media items, position,
// play and stop, a status text and play-state events, on libmpv; with its own
// "full" controls (play/pause, stop, seek with time and length, volume).
//
// The public members below are what the import and the player window call.
// Failures of the player raise (Exception).
//
// Everything runs on the GUI thread: libmpv's wakeup and render-update
// callbacks only queue a call, and the queued call drains the event queue.
// The component plays its playlist itself, one file at a time, so that it
// always knows which item is loaded: a file that cannot be played is skipped
// without being reported as playing, and a file is always handed to libmpv as
// a local file, never as a URL, a protocol or an option.

#include <QList>
#include <QString>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

struct mpv_handle;

// A media item: a local file with its duration. The duration is read with
// libavformat the first time it is asked for, so that building a playlist of
// many items stays cheap.
class TMediaItem {
public:
    explicit TMediaItem(const QString& sourceURL);
    QString sourceURL() const { return fSourceURL; } // the path, unchanged
    double duration() const;                         // seconds, 0 when unknown
    bool durationKnown() const;
    QString durationString() const; // "mm:ss" / "h:mm:ss"; empty when unknown
    void SetDuration(double seconds);

private:
    void Probe() const;
    QString fSourceURL;
    mutable double fDuration = 0;
    mutable bool fProbed = false;
    mutable bool fKnown = false;
};
using TMediaItemPtr = std::shared_ptr<TMediaItem>;

// The length of a media file in seconds read with libavformat; a negative
// value when it cannot be read. The path is always opened as a local file.
double ProbeMediaDuration(const QString& path);

// "mm:ss" below one hour, "h:mm:ss" from one hour on; empty for a negative or
// non-finite value. Whole seconds, rounded to the nearest.
QString FormatDuration(double seconds);

// A path made absolute so that no player can read it as a URL, a protocol
// prefix ("av://", "file:", "-" for standard input) or an option: a path that
// does not start with "/" is taken relative to the working folder. Returns the
// local 8-bit bytes of that path; empty for an empty path.
QByteArray LocalFileArgument(const QString& path);

class TPlaylist {
public:
    TPlaylist(const QString& name, const QString& url) : fName(name), fURL(url) {}
    void clear() { fItems.clear(); }
    void appendItem(const TMediaItemPtr& item) { fItems.append(item); }
    int count() const { return int(fItems.size()); }
    TMediaItemPtr item(int index) const { return fItems.value(index); }
    QString name() const { return fName; }
    QString url() const { return fURL; }

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
    // Seconds reached in the current item; 0 when stopped or without an item.
    // Before the item has loaded, the position set for it.
    double currentPosition() const;
    // Before the item has loaded (or while stopped) the position is kept and
    // applied when the item loads; a non-finite value is ignored.
    void setCurrentPosition(double seconds);
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

// How the component is embedded. Auto chooses OpenGL video and the sound
// device on a real display, and no video and no sound on the offscreen
// platform (tests).
struct TMediaPlayerOptions {
    enum class TVideo { Auto, OpenGL, None };
    enum class TAudio { Auto, Device, None };
    TVideo Video = TVideo::Auto;
    TAudio Audio = TAudio::Auto;
    // Without sound output, play as fast as the files decode (tests whose
    // timing does not matter).
    bool Untimed = false;
};

class TMediaVideoArea;
class TMediaControlBar;
class TMpvVideoWidget;

class TMediaPlayer : public QWidget {
    Q_OBJECT
public:
    explicit TMediaPlayer(QWidget* parent = nullptr);
    TMediaPlayer(const TMediaPlayerOptions& options, QWidget* parent);
    ~TMediaPlayer() override;

    // The options used by the first constructor (tests set them before the
    // player window is created).
    static void SetDefaultOptions(const TMediaPlayerOptions& options);
    static TMediaPlayerOptions DefaultOptions();

    TPlaylistPtr newPlaylist(const QString& name, const QString& url);
    TMediaItemPtr newMedia(const QString& url);
    void setCurrentPlaylist(const TPlaylistPtr& playlist); // starts playback
    TPlaylistPtr currentPlaylist() const { return fPlaylist; }
    TPlayerControls& controls() { return fControls; }
    TMediaItemPtr currentMedia() const { return fCurrentMedia; } // nullptr when none
    QString status() const; // "Playing", "Paused", "Stopped", ...
    void close();

    TPlayState playState() const { return fState; }
    int volume() const { return fVolume; }
    void SetVolume(int Value); // 0 to 100
    bool mute() const { return fMute; }
    void SetMute(bool Value);
    double rate() const;
    bool fullScreen() const;
    void SetFullScreen(bool Value); // full screen of the window holding the component

    // True when the video is drawn through OpenGL (a real display).
    bool UsesOpenGL() const { return fUsesOpenGL; }
    // True when the loaded item has a picture; an audio item shows its name.
    bool ShowsVideo() const { return fHasVideo; }

Q_SIGNALS:
    void PlayStateChange(int NewState);

private:
    friend class TPlayerControls;

    void CreateHandle(const TMediaPlayerOptions& options);
    void CreateViews();
    static void OnWakeup(void* ctx);
    void DrainEvents();
    struct TEvent; // the part of a libmpv event that is used, copied out of the queue
    void HandleEvent(const TEvent& event);
    void OnRenderContextReady(bool ok);

    void LoadItem(int index);
    void StartLoad();
    void Advance();
    void Unload();
    void SetState(TPlayState state);
    void EmitState(TPlayState state);
    void UpdateViews();

    double Position() const;
    void SetPosition(double seconds);
    void Play();
    void Pause();
    void Stop();

    void Command(const QList<QByteArray>& args);
    bool TryCommand(const QList<QByteArray>& args) noexcept;
    void RequireHandle() const;
    void SetPropertyString(const char* name, const QByteArray& value);

    TPlayerControls fControls{*this};
    mpv_handle* fMpv = nullptr;
    std::atomic<bool> fWakeupPending{false};
    bool fUsesOpenGL = false;
    bool fVideoReady = true; // the render context exists (or no video output)

    TPlaylistPtr fPlaylist;
    TMediaItemPtr fCurrentMedia;
    int fIndex = -1;
    std::int64_t fEntryId = 0;      // libmpv's playlist entry of the loaded item, 0 none
    std::int64_t fEventEntry = 0;   // the entry the events now belong to (last start-file)
    bool fLoadPending = false;      // waiting for the render context before loading
    bool fLoaded = false;           // the item's headers are read
    bool fRestarted = false;        // playback of the item has begun
    bool fPaused = false;
    bool fHasVideo = false;
    double fPendingStart = -1;      // where the item starts when it loads; < 0 none
    bool fStartApplied = false;     // fPendingStart was handed to libmpv as the start
    bool fPauseRequested = false;   // paused before the item could be loaded
    bool fShowAudio = false;        // the loaded item has no picture: show its name
    double fSeekTarget = -1;        // a seek not yet carried out; < 0 none
    std::uint64_t fGeneration = 0;  // changes whenever another item is loaded or unloaded
    TPlayState fState = psUndefined;
    int fVolume = 50;
    bool fMute = false;
    double fTimePos = 0;            // last position reported (for the controls)
    double fLength = 0;             // length of the loaded item (for the controls)

    TMediaVideoArea* fVideoArea = nullptr;
    TMpvVideoWidget* fVideo = nullptr;
    TMediaControlBar* fBar = nullptr;

    friend class TMediaControlBar;
};
