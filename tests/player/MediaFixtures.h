#pragma once
// Small media files made by the tests themselves: silent WAV files (a header
// and silence) of any length, and short videos made with the ffmpeg program.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QtEndian>

namespace media_fixtures {

// A mono 8-bit PCM WAV of `seconds` of silence at `rate` samples per second.
inline bool WriteSilentWav(const QString& path, double seconds, int rate = 8000) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const quint32 samples = quint32(seconds * rate + 0.5);
    QByteArray data;
    const auto put32 = [&data](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        data.append(b, 4);
    };
    const auto put16 = [&data](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        data.append(b, 2);
    };
    data.append("RIFF", 4);
    put32(36 + samples);
    data.append("WAVEfmt ", 8);
    put32(16);
    put16(1);            // PCM
    put16(1);            // mono
    put32(quint32(rate));
    put32(quint32(rate)); // bytes per second
    put16(1);            // block align
    put16(8);            // bits per sample
    data.append("data", 4);
    put32(samples);
    data.append(QByteArray(int(samples), char(0x80)));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(data) == data.size();
}

inline bool HaveFfmpeg() { return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty(); }

// A test-pattern video of `seconds` (160 x 120, 25 frames per second), with
// a tone when `withSound`.
inline bool MakeVideo(const QString& path, double seconds, bool withSound = false) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                     QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("testsrc=size=160x120:rate=25")};
    if (withSound)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=8000");
    args << QStringLiteral("-t") << QString::number(seconds) << QStringLiteral("-pix_fmt")
         << QStringLiteral("yuv420p") << path;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0 && QFileInfo(path).size() > 0;
}

} // namespace media_fixtures
