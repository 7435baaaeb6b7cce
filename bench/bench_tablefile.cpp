// Benchmark of the table text file with 100,000 rows of realistic paths and
// names (about 20 MB): SaveToTextFile and LoadFromTextFile, each as a ratio
// against its floor in the same run. Read floor: reading the same file's
// bytes and decoding the UTF-16 into a QString. Write floor: encoding the
// same text to UTF-16 bytes and writing them through the same whole-file
// write. Memory: heap in use (glibc mallinfo2) and the RSS peak (VmHWM after
// a reset through /proc/self/clear_refs), both against the decoded text's size.
// Run with QT_QPA_PLATFORM=offscreen.
// Helpers for the benchmark programs: a monotonic stopwatch that keeps the
// best of several runs, and heap/RSS readings from glibc and /proc.

#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <malloc.h>

namespace bench {

// Best time of `runs` calls of `body`, in milliseconds; `prepare` runs untimed before each.
inline double BestMs(int runs, const std::function<void()>& prepare, const std::function<void()>& body) {
    double best = std::numeric_limits<double>::max();
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer t;
        t.start();
        body();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

inline void PrintRatio(const char* what, double ms, double floorMs, const char* floorName) {
    std::printf("%-44s %9.2f ms   floor %-34s %9.2f ms   ratio %5.2f\n", what, ms, floorName, floorMs, ms / floorMs);
}

// Bytes of heap in use (glibc): small blocks plus mmapped ones.
inline long long HeapInUse() {
    malloc_trim(0);
    const struct mallinfo2 mi = mallinfo2();
    return static_cast<long long>(mi.uordblks + mi.hblkhd);
}

// A field of /proc/self/status in kB (VmRSS, VmHWM).
inline long long StatusKb(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Keeps freed memory in the process, so that what a run frees the next run
// reuses, for the floor and the measured code alike. Without it every run pays
// the kernel's first-touch page faults for whatever large blocks glibc handed
// back, which on a virtual machine (several microseconds per fault) swamps
// the work being measured.
inline void KeepFreedMemory() {
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
}

// Resets VmHWM to the present RSS (Linux: writing 5 to clear_refs).
inline bool ResetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write("5") == 1;
}

} // namespace bench

#include "platform/RegionalSettings.h"
#include "platform/SafeFile.h"
#include "ui/grid/uItemGrid.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <clocale>
#include <memory>

namespace {

void Fill(TItemGrid& grid, int n) {
    QRandomGenerator rng(20140427);
    const char* exts[] = {"mp3", "mp4", "flac", "pdf", "mkv", "jpg", "zip", "txt"};
    const char* words[] = {"Blue", "River", "Night", "Summer", "Live", "Dance", "Echo", "Golden", "Rain", "Road"};
    grid.BeginUpdate();
    for (int i = 0; i < n; ++i) {
        const QString ext = QString::fromLatin1(exts[rng.bounded(8)]);
        const QString name = QStringLiteral("%1 %2 %3").arg(rng.bounded(1, 20), 2, 10, QChar(u'0'))
                                 .arg(QString::fromLatin1(words[rng.bounded(10)]),
                                      QString::fromLatin1(words[rng.bounded(10)]));
        const QString path = QStringLiteral("/home/user/Music/Artist %1/Album %2/%3.%4")
                                 .arg(rng.bounded(3000)).arg(rng.bounded(30)).arg(name, ext);
        const int r = grid.AddRow(1);
        grid.Cell(colPathIndex, r).SetAsString(path);
        grid.Cell(colCurrentPositionIndex, r).SetAsFloat(rng.bounded(4) == 0 ? rng.bounded(0, 20000) / 4.0 : 0);
        grid.Cell(colNameIndex, r).SetAsString(name);
        grid.Cell(colTypeIndex, r).SetAsInteger(rng.bounded(9, 17));
        grid.Cell(colProgressIndex, r).SetAsFloat(rng.bounded(4) == 0 ? rng.bounded(101) : 0);
        grid.Cell(colExtensionIndex, r).SetAsString(ext);
        grid.Cell(colAddedIndex, r).SetAsDateTime(40000 + rng.bounded(4000));
        if (ext == QLatin1String("mp4") || ext == QLatin1String("mkv"))
            grid.Cell(colDurationIndex, r).SetAsString(QStringLiteral("%1:%2").arg(rng.bounded(120)).arg(rng.bounded(60), 2, 10, QChar(u'0')));
        grid.Cell(colSizeIndex, r).SetAsString(FloatToStr(rng.bounded(1, 9000) / 10.0));
    }
    grid.EndUpdate();
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// Loads the table once in this fresh process and prints its memory against
// the decoded text's size (the file's characters as a QString).
int MeasureMemory(const QString& file) {
    const double decodedBytes = (QFileInfo(file).size() - 2);
    const long long heap0 = bench::HeapInUse();
    const long long rss0 = bench::StatusKb("VmRSS");
    const bool peakReset = bench::ResetPeak();
    TItemGrid grid;
    grid.LoadFromTextFile(file, u',', u'|', 0);
    const long long hwm = bench::StatusKb("VmHWM");
    const long long heap1 = bench::HeapInUse();
    const long long rss1 = bench::StatusKb("VmRSS");
    std::printf("memory of the loaded grid (%d rows), fresh process, decoded text %.1f MB:\n", grid.RowCount(),
                decodedBytes / 1e6);
    std::printf("  heap in use after load (mallinfo2 delta)     %9.1f MB   ratio %5.2f\n", (heap1 - heap0) / 1e6,
                (heap1 - heap0) / decodedBytes);
    std::printf("  RSS after load (VmRSS delta)                 %9.1f MB   ratio %5.2f\n", (rss1 - rss0) * 1024 / 1e6,
                (rss1 - rss0) * 1024 / decodedBytes);
    if (peakReset)
        std::printf("  peak RSS during load (VmHWM - VmRSS before)  %9.1f MB   ratio %5.2f\n",
                    (hwm - rss0) * 1024 / 1e6, (hwm - rss0) * 1024 / decodedBytes);
    else
        std::printf("  peak RSS: /proc/self/clear_refs not writable, not measured\n");
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    SetRegionalSettings(TRegionalSettings::FromLocale(QLocale(QStringLiteral("en_US"))));
    if (argc > 2 && QByteArray(argv[1]) == "--memory")
        return MeasureMemory(QString::fromLocal8Bit(argv[2]));
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = 5;
    bench::KeepFreedMemory();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("table1.txt"));
    const QString floorFile = dir.filePath(QStringLiteral("floor.txt"));

    auto source = std::make_unique<TItemGrid>();
    Fill(*source, n);

    // Write.
    const double saveMs = bench::BestMs(runs, nullptr, [&] { source->SaveToTextFile(file, u',', u'|', ekUnicode); });
    const QByteArray bytes = ReadAll(file);
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    const double writeFloorMs = bench::BestMs(runs, nullptr, [&] {
        QByteArray out(2 + text.size() * 2, Qt::Uninitialized);
        out[0] = char(0xFF);
        out[1] = char(0xFE);
        qToLittleEndian<quint16>(text.utf16(), text.size(), out.data() + 2);
        WriteWholeFile(floorFile, out);
    });
    source.reset();

    std::printf("table file, %d rows, %.1f MB on disk, best of %d runs\n", n, bytes.size() / 1e6, runs);
    bench::PrintRatio("SaveToTextFile", saveMs, writeFloorMs, "encode UTF-16 + WriteWholeFile");

    // Read.
    const double readFloorMs = bench::BestMs(runs, nullptr, [&] {
        const QByteArray b = ReadAll(file);
        const QString s = QString::fromUtf16(reinterpret_cast<const char16_t*>(b.constData() + 2), (b.size() - 2) / 2);
        if (s.size() != text.size())
            std::printf("(size differs)\n");
    });
    std::unique_ptr<TItemGrid> grid;
    const double loadMs = bench::BestMs(runs, [&] { grid.reset(); grid = std::make_unique<TItemGrid>(); },
                                        [&] { grid->LoadFromTextFile(file, u',', u'|', 0); });
    bench::PrintRatio("LoadFromTextFile", loadMs, readFloorMs, "read bytes + decode to QString");
    if (grid->RowCount() != n)
        std::printf("(loaded %d rows)\n", grid->RowCount());
    grid.reset();

    // Memory: in a fresh process of this program, so that nothing freed here
    // is reused and the figures are the load's own.
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory"), file});
    child.waitForFinished(120000);
    return 0;
}
