// Faults the program survives: a data folder that cannot be created and a
// full disk, for every file it writes. Each failure is reported to the user
// and nothing in memory is lost; once the fault is gone everything is written.
// (Tests run as root, so faults are made with files in the way and the write
// seam, not with permission bits.)
#include "common/TestMain.h"

#include "app/uProgram.h"
#include "platform/DataFolder.h"
#include "platform/ErrorReport.h"
#include "platform/SafeFile.h"
#include "player/uMediaPlayer.h"
#include "settings/uOptions.h"
#include "ui/grid/uItemGrid.h"
#include "ui/main/uMain.h"
#include "ui/main/uTreeViewAdapter.h"

#include <QLineEdit>
#include <QTreeWidget>

class TestFaults : public QObject {
    Q_OBJECT

    QStringList fReports;
    QString Documents() const { return sortelle_test::HomeDir() + QStringLiteral("/Documents"); }
    QString Folder() const { return Documents() + QStringLiteral("/quendrix/Sortelle/Options"); }
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
    QString MakeFile(const QString& name) {
        const QString path = sortelle_test::HomeDir() + QStringLiteral("/files/") + name;
        WriteAll(path, "some content");
        return path;
    }
    QTreeWidgetItem* Add(QTreeWidgetItem* parent, const QString& caption, TNodeType type) {
        return static_cast<QTreeWidgetItem*>(
            frmMain->TreeView().AddNode(parent, caption, Tree->CreateNode(Tree->GenerateUniqueNodeID(), type)));
    }
    // The user's session: two collections, files imported into the first, the
    // Audio list changed; then a switch to the second collection.
    void WorkThenSwitch(QTreeWidgetItem*& first, QTreeWidgetItem*& second) {
        QTreeWidgetItem* music = Add(nullptr, QStringLiteral("Music"), ntCategory);
        first = Add(music, QStringLiteral("First"), ntCollection);
        second = Add(music, QStringLiteral("Second"), ntCollection);
        frmMain->tvwCategories->setCurrentItem(first);
        QVERIFY(frmMain->ImportFiles({MakeFile(QStringLiteral("a.mp3")), MakeFile(QStringLiteral("b.pdf"))}));
        QCOMPARE(frmMain->grdTable->RowCount(), 2);
        frmOptions->show();
        frmOptions->edtAudio->setText(QStringLiteral("mp3, flac"));
        frmOptions->close();
        frmMain->tvwCategories->setCurrentItem(second);
    }
    void Block() {
        // A regular file stands where the data folder's parent should be.
        QDir(Documents()).removeRecursively();
        WriteAll(Documents() + QStringLiteral("/quendrix"), "not a folder");
    }
    void Unblock() { QFile::remove(Documents() + QStringLiteral("/quendrix")); }
    void CheckNothingLostThenRecover(QTreeWidgetItem* first) {
        // The switch was refused: the first collection is still shown, changed.
        QCOMPARE(frmMain->tvwCategories->currentItem(), first);
        QCOMPARE(CurrentTable->ID(), NodeOfItem(first)->ID());
        QVERIFY(CurrentTable->IsChanged());
        QCOMPARE(frmMain->grdTable->RowCount(), 2);
        QCOMPARE(fReports.size(), 1);

        // Closing reports the failure and keeps the window open.
        frmMain->close();
        QCoreApplication::processEvents();
        QVERIFY(frmMain->isVisible());
        QCOMPARE(fReports.size(), 2);
        QVERIFY(Tree && CurrentTable);
        QCOMPARE(frmMain->grdTable->RowCount(), 2);
    }

private Q_SLOTS:
    void initTestCase() {
        TMediaPlayerOptions options;
        options.Video = TMediaPlayerOptions::TVideo::None;
        options.Audio = TMediaPlayerOptions::TAudio::None;
        TMediaPlayer::SetDefaultOptions(options);
        SetErrorReportHandler([this](const QString& message) {
            fReports << message;
            return TErrorChoice::Continue;
        });
        TfrmMain::SetImportEventInterval(0);
    }
    void init() {
        fReports.clear();
        SetWriteFaultHook({});
        Unblock();
        QDir(Documents()).removeRecursively();
    }
    void cleanup() {
        SetWriteFaultHook({});
        Unblock();
        if (frmMain)
            DestroyWindows();
    }

