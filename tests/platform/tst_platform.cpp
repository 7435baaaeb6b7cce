// The data folder rules and whole-file writing.
#include "common/TestMain.h"

#include "platform/DataFolder.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class TestPlatform : public QObject {
    Q_OBJECT
    QTemporaryDir fDir;

    static QByteArray ReadAll(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private Q_SLOTS:
    void dataFolder_data() {
        QTest::addColumn<QString>("documents");
        QTest::addColumn<QString>("folder");
        QTest::newRow("home") << "/home/user/Documents" << "/home/user/Documents/quendrix/Sortelle/Options";
        QTest::newRow("trailing delimiter") << "/mnt/d/" << "/mnt/d/quendrix/Sortelle/Options";
        QTest::newRow("root") << "/" << "/quendrix/Sortelle/Options";
        QTest::newRow("lookup failed") << "" << "/quendrix/Sortelle/Options";
        QTest::newRow("cut at NUL") << QStringLiteral("/home/a") + QChar(u'\0') + QStringLiteral("junk")
                                    << "/home/a/quendrix/Sortelle/Options";
    }
    void dataFolder() {
        QFETCH(QString, documents);
        QFETCH(QString, folder);
        QCOMPARE(DataFolderFor(documents), folder);
        SetDocumentsFolderLookup([&] { return documents; });
        QCOMPARE(ComputeDataFolder(), folder);
        SetDocumentsFolderLookup({});
    }

    void documentsFollowsTheHome() {
        QCOMPARE(ComputeDataFolder(),
                 sortelle_test::HomeDir() + QStringLiteral("/Documents/quendrix/Sortelle/Options"));
    }

    void wholeFileWrite() {
        const QString path = fDir.filePath(QStringLiteral("a/b/c/file.txt"));
        WriteWholeFile(path, "first"); // creates the folders
        QCOMPARE(ReadAll(path), QByteArray("first"));
        SetWriteFaultHook([](const QString&, qint64) { return QStringLiteral("No space left on device"); });
        try {
            WriteWholeFile(path, "second");
            QFAIL("write reported success");
        } catch (const EWriteError& e) {
            QVERIFY(e.Message().contains(QStringLiteral("No space left on device")));
        }
        SetWriteFaultHook({});
        QCOMPARE(ReadAll(path), QByteArray("first"));
        QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files), QStringList{"file.txt"});
    }

    void wholeFileInPieces() {
        const QString path = fDir.filePath(QStringLiteral("pieces.txt"));
        WriteWholeFile(path, "old");
        {
            TWholeFileWriter file(path);
            file.Write("ne", 2);
            QCOMPARE(ReadAll(path), QByteArray("old")); // nothing in place before the commit
            file.Write("w", 1);
            file.Commit();
        }
        QCOMPARE(ReadAll(path), QByteArray("new"));
        {
            TWholeFileWriter file(path);
            file.Write("abandoned", 9); // e.g. a row that could not be written raised
        }
        QCOMPARE(ReadAll(path), QByteArray("new"));
        QCOMPARE(QDir(fDir.path()).entryList({QStringLiteral("pieces*")}, QDir::Files), QStringList{"pieces.txt"});
    }

    void folderBlockedByAFile() {
        const QString blocker = fDir.filePath(QStringLiteral("blocker"));
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY_THROWS_EXCEPTION(EWriteError, WriteWholeFile(blocker + QStringLiteral("/x/file.txt"), "data"));
        QVERIFY_THROWS_EXCEPTION(EWriteError, EnsureFolder(blocker));
    }

    void backupCopy() {
        const QString path = fDir.filePath(QStringLiteral("orig.txt"));
        WriteWholeFile(path, "v1");
        QCOMPARE(KeepBackupCopy(path), path + QStringLiteral(".bak"));
        WriteWholeFile(path, "v2");
        KeepBackupCopy(path); // the newest copy replaces the older
        QCOMPARE(ReadAll(path + QStringLiteral(".bak")), QByteArray("v2"));
        QVERIFY_THROWS_EXCEPTION(EWriteError, KeepBackupCopy(fDir.filePath(QStringLiteral("none"))));
    }
};

SORTELLE_TEST_MAIN(TestPlatform)
#include "tst_platform.moc"
