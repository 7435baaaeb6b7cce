// Benchmark of "Import File(s)" through the real command of the main window
// (the open dialog answered by its seam), on 1,000 generated audio files:
//   1. into an empty collection, against the floor "stat the same files and
//      append the rows to a plain vector";
//   2. into a collection of 100,000 rows, against that floor plus a plain
//      case-insensitive containment loop over the same 100,000 paths;
//   3. the duplicate test alone (the grid's FindText over 100,000 rows for each
//      of the 1,000 paths) against the plain containment loop.
// Also shown: the import with pending events processed after every file, so
// the share of repainting between files can be read off.
// Run offscreen (QT_QPA_PLATFORM=offscreen is set when no platform is given).

#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "settings/uOptions.h"
#include "ui/grid/uItemGrid.h"
#include "ui/main/uMain.h"
#include "ui/main/uStatusBar.h"
#include "ui/main/uTreeViewAdapter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <limits>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int FileCount = 1000;
constexpr int HeldRows = 100000;
constexpr int Runs = 3;

double BestMs(int runs, const std::function<void()>& prepare, const std::function<void()>& body) {
    double best = std::numeric_limits<double>::max();
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer t;
        t.start();
        body();
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
    }
    return best;
}

void PrintRatio(const char* what, double ms, double floorMs, const char* floorName, double target) {
    const double ratio = ms / floorMs;
    std::printf("%-40s %9.2f ms   floor %-36s %9.2f ms   ratio %6.2f  (target <= %.0f: %s)\n", what, ms,
                floorName, floorMs, ratio, target, ratio <= target ? "met" : "NOT met");
}

struct TPlainRow {
    QString Path, Name, Extension, Size;
    double Added;
    int Type;
};

// The floor of an import: stat each file and append its row to a vector.
void StatAndAppend(const QStringList& files, std::vector<TPlainRow>& rows) {
    for (const QString& path : files) {
        struct stat st {};
        const QByteArray native = QFile::encodeName(path);
        if (::stat(native.constData(), &st) != 0)
            continue;
        rows.push_back(TPlainRow{path, QString(), QString(), QString(), 0, 9});
        rows.back().Size = QString::number(double(st.st_size) / 1048576.0, 'f', 1);
    }
}

// The floor of the duplicate test: a plain case-insensitive containment loop.
int ContainmentLoop(const QStringList& held, const QStringList& files) {
    int found = 0;
    for (const QString& path : files)
        for (const QString& h : held)
            if (h.contains(path, Qt::CaseInsensitive)) {
                ++found;
                break;
            }
    return found;
}