    void dataFolderCannotBeCreated() {
        Block();
        CreateWindows();
        frmMain->show();
        QVERIFY(fReports.isEmpty()); // nothing to read yet, nothing to report
        QTreeWidgetItem *first = nullptr, *second = nullptr;
        WorkThenSwitch(first, second);
        QVERIFY(fReports.value(0).contains(QStringLiteral("table")));
        CheckNothingLostThenRecover(first);

        // The window-state files cannot be written at exit either: reported.
        Unblock();
        frmMain->close();
        QCoreApplication::processEvents();
        QVERIFY(!frmMain->isVisible());
        Block();
        fReports.clear();
        DestroyWindows();
        QCOMPARE(fReports.size(), 3); // frmPlayer.ini, frmOptions.ini, frmMain.ini
        for (const QString& report : std::as_const(fReports))
            QVERIFY2(report.contains(QStringLiteral(".ini")), qPrintable(report));
    }

    void fullDisk() {
        CreateWindows();
        frmMain->show();
        SetWriteFaultHook([](const QString&, qint64) { return QStringLiteral("No space left on device"); });
        QTreeWidgetItem *first = nullptr, *second = nullptr;
        WorkThenSwitch(first, second);
        QVERIFY(fReports.value(0).contains(QStringLiteral("No space left on device")));
        CheckNothingLostThenRecover(first);
        const QString firstTable = TCurrentTable::TableFileName(NodeOfItem(first)->ID());
        QVERIFY(!QFile::exists(Folder() + QStringLiteral("/categories.xml")));

        // Space again: the close writes everything the user did.
        SetWriteFaultHook({});
        frmMain->close();
        QCoreApplication::processEvents();
        QVERIFY(!frmMain->isVisible());
        DestroyWindows();
        QCOMPARE(fReports.size(), 2);
        QVERIFY(ReadAll(Folder() + QStringLiteral("/categories.xml")).contains("text=\"Second\""));
        const QByteArray table = ReadAll(firstTable);
        QVERIFY(table.startsWith("\xFF\xFE"));
        QVERIFY(QString::fromUtf16(reinterpret_cast<const char16_t*>(table.constData() + 2), (table.size() - 2) / 2)
                    .contains(QStringLiteral("a.mp3")));
        QVERIFY(ReadAll(Folder() + QStringLiteral("/frmOptions.ini")).contains("edtAudio_Text=mp3, flac"));
    }

    void fullDiskAtExitKeepsTheOldStateFiles() {
        // A first run writes the state files; at the end of a second run the
        // disk is full: the old files stay whole and the user is told.
        CreateWindows();
        frmMain->show();
        frmMain->close();
        QCoreApplication::processEvents();
        DestroyWindows();
        const QByteArray oldMain = ReadAll(Folder() + QStringLiteral("/frmMain.ini"));
        QVERIFY(oldMain.startsWith("[frmMain]"));
        CreateWindows();
        frmMain->show();
        frmMain->resize(700, 400);
        frmMain->close();
        QCoreApplication::processEvents();
        SetWriteFaultHook([](const QString& path, qint64) {
            return path.endsWith(QStringLiteral(".ini")) ? QStringLiteral("No space left on device") : QString();
        });
        fReports.clear();
        DestroyWindows();
        QCOMPARE(fReports.size(), 3);
        QCOMPARE(ReadAll(Folder() + QStringLiteral("/frmMain.ini")), oldMain);
        QCOMPARE(QDir(Folder()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".ini")).size(), 3);
    }
};

SORTELLE_TEST_MAIN(TestFaults)
#include "tst_faults.moc"
