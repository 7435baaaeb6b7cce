// The media player component on libmpv.

#include "uMediaPlayer.h"

#include "uMediaPlayerViews.h"

#include "platform/ErrorReport.h"
#include "platform/Errors.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QShortcut>
#include <QVBoxLayout>

#include <mpv/client.h>

#include <cmath>
#include <vector>

namespace {
TMediaPlayerOptions& DefaultOptionsRef() {
    static TMediaPlayerOptions options;
    return options;
}

bool HeadlessPlatform() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

QString MpvErrorText(int code) { return QString::fromUtf8(mpv_error_string(code)); }

QByteArray SecondsText(double seconds) { return QByteArray::number(seconds, 'f', 6); }

enum : std::uint64_t { obPause = 1, obTimePos, obDuration };
enum : std::uint64_t { hkOnLoad = 1 };
} // namespace

struct TMediaPlayer::TEvent {
    mpv_event_id Id = MPV_EVENT_NONE;
    std::int64_t EntryId = 0;
    int Reason = 0;
    std::uint64_t UserData = 0;
    std::uint64_t HookId = 0;
    bool HasValue = false;
    double Number = 0;
    bool Flag = false;
};

// ---------------------------------------------------------------------------
// TPlayerControls

double TPlayerControls::currentPosition() const { return fPlayer.Position(); }
void TPlayerControls::setCurrentPosition(double seconds) { fPlayer.SetPosition(seconds); }
void TPlayerControls::play() { fPlayer.Play(); }
void TPlayerControls::pause() { fPlayer.Pause(); }
void TPlayerControls::stop() { fPlayer.Stop(); }

// ---------------------------------------------------------------------------
// TMediaPlayer: creation

void TMediaPlayer::SetDefaultOptions(const TMediaPlayerOptions& options) { DefaultOptionsRef() = options; }
TMediaPlayerOptions TMediaPlayer::DefaultOptions() { return DefaultOptionsRef(); }

TMediaPlayer::TMediaPlayer(QWidget* parent) : TMediaPlayer(DefaultOptions(), parent) {}

TMediaPlayer::TMediaPlayer(const TMediaPlayerOptions& options, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("wmpPlayer"));
    setFocusPolicy(Qt::StrongFocus);
    CreateHandle(options);
    CreateViews();
    UpdateViews();
}

TMediaPlayer::~TMediaPlayer() {
    // The render context goes before the handle (one per handle, freed with
    // its GL context current).
    delete fVideo;
    fVideo = nullptr;
    if (fMpv) {
        mpv_set_wakeup_callback(fMpv, nullptr, nullptr);
        mpv_terminate_destroy(fMpv);
        fMpv = nullptr;
    }
}

