// Start-up and shutdown of the whole program: the windows, the data folder,
// the categories file at start and at close.
#include "common/TestMain.h"

#include "app/uProgram.h"
#include "platform/DataFolder.h"
#include "platform/ErrorReport.h"
#include "platform/SafeFile.h"
#include "player/uPlayer.h"
#include "settings/uOptions.h"
#include "ui/about/uAbout.h"
#include "ui/grid/uItemGrid.h"
#include "ui/main/uMain.h"
#include "ui/main/uTreeViewAdapter.h"

#include <QDir>
#include <QFile>
#include <QTreeWidget>

#include <csignal>

class TestStartup : public QObject {
    Q_OBJECT

    QStringList fReports;
    QString Folder() const {
        return sortelle_test::HomeDir() + QStringLiteral("/Documents/quendrix/Sortelle/Options");
    }
    QString File(const QString& name) const { return Folder() + u'/' + name; }
    static QByteArray ReadAll(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static void WriteAll(const QString& path, const QByteArray& data) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    void Start() {
        CreateWindows();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
    }
    // Closes the main window the way the user does; true when it closed.
    bool CloseMain() {
        frmMain->close();
        QCoreApplication::processEvents();
        return !frmMain->isVisible();
    }
    QStringList TopCaptions() const {
        QStringList captions;
        for (int i = 0; i < frmMain->tvwCategories->topLevelItemCount(); ++i)
            captions << frmMain->tvwCategories->topLevelItem(i)->text(0);
        return captions;
    }

private Q_SLOTS:
    void initTestCase() {
        SetErrorReportHandler([this](const QString& message) {
            fReports << message;
            return TErrorChoice::Continue;
        });
    }
    void init() {
        fReports.clear();
        SetWriteFaultHook({});
        QDir(sortelle_test::HomeDir() + QStringLiteral("/Documents")).removeRecursively();
    }
    void cleanup() {
        SetWriteFaultHook({});
        if (frmMain)
            DestroyWindows();
    }

    void firstRunWithoutDataFolder() {
        Start();
        QCOMPARE(DataFolder, Folder());
        QVERIFY(frmMain && frmOptions && frmPlayer && frmAbout);
        QCOMPARE(frmMain->windowTitle(), QStringLiteral("Quendrix Sortelle"));
        QCOMPARE(frmMain->tvwCategories->topLevelItemCount(), 0);
        QCOMPARE(frmMain->grdTable->RowCount(), 0);
        QVERIFY(Tree && CurrentTable);
        QCOMPARE(CurrentTable->ID(), -1);
        QVERIFY(fReports.isEmpty());

        // A category made in the first run survives its close.
        const int id = Tree->GenerateUniqueNodeID();
        frmMain->TreeView().AddNode(nullptr, QStringLiteral("Films"), Tree->CreateNode(id, ntCategory));
        QVERIFY(CloseMain());
        QVERIFY(!Tree && !CurrentTable);
        QVERIFY(ReadAll(File(QStringLiteral("categories.xml"))).contains("text=\"Films\""));

        QStringList destroyed;
        for (QWidget* w : {static_cast<QWidget*>(frmMain), static_cast<QWidget*>(frmOptions),
                           static_cast<QWidget*>(frmPlayer), static_cast<QWidget*>(frmAbout)})
            connect(w, &QObject::destroyed, this, [&destroyed, name = w->objectName()] { destroyed << name; });
        DestroyWindows();
        QCOMPARE(destroyed, (QStringList{QStringLiteral("frmAbout"), QStringLiteral("frmPlayer"),
                                         QStringLiteral("frmOptions"), QStringLiteral("frmMain")}));
        QVERIFY(DataFolder.isEmpty());
        QVERIFY(fReports.isEmpty());
    }

    void indentedFileIsShownAndRewrittenCompact() {
        WriteAll(File(QStringLiteral("categories.xml")),
                 "<?xml version=\"1.0\"?>\n<xml>\n  <item text=\"Zoo\" NodeID=\"4\" NodeType=\"0\">\n"
                 "    <item text=\"Cats\" NodeID=\"0\" NodeType=\"2\"/>\n  </item>\n"
                 "  <item text=\"Art\" NodeID=\"2\" NodeType=\"0\"/>\n</xml>\n");
        Start();
        QCOMPARE(TopCaptions(), (QStringList{QStringLiteral("Zoo"), QStringLiteral("Art")}));
        QCOMPARE(Tree->GenerateUniqueNodeID(), 1);
        QVERIFY(CloseMain());
        QCOMPARE(ReadAll(File(QStringLiteral("categories.xml"))),
                 QByteArray("<xml><item text=\"Zoo\" NodeID=\"4\" NodeType=\"0\"><item text=\"Cats\" NodeID=\"0\" "
                            "NodeType=\"2\"/></item><item text=\"Art\" NodeID=\"2\" NodeType=\"0\"/></xml>"));
    }

    void malformedFileIsKeptAndReportedOnce() {
        const QByteArray broken = "<xml><item text=\"A\" NodeID=\"0\" NodeType=\"0\"><item text=";
        WriteAll(File(QStringLiteral("categories.xml")), broken);
        Start();
        QCOMPARE(fReports.size(), 1);
        QVERIFY(fReports.at(0).contains(QStringLiteral("Line: 1")));
        QVERIFY(fReports.at(0).contains(QStringLiteral("categories.xml.bak")));
        QCOMPARE(frmMain->tvwCategories->topLevelItemCount(), 0);
        QCOMPARE(ReadAll(File(QStringLiteral("categories.xml.bak"))), broken);
        // Start-up went on: the other windows exist and the tree works.
        QVERIFY(frmOptions && frmPlayer && frmAbout && CurrentTable);
        QVERIFY(CloseMain());
        // The empty tree deletes the file; the kept copy stays.
        QVERIFY(!QFile::exists(File(QStringLiteral("categories.xml"))));
        QCOMPARE(ReadAll(File(QStringLiteral("categories.xml.bak"))), broken);
    }

    void partlyReadFileKeepsWhatWasRead() {
        WriteAll(File(QStringLiteral("categories.xml")),
                 "<xml><item text=\"A\" NodeID=\"0\" NodeType=\"0\"/><item text=\"B\" NodeID=\"0\" NodeType=\"0\"/></xml>");
        Start();
        QCOMPARE(fReports.size(), 1);
        QVERIFY(fReports.at(0).startsWith(QStringLiteral("Duplicates not allowed")));
        QCOMPARE(TopCaptions(), QStringList{QStringLiteral("A")});
        QVERIFY(QFile::exists(File(QStringLiteral("categories.xml.bak"))));
    }

    void failedCloseKeepsWindowOpenAndCanBeRetried() {
        Start();
        frmMain->TreeView().AddNode(nullptr, QStringLiteral("Keep me"), Tree->CreateNode(0, ntCategory));
        QStringList writes;
        SetWriteFaultHook([&writes](const QString& path, qint64) {
            writes << QFileInfo(path).fileName();
            return QStringLiteral("No space left on device");
        });
        QVERIFY(!CloseMain());
        QVERIFY(frmMain->isVisible());
        QCOMPARE(fReports.size(), 1);
        QVERIFY(fReports.at(0).contains(QStringLiteral("No space left on device")));
        QVERIFY(Tree && CurrentTable);
        SetWriteFaultHook({});
        QVERIFY(CloseMain());
        QVERIFY(ReadAll(File(QStringLiteral("categories.xml"))).contains("Keep me"));
    }

    void changedTableIsWrittenBeforeTheTree() {
        Start();
        QTreeWidgetItem* item = static_cast<QTreeWidgetItem*>(
            frmMain->TreeView().AddNode(nullptr, QStringLiteral("C"), Tree->CreateNode(0, ntCollection)));
        frmMain->tvwCategories->setCurrentItem(item);
        QCOMPARE(CurrentTable->ID(), 0);
        frmMain->grdTable->AddRow(1);
        frmMain->grdTable->SetCells(colPathIndex, 0, QStringLiteral("/music/a.mp3"));
        CurrentTable->SetIsChanged(true);
        QStringList writes;
        SetWriteFaultHook([&writes](const QString& path, qint64) {
            writes << QFileInfo(path).fileName();
            return QString();
        });
        QVERIFY(CloseMain());
        QCOMPARE(writes.mid(0, 2), (QStringList{QStringLiteral("table0.txt"), QStringLiteral("categories.xml")}));
    }

    void sigtermClosesThroughTheNormalPath() {
        InstallSessionEndHandlers();
        Start();
        frmMain->TreeView().AddNode(nullptr, QStringLiteral("Saved at logout"), Tree->CreateNode(0, ntCategory));
        ::raise(SIGTERM);
        QTRY_VERIFY(!frmMain->isVisible());
        QVERIFY(ReadAll(File(QStringLiteral("categories.xml"))).contains("Saved at logout"));
    }
};

SORTELLE_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
