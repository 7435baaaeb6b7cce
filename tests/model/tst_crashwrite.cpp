// A crash in the middle of writing the categories file: a child process writes
// a large tree over and over and is killed at random moments. The file on disk
// must always be the complete old or the complete new content, and load.
#include "common/MemoryTreeView.h"
#include "common/TestMain.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

namespace {
// A tree of `count` nodes, five levels deep, captions marked with `mark`.
void BuildTree(TTree& tree, TMemoryTreeView& view, int count, const QString& mark) {
    QList<ITreeView::Handle> parents{nullptr};
    for (int i = 0; i < count; ++i) {
        ITreeView::Handle parent = parents.at(int(i % parents.size()));
        const TNodeType type = i % 7 == 6 ? ntCollection : (parent ? ntSubCategory : ntCategory);
        auto h = view.AddNode(parent, QStringLiteral("%1 node %2 with a longer caption & <marks>").arg(mark).arg(i),
                              tree.CreateNode(i, type));
        if (type != ntCollection && parents.size() < 200)
            parents.append(h);
    }
}

QByteArray TreeBytes(const QString& mark) {
    TTree tree;
    TMemoryTreeView view;
    BuildTree(tree, view, 20000, mark);
    return tree.SaveToBytes(view);
}

int RunWriter(const QString& path) {
    TTree a, b;
    TMemoryTreeView va, vb;
    BuildTree(a, va, 20000, QStringLiteral("old"));
    BuildTree(b, vb, 20000, QStringLiteral("new"));
    for (unsigned i = 0;; ++i)
        (i % 2 ? b : a).Save(i % 2 ? vb : va, path);
}
} // namespace

class TestCrashWrite : public QObject {
    Q_OBJECT
public:
    QString fSelf;

private Q_SLOTS:
    void killedWriterNeverLeavesHalfAFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("categories.xml"));
        const QByteArray oldBytes = TreeBytes(QStringLiteral("old"));
        const QByteArray newBytes = TreeBytes(QStringLiteral("new"));
        QVERIFY(oldBytes.size() > 1000000);
        auto* rng = QRandomGenerator::global();
        int sawOld = 0, sawNew = 0;
        for (int round = 0; round < 50; ++round) {
            QProcess child;
            child.start(fSelf, {QStringLiteral("--writer"), path});
            QVERIFY(child.waitForStarted());
            QThread::msleep(rng->bounded(150, 900));
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished());
            QFile file(path);
            if (!file.exists())
                continue; // killed before the first write completed
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray onDisk = file.readAll();
            QVERIFY2(onDisk == oldBytes || onDisk == newBytes,
                     qPrintable(QStringLiteral("round %1: %2 bytes on disk").arg(round).arg(onDisk.size())));
            (onDisk == oldBytes ? sawOld : sawNew)++;
            TTree tree;
            TMemoryTreeView view;
            tree.LoadFromBytes(view, onDisk);
            QCOMPARE(tree.Nodes().size(), 20000);
        }
        qInfo("complete old content %d times, complete new content %d times", sawOld, sawNew);
        QVERIFY(sawOld + sawNew > 25);
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--writer") == 0)
        return RunWriter(QString::fromLocal8Bit(argv[2]));
    sortelle_test::PrepareEnvironment();
    QApplication app(argc, argv);
    TestCrashWrite tc;
    tc.fSelf = QCoreApplication::applicationFilePath();
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_crashwrite.moc"
