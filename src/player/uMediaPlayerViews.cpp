#include "uMediaPlayerViews.h"

#include "uMediaPlayer.h"

#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QPainter>
#include <QPainterPath>
#include <QSlider>
#include <QToolButton>

#include <mpv/render_gl.h>

#include <cmath>

// ---------------------------------------------------------------------------
// TMpvVideoWidget

namespace {
void* GetProcAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(QByteArray(name))) : nullptr;
}
} // namespace

TMpvVideoWidget::TMpvVideoWidget(mpv_handle* mpv, QWidget* parent) : QOpenGLWidget(parent), fMpv(mpv) {
    setObjectName(QStringLiteral("wmpVideo"));
}

TMpvVideoWidget::~TMpvVideoWidget() {
    // The base class destroys the GL context after this part of the widget is
    // gone: its signal must not reach this widget any more.
    disconnect(fContextGone);
    if (fRender) {
        makeCurrent();
        FreeRenderContext();
        doneCurrent();
    }
}

void TMpvVideoWidget::initializeGL() {
    // libmpv allows one render context per handle: the old one goes with the
    // GL context it was made in.
    disconnect(fContextGone);
    fContextGone = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this,
            [this] {
                makeCurrent();
                FreeRenderContext();
                doneCurrent();
            },
            Qt::DirectConnection);
    if (fRender)
        return;
    mpv_opengl_init_params gl{GetProcAddress, nullptr};
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    const bool ok = mpv_render_context_create(&fRender, fMpv, params) >= 0;
    if (!ok)
        fRender = nullptr;
    else
        mpv_render_context_set_update_callback(fRender, &TMpvVideoWidget::OnUpdate, this);
    if (!fReported || ok) {
        fReported = true;
        Q_EMIT RenderContextReady(ok);
    }
}

void TMpvVideoWidget::paintGL() {
    if (!fRender) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    mpv_opengl_fbo fbo{int(defaultFramebufferObject()), int(std::lround(width() * ratio)),
                       int(std::lround(height() * ratio)), 0};
    int flip = 1;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
        {MPV_RENDER_PARAM_FLIP_Y, &flip},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(fRender, params);
}

void TMpvVideoWidget::OnUpdate(void* ctx) {
    // libmpv's thread: only queue a call to the GUI thread, once at a time.
    auto* self = static_cast<TMpvVideoWidget*>(ctx);
    if (!self->fUpdatePending.exchange(true))
        QMetaObject::invokeMethod(self, &TMpvVideoWidget::ProcessUpdate, Qt::QueuedConnection);
}

void TMpvVideoWidget::ProcessUpdate() {
    fUpdatePending = false;
    if (fRender && (mpv_render_context_update(fRender) & MPV_RENDER_UPDATE_FRAME))
        update();
}

void TMpvVideoWidget::FreeRenderContext() {
    if (!fRender)
        return;
    mpv_render_context_set_update_callback(fRender, nullptr, nullptr);
    mpv_render_context_free(fRender);
    fRender = nullptr;
}

// ---------------------------------------------------------------------------
// TAudioDisplay

TAudioDisplay::TAudioDisplay(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("wmpAudioDisplay"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TAudioDisplay::SetTitle(const QString& title) {
    fTitle = title;
    update();
}

void TAudioDisplay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 0, height());
    background.setColorAt(0, QColor(0x1c, 0x24, 0x33));
    background.setColorAt(1, QColor(0x05, 0x07, 0x0b));
    p.fillRect(rect(), background);

    // A note drawn as shapes, so no font needs the glyph.
    const qreal unit = std::max<qreal>(12, std::min(width(), height()) / 10.0);
    const QPointF centre(width() / 2.0, height() / 2.0 - unit * 0.9);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x6f, 0xa8, 0xdc));
    const QPointF head1 = centre + QPointF(-unit * 0.8, unit * 0.9);
    const QPointF head2 = centre + QPointF(unit * 0.8, unit * 0.6);
    p.drawEllipse(head1, unit * 0.42, unit * 0.32);
    p.drawEllipse(head2, unit * 0.42, unit * 0.32);
    const qreal stem = unit * 0.12;
    p.drawRect(QRectF(head1.x() + unit * 0.3, centre.y() - unit * 1.1, stem, unit * 2.0));
    p.drawRect(QRectF(head2.x() + unit * 0.3, centre.y() - unit * 1.4, stem, unit * 2.0));
    QPainterPath beam;
    beam.moveTo(head1.x() + unit * 0.3, centre.y() - unit * 1.1);
    beam.lineTo(head2.x() + unit * 0.3 + stem, centre.y() - unit * 1.4);
    beam.lineTo(head2.x() + unit * 0.3 + stem, centre.y() - unit * 1.0);
    beam.lineTo(head1.x() + unit * 0.3, centre.y() - unit * 0.7);
    beam.closeSubpath();
    p.drawPath(beam);

    QFont font = p.font();
    font.setPixelSize(int(std::max<qreal>(12, unit * 0.7)));
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0xe8, 0xee, 0xf6));
    const QRect textRect(16, int(centre.y() + unit * 1.6), width() - 32, int(unit * 1.2));
    p.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop,
               p.fontMetrics().elidedText(fTitle, Qt::ElideMiddle, textRect.width()));
}

