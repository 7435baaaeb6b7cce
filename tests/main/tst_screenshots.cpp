// Screenshots of the main window on a real display: a tree of a few levels
// with a filled grid, each popup menu open, and an import in progress. Runs
// only when SORTELLE_SCREENSHOT_DIR names the folder for the pictures (under
// xvfb-run, with imagemagick's "import"); skipped otherwise.
//
//   SORTELLE_SCREENSHOT_DIR=docs/screenshots QT_QPA_PLATFORM=xcb
//     xvfb-run -a -s "-screen 0 1280x1024x24" build/tests/main_tst_screenshots
#include "common/TestMain.h"

#include "MainFixture.h"
#include "platform/RegionalSettings.h"

#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

class TestScreenshots : public QObject {
    Q_OBJECT
    TMainFixture f;
    QString fFolder;
    QString fSuffix;

    void Settle(int ms = 300) {
        QTest::qWait(ms);
        QCoreApplication::processEvents();
    }
    void Shot(const QString& name) {
        Settle();
        const QString path = fFolder + QStringLiteral("/main-") + name + fSuffix + QStringLiteral(".png");
        // The window and whatever menu is open, with a small margin.
        QRect area = f.W().frameGeometry();
        if (QWidget* popup = QApplication::activePopupWidget())
            area = area.united(popup->frameGeometry());
        const qreal ratio = f.W().devicePixelRatioF();
        const QRect pixels(QPoint(qRound((area.left() - 10) * ratio), qRound((area.top() - 10) * ratio)),
                           QSize(qRound((area.width() + 20) * ratio), qRound((area.height() + 20) * ratio)));
        const QString crop = QStringLiteral("%1x%2+%3+%4")
                                 .arg(pixels.width()).arg(pixels.height())
                                 .arg(qMax(0, pixels.left())).arg(qMax(0, pixels.top()));
        QCOMPARE(QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                               QStringLiteral("-crop"), crop, QStringLiteral("+repage"), path}),
                 0);
        QVERIFY(QFileInfo(path).size() > 0);
    }

private Q_SLOTS:
    void initTestCase() {
        fFolder = qEnvironmentVariable("SORTELLE_SCREENSHOT_DIR");
        if (fFolder.isEmpty())
            QSKIP("set SORTELLE_SCREENSHOT_DIR to take the screenshots");
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QSKIP("screenshots need a real display (QT_QPA_PLATFORM=xcb under xvfb-run)");
        if (QStandardPaths::findExecutable(QStringLiteral("import")).isEmpty())
            QSKIP("imagemagick's import is needed");
        QDir().mkpath(fFolder);
        const double scale = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble();
        fSuffix = scale > 1.5 ? QStringLiteral("-200") : QString();
        f.InstallSeams();
        TfrmMain::SetPopupHandler({});
        f.Start();
        f.W().move(20, 20);
    }

    void mainWindowWithTreeAndGrid() {
        QTreeWidgetItem* music = f.AddNode(nullptr, QStringLiteral("Music"), ntCategory);
        QTreeWidgetItem* rock = f.AddNode(music, QStringLiteral("Rock"), ntSubCategory);
        QTreeWidgetItem* classics = f.AddNode(rock, QStringLiteral("Classics"), ntCollection);
        f.AddNode(rock, QStringLiteral("Live"), ntCollection);
        f.AddNode(music, QStringLiteral("Podcasts"), ntCollection);
        QTreeWidgetItem* films = f.AddNode(nullptr, QStringLiteral("Films"), ntCategory);
        f.AddNode(films, QStringLiteral("Documentaries"), ntCollection);
        f.AddNode(nullptr, QStringLiteral("Work"), ntCategory);
        music->setExpanded(true);
        rock->setExpanded(true);
        films->setExpanded(true);
        f.T().setCurrentItem(classics);

        QStringList files;
        const QList<QPair<QString, qint64>> names{
            {QStringLiteral("Rock/01 Opening Night.mp3"), 4718592},  {QStringLiteral("Rock/02 Long Road.mp3"), 6815744},
            {QStringLiteral("Rock/Live at the Hall.mp4"), 734003200}, {QStringLiteral("Rock/liner notes.pdf"), 1258291},
            {QStringLiteral("Rock/cover.png"), 524288},               {QStringLiteral("Rock/bonus tracks.zip"), 52428800},
            {QStringLiteral("Rock/03 Quiet Hours.ogg"), 5242880},     {QStringLiteral("Rock/setup.exe"), 2097152},
            {QStringLiteral("Rock/lyrics.odt"), 40960}};
        for (const auto& [name, size] : names)
            files << TMainFixture::MakeFile(name, size);
        TfrmMain::SetDurationLookup([](const QString&) { return QStringLiteral("1:32:10"); });
        f.DialogFiles = files;
        f.W().mnuImportFiles->trigger();
        f.G().CellByName(QStringLiteral("colProgress"), 0).SetAsFloat(100);
        f.G().CellByName(QStringLiteral("colProgress"), 1).SetAsFloat(45);
        f.G().CellByName(QStringLiteral("colProgress"), 2).SetAsFloat(12);
        f.W().StatusBar->SetPanelText(0, ItemsText(f.G().RowCount()));
        f.W().StatusBar->SetPanelText(1, QStringLiteral("Classics"));
        Shot(QStringLiteral("window"));
    }

    void popupMenus() {
        QTreeWidgetItem* classics = f.T().topLevelItem(0)->child(0)->child(0);
        QTreeWidgetItem* rock = f.T().topLevelItem(0)->child(0);
        auto at = [&](QTreeWidgetItem* item) {
            return f.T().viewport()->mapToGlobal(f.T().visualItemRect(item).center());
        };
        f.W().pumCategory->popup(f.T().viewport()->mapToGlobal(QPoint(40, f.T().viewport()->height() - 60)));
        Shot(QStringLiteral("menu-category"));
        f.W().pumCategory->close();
        f.W().pumSubCategory->popup(at(rock));
        Shot(QStringLiteral("menu-subcategory"));
        f.W().pumSubCategory->close();
        f.W().pumCollection->popup(at(classics));
        Shot(QStringLiteral("menu-collection"));
        f.W().pumCollection->close();
        f.G().SetRowSelected(1, true);
        f.W().pumTable->popup(f.G().viewport()->mapToGlobal(f.G().CellRect(colNameIndex, 1).center()));
        Shot(QStringLiteral("menu-table"));
        f.W().pumTable->close();
    }

    void informationMenu() {
        // QToolButton::showMenu runs the menu's own loop: take the picture from inside it.
        QTimer::singleShot(400, this, [this] {
            Shot(QStringLiteral("menu-information"));
            f.W().pumInformation->close();
        });
        f.W().btnInformation->showMenu();
    }

    void importInProgress() {
        QStringList files;
        for (int i = 0; i < 8; ++i)
            files << TMainFixture::MakeFile(QStringLiteral("More/clip %1.mp4").arg(i), 1048576 * (i + 1));
        int calls = 0;
        TfrmMain::SetDurationLookup([&](const QString&) {
            if (++calls == 5)
                Shot(QStringLiteral("importing"));
            return QStringLiteral("03:2%1").arg(calls);
        });
        f.DialogFiles = files;
        f.W().mnuImportFiles->trigger();
        QCOMPARE(calls, 8);
    }

    void cleanupTestCase() {
        if (f.Main)
            f.Stop();
    }
};

SORTELLE_TEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
