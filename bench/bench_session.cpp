// The whole program at scale: start-up with a 5,000-node tree, selecting a
// collection of 100,000 rows, closing with that tree and the changed table,
// and the session's peak memory; each against its floor, in one run.
#include "app/uApplication.h"
#include "app/uProgram.h"
#include "platform/DataFolder.h"
#include "platform/SafeFile.h"
#include "ui/grid/uItemGrid.h"
#include "ui/main/uMain.h"
#include "ui/main/uTreeViewAdapter.h"

#include "../tests/common/MemoryTreeView.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWindow>

#include <algorithm>
#include <cstdio>

namespace {
constexpr int TreeNodes = 5000;
constexpr int TableRows = 100000;
constexpr int BigID = 100000; // the collection holding the big table

long PeakKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

void WaitShown(QWidget* w) {
    while (!(w->windowHandle() && w->windowHandle()->isExposed()))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
}

// 5,000 nodes at most 10 levels deep; collection 0 is the big one.
QByteArray MakeTree() {
    TTree tree;
    TMemoryTreeView view;
    QList<QPair<ITreeView::Handle, int>> open; // containers with their depth
    int id = 0;
    view.AddNode(nullptr, QStringLiteral("Music"), tree.CreateNode(id++, ntCategory));
    auto first = view.Child(nullptr, 0);
    view.AddNode(first, QStringLiteral("Everything"), tree.CreateNode(BigID, ntCollection));
    open.append({first, 1});
    while (id < TreeNodes) {
        const auto [parent, depth] = open.at(id % open.size());
        const bool container = depth < 10 && id % 3 != 0;
        const TNodeType type = container ? ntSubCategory : ntCollection;
        auto h = view.AddNode(parent, QStringLiteral("Node %1").arg(id), tree.CreateNode(id, type));
        if (container)
            open.append({h, depth + 1});
        ++id;
        if (id % 100 == 0) {
            auto top = view.AddNode(nullptr, QStringLiteral("Category %1").arg(id), tree.CreateNode(id, ntCategory));
            ++id;
            open.append({top, 1});
        }
    }
    return tree.SaveToBytes(view);
}

void MakeTable(const QString& path) {
    TItemGrid grid;
    grid.BeginUpdate();
    grid.AddRow(TableRows);
    for (int r = 0; r < TableRows; ++r) {
        const QString name = QStringLiteral("Track %1 - Some Artist - A Longer Song Title").arg(r);
        grid.SetCells(colPathIndex, r, QStringLiteral("/home/user/Music/Library/Album %1/%2.mp3").arg(r / 12).arg(name));
        grid.SetCells(colCurrentPositionIndex, r, QString::number(r % 300));
        grid.SetCells(colNameIndex, r, name);
        grid.SetCells(colTypeIndex, r, QStringLiteral("9"));
        grid.SetCells(colProgressIndex, r, QString::number(r % 101));
        grid.SetCells(colExtensionIndex, r, QStringLiteral("mp3"));
        grid.Cell(colAddedIndex, r).SetAsDateTime(41756 + r % 3000);
        grid.SetCells(colDurationIndex, r, QString());
        grid.SetCells(colSizeIndex, r, QStringLiteral("%1.%2").arg(r % 12).arg(r % 10));
    }
    grid.EndUpdate();
    grid.SaveToTextFile(path, u',', u'|', ekUnicode);
}

double MedianStartMs(const QString& self, const QString& mode) {
    QList<double> runs;
    for (int i = 0; i < 5; ++i) {
        QProcess child;
        QElapsedTimer t;
        t.start();
        child.start(self, {mode});
        child.waitForStarted();
        while (!child.readAllStandardOutput().contains("shown") && child.state() != QProcess::NotRunning)
            child.waitForReadyRead(2000);
        runs.append(double(t.nsecsElapsed()) / 1e6);
        child.waitForFinished(60000);
    }
    std::sort(runs.begin(), runs.end());
    return runs.at(runs.size() / 2);
}

void Print(const char* what, double ms, double floorMs) {
    std::printf("%-52s %9.1f ms  floor %9.1f ms  ratio %5.2f\n", what, ms, floorMs, ms / floorMs);
}
} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && qstrcmp(argv[1], "--bare") == 0) {
        QApplication app(argc, argv);
        QMainWindow window;
        window.resize(787, 446);
        window.show();
        WaitShown(&window);
        std::printf("shown\n");
        std::fflush(stdout);
        return 0;
    }
    if (argc == 3 && qstrcmp(argv[1], "--make") == 0) {
        // The fixture is made in a process of its own so it does not count in
        // the session's peak memory.
        QApplication app(argc, argv);
        const QString folder = QString::fromLocal8Bit(argv[2]);
        WriteWholeFile(folder + QStringLiteral("/categories.xml"), MakeTree());
        MakeTable(folder + QStringLiteral("/table%1.txt").arg(BigID));
        return 0;
    }
    if (argc == 3 && qstrcmp(argv[1], "--read-floor") == 0) {
        QElapsedTimer t;
        t.start();
        QFile f(QString::fromLocal8Bit(argv[2]));
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                                                (bytes.size() - 2) / 2);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        std::printf("%f %lld\n", ms, static_cast<long long>(text.size() * 2));
        return 0;
    }
    if (argc == 2 && qstrcmp(argv[1], "--app") == 0) {
        TApplication app(argc, argv);
        CreateWindows();
        frmMain->show();
        WaitShown(frmMain);
        std::printf("shown\n");
        std::fflush(stdout);
        DestroyWindows();
        return 0;
    }

    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/.config")));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    const QString folder = home.path() + QStringLiteral("/Documents/quendrix/Sortelle/Options");
    const QString tableFile = folder + QStringLiteral("/table%1.txt").arg(BigID);
    const QString self = QCoreApplication::applicationFilePath();
    if (QProcess::execute(self, {QStringLiteral("--make"), folder}) != 0)
        return 1;

    std::printf("tree of %d nodes, table of %d rows (%lld bytes)\n", TreeNodes, TableRows,
                QFileInfo(tableFile).size());
    const double bare = MedianStartMs(self, QStringLiteral("--bare"));
    const double start = MedianStartMs(self, QStringLiteral("--app"));
    Print("start-up to main window shown (median of 5)", start, bare);

    const long baseKiB = PeakKiB();
    CreateWindows();
    frmMain->show();
    WaitShown(frmMain);
    const long shownKiB = PeakKiB();

    // Read floor: the file's bytes decoded to text, timed in a process of its
    // own so that its buffers do not count in the session's peak memory.
    double readFloor = 0;
    qsizetype decodedBytes = 0;
    {
        QProcess child;
        child.start(self, {QStringLiteral("--read-floor"), tableFile});
        child.waitForFinished(60000);
        const QList<QByteArray> out = child.readAllStandardOutput().trimmed().split(' ');
        readFloor = out.value(0).toDouble();
        decodedBytes = out.value(1).toLongLong();
    }
    QElapsedTimer t;

    QTreeWidgetItem* big = frmMain->tvwCategories->topLevelItem(0)->child(0);
    t.start();
    frmMain->tvwCategories->setCurrentItem(big);
    QCoreApplication::processEvents();
    const double select = double(t.nsecsElapsed()) / 1e6;
    Print("select the 100,000-row collection (load + show)", select, readFloor);
    if (frmMain->grdTable->RowCount() != TableRows)
        std::printf("  !! %d rows shown\n", frmMain->grdTable->RowCount());

    const long selectedKiB = PeakKiB();
    CurrentTable->SetIsChanged(true);
    t.restart();
    frmMain->close();
    const double close = double(t.nsecsElapsed()) / 1e6;
    const long peakKiB = PeakKiB();

    // Write floor: the bytes the close wrote, written whole over files that
    // are there, as the close replaces the collection's and the tree's files;
    // and, for comparison, into new files.
    QByteArray tableBytes, treeBytes;
    {
        QFile f(tableFile);
        f.open(QIODevice::ReadOnly);
        tableBytes = f.readAll();
        QFile g(folder + QStringLiteral("/categories.xml"));
        g.open(QIODevice::ReadOnly);
        treeBytes = g.readAll();
    }
    const QString floorTable = home.path() + QStringLiteral("/floor/table.txt");
    const QString floorTree = home.path() + QStringLiteral("/floor/categories.xml");
    WriteWholeFile(floorTable, tableBytes);
    WriteWholeFile(floorTree, treeBytes);
    t.restart();
    WriteWholeFile(floorTable, tableBytes);
    WriteWholeFile(floorTree, treeBytes);
    const double writeFloor = double(t.nsecsElapsed()) / 1e6;
    t.restart();
    WriteWholeFile(floorTable + QStringLiteral(".new"), tableBytes);
    WriteWholeFile(floorTree + QStringLiteral(".new"), treeBytes);
    const double newFileFloor = double(t.nsecsElapsed()) / 1e6;
    Print("close with the tree and the changed table", close, writeFloor);
    Print("  (floor: the same bytes into new files)", close, newFileFloor);

    std::printf("%-52s %9.1f MiB  decoded text %6.1f MiB  ratio %5.2f\n", "peak memory of the session",
                peakKiB / 1024.0, decodedBytes / 1048576.0, peakKiB * 1024.0 / double(decodedBytes));
    std::printf("%-52s %9.1f MiB  decoded text %6.1f MiB  ratio %5.2f\n",
                "  of which grown after start-up", (peakKiB - baseKiB) / 1024.0, decodedBytes / 1048576.0,
                (peakKiB - baseKiB) * 1024.0 / double(decodedBytes));
    std::printf("  peak after: windows made and shown %.1f MiB, collection selected %.1f MiB, closed %.1f MiB\n",
                (shownKiB - baseKiB) / 1024.0, (selectedKiB - baseKiB) / 1024.0, (peakKiB - baseKiB) / 1024.0);
    DestroyWindows();
    return 0;
}