// ---------------------------------------------------------------------------
// TMediaVideoArea

TMediaVideoArea::TMediaVideoArea(QWidget* parent) : QWidget(parent), fAudio(new TAudioDisplay(this)) {
    setObjectName(QStringLiteral("wmpVideoArea"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);
    fAudio->hide();
}

void TMediaVideoArea::SetVideoWidget(QWidget* video) {
    fVideo = video;
    fVideo->setGeometry(rect());
    fAudio->raise();
}

void TMediaVideoArea::resizeEvent(QResizeEvent*) {
    if (fVideo)
        fVideo->setGeometry(rect());
    fAudio->setGeometry(rect());
}

void TMediaVideoArea::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        Q_EMIT DoubleClicked();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

// ---------------------------------------------------------------------------
// TMediaControlBar

namespace {
enum class TGlyph { Play, Pause, Stop, Sound, Muted };

QPixmap DrawGlyph(TGlyph glyph, int size, const QColor& colour) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const qreal s = size / 16.0;
    switch (glyph) {
    case TGlyph::Play: {
        QPainterPath path;
        path.moveTo(4.5 * s, 3 * s);
        path.lineTo(13 * s, 8 * s);
        path.lineTo(4.5 * s, 13 * s);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case TGlyph::Pause:
        p.drawRect(QRectF(4 * s, 3 * s, 3 * s, 10 * s));
        p.drawRect(QRectF(9 * s, 3 * s, 3 * s, 10 * s));
        break;
    case TGlyph::Stop:
        p.drawRect(QRectF(4 * s, 4 * s, 8 * s, 8 * s));
        break;
    case TGlyph::Sound:
    case TGlyph::Muted: {
        QPainterPath path;
        path.moveTo(2 * s, 6 * s);
        path.lineTo(5 * s, 6 * s);
        path.lineTo(9 * s, 2.5 * s);
        path.lineTo(9 * s, 13.5 * s);
        path.lineTo(5 * s, 10 * s);
        path.lineTo(2 * s, 10 * s);
        path.closeSubpath();
        p.drawPath(path);
        QPen pen(colour, 1.3 * s, Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        if (glyph == TGlyph::Sound) {
            p.drawArc(QRectF(7 * s, 5 * s, 5 * s, 6 * s), -60 * 16, 120 * 16);
            p.drawArc(QRectF(7 * s, 3 * s, 8 * s, 10 * s), -60 * 16, 120 * 16);
        } else {
            p.drawLine(QPointF(11 * s, 6 * s), QPointF(15 * s, 10 * s));
            p.drawLine(QPointF(15 * s, 6 * s), QPointF(11 * s, 10 * s));
        }
        break;
    }
    }
    return pixmap;
}

QIcon GlyphIcon(TGlyph glyph) {
    QIcon icon;
    for (int size : {16, 32}) {
        icon.addPixmap(DrawGlyph(glyph, size, QColor(0xe6, 0xe9, 0xee)), QIcon::Normal);
        icon.addPixmap(DrawGlyph(glyph, size, QColor(0x7c, 0xc4, 0xff)), QIcon::Active);
        icon.addPixmap(DrawGlyph(glyph, size, QColor(0x70, 0x74, 0x7a)), QIcon::Disabled);
    }
    return icon;
}

QToolButton* MakeButton(QWidget* parent, const QString& name, const QIcon& icon, const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    button->setToolTip(tip);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(24, 24);
    return button;
}

QLabel* MakeTimeLabel(QWidget* parent, const QString& name, Qt::Alignment alignment) {
    auto* label = new QLabel(QStringLiteral("00:00"), parent);
    label->setObjectName(name);
    label->setAlignment(alignment | Qt::AlignVCenter);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0xd8, 0xdc, 0xe2));
    label->setPalette(palette);
    return label;
}
} // namespace

