// File items: display name, extension, size and type code.
#include "common/TestMain.h"

#include "model/uProjectClasses.h"
#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

namespace {
class TLists final : public IExtensionLists {
public:
    QString archive = QStringLiteral("zip, rar, gz"), audio = QStringLiteral("mp3, wav, ogg, midi"),
            document = QStringLiteral("pdf, txt, doc, djvu"), executable = QStringLiteral("exe, msi"),
            picture = QStringLiteral("jpg, gif, png, bmp, ico"), video = QStringLiteral("mp4, avi, wmv, m4v");
    QString ArchiveText() const override { return archive; }
    QString AudioText() const override { return audio; }
    QString DocumentText() const override { return document; }
    QString ExecutableText() const override { return executable; }
    QString PictureText() const override { return picture; }
    QString VideoText() const override { return video; }
};
} // namespace

class TestItem : public QObject {
    Q_OBJECT
    QTemporaryDir fDir;
    TLists fLists;

    QString MakeFile(const QString& relative, qint64 size) {
        const QString path = fDir.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(QByteArray(size, 'x'));
        return path;
    }

private Q_SLOTS:
    void init() { ExtensionLists = &fLists; }
    void cleanup() { ExtensionLists = nullptr; }

    void nameAndExtension_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("extension");
        QTest::newRow("plain") << "Music/song.mp3" << "song" << "mp3";
        QTest::newRow("capitals") << "Music/SONG.MP3" << "SONG" << "MP3";
        QTest::newRow("two dots") << "Backup/site.tar.gz" << "site.tar" << "gz";
        QTest::newRow("extension twice") << "Video/a.mp4.b.mp4" << "a.b" << "mp4";
        QTest::newRow("no extension") << "Docs/README" << "README" << "";
        QTest::newRow("trailing dot") << "Docs/notes." << "notes" << "";
        QTest::newRow("two trailing dots") << "Docs/my.notes." << "mynotes" << "";
        QTest::newRow("dot in folder only") << "my.folder/README" << "README" << "";
    }
    void nameAndExtension() {
        QFETCH(QString, file);
        QFETCH(QString, name);
        QFETCH(QString, extension);
        const QString path = MakeFile(file, 10);
        TItem item(path);
        QCOMPARE(item.Path(), path);
        QCOMPARE(item.Name(), name);
        QCOMPARE(item.Extension(), extension);
        QCOMPARE(item.Size(), 10);
    }

    void classification_data() {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<int>("type");
        QTest::newRow("mp3") << "mp3" << int(iiAudio);
        QTest::newRow("MP3, case must match") << "MP3" << int(iiUnknown);
        QTest::newRow("mid, part of midi") << "mid" << int(iiAudio);
        QTest::newRow("a, archive first") << "a" << int(iiArchive);
        QTest::newRow("png") << "png" << int(iiImage);
        QTest::newRow("m4, part of m4v") << "m4" << int(iiVideo);
        QTest::newRow("docx") << "docx" << int(iiUnknown);
        QTest::newRow("jpeg") << "jpeg" << int(iiUnknown);
        QTest::newRow("empty") << "" << int(iiUnknown);
        QTest::newRow("exe") << "exe" << int(iiExecutable);
        QTest::newRow("pdf") << "pdf" << int(iiDocument);
    }
    void classification() {
        QFETCH(QString, extension);
        QFETCH(int, type);
        QCOMPARE(int(TItem::ClassifyExtension(extension)), type);
    }

    void classificationReadsTheListsNow() {
        QCOMPARE(int(TItem::ClassifyExtension(QStringLiteral("flac"))), int(iiUnknown));
        fLists.audio = QStringLiteral("mp3, flac");
        QCOMPARE(int(TItem::ClassifyExtension(QStringLiteral("flac"))), int(iiAudio));
        QCOMPARE(int(TItem::ClassifyExtension(QStringLiteral("wav"))), int(iiUnknown));
        fLists.audio = QStringLiteral("mp3, wav, ogg, midi");
    }

    void notAFileGivesTheEmptyItem_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << fDir.filePath(QStringLiteral("gone.mp3"));
        QTest::newRow("folder") << fDir.path();
        QTest::newRow("under a file") << fDir.filePath(QStringLiteral("plain.txt/inner.mp3"));
        QTest::newRow("empty") << QString();
    }
    void notAFileGivesTheEmptyItem() {
        QFETCH(QString, path);
        QFile plain(fDir.filePath(QStringLiteral("plain.txt")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        TItem item(path);
        QVERIFY(item.Path().isEmpty());
        QVERIFY(item.Name().isEmpty());
        QVERIFY(item.Extension().isEmpty());
        QCOMPARE(item.Size(), 0);
        QCOMPARE(int(item.IconIndex()), 0);
    }

    void fileThatCannotBeExaminedRaisesTheSystemError() {
        // A link that points at itself: something is there, but its size
        // cannot be read (unlike a missing file, which gives the empty item).
        const QString loop = fDir.filePath(QStringLiteral("loop.mp3"));
        QVERIFY(QFile::link(loop, loop));
        try {
            TItem item(loop);
            QFAIL("no error");
        } catch (const EOSError& e) {
            QCOMPARE(e.Message(), QStringLiteral("System Error.  Code: %1.\n%2")
                                      .arg(ELOOP)
                                      .arg(QString::fromLocal8Bit(std::strerror(ELOOP))));
        }
    }
};

SORTELLE_TEST_MAIN(TestItem)
#include "tst_item.moc"
