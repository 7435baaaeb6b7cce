// "Import File(s)" and dropping files on the grid: the rows made, the status
// texts, the progress bar, duplicates, missing files, errors and the guard
// against user actions while an import runs.
#include "common/TestMain.h"

#include "MainFixture.h"
#include "platform/Errors.h"
#include "platform/RegionalSettings.h"
#include "player/uMediaPlayer.h"
#include "player/uPlayer.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTimer>

class TestImport : public QObject {
    Q_OBJECT
    TMainFixture f;
    QTreeWidgetItem* fColl = nullptr;

    // Chooses the files in the open dialog and runs "Import File(s)" from the
    // collection's menu, as the user does.
    void Import(const QStringList& files) {
        f.DialogFiles = files;
        f.RightClick(fColl);
        QCOMPARE(f.Popups.value(f.Popups.size() - 1), f.W().pumCollection);
        f.W().mnuImportFiles->trigger();
    }
    QString Cell(const char* column, int row) {
        return f.G().CellsByName(QString::fromLatin1(column), row);
    }

private Q_SLOTS:
    void initTestCase() { f.InstallSeams(); }
    void init() {
        f.Start();
        QTreeWidgetItem* cat = f.AddNode(nullptr, QStringLiteral("Media"), ntCategory);
        fColl = f.AddNode(cat, QStringLiteral("Songs"), ntCollection);
        cat->setExpanded(true);
        f.T().setCurrentItem(fColl);
    }
    void cleanup() {
        f.Stop();
        ResetRegionalSettings();
        QVERIFY2(f.Reports.isEmpty(), qPrintable(f.Reports.join(u'\n')));
    }

