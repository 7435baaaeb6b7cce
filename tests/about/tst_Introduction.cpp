// The introduction page: found beside the program wherever it is installed
// and in the build folder, else written out from the copy compiled in; and the
// page itself, which must stand alone and speak the window's words.
#include "common/TestMain.h"

#include "platform/Introduction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray CompiledInPage() { return ReadAll(QStringLiteral(":/help/introduction.html")); }

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestIntroduction : public QObject {
    Q_OBJECT

    QTemporaryDir fDir;

private Q_SLOTS:
    void fromTheBuildFolder() {
        // The test program lies one level below the build folder, like the program.
        const QUrl url = IntroductionPageUrl();
        QVERIFY(url.isLocalFile());
        const QString path = url.toLocalFile();
        QCOMPARE(QFileInfo(path).canonicalFilePath(),
                 QFileInfo(QStringLiteral(SORTELLE_BINARY_DIR "/share/quendrix-sortelle/introduction.html"))
                     .canonicalFilePath());
        QCOMPARE(ReadAll(path), ReadAll(QStringLiteral(SORTELLE_SOURCE_DIR "/resources/help/introduction.html")));
    }

    void installedUnderAnyPrefix() {
        const QString prefix = fDir.filePath(QStringLiteral("opt/sortelle"));
        WriteFile(prefix + QStringLiteral("/share/quendrix-sortelle/introduction.html"), "installed");
        QDir().mkpath(prefix + QStringLiteral("/bin"));
        const QString elsewhere = fDir.filePath(QStringLiteral("xdg"));
        WriteFile(elsewhere + QStringLiteral("/quendrix-sortelle/introduction.html"), "data folder");

        const QUrl url = IntroductionPageUrlFrom(prefix + QStringLiteral("/bin"), {elsewhere},
                                                 fDir.filePath(QStringLiteral("cache1")));
        QCOMPARE(ReadAll(url.toLocalFile()), QByteArray("installed"));
        QVERIFY(!QFileInfo::exists(fDir.filePath(QStringLiteral("cache1"))));
    }

    void fromTheDesktopDataFolders() {
        const QString empty = fDir.filePath(QStringLiteral("empty"));
        const QString second = fDir.filePath(QStringLiteral("data2"));
        QDir().mkpath(empty);
        WriteFile(second + QStringLiteral("/quendrix-sortelle/introduction.html"), "second");
        const QUrl url = IntroductionPageUrlFrom(fDir.filePath(QStringLiteral("nobin")), {empty, second},
                                                 fDir.filePath(QStringLiteral("cache2")));
        QCOMPARE(ReadAll(url.toLocalFile()), QByteArray("second"));
    }

    void writtenOutFromTheCompiledInCopy() {
        const QString cache = fDir.filePath(QStringLiteral("cache3/quendrix-sortelle"));
        const QUrl first = IntroductionPageUrlFrom(fDir.filePath(QStringLiteral("nobin")), {}, cache);
        QVERIFY(first.isLocalFile());
        QCOMPARE(QFileInfo(first.toLocalFile()).path(), cache);
        QCOMPARE(ReadAll(first.toLocalFile()), CompiledInPage());

        // An old copy of another version is replaced; the same copy is reused.
        WriteFile(first.toLocalFile(), "an older page");
        const QUrl second = IntroductionPageUrlFrom(fDir.filePath(QStringLiteral("nobin")), {}, cache);
        QCOMPARE(second, first);
        QCOMPARE(ReadAll(second.toLocalFile()), CompiledInPage());
    }

    void privateFolderWhenTheCacheCannotBeWritten() {
        // A file where the cache folder should be: the folder cannot be made.
        WriteFile(fDir.filePath(QStringLiteral("blocked")), "a file");
        const QString cache = fDir.filePath(QStringLiteral("blocked/quendrix-sortelle"));
        const QUrl url = IntroductionPageUrlFrom(QString(), {}, cache);
        QVERIFY(url.isLocalFile());
        const QFileInfo page(url.toLocalFile());
        QVERIFY(!page.filePath().startsWith(cache));
        QCOMPARE(ReadAll(page.filePath()), CompiledInPage());
        QCOMPARE(QFileInfo(page.path()).permissions() &
                     (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
                 QFile::Permissions());
    }

    void pageStandsAloneAndUsesTheWindowsWords() {
        const QString page = QString::fromUtf8(CompiledInPage());
        QVERIFY(page.startsWith(QStringLiteral("<!DOCTYPE html>")));
        QVERIFY(page.contains(QStringLiteral("<meta charset=\"utf-8\">")));
        // Nothing fetched from elsewhere: no scripts, links, images or imports.
        for (const char* outside : {"<script", "<link", "<img", "@import", "url(", "http:", "https:", "src="})
            QVERIFY2(!page.contains(QLatin1String(outside), Qt::CaseInsensitive), outside);
        for (const char* words :
             {"New Category", "New Sub Category", "New collection", "Import File(s)", "Delete Selected Rows",
              "duplicates found and discarded.", "Category View", "Options", "File Extensions", "Audio:",
              "Video:", "Type", "Progress", "Player", "Documents/quendrix/Sortelle/Options", "categories.xml",
              "This folder is not empty."})
            QVERIFY2(page.contains(QLatin1String(words)), words);
    }
};

SORTELLE_TEST_MAIN(TestIntroduction)
#include "tst_Introduction.moc"