QStringList MakeFiles(const QString& folder, const QString& prefix) {
    QDir().mkpath(folder);
    QStringList files;
    for (int i = 0; i < FileCount; ++i) {
        const QString path = QStringLiteral("%1/%2 track %3.mp3").arg(folder, prefix).arg(i, 4, 10, QChar(u'0'));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || !f.resize(qint64(i) * 1000))
            qFatal("cannot make %s", qPrintable(path));
        files << path;
    }
    return files;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/sortelle-bench-XXXXXX"));
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DOCUMENTS_DIR", QFile::encodeName(home.path() + QStringLiteral("/Documents")));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    SetErrorReportHandler([](const QString& message) {
        std::fprintf(stderr, "error: %s\n", qPrintable(message));
        return TErrorChoice::Continue;
    });

    const QStringList files = MakeFiles(home.path() + QStringLiteral("/Music"), QStringLiteral("Artist"));
    QStringList held;
    held.reserve(HeldRows);
    for (int i = 0; i < HeldRows; ++i)
        held << QStringLiteral("/srv/Archive/Album %1/Some Artist - Song Title %2.mp3").arg(i / 12).arg(i);

    DataFolder = ComputeDataFolder();
    frmOptions = new TfrmOptions();
    frmMain = new TfrmMain();
    TfrmMain& w = *frmMain;
    w.show();
    QCoreApplication::processEvents();

    QStringList answer;
    SetOpenFilesHandler([&answer](QWidget*) { return answer; });

    int collections = 0;
    // A new, empty collection is shown (the one shown before is written if changed).
    auto newCollection = [&] {
        TNode* node = Tree->CreateNode(Tree->GenerateUniqueNodeID(), ntCollection);
        auto* item = static_cast<QTreeWidgetItem*>(
            w.TreeView().AddNode(nullptr, QStringLiteral("Bench %1").arg(++collections), node));
        w.tvwCategories->setCurrentItem(item);
    };
    auto fillHeld = [&] {
        TItemGrid& g = *w.grdTable;
        g.BeginUpdate();
        g.AddRow(HeldRows);
        for (int i = 0; i < HeldRows; ++i)
            g.SetCells(colPathIndex, i, held.at(i));
        g.EndUpdate();
        QCoreApplication::processEvents();
    };
    auto import = [&] {
        answer = files;
        w.mnuImportFiles->trigger();
        if (w.grdTable->RowCount() % FileCount != 0 || !w.StatusBar->PanelText(0).startsWith(QStringLiteral("1000 ")))
            qFatal("import did not add every file: %s", qPrintable(w.StatusBar->PanelText(0)));
    };

    std::printf("bench_import: %d files, %d rows held, best of %d runs (the containment floor: 1 run)\n",
                FileCount, HeldRows, Runs);
    const int interval = TfrmMain::ImportEventInterval();
    // For profiling: only the import into empty collections, this many times.
    if (const int loops = qEnvironmentVariableIntValue("SORTELLE_BENCH_IMPORT_LOOPS"); loops > 0) {
        std::printf("import into an empty collection x%d: %.2f ms\n", loops,
                    BestMs(1, {}, [&] { for (int i = 0; i < loops; ++i) { newCollection(); import(); } }));
        return 0;
    }

    // 1. Into an empty collection.
    std::vector<TPlainRow> rows;
    const double floorImport = BestMs(
        Runs, [&] { rows.clear(); rows.shrink_to_fit(); }, [&] { StatAndAppend(files, rows); });
    const double importEmpty = BestMs(Runs, newCollection, import);
    PrintRatio("import into an empty collection", importEmpty, floorImport, "stat + vector append", 3);
    // The same with pending events processed (and the window repainted) after every file.
    TfrmMain::SetImportEventInterval(0);
    const double importEmptyEvery = BestMs(Runs, newCollection, import);
    TfrmMain::SetImportEventInterval(interval);
    PrintRatio("  ... with events after every file", importEmptyEvery, floorImport, "stat + vector append", 3);

    // 2. Into a collection of 100,000 rows.
    int found = 0;
    const double floorDuplicates = BestMs(1, {}, [&] { found = ContainmentLoop(held, files); });
    if (found != 0)
        qFatal("the generated paths must not be duplicates");
    const double importHeld = BestMs(
        Runs, [&] { newCollection(); fillHeld(); }, import);
    PrintRatio("import into 100,000 rows", importHeld, floorImport + floorDuplicates,
               "stat + vector + containment loop", 3);

    // 3. The duplicate test alone, on a grid of the 100,000 rows.
    newCollection();
    fillHeld();
    int gridFound = 0;
    const double findText = BestMs(Runs, {}, [&] {
        gridFound = 0;
        for (const QString& path : files)
            gridFound += w.grdTable->FindText(colPathIndex, path, soCaseInsensitive) ? 1 : 0;
    });
    if (gridFound != 0)
        qFatal("unexpected duplicates");
    PrintRatio("duplicate test (FindText, 100,000 rows)", findText, floorDuplicates, "case-insensitive containment", 2);
    // "Delete Selected Rows" on the 100,000 rows: every tenth row, and all of them.
    auto selectEvery = [&](int step) {
        newCollection();
        fillHeld();
        for (int i = 0; i < HeldRows; i += step)
            w.grdTable->SetRowSelected(i, true);
    };
    const double deleteTenth = BestMs(1, [&] { selectEvery(10); }, [&] { w.mnuDeleteSelectedRows->trigger(); });
    const double deleteAll = BestMs(1, [&] { selectEvery(1); }, [&] { w.mnuDeleteSelectedRows->trigger(); });
    std::printf("%-40s %9.2f ms (every tenth row), %.2f ms (all rows)\n", "Delete Selected Rows, 100,000 rows",
                deleteTenth, deleteAll);
    std::printf("events processed at most every %d ms during an import; after every file they cost %.2f ms "
                "of %.2f ms (%.0f %%), nearly all of it repainting the grid\n",
                interval, importEmptyEvery - importEmpty, importEmptyEvery,
                100.0 * (importEmptyEvery - importEmpty) / importEmptyEvery);

    delete frmMain;
    frmMain = nullptr;
    delete frmOptions;
    frmOptions = nullptr;
    return 0;
}
