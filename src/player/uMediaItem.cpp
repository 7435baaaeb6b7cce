// Media items: a local file and its length, read with libavformat.

#include "uMediaPlayer.h"

#include <QDir>
#include <QFile>

#include <cmath>
#include <mutex>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

QByteArray LocalFileArgument(const QString& path) {
    if (path.isEmpty())
        return {};
    // An absolute path starts with "/", so it can be neither "-" (standard
    // input), nor an option, nor "scheme:" / "scheme://". Nothing else of the
    // path is changed: the file named is exactly the one the row names.
    if (path.startsWith(QLatin1Char('/')))
        return QFile::encodeName(path);
    QString base = QDir::currentPath();
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return QFile::encodeName(base + path);
}

double ProbeMediaDuration(const QString& path) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });

    const QByteArray local = LocalFileArgument(path);
    if (local.isEmpty())
        return -1;
    // The "file:" protocol and a whitelist of only "file": the text is a file
    // name, whatever it looks like, and a playlist-like container cannot make
    // libavformat open anything but local files either.
    const QByteArray url = QByteArrayLiteral("file:") + local;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    AVFormatContext* context = nullptr;
    const int opened = avformat_open_input(&context, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return -1;

    double seconds = -1;
    if (avformat_find_stream_info(context, nullptr) >= 0) {
        if (context->duration != AV_NOPTS_VALUE && context->duration > 0) {
            seconds = double(context->duration) / AV_TIME_BASE;
        } else {
            for (unsigned i = 0; i < context->nb_streams; ++i) {
                const AVStream* stream = context->streams[i];
                if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
                    seconds = std::max(seconds, stream->duration * av_q2d(stream->time_base));
            }
        }
    }
    avformat_close_input(&context);
    return std::isfinite(seconds) ? seconds : -1;
}

QString FormatDuration(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0)
        return {};
    const long long total = std::llround(seconds);
    const long long hours = total / 3600;
    const int minutes = int((total / 60) % 60);
    const int secs = int(total % 60);
    const auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    if (hours > 0)
        return QString::number(hours) + QLatin1Char(':') + two(minutes) + QLatin1Char(':') + two(secs);
    return two(minutes) + QLatin1Char(':') + two(secs);
}

TMediaItem::TMediaItem(const QString& sourceURL) : fSourceURL(sourceURL) {}

void TMediaItem::Probe() const {
    if (fProbed)
        return;
    fProbed = true;
    const double seconds = ProbeMediaDuration(fSourceURL);
    fKnown = seconds >= 0;
    fDuration = fKnown ? seconds : 0;
}

double TMediaItem::duration() const {
    Probe();
    return fDuration;
}

bool TMediaItem::durationKnown() const {
    Probe();
    return fKnown;
}

QString TMediaItem::durationString() const {
    Probe();
    return fKnown ? FormatDuration(fDuration) : QString();
}

void TMediaItem::SetDuration(double seconds) {
    fProbed = true;
    fKnown = std::isfinite(seconds) && seconds >= 0;
    fDuration = fKnown ? seconds : 0;
}
