// A crash in the middle of a write: a child process writes a large table file,
// or a large window-state file, over and over and is killed with SIGKILL at
// random moments. The file on disk must always be the complete old or the
// complete new content, and load.
#include "common/TestMain.h"

#include "settings/uWindowStateStorage.h"
#include "ui/grid/uItemGrid.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

namespace {
constexpr int Rows = 100000;

// The table, with every name marked `mark`.
void FillGrid(TItemGrid& grid, const QString& mark) {
    grid.BeginUpdate();
    grid.AddRow(Rows);
    for (int r = 0; r < Rows; ++r) {
        grid.SetCells(colPathIndex, r, QStringLiteral("/home/user/Music/Album %1/Track %2.mp3").arg(r / 10).arg(r));
        grid.SetCells(colNameIndex, r, QStringLiteral("%1 track %2").arg(mark).arg(r));
        grid.SetCells(colTypeIndex, r, QStringLiteral("9"));
        grid.SetCells(colSizeIndex, r, QStringLiteral("3.4"));
    }
    grid.EndUpdate();
}

// A window-state file of many lines (another program's section passed through).
QByteArray BigIni() {
    QByteArray text = "[frmMain]\r\nFormVersion=0\r\n\r\n[Other]\r\n";
    for (int i = 0; i < 40000; ++i)
        text += "Key" + QByteArray::number(i) + "=a value that is kept as it stands " + QByteArray::number(i) + "\r\n";
    return text;
}

// The two documents the ini writer alternates between: the window's state at
// two sizes.
struct TIniWriters {
    QWidget a, b;
    TWindowStateStorage sa{&a, QStringLiteral("frmMain"), true, TFirstShowRule::PlatformDefault};
    TWindowStateStorage sb{&b, QStringLiteral("frmMain"), true, TFirstShowRule::PlatformDefault};
    explicit TIniWriters(const QString& source) {
        a.resize(500, 300);
        b.resize(640, 480);
        for (auto [w, s] : {std::pair{&a, &sa}, std::pair{&b, &sb}}) {
            s->SetFileName(source);
            s->RestoreState();
            w->resize(w == &a ? 500 : 640, w == &a ? 300 : 480);
            s->SaveState();
        }
    }
};

int RunTableWriter(const QString& path) {
    TItemGrid a, b;
    FillGrid(a, QStringLiteral("old"));
    FillGrid(b, QStringLiteral("new"));
    for (unsigned i = 0;; ++i)
        (i % 2 ? b : a).SaveToTextFile(path, u',', u'|', ekUnicode);
}

// The storages read the file they write, as at every start of the program:
// whichever complete version they find, they make the same two documents.
int RunIniWriter(const QString& path) {
    TIniWriters writers(path);
    for (unsigned i = 0;; ++i)
        (i % 2 ? writers.sb : writers.sa).WriteStateFile();
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestCrashSafety : public QObject {
    Q_OBJECT
public:
    QString fSelf;

private:
    // Kills `args` 50 times at random moments; `check` judges the file each time.
    void KillRepeatedly(const QStringList& args, const QString& path, int minMs, int maxMs,
                        const std::function<int(const QByteArray&)>& which) {
        auto* rng = QRandomGenerator::global();
        int seen[2] = {0, 0};
        for (int round = 0; round < 50; ++round) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(fSelf, args);
            QVERIFY(child.waitForStarted());
            QThread::msleep(rng->bounded(minMs, maxMs));
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished());
            if (!QFile::exists(path))
                continue;
            const int kind = which(ReadAll(path));
            QVERIFY2(kind >= 0, qPrintable(QStringLiteral("round %1: the file is neither the old nor the new content").arg(round)));
            ++seen[kind];
        }
        qInfo("complete old content %d times, complete new content %d times", seen[0], seen[1]);
        QVERIFY(seen[0] + seen[1] > 20);
    }

private Q_SLOTS:
    void killedTableWriter() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("table7.txt"));
        QByteArray contents[2];
        {
            TItemGrid a, b;
            FillGrid(a, QStringLiteral("old"));
            FillGrid(b, QStringLiteral("new"));
            a.SaveToTextFile(dir.filePath(QStringLiteral("a")), u',', u'|', ekUnicode);
            b.SaveToTextFile(dir.filePath(QStringLiteral("b")), u',', u'|', ekUnicode);
            contents[0] = ReadAll(dir.filePath(QStringLiteral("a")));
            contents[1] = ReadAll(dir.filePath(QStringLiteral("b")));
        }
        QVERIFY(contents[0].size() > 5000000);
        KillRepeatedly({QStringLiteral("--table"), path}, path, 400, 2500, [&](const QByteArray& bytes) {
            for (int k : {0, 1})
                if (bytes == contents[k]) {
                    TItemGrid grid;
                    grid.LoadFromTextFile(path, u',', u'|', 0);
                    return grid.RowCount() == Rows ? k : -1;
                }
            return -1;
        });
    }

    void killedStateFileWriter() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("frmMain.ini"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(BigIni());
        }
        QByteArray contents[2];
        {
            TIniWriters writers(path);
            contents[0] = writers.sa.DocumentText().toUtf8();
            contents[1] = writers.sb.DocumentText().toUtf8();
        }
        QVERIFY(contents[0] != contents[1]);
        QVERIFY(contents[0].size() > 1000000);
        KillRepeatedly({QStringLiteral("--ini"), path}, path, 150, 900, [&](const QByteArray& bytes) {
            for (int k : {0, 1})
                if (bytes == contents[k]) {
                    QWidget w;
                    TWindowStateStorage s(&w, QStringLiteral("frmMain"), true, TFirstShowRule::PlatformDefault);
                    s.SetFileName(path);
                    return s.DocumentText().toUtf8() == bytes ? k : -1;
                }
            return -1;
        });
    }
};

int main(int argc, char** argv) {
    const bool table = argc == 3 && qstrcmp(argv[1], "--table") == 0;
    const bool ini = argc == 3 && qstrcmp(argv[1], "--ini") == 0;
    sortelle_test::PrepareEnvironment();
    QApplication app(argc, argv);
    if (table)
        return RunTableWriter(QString::fromLocal8Bit(argv[2]));
    if (ini)
        return RunIniWriter(QString::fromLocal8Bit(argv[2]));
    TestCrashSafety tc;
    tc.fSelf = QCoreApplication::applicationFilePath();
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_crashsafety.moc"