void TMediaPlayer::CreateHandle(const TMediaPlayerOptions& options) {
    const bool headless = HeadlessPlatform();
    const bool openGL = options.Video == TMediaPlayerOptions::TVideo::OpenGL ||
                        (options.Video == TMediaPlayerOptions::TVideo::Auto && !headless);
    const bool noSound = options.Audio == TMediaPlayerOptions::TAudio::None ||
                         (options.Audio == TMediaPlayerOptions::TAudio::Auto && headless);
    fMpv = mpv_create();
    if (!fMpv)
        return; // every operation that needs playback raises
    const auto set = [this](const char* name, const char* value) { mpv_set_option_string(fMpv, name, value); };
    // No user configuration, scripts, key bindings or terminal output: the
    // component is driven only through its operations.
    set("config", "no");
    set("terminal", "no");
    set("load-scripts", "no");
    set("input-default-bindings", "no");
    set("input-vo-keyboard", "no");
    set("input-cursor", "no");
    set("osc", "no");
    set("osd-level", "0");
    set("resume-playback", "no");
    // A file is a file: no web lookups, no playlists that name other places,
    // and libavformat may open nothing but local files.
    set("ytdl", "no");
    set("load-unsafe-playlists", "no");
    set("demuxer-lavf-o", "protocol_whitelist=file");
    // The component plays one file at a time and moves on by itself.
    set("idle", "yes");
    set("keep-open", "no");
    set("force-window", "no");
    set("audio-display", "no");
    // The embedded settings: volume 50, not muted, rate 1.0, picture kept in
    // proportion (no stretch), no full screen.
    set("volume", "50");
    set("mute", "no");
    set("speed", "1.0");
    set("keepaspect", "yes");
    set("fullscreen", "no");
    set("hwdec", "no");
    set("gpu-hwdec-interop", "no");
    set("vo", openGL ? "libmpv" : "null");
    if (noSound) {
        set("ao", "null");
        if (options.Untimed) {
            set("ao-null-untimed", "yes");
            set("untimed", "yes");
        }
    } else {
        // Without a sound device the file still plays (silently), so that
        // position and progress go on working.
        set("audio-fallback-to-null", "yes");
    }
    if (mpv_initialize(fMpv) < 0) {
        mpv_terminate_destroy(fMpv);
        fMpv = nullptr;
        return;
    }
    mpv_observe_property(fMpv, obPause, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(fMpv, obTimePos, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(fMpv, obDuration, "duration", MPV_FORMAT_DOUBLE);
    mpv_hook_add(fMpv, hkOnLoad, "on_load", 0);
    mpv_set_wakeup_callback(fMpv, &TMediaPlayer::OnWakeup, this);
    fUsesOpenGL = openGL;
    fVideoReady = !openGL;
}

void TMediaPlayer::CreateViews() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    fVideoArea = new TMediaVideoArea(this);
    if (fUsesOpenGL) {
        fVideo = new TMpvVideoWidget(fMpv, fVideoArea);
        fVideoArea->SetVideoWidget(fVideo);
        connect(fVideo, &TMpvVideoWidget::RenderContextReady, this, &TMediaPlayer::OnRenderContextReady);
    }
    connect(fVideoArea, &TMediaVideoArea::DoubleClicked, this, [this] { SetFullScreen(!fullScreen()); });
    fBar = new TMediaControlBar(*this);
    layout->addWidget(fVideoArea, 1);
    layout->addWidget(fBar);

    // F toggles full screen anywhere in the window; Escape leaves it.
    auto* fullScreenKey = new QShortcut(QKeySequence(Qt::Key_F), this);
    fullScreenKey->setContext(Qt::WindowShortcut);
    connect(fullScreenKey, &QShortcut::activated, this, [this] { SetFullScreen(!fullScreen()); });
    auto* leaveKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    leaveKey->setContext(Qt::WindowShortcut);
    connect(leaveKey, &QShortcut::activated, this, [this] {
        if (fullScreen())
            SetFullScreen(false);
    });
}

void TMediaPlayer::OnRenderContextReady(bool ok) {
    if (!ok && fMpv) {
        // No OpenGL after all: play on without a picture rather than not at all.
        mpv_set_property_string(fMpv, "vo", "null");
    }
    fVideoReady = true;
    if (fLoadPending && fCurrentMedia)
        ReportErrors([this] { StartLoad(); });
}

// ---------------------------------------------------------------------------
// Events

void TMediaPlayer::OnWakeup(void* ctx) {
    // libmpv's thread: only queue a call to the GUI thread, once at a time.
    auto* self = static_cast<TMediaPlayer*>(ctx);
    if (!self->fWakeupPending.exchange(true))
        QMetaObject::invokeMethod(self, &TMediaPlayer::DrainEvents, Qt::QueuedConnection);
}

void TMediaPlayer::DrainEvents() {
    fWakeupPending = false;
    while (fMpv) {
        const mpv_event* raw = mpv_wait_event(fMpv, 0);
        if (raw->event_id == MPV_EVENT_NONE)
            break;
        // Copied out: a handler may run a nested event loop, which drains on
        // and invalidates the event.
        TEvent event;
        event.Id = raw->event_id;
        event.UserData = raw->reply_userdata;
        switch (raw->event_id) {
        case MPV_EVENT_START_FILE:
            event.EntryId = static_cast<const mpv_event_start_file*>(raw->data)->playlist_entry_id;
            break;
        case MPV_EVENT_END_FILE: {
            const auto* end = static_cast<const mpv_event_end_file*>(raw->data);
            event.EntryId = end->playlist_entry_id;
            event.Reason = end->reason;
            break;
        }
        case MPV_EVENT_HOOK:
            event.HookId = static_cast<const mpv_event_hook*>(raw->data)->id;
            break;
        case MPV_EVENT_PROPERTY_CHANGE: {
            const auto* property = static_cast<const mpv_event_property*>(raw->data);
            if (property->format == MPV_FORMAT_DOUBLE && property->data) {
                event.HasValue = true;
                event.Number = *static_cast<const double*>(property->data);
            } else if (property->format == MPV_FORMAT_FLAG && property->data) {
                event.HasValue = true;
                event.Flag = *static_cast<const int*>(property->data) != 0;
            }
            break;
        }
        default:
            break;
        }
        try {
            HandleEvent(event);
        } catch (const std::exception& error) {
            ReportException(error);
        }
    }
}

void TMediaPlayer::HandleEvent(const TEvent& event) {
    const bool ours = fEntryId != 0 && fEventEntry == fEntryId;
    switch (event.Id) {
    case MPV_EVENT_START_FILE:
        fEventEntry = event.EntryId;
        if (fEntryId != 0 && event.EntryId == fEntryId)
            SetState(psTransitioning);
        break;

    case MPV_EVENT_HOOK:
        if (ours && fPendingStart >= 0) {
            // The resume position becomes the item's start, so playback
            // begins there instead of jumping there.
            mpv_set_property_string(fMpv, "file-local-options/start", SecondsText(fPendingStart).constData());
            fStartApplied = true;
        }
        mpv_hook_continue(fMpv, event.HookId);
        break;

    case MPV_EVENT_FILE_LOADED: {
        if (!ours)
            break;
        fLoaded = true;
        char* vid = mpv_get_property_string(fMpv, "vid");
        fHasVideo = vid && qstrcmp(vid, "no") != 0 && qstrcmp(vid, "") != 0;
        mpv_free(vid);
        fShowAudio = !fHasVideo;
        double length = 0;
        if (mpv_get_property(fMpv, "duration", MPV_FORMAT_DOUBLE, &length) >= 0 && length > 0) {
            fLength = length;
            if (fCurrentMedia && !fCurrentMedia->durationKnown())
                fCurrentMedia->SetDuration(length);
        }
        if (fPendingStart >= 0 && !fStartApplied)
            TryCommand({"seek", SecondsText(fPendingStart), "absolute+exact"});
        if (fPendingStart >= 0) {
            fSeekTarget = fPendingStart;
            fTimePos = fPendingStart;
        }
        fPendingStart = -1;
        fStartApplied = false;
        UpdateViews();
        break;
    }

    case MPV_EVENT_PLAYBACK_RESTART:
        if (!ours || !fLoaded)
            break;
        // While paused, libmpv reports the position less the sound already
        // buffered; the place sought is the position until playback goes on.
        if (!fPaused)
            fSeekTarget = -1;
        if (!fRestarted) {
            fRestarted = true;
            SetState(fPaused ? psPaused : psPlaying);
        }
        break;

    case MPV_EVENT_PROPERTY_CHANGE:
        if (!event.HasValue)
            break;
        if (event.UserData == obPause) {
            fPaused = event.Flag;
            if (!fPaused && fRestarted)
                fSeekTarget = -1;
            if (fEntryId != 0 && fRestarted)
                SetState(fPaused ? psPaused : psPlaying);
        } else if (event.UserData == obTimePos) {
            if (fEntryId != 0 && fLoaded && fSeekTarget < 0) {
                fTimePos = event.Number;
                fBar->Refresh();
            }
        } else if (event.UserData == obDuration) {
            if (fEntryId != 0 && event.Number > 0) {
                fLength = event.Number;
                fBar->Refresh();
            }
        }
        break;

    case MPV_EVENT_END_FILE: {
        if (fEntryId == 0 || event.EntryId != fEntryId)
            break; // an item that was replaced or stopped on purpose
        const bool wasLoaded = fLoaded;
        fEntryId = 0;
        fLoaded = false;
        fRestarted = false;
        fSeekTarget = -1;
        fPendingStart = -1;
        fStartApplied = false;
        if (event.Reason == MPV_END_FILE_REASON_STOP || event.Reason == MPV_END_FILE_REASON_QUIT) {
            ++fGeneration;
            fTimePos = 0;
            SetState(psStopped);
            break;
        }
        if (event.Reason == MPV_END_FILE_REASON_EOF && wasLoaded) {
            const std::uint64_t generation = fGeneration;
            SetState(psMediaEnded);
            if (generation != fGeneration)
                break; // the handler started something else
        }
        // Ended, or could not be played (missing, not media, a playlist
        // file): the next item follows.
        Advance();
        break;
    }

    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// Loading and moving through the playlist

void TMediaPlayer::LoadItem(int index) {
    fIndex = index;
    fCurrentMedia = fPlaylist ? fPlaylist->item(index) : nullptr;
    fEntryId = 0;
    fLoaded = false;
    fRestarted = false;
    fSeekTarget = -1;
    fTimePos = fPendingStart >= 0 ? fPendingStart : 0;
    fLength = fCurrentMedia ? fCurrentMedia->duration() : 0;
    ++fGeneration;
    if (fVideoArea && fCurrentMedia)
        fVideoArea->AudioDisplay()->SetTitle(QFileInfo(fCurrentMedia->sourceURL()).completeBaseName());
    SetState(psTransitioning);
    if (!fCurrentMedia)
        return;
    if (!fVideoReady) {
        // The picture needs the render context, which exists once the
        // window has been shown; the file is loaded then.
        fLoadPending = true;
        return;
    }
    StartLoad();
}

void TMediaPlayer::StartLoad() {
    fLoadPending = false;
    RequireHandle();
    const QByteArray file = LocalFileArgument(fCurrentMedia->sourceURL());
    if (file.isEmpty()) {
        // Nothing to play: skipped like a missing file, after this call.
        const std::uint64_t generation = fGeneration;
        QMetaObject::invokeMethod(
            this, [this, generation] {
                if (generation == fGeneration)
                    Advance();
            },
            Qt::QueuedConnection);
        return;
    }
    SetPropertyString("pause", fPauseRequested ? "yes" : "no");
    fPauseRequested = false;
    const char* args[] = {"loadfile", file.constData(), "replace", nullptr};
    mpv_node result;
    const int code = mpv_command_ret(fMpv, args, &result);
    if (code < 0)
        throw Exception(QStringLiteral("The media player could not open \"%1\": %2.")
                            .arg(fCurrentMedia->sourceURL(), MpvErrorText(code)));
    if (result.format == MPV_FORMAT_NODE_MAP) {
        for (int i = 0; i < result.u.list->num; ++i) {
            if (qstrcmp(result.u.list->keys[i], "playlist_entry_id") == 0 &&
                result.u.list->values[i].format == MPV_FORMAT_INT64)
                fEntryId = result.u.list->values[i].u.int64;
        }
    }
    mpv_free_node_contents(&result);
    if (fEntryId == 0)
        throw Exception(QStringLiteral("The media player could not open \"%1\".").arg(fCurrentMedia->sourceURL()));
}

void TMediaPlayer::Advance() {
    fPendingStart = -1;
    fStartApplied = false;
    if (fPlaylist && fIndex + 1 < fPlaylist->count()) {
        LoadItem(fIndex + 1);
        return;
    }
    // The playlist has run out: nothing is loaded any more.
    TryCommand({"stop"});
    Unload();
    fCurrentMedia = nullptr;
    fIndex = -1;
    fShowAudio = false;
    fLength = 0;
    SetState(psStopped);
}

void TMediaPlayer::Unload() {
    fEntryId = 0;
    fLoadPending = false;
    fLoaded = false;
    fRestarted = false;
    fSeekTarget = -1;
    fPendingStart = -1;
    fStartApplied = false;
    fPauseRequested = false;
    fTimePos = 0;
    ++fGeneration;
}

void TMediaPlayer::SetState(TPlayState state) {
    UpdateViews();
    if (state == fState)
        return;
    fState = state;
    UpdateViews();
    ReportErrors([this, state] { Q_EMIT PlayStateChange(int(state)); });
}

void TMediaPlayer::UpdateViews() {
    if (fVideoArea) {
        TAudioDisplay* audio = fVideoArea->AudioDisplay();
        const bool show = fShowAudio && fCurrentMedia;
        if (audio->isHidden() == show)
            audio->setVisible(show);
    }
    if (fBar)
        fBar->Refresh();
}

// ---------------------------------------------------------------------------
// Operations

TPlaylistPtr TMediaPlayer::newPlaylist(const QString& name, const QString& url) {
    return std::make_shared<TPlaylist>(name, url);
}

TMediaItemPtr TMediaPlayer::newMedia(const QString& url) { return std::make_shared<TMediaItem>(url); }

void TMediaPlayer::setCurrentPlaylist(const TPlaylistPtr& playlist) {
    RequireHandle();
    fPlaylist = playlist;
    fPendingStart = -1;
    fStartApplied = false;
    fPauseRequested = false;
    if (playlist && playlist->count() > 0) {
        LoadItem(0); // automatic start
        return;
    }
    if (fEntryId != 0)
        TryCommand({"stop"});
    Unload();
    fCurrentMedia = nullptr;
    fIndex = -1;
    fShowAudio = false;
    fLength = 0;
    SetState(psStopped);
}

QString TMediaPlayer::status() const {
    switch (fState) {
    case psPlaying:
        return QStringLiteral("Playing");
    case psPaused:
        return QStringLiteral("Paused");
    case psStopped:
        return QStringLiteral("Stopped");
    case psMediaEnded:
        return QStringLiteral("Media ended");
    case psTransitioning:
        return QStringLiteral("Opening media");
    case psReady:
        return QStringLiteral("Ready");
    default:
        return QString();
    }
}

void TMediaPlayer::close() {
    // Always releases the item, also when libmpv is not there or fails.
    if (fMpv && (fEntryId != 0 || fLoadPending))
        TryCommand({"stop"});
    Unload();
    fCurrentMedia = nullptr;
    fPlaylist = nullptr;
    fIndex = -1;
    fShowAudio = false;
    fLength = 0;
    SetState(psReady);
}

double TMediaPlayer::Position() const {
    if (!fCurrentMedia)
        return 0;
    if (fEntryId != 0 && fLoaded) {
        if (fSeekTarget >= 0)
            return fSeekTarget;
        double position = 0;
        if (fMpv && mpv_get_property(fMpv, "time-pos", MPV_FORMAT_DOUBLE, &position) >= 0 && std::isfinite(position))
            return std::max(0.0, position);
        return fTimePos;
    }
    return fPendingStart >= 0 ? fPendingStart : 0;
}

void TMediaPlayer::SetPosition(double seconds) {
    if (!std::isfinite(seconds) || !fCurrentMedia)
        return;
    seconds = std::max(0.0, seconds);
    if (fEntryId != 0 && fLoaded) {
        Command({"seek", SecondsText(seconds), "absolute+exact"});
        fSeekTarget = seconds;
    } else {
        fPendingStart = seconds;
        fStartApplied = false;
    }
    fTimePos = seconds;
    UpdateViews();
}

void TMediaPlayer::Play() {
    RequireHandle();
    if (fEntryId != 0 || fLoadPending) {
        fPauseRequested = false;
        SetPropertyString("pause", "no");
        return;
    }
    if (fPlaylist && fPlaylist->count() > 0) {
        // Stopped, or the playlist has run out: the item starts again (where
        // a position set meanwhile says).
        LoadItem(fCurrentMedia && fIndex >= 0 && fIndex < fPlaylist->count() ? fIndex : 0);
    }
}

void TMediaPlayer::Pause() {
    RequireHandle();
    if (fLoadPending)
        fPauseRequested = true;
    else if (fEntryId != 0)
        SetPropertyString("pause", "yes");
}

void TMediaPlayer::Stop() {
    if (fMpv && (fEntryId != 0 || fLoadPending))
        Command({"stop"});
    Unload();
    SetState(psStopped);
}

void TMediaPlayer::SetVolume(int Value) {
    fVolume = std::clamp(Value, 0, 100);
    if (fMpv) {
        double volume = fVolume;
        mpv_set_property(fMpv, "volume", MPV_FORMAT_DOUBLE, &volume);
    }
    UpdateViews();
}

void TMediaPlayer::SetMute(bool Value) {
    fMute = Value;
    if (fMpv)
        mpv_set_property_string(fMpv, "mute", Value ? "yes" : "no");
    UpdateViews();
}

double TMediaPlayer::rate() const {
    double speed = 1.0;
    if (fMpv)
        mpv_get_property(fMpv, "speed", MPV_FORMAT_DOUBLE, &speed);
    return speed;
}

bool TMediaPlayer::fullScreen() const { return window()->isFullScreen(); }

void TMediaPlayer::SetFullScreen(bool Value) {
    // The whole window goes full screen, so the video stays where it is.
    QWidget* w = window();
    if (Value == w->isFullScreen())
        return;
    w->setWindowState(Value ? (w->windowState() | Qt::WindowFullScreen) : (w->windowState() & ~Qt::WindowFullScreen));
}

// ---------------------------------------------------------------------------
// libmpv calls

void TMediaPlayer::RequireHandle() const {
    if (!fMpv)
        throw Exception(QStringLiteral("The media player could not be started."));
}

void TMediaPlayer::Command(const QList<QByteArray>& args) {
    RequireHandle();
    std::vector<const char*> argv;
    argv.reserve(args.size() + 1);
    for (const QByteArray& arg : args)
        argv.push_back(arg.constData());
    argv.push_back(nullptr);
    const int code = mpv_command(fMpv, argv.data());
    if (code < 0)
        throw Exception(QStringLiteral("The media player failed (%1): %2.")
                            .arg(QString::fromUtf8(args.value(0)), MpvErrorText(code)));
}

bool TMediaPlayer::TryCommand(const QList<QByteArray>& args) noexcept {
    try {
        Command(args);
        return true;
    } catch (...) {
        return false;
    }
}

void TMediaPlayer::SetPropertyString(const char* name, const QByteArray& value) {
    RequireHandle();
    const int code = mpv_set_property_string(fMpv, name, value.constData());
    if (code < 0)
        throw Exception(QStringLiteral("The media player failed (%1): %2.")
                            .arg(QString::fromUtf8(name), MpvErrorText(code)));
}
