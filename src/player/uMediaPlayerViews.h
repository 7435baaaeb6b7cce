#pragma once
// The inner views of the media player component: the video area (the picture
// drawn by libmpv's render API, or the name of an audio item), and the
// component's own control bar. Used only by TMediaPlayer.

#include <QIcon>
#include <QOpenGLWidget>
#include <QWidget>
#include <atomic>

struct mpv_handle;
struct mpv_render_context;
class QLabel;
class QSlider;
class QToolButton;
class TMediaPlayer;

// The picture, drawn by libmpv into the widget's framebuffer (vo=libmpv).
class TMpvVideoWidget : public QOpenGLWidget {
    Q_OBJECT
public:
    TMpvVideoWidget(mpv_handle* mpv, QWidget* parent);
    ~TMpvVideoWidget() override;
    bool HasRenderContext() const { return fRender != nullptr; }

Q_SIGNALS:
    // The render context was made (true) or could not be made (false).
    void RenderContextReady(bool ok);

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    static void OnUpdate(void* ctx);
    void ProcessUpdate();
    void FreeRenderContext();

    mpv_handle* fMpv;
    mpv_render_context* fRender = nullptr;
    std::atomic<bool> fUpdatePending{false};
    bool fReported = false;
    QMetaObject::Connection fContextGone; // the GL context's aboutToBeDestroyed
};

// The name of an audio item, on a dark background, where a video would be.
class TAudioDisplay : public QWidget {
    Q_OBJECT
public:
    explicit TAudioDisplay(QWidget* parent);
    void SetTitle(const QString& title);
    QString Title() const { return fTitle; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString fTitle;
};

// The area above the control bar: black, the video on top, the audio display
// over it for an item without a picture. A double-click toggles full screen.
class TMediaVideoArea : public QWidget {
    Q_OBJECT
public:
    explicit TMediaVideoArea(QWidget* parent);
    void SetVideoWidget(QWidget* video);
    TAudioDisplay* AudioDisplay() const { return fAudio; }

Q_SIGNALS:
    void DoubleClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QWidget* fVideo = nullptr;
    TAudioDisplay* fAudio;
};

// The component's "full" controls: play/pause, stop, the time reached, a seek
// slider, the length, mute and volume.
class TMediaControlBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int BarHeight = 38;
    explicit TMediaControlBar(TMediaPlayer& player);
    void Refresh(); // from the player's state, position and length

    QToolButton* PlayButton() const { return fPlay; }
    QToolButton* StopButton() const { return fStop; }
    QSlider* SeekSlider() const { return fSeek; }
    QSlider* VolumeSlider() const { return fVolume; }
    QLabel* TimeLabel() const { return fTime; }
    QLabel* LengthLabel() const { return fLength; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void SeekToSlider();

    TMediaPlayer& fPlayer;
    QToolButton* fPlay;
    QToolButton* fStop;
    QLabel* fTime;
    QSlider* fSeek;
    QLabel* fLength;
    QToolButton* fMute;
    QSlider* fVolume;
    QIcon fPlayIcon, fPauseIcon, fStopIcon, fSoundIcon, fMutedIcon;
    bool fShowsPause = false;
};