    void rowValues_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<int>("type");
        QTest::newRow("audio") << "Music/song.mp3" << "song" << "mp3" << 9;
        QTest::newRow("upper case") << "Music/SONG.MP3" << "SONG" << "MP3" << 15;
        QTest::newRow("two dots") << "Backup/site.tar.gz" << "site.tar" << "gz" << 12;
        QTest::newRow("no extension") << "Docs/README" << "README" << "" << 15;
        QTest::newRow("trailing dot") << "Docs/my.notes." << "mynotes" << "" << 15;
        QTest::newRow("picture") << "Pictures/p.png" << "p" << "png" << 16;
        QTest::newRow("document") << "Docs/a.pdf" << "a" << "pdf" << 13;
        QTest::newRow("executable") << "Bin/setup.msi" << "setup" << "msi" << 14;
    }
    void rowValues() {
        QFETCH(QString, file);
        QFETCH(QString, name);
        QFETCH(QString, extension);
        QFETCH(int, type);
        const QString path = TMainFixture::MakeFile(file, 3565158); // 3.4 MB
        Import({path});
        QCOMPARE(f.DialogShown, 1);
        QCOMPARE(f.G().RowCount(), 1);
        QCOMPARE(Cell("colPath", 0), path);
        QCOMPARE(Cell("colName", 0), name);
        QCOMPARE(Cell("colExtension", 0), extension);
        QCOMPARE(f.G().CellByName(QStringLiteral("colType"), 0).AsInteger(), type);
        QCOMPARE(Cell("colSize", 0), QStringLiteral("3.4"));
        QCOMPARE(f.G().CellByName(QStringLiteral("colAdded"), 0).AsDateTime(),
                 DateTimeFromQDate(QDate::currentDate()));
        QCOMPARE(Cell("colDuration", 0), QString());
        QCOMPARE(f.G().CellByName(QStringLiteral("colCurrentPosition"), 0).AsFloat(), 0.0);
        QCOMPARE(f.G().CellByName(QStringLiteral("colProgress"), 0).AsFloat(), 0.0);
        QCOMPARE(f.Panel(0), QStringLiteral("1 items added."));
        QCOMPARE(f.Panel(1), QStringLiteral("Songs"));
        QVERIFY(CurrentTable->IsChanged());
        QVERIFY(!f.W().ProgressBar->isVisible());
    }

    void editsInTheOptionsWindowApplyToTheNextImport() {
        const QString before = frmOptions->edtAudio->text();
        const QString a = TMainFixture::MakeFile(QStringLiteral("x/a.xyz"));
        const QString b = TMainFixture::MakeFile(QStringLiteral("x/b.xyz"));
        Import({a});
        frmOptions->edtAudio->setText(QStringLiteral("mp3, xyz"));
        Import({b});
        frmOptions->edtAudio->setText(before);
        QCOMPARE(f.G().CellByName(QStringLiteral("colType"), 0).AsInteger(), int(iiUnknown));
        QCOMPARE(f.G().CellByName(QStringLiteral("colType"), 1).AsInteger(), int(iiAudio));
    }

    void importingTheSameFilesTwice() {
        const QStringList files{TMainFixture::MakeFile(QStringLiteral("a.mp3")),
                                TMainFixture::MakeFile(QStringLiteral("b.mp3")),
                                TMainFixture::MakeFile(QStringLiteral("c.mp3"))};
        Import(files);
        QCOMPARE(f.G().RowCount(), 3);
        // Written and reloaded, so the flag is clear before the second import.
        QTreeWidgetItem* other = f.AddNode(nullptr, QStringLiteral("Other"), ntCollection);
        f.T().setCurrentItem(other);
        f.T().setCurrentItem(fColl);
        QVERIFY(!CurrentTable->IsChanged());
        Import(files);
        QCOMPARE(f.G().RowCount(), 3);
        QCOMPARE(f.Panel(0), QStringLiteral("0 items added."));
        QCOMPARE(f.Panel(1), QStringLiteral("3 duplicates found and discarded."));
        QVERIFY(CurrentTable->IsChanged());
        // The last duplicate's row is the selected one.
        QCOMPARE(f.G().SelectedRow(), 2);
    }

    void duplicates_data() {
        QTest::addColumn<QString>("held");     // a path already in the grid, relative to the files folder
        QTest::addColumn<QString>("imported"); // the file chosen
        QTest::addColumn<bool>("duplicate");
        QTest::newRow("case ignored") << "MUSIC/Song.mp3" << "music/song.mp3" << true;
        QTest::newRow("containment") << "a/b.mp3.old" << "a/b.mp3" << true;
        QTest::newRow("held path inside the new one") << "a/b.mp3" << "a/b.mp3.old" << false;
        QTest::newRow("other file") << "a/b.mp3" << "a/c.mp3" << false;
    }
    void duplicates() {
        QFETCH(QString, held);
        QFETCH(QString, imported);
        QFETCH(bool, duplicate);
        f.AddRows({QStringLiteral("/elsewhere/x.mp3"), TMainFixture::FilesFolder() + u'/' + held,
                   QStringLiteral("/elsewhere/y.mp3")});
        Import({TMainFixture::MakeFile(imported)});
        QCOMPARE(f.G().RowCount(), duplicate ? 3 : 4);
        if (duplicate) {
            QCOMPARE(f.Panel(1), QStringLiteral("1 duplicates found and discarded."));
            QCOMPARE(f.G().SelectedRow(), 1);
            QVERIFY(f.G().RowSelected(1));
        } else {
            QCOMPARE(f.Panel(1), QStringLiteral("Songs"));
        }
    }

    void audioHasNoDurationAndVideoTheProbesText() {
        if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
            QSKIP("ffmpeg is needed to make the video");
        const QString video = TMainFixture::FilesFolder() + QStringLiteral("/clip.mp4");
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                      QStringLiteral("lavfi"), QStringLiteral("-i"),
                      QStringLiteral("testsrc=size=64x48:rate=10:duration=3"), QStringLiteral("-pix_fmt"),
                      QStringLiteral("yuv420p"), video});
        QVERIFY(ffmpeg.waitForFinished(60000));
        QCOMPARE(ffmpeg.exitCode(), 0);
        const QString audio = TMainFixture::MakeFile(QStringLiteral("tone.wav"), 44);

        TMediaPlayerOptions options;
        options.Video = TMediaPlayerOptions::TVideo::None;
        options.Audio = TMediaPlayerOptions::TAudio::None;
        TMediaPlayer::SetDefaultOptions(options);
        frmPlayer = new TfrmPlayer();
        Import({audio, video});
        const QString expected = frmPlayer->wmpPlayer->newMedia(video)->durationString();
        delete frmPlayer;
        frmPlayer = nullptr;

        QCOMPARE(f.G().RowCount(), 2);
        QCOMPARE(f.G().CellByName(QStringLiteral("colType"), 0).AsInteger(), int(iiAudio));
        QCOMPARE(Cell("colDuration", 0), QString());
        QCOMPARE(f.G().CellByName(QStringLiteral("colType"), 1).AsInteger(), int(iiVideo));
        QCOMPARE(expected, QStringLiteral("00:03"));
        QCOMPARE(Cell("colDuration", 1), expected);
    }

    void sizes_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty file") << qint64(0) << "." << "0.0";
        QTest::newRow("one megabyte") << qint64(1048576) << "." << "1.0";
        QTest::newRow("decimal comma") << qint64(1048576) << "," << "1,0";
        QTest::newRow("rounded") << qint64(1048576 * 10 + 1048576 / 2 + 1) << "." << "10.5";
    }
    void sizes() {
        QFETCH(qint64, bytes);
        QFETCH(QString, separator);
        QFETCH(QString, text);
        TRegionalSettings settings = RegionalSettings();
        settings.DecimalSeparator = separator.at(0);
        SetRegionalSettings(settings);
        QCOMPARE(TfrmMain::FormatSizeMB(bytes), text);
        Import({TMainFixture::MakeFile(QStringLiteral("s.bin"), bytes)});
        QCOMPARE(Cell("colSize", 0), text);
    }

    void newRowsGoToTheEndUnderASortedColumn() {
        f.AddRows({QStringLiteral("/m/b.mp3"), QStringLiteral("/m/c.mp3"), QStringLiteral("/m/a.mp3")});
        f.G().ClickHeader(colNameIndex);
        QCOMPARE(f.Paths(), (QStringList{QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.mp3"), QStringLiteral("/m/c.mp3")}));
        const QString first = TMainFixture::MakeFile(QStringLiteral("0first.mp3"));
        Import({first});
        QCOMPARE(f.Paths().last(), first);
        QVERIFY(f.G().Column(colNameIndex)->Sorted());
    }

    void statusAndProgressWhileImporting() {
        QStringList rows;
        for (int i = 0; i < 12; ++i)
            rows << QStringLiteral("/held/%1.mp3").arg(i);
        f.AddRows(rows);
        const QStringList files{TMainFixture::MakeFile(QStringLiteral("n1.mp3")),
                                TMainFixture::MakeFile(QStringLiteral("n2.mp3")),
                                TMainFixture::MakeFile(QStringLiteral("n3.mp3"))};
        // What the window shows each time events are processed between files.
        QStringList seen;
        QList<int> positions;
        bool barPlaced = true;
        QTimer probe;
        probe.setInterval(0);
        connect(&probe, &QTimer::timeout, this, [&] {
            if (!f.W().Importing() || (!seen.isEmpty() && seen.last() == f.Panel(0)))
                return;
            seen << f.Panel(0);
            positions << f.W().ProgressBar->value();
            barPlaced = barPlaced && f.W().ProgressBar->isVisible() &&
                        f.W().ProgressBar->parentWidget() == f.W().StatusBar &&
                        f.W().ProgressBar->geometry() == f.W().StatusBar->PanelRect(2);
        });
        probe.start();
        Import(files);
        probe.stop();
        QCOMPARE(seen, (QStringList{QStringLiteral("13 items"), QStringLiteral("14 items"), QStringLiteral("15 items")}));
        QCOMPARE(positions, (QList<int>{33, 66, 99}));
        QVERIFY(barPlaced);
        QCOMPARE(f.Panel(0), QStringLiteral("3 items added."));
        QVERIFY(!f.W().ProgressBar->isVisible());
        QCOMPARE(f.W().ProgressBar->value(), 99);
    }

    void eventsAreProcessedBetweenSlowFilesAtTheDefaultPace() {
        // Files that take longer than the interval each: the window is
        // answered between them, as after every file.
        TfrmMain::SetImportEventInterval(20);
        TfrmMain::SetDurationLookup([](const QString&) {
            QTest::qSleep(25);
            return QStringLiteral("00:01");
        });
        QStringList files;
        for (int i = 0; i < 3; ++i)
            files << TMainFixture::MakeFile(QStringLiteral("slow/%1.mp4").arg(i));
        int answered = 0;
        QTimer probe;
        probe.setInterval(0);
        connect(&probe, &QTimer::timeout, this, [&] { answered += f.W().Importing() ? 1 : 0; });
        probe.start();
        Import(files);
        probe.stop();
        TfrmMain::SetImportEventInterval(0);
        QCOMPARE(f.G().RowCount(), 3);
        QVERIFY2(answered >= 2, qPrintable(QString::number(answered)));
    }

    void progressStep_data() {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("last"); // the bar's position after the last file
        QTest::newRow("3") << 3 << 33 << 99;
        QTest::newRow("6") << 6 << 17 << 100;
        QTest::newRow("8") << 8 << 12 << 96;
        QTest::newRow("40") << 40 << 2 << 80;
        QTest::newRow("67") << 67 << 1 << 67;
        QTest::newRow("199") << 199 << 1 << 100;
        QTest::newRow("200") << 200 << 0 << 0;
        QTest::newRow("1") << 1 << 100 << 100;
    }
    void progressStep() {
        QFETCH(int, files);
        QFETCH(int, step);
        QFETCH(int, last);
        QCOMPARE(TfrmMain::ImportProgressStep(files), step);
        // Duplicates advance the bar too: one real file chosen `files` times.
        const QString path = TMainFixture::MakeFile(QStringLiteral("same.mp3"));
        Import(QStringList(files, path));
        QCOMPARE(f.W().ProgressBar->value(), last);
        QCOMPARE(f.G().RowCount(), 1);
    }

    void cancelLeavesPanelOneAndTheFlagAlone() {
        QCOMPARE(f.Panel(1), QStringLiteral("Songs"));
        QVERIFY(!CurrentTable->IsChanged());
        Import({});
        QCOMPARE(f.DialogShown, 1);
        QCOMPARE(f.Panel(0), QStringLiteral("0 items added."));
        QCOMPARE(f.Panel(1), QStringLiteral("Songs"));
        QVERIFY(!CurrentTable->IsChanged());
        QVERIFY(!f.W().ProgressBar->isVisible());
        QCOMPARE(f.G().RowCount(), 0);
    }

    void aFileGoneSinceItWasChosenIsSkipped() {
        const QString a = TMainFixture::MakeFile(QStringLiteral("a.mp3"));
        const QString gone = TMainFixture::MakeFile(QStringLiteral("gone.mp3"));
        const QString folder = TMainFixture::FilesFolder() + QStringLiteral("/folder.mp3");
        QDir().mkpath(folder);
        const QString b = TMainFixture::MakeFile(QStringLiteral("b.mp3"));
        QVERIFY(QFile::remove(gone));
        Import({a, gone, folder, b});
        QCOMPARE(f.Paths(), (QStringList{a, b}));
        QCOMPARE(f.Panel(0), QStringLiteral("2 items added."));
        QCOMPARE(f.Panel(1), QStringLiteral("2 files skipped: they no longer exist."));
    }

    void anErrorEndsTheImportAndKeepsTheRowsAdded() {
        const QString a = TMainFixture::MakeFile(QStringLiteral("a.mp3"));
        const QString b = TMainFixture::MakeFile(QStringLiteral("b.mp3"));
        const QString v = TMainFixture::MakeFile(QStringLiteral("v.mp4"));
        const QString c = TMainFixture::MakeFile(QStringLiteral("c.mp3"));
        TfrmMain::SetDurationLookup([](const QString&) -> QString {
            throw Exception(QStringLiteral("The media item could not be made."));
        });
        Import({a, b, v, c});
        QCOMPARE(f.Reports, (QStringList{QStringLiteral("The media item could not be made.")}));
        f.Reports.clear();
        // The rows before the failing file stay, with no half row for it, and
        // they are marked changed so they are saved.
        QCOMPARE(f.Paths(), (QStringList{a, b}));
        QVERIFY(CurrentTable->IsChanged());
        QVERIFY(!f.W().ProgressBar->isVisible());
        QVERIFY(!f.W().Importing());
        QCOMPARE(f.Panel(0), QStringLiteral("2 items added."));
        QCOMPARE(f.Panel(1), QStringLiteral("The import stopped at \"v.mp4\"."));
        // The window works as before.
        QVERIFY(f.T().isEnabled());
        QVERIFY(f.W().mnuImportFiles->isEnabled());
    }

    void userActionsWhileImportingCannotReachAnotherTable() {
        QTreeWidgetItem* other = f.AddNode(nullptr, QStringLiteral("Other"), ntCollection);
        f.AddRows({QStringLiteral("/held/0.mp3")});
        f.G().SetRowSelected(0, true);
        const QStringList files{TMainFixture::MakeFile(QStringLiteral("a.mp3")),
                                TMainFixture::MakeFile(QStringLiteral("b.mp3")),
                                TMainFixture::MakeFile(QStringLiteral("c.mp3"))};
        const std::int32_t shown = CurrentTable->ID();
        const QString tableFile = TCurrentTable::TableFileName(shown);
        bool tried = false;
        bool secondImportRefused = false;
        bool treeDisabled = false;
        std::int32_t idDuring = -2;
        QTreeWidgetItem* currentDuring = nullptr;
        QTimer::singleShot(0, this, [&] {
            QVERIFY(f.W().Importing());
            tried = true;
            treeDisabled = !f.T().isEnabled();
            f.T().setCurrentItem(other); // switch the collection
            idDuring = CurrentTable->ID();
            currentDuring = f.T().currentItem();
            f.W().mnuDeleteSelectedRows->trigger(); // delete rows
            f.W().mnuDeleteCollection->trigger();   // delete the node
            secondImportRefused = !f.W().ImportFiles({TMainFixture::MakeFile(QStringLiteral("d.mp3"))});
            f.W().mnuImportFiles->trigger();        // another import
            f.W().close();                          // close the window
        });
        Import(files);
        QVERIFY(tried);
        QVERIFY(treeDisabled && secondImportRefused);
        QCOMPARE(idDuring, shown);
        QCOMPARE(currentDuring, fColl);
        QCOMPARE(f.DialogShown, 1);
        QCOMPARE(CurrentTable->ID(), shown);
        QCOMPARE(f.T().currentItem(), fColl);
        QVERIFY(Tree->Nodes().contains(shown));
        QCOMPARE(f.G().RowCount(), 4);
        QVERIFY(f.W().isVisible());
        // The close asked for during the import runs once it has ended, and
        // writes the table with every row.
        QTRY_VERIFY(!f.W().isVisible());
        QVERIFY(!Tree && !CurrentTable);
        const QByteArray written = TMainFixture::ReadAll(tableFile);
        for (const QString& path : files)
            QVERIFY(written.contains(QByteArray(reinterpret_cast<const char*>(path.utf16()), path.size() * 2)));
    }

    void droppingFilesImportsThemIntoTheCollectionShown() {
        const QString a = TMainFixture::MakeFile(QStringLiteral("drop/a.mp3"));
        const QString b = TMainFixture::MakeFile(QStringLiteral("drop/b.pdf"));
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
        QWidget* viewport = f.G().viewport();
        const QPoint at = viewport->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE(f.G().RowCount(), 2);
        QCOMPARE(f.Paths(), (QStringList{a, b}));
        QCOMPARE(f.G().CellByName(QStringLiteral("colType"), 1).AsInteger(), int(iiDocument));
        QCOMPARE(f.Panel(0), QStringLiteral("2 items added."));
        QVERIFY(CurrentTable->IsChanged());
        QCOMPARE(f.DialogShown, 0);
    }

    void aDropWithNoCollectionShownIsRefused() {
        QTreeWidgetItem* coll = fColl;
        f.T().setCurrentItem(coll);
        f.W().mnuDeleteCollection->trigger(); // the only collection goes: none is shown
        QCOMPARE(CurrentTable->ID(), -1);
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(TMainFixture::MakeFile(QStringLiteral("drop/a.mp3")))});
        QWidget* viewport = f.G().viewport();
        QDragEnterEvent enter(viewport->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent drop(QPointF(viewport->rect().center()), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
        QVERIFY(!drop.isAccepted());
        QCoreApplication::processEvents();
        QCOMPARE(f.G().RowCount(), 0);
        QVERIFY(!CurrentTable->IsChanged());
    }
};

SORTELLE_TEST_MAIN(TestImport)
#include "tst_import.moc"