TMediaControlBar::TMediaControlBar(TMediaPlayer& player) : QWidget(&player), fPlayer(player) {
    setObjectName(QStringLiteral("wmpControls"));
    setFixedHeight(BarHeight);
    fPlayIcon = GlyphIcon(TGlyph::Play);
    fPauseIcon = GlyphIcon(TGlyph::Pause);
    fStopIcon = GlyphIcon(TGlyph::Stop);
    fSoundIcon = GlyphIcon(TGlyph::Sound);
    fMutedIcon = GlyphIcon(TGlyph::Muted);

    fPlay = MakeButton(this, QStringLiteral("wmpPlayPause"), fPlayIcon, tr("Play"));
    fStop = MakeButton(this, QStringLiteral("wmpStop"), fStopIcon, tr("Stop"));
    fTime = MakeTimeLabel(this, QStringLiteral("wmpTime"), Qt::AlignRight);
    fSeek = new QSlider(Qt::Horizontal, this);
    fSeek->setObjectName(QStringLiteral("wmpSeek"));
    fSeek->setFocusPolicy(Qt::NoFocus);
    fSeek->setRange(0, 0);
    fLength = MakeTimeLabel(this, QStringLiteral("wmpLength"), Qt::AlignLeft);
    fMute = MakeButton(this, QStringLiteral("wmpMute"), fSoundIcon, tr("Mute"));
    fVolume = new QSlider(Qt::Horizontal, this);
    fVolume->setObjectName(QStringLiteral("wmpVolume"));
    fVolume->setFocusPolicy(Qt::NoFocus);
    fVolume->setRange(0, 100);
    fVolume->setValue(player.volume());
    fVolume->setToolTip(tr("Volume"));

    connect(fPlay, &QToolButton::clicked, this, [this] {
        if (fPlayer.playState() == psPlaying)
            fPlayer.controls().pause();
        else
            fPlayer.controls().play();
    });
    connect(fStop, &QToolButton::clicked, this, [this] { fPlayer.controls().stop(); });
    connect(fSeek, &QSlider::sliderReleased, this, &TMediaControlBar::SeekToSlider);
    connect(fSeek, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            QMetaObject::invokeMethod(this, &TMediaControlBar::SeekToSlider, Qt::QueuedConnection);
    });
    connect(fMute, &QToolButton::clicked, this, [this] { fPlayer.SetMute(!fPlayer.mute()); });
    connect(fVolume, &QSlider::valueChanged, this, [this](int value) { fPlayer.SetVolume(value); });
    Refresh();
}

void TMediaControlBar::SeekToSlider() {
    if (fPlayer.currentMedia())
        fPlayer.controls().setCurrentPosition(fSeek->sliderPosition() / 1000.0);
}

void TMediaControlBar::Refresh() {
    const TPlayState state = fPlayer.playState();
    const bool playing = state == psPlaying;
    if (playing != fShowsPause) {
        fShowsPause = playing;
        fPlay->setIcon(playing ? fPauseIcon : fPlayIcon);
        fPlay->setToolTip(playing ? tr("Pause") : tr("Play"));
    }
    const bool hasItem = fPlayer.currentMedia() != nullptr;
    fPlay->setEnabled(hasItem || (fPlayer.currentPlaylist() && fPlayer.currentPlaylist()->count() > 0));
    fStop->setEnabled(hasItem);
    const double length = fPlayer.fLength;
    const double position = fPlayer.fTimePos;
    fSeek->setEnabled(hasItem && length > 0);
    if (!fSeek->isSliderDown()) {
        const int maximum = length > 0 ? int(std::min(length * 1000.0, 2.0e9)) : 0;
        if (fSeek->maximum() != maximum)
            fSeek->setRange(0, maximum);
        fSeek->setValue(int(std::clamp(position * 1000.0, 0.0, double(maximum))));
    }
    fTime->setText(FormatDuration(hasItem ? std::max(0.0, position) : 0));
    fLength->setText(FormatDuration(hasItem ? std::max(0.0, length) : 0));
    fMute->setIcon(fPlayer.mute() ? fMutedIcon : fSoundIcon);
    if (fVolume->value() != fPlayer.volume()) {
        const QSignalBlocker block(fVolume);
        fVolume->setValue(fPlayer.volume());
    }
}

void TMediaControlBar::resizeEvent(QResizeEvent*) {
    // Fixed places at the left, so that the stop button is always at the
    // same spot of the component's lower left; the slider takes the rest.
    const int top = (height() - 24) / 2 + 1;
    fPlay->move(6, top);
    fStop->move(35, top);
    const int labelWidth = fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + 6;
    fTime->setGeometry(64, top, labelWidth, 24);
    const int volumeWidth = 80;
    const int volumeLeft = width() - 8 - volumeWidth;
    fVolume->setGeometry(volumeLeft, top, volumeWidth, 24);
    fMute->move(volumeLeft - 4 - 24, top);
    const int lengthLeft = fMute->x() - 8 - labelWidth;
    fLength->setGeometry(lengthLeft, top, labelWidth, 24);
    const int seekLeft = fTime->geometry().right() + 8;
    fSeek->setGeometry(seekLeft, top, std::max(20, lengthLeft - 6 - seekLeft), 24);
}

void TMediaControlBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QLinearGradient background(0, 0, 0, height());
    background.setColorAt(0, QColor(0x3a, 0x40, 0x4a));
    background.setColorAt(1, QColor(0x1e, 0x22, 0x28));
    p.fillRect(rect(), background);
    p.setPen(QColor(0x55, 0x5c, 0x68));
    p.drawLine(0, 0, width(), 0);
}
