// Reading the duration text of a video at import: the component's newMedia +
// durationString against bare avformat_open_input + avformat_find_stream_info
// on the same files, measured side by side in one run.
//
//   bench_probe [files=200] [rounds=7]

#include "player/uMediaPlayer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace {
bool MakeVideo(const QString& path, int seconds, const QString& size) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("testsrc=size=%1:rate=25").arg(size), QStringLiteral("-t"),
                  QString::number(seconds), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), path});
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const int fileCount = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 7;

    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) {
        std::fprintf(stderr, "ffmpeg is needed to make the test videos\n");
        return 1;
    }
    QTemporaryDir dir;
    // A few distinct small videos, copied to the number of files wanted.
    const QStringList sizes{QStringLiteral("160x120"), QStringLiteral("176x144"), QStringLiteral("320x240"),
                            QStringLiteral("128x96")};
    QStringList bases;
    for (int i = 0; i < sizes.size(); ++i) {
        const QString base = dir.filePath(QStringLiteral("base%1.mp4").arg(i));
        if (!MakeVideo(base, 2 + i, sizes[i])) {
            std::fprintf(stderr, "could not make %s\n", qPrintable(base));
            return 1;
        }
        bases << base;
    }
    QStringList files;
    for (int i = 0; i < fileCount; ++i) {
        const QString path = dir.filePath(QStringLiteral("video%1.mp4").arg(i, 4, 10, QLatin1Char('0')));
        QFile::copy(bases[i % bases.size()], path);
        files << path;
    }
    std::vector<QByteArray> encoded;
    for (const QString& f : files)
        encoded.push_back(QFile::encodeName(f));

    TMediaPlayer player; // the component; newMedia does not need playback
    av_log_set_level(AV_LOG_QUIET);

    const auto bare = [&] {
        int known = 0;
        for (const QByteArray& path : encoded) {
            AVFormatContext* context = nullptr;
            if (avformat_open_input(&context, path.constData(), nullptr, nullptr) < 0)
                continue;
            if (avformat_find_stream_info(context, nullptr) >= 0 && context->duration > 0)
                ++known;
            avformat_close_input(&context);
        }
        return known;
    };
    const auto component = [&] {
        int known = 0;
        for (const QString& path : files)
            if (!player.newMedia(path)->durationString().isEmpty())
                ++known;
        return known;
    };

    // Warm the file cache and both code paths once, then alternate.
    bare();
    component();
    std::vector<double> bareMs, componentMs;
    int bareKnown = 0, componentKnown = 0;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        bareKnown = bare();
        bareMs.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        componentKnown = component();
        componentMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double b = Median(bareMs);
    const double c = Median(componentMs);
    std::printf("probe of %d small videos, median of %d rounds\n", fileCount, rounds);
    std::printf("  bare avformat_open_input + find_stream_info: %8.2f ms  (%.3f ms per file, %d durations)\n", b,
                b / fileCount, bareKnown);
    std::printf("  newMedia + durationString:                  %8.2f ms  (%.3f ms per file, %d durations)\n", c,
                c / fileCount, componentKnown);
    std::printf("  ratio component / bare: %.2fx (target <= 1.5x)\n", c / b);
    return componentKnown == fileCount ? 0 : 2;
}
