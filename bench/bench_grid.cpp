// Benchmark of the item grid with 100,000 rows. Every figure is printed as a
// ratio against a floor measured in the same run: filling a plain std::vector
// with the same values, std::sort of the same keys, a plain loop with
// QString::contains. Run with QT_QPA_PLATFORM=offscreen.
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
#include "ui/grid/uItemGrid.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QScrollBar>

#include <clocale>
#include <vector>

namespace {

struct TValues {
    QString Path, Name, Extension, Duration, Size;
    double CurrentPosition = 0, Progress = 0, Added = 0;
    int Type = 0;
};

std::vector<TValues> Generate(int n) {
    QRandomGenerator rng(20140427);
    const char* exts[] = {"mp3", "mp4", "flac", "pdf", "mkv", "jpg", "zip", "txt"};
    std::vector<TValues> out;
    out.reserve(n);
    for (int i = 0; i < n; ++i) {
        TValues v;
        const int artist = rng.bounded(2000);
        const QString ext = QString::fromLatin1(exts[rng.bounded(8)]);
        v.Name = QStringLiteral("%1 Track Title %2").arg(rng.bounded(1, 30), 2, 10, QChar(u'0')).arg(rng.bounded(100000));
        v.Path = QStringLiteral("/home/user/Music/Artist %1/Album %2/%3.%4")
                     .arg(artist).arg(rng.bounded(40)).arg(v.Name, ext);
        v.Extension = ext;
        v.Duration = ext == QLatin1String("mp4") || ext == QLatin1String("mkv")
                         ? QStringLiteral("%1:%2").arg(rng.bounded(120)).arg(rng.bounded(60), 2, 10, QChar(u'0'))
                         : QString();
        v.Size = FloatToStr(rng.bounded(1, 9000) / 10.0);
        v.CurrentPosition = rng.bounded(0, 5000) / 4.0;
        v.Progress = rng.bounded(101);
        v.Added = 40000 + rng.bounded(4000);
        v.Type = rng.bounded(9, 17);
        out.push_back(std::move(v));
    }
    return out;
}

void FillGrid(TItemGrid& grid, const std::vector<TValues>& values) {
    grid.BeginUpdate();
    for (const TValues& v : values) {
        const int r = grid.AddRow(1);
        grid.Cell(colPathIndex, r).SetAsString(v.Path);
        grid.Cell(colCurrentPositionIndex, r).SetAsFloat(v.CurrentPosition);
        grid.Cell(colNameIndex, r).SetAsString(v.Name);
        grid.Cell(colTypeIndex, r).SetAsInteger(v.Type);
        grid.Cell(colProgressIndex, r).SetAsFloat(v.Progress);
        grid.Cell(colExtensionIndex, r).SetAsString(v.Extension);
        grid.Cell(colAddedIndex, r).SetAsDateTime(v.Added);
        grid.Cell(colDurationIndex, r).SetAsString(v.Duration);
        grid.Cell(colSizeIndex, r).SetAsString(v.Size);
    }
    grid.EndUpdate();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    SetRegionalSettings(TRegionalSettings::FromLocale(QLocale(QStringLiteral("en_US"))));
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = 5;
    bench::KeepFreedMemory();
    std::printf("item grid, %d rows, best of %d runs\n", n, runs);
    const std::vector<TValues> values = Generate(n);

    // Filling.
    {
        std::vector<TValues> plain;
        const double floorMs = bench::BestMs(runs, [&] { plain = {}; }, [&] {
            for (const TValues& v : values)
                plain.push_back(v);
        });
        std::unique_ptr<TItemGrid> grid;
        const double ms = bench::BestMs(runs, [&] { grid.reset(); grid = std::make_unique<TItemGrid>(); },
                                        [&] { FillGrid(*grid, values); });
        bench::PrintRatio("AddRow + fill all cells (BeginUpdate)", ms, floorMs, "std::vector push_back of values");
    }

    TItemGrid grid;
    FillGrid(grid, values);

    // Sorting: each sort starts from the rows' present order, and the floor
    // sorts the same keys taken in that same order.
    auto sortCase = [&](const char* what, int col) {
        double floorMs = 0, ms = 0;
        if (col == colNameIndex) {
            std::vector<QString> keys;
            floorMs = bench::BestMs(runs, [&] {
                keys.clear();
                for (int i = 0; i < grid.RowCount(); ++i)
                    keys.push_back(grid.Cells(col, i));
            }, [&] { std::sort(keys.begin(), keys.end()); });
        } else {
            std::vector<double> keys;
            floorMs = bench::BestMs(runs, [&] {
                keys.clear();
                for (int i = 0; i < grid.RowCount(); ++i)
                    keys.push_back(grid.Cell(col, i).AsFloat());
            }, [&] { std::sort(keys.begin(), keys.end()); });
        }
        // A different column first, so that each click is a real sort, not a reversal.
        ms = bench::BestMs(runs, [&] { grid.ClickHeader(col == colPathIndex ? colSizeIndex : colPathIndex); },
                           [&] { grid.ClickHeader(col); });
        bench::PrintRatio(what, ms, floorMs, "std::sort of the keys");
    };
    sortCase("sort by Name (alphabetic)", colNameIndex);
    sortCase("sort by Progress (numeric)", colProgressIndex);
    sortCase("sort by Added (date)", colAddedIndex);
    {
        grid.ClickHeader(colNameIndex == grid.SortedColumn() ? colPathIndex : colNameIndex);
        const double ms = bench::BestMs(runs, nullptr, [&] { grid.ClickHeader(grid.SortedColumn()); });
        std::printf("%-44s %9.2f ms\n", "second click (reverse without comparing)", ms);
    }

    // Search: the import's duplicate test, a path that is in no row, so every row is looked at.
    {
        std::vector<QString> paths;
        for (int i = 0; i < grid.RowCount(); ++i)
            paths.push_back(grid.Cells(colPathIndex, i));
        const QString needle = QStringLiteral("/home/user/music/artist 77/album 3/not there.mp3");
        int hits = 0;
        const double floorMs = bench::BestMs(runs, nullptr, [&] {
            for (const QString& p : paths)
                if (p.contains(needle, Qt::CaseInsensitive))
                    ++hits;
        });
        bool found = true;
        const double ms = bench::BestMs(runs, nullptr, [&] {
            found = grid.FindText(colPathIndex, needle, soCaseInsensitive);
        });
        bench::PrintRatio("FindText colPath soCaseInsensitive (miss)", ms, floorMs,
                          "loop QString::contains(ci)");
        std::vector<QString> names;
        for (int i = 0; i < grid.RowCount(); ++i)
            names.push_back(grid.Cells(colNameIndex, i));
        const QString name = QStringLiteral("Track Title 100000");
        const double floor2 = bench::BestMs(runs, nullptr, [&] {
            for (const QString& s : names)
                if (s.contains(name))
                    ++hits;
        });
        const double ms2 = bench::BestMs(runs, nullptr, [&] { found = grid.FindText(colNameIndex, name, {}); });
        bench::PrintRatio("FindText colName case-sensitive (miss)", ms2, floor2, "loop QString::contains");
        if (found || hits)
            std::printf("(unexpected hit)\n");
    }

    // Scrolling: one full repaint of the viewport at the top, the middle and the end.
    {
        grid.resize(1000, 700);
        grid.show();
        QApplication::processEvents();
        QScrollBar* bar = grid.verticalScrollBar();
        double worst = 0, total = 0;
        int frames = 0;
        for (int step = 0; step <= 20; ++step) {
            bar->setValue(bar->maximum() * step / 20);
            const double ms = bench::BestMs(3, nullptr, [&] { grid.viewport()->repaint(); });
            worst = std::max(worst, ms);
            total += ms;
            ++frames;
        }
        std::printf("%-44s %9.2f ms   worst %.2f ms (%d visible rows, %d positions)\n",
                    "scroll: full viewport repaint, mean", total / frames, worst,
                    grid.viewport()->height() / std::max(1, grid.rowHeight(0)), frames);
    }
    return 0;
}
