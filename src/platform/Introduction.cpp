#include "Introduction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

const QString kCompiledInPage = QStringLiteral(":/help/introduction.html");

QString PageBelow(const QString& dataFolder) {
    return QDir(dataFolder).filePath(QString::fromLatin1(kIntroductionPageFolder) + u'/' +
                                     QString::fromLatin1(kIntroductionPageName));
}

bool IsPage(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isReadable();
}

// Writes the compiled-in page into `folder` unless an identical copy is there
// already; returns the file's path, or an empty text when it cannot be written.
QString ExtractCompiledInPage(const QString& folder) {
    QFile resource(kCompiledInPage);
    if (folder.isEmpty() || !resource.open(QIODevice::ReadOnly))
        return {};
    const QByteArray page = resource.readAll();
    const QString path = QDir(folder).filePath(QString::fromLatin1(kIntroductionPageName));
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == page)
        return path;
    existing.close();
    if (!QDir().mkpath(folder))
        return {};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size() || !file.commit())
        return {};
    return path;
}

} // namespace

QUrl IntroductionPageUrlFrom(const QString& programFolder, const QStringList& dataFolders,
                             const QString& cacheFolder) {
    if (!programFolder.isEmpty()) {
        const QString besideProgram = PageBelow(QDir(programFolder).filePath(QStringLiteral("../share")));
        if (IsPage(besideProgram))
            return QUrl::fromLocalFile(QFileInfo(besideProgram).canonicalFilePath());
    }
    for (const QString& folder : dataFolders) {
        const QString candidate = PageBelow(folder);
        if (IsPage(candidate))
            return QUrl::fromLocalFile(QFileInfo(candidate).canonicalFilePath());
    }
    QString extracted = ExtractCompiledInPage(cacheFolder);
    if (extracted.isEmpty()) {
        // A private folder of this run (mode 0700), never a shared name in /tmp.
        static QTemporaryDir privateFolder(QDir::tempPath() + QStringLiteral("/quendrix-sortelle-XXXXXX"));
        if (privateFolder.isValid())
            extracted = ExtractCompiledInPage(privateFolder.path());
    }
    return extracted.isEmpty() ? QUrl() : QUrl::fromLocalFile(extracted);
}

QUrl IntroductionPageUrl() {
    return IntroductionPageUrlFrom(QCoreApplication::applicationDirPath(),
                                   QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation),
                                   QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                                       QStringLiteral("/quendrix-sortelle"));
}
