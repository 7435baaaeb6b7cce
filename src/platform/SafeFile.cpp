#include "SafeFile.h"

#include "Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
std::function<QString(const QString&, qint64)>& FaultHook() {
    static std::function<QString(const QString&, qint64)> hook;
    return hook;
}

[[noreturn]] void Fail(const QString& path, const QString& reason) {
    throw EWriteError(QStringLiteral("Could not write the file \"%1\": %2")
                          .arg(QDir::toNativeSeparators(path), reason));
}
} // namespace

void SetWriteFaultHook(std::function<QString(const QString&, qint64)> hook) {
    FaultHook() = std::move(hook);
}

void EnsureFolder(const QString& folder) {
    if (folder.isEmpty())
        return;
    QFileInfo info(folder);
    if (info.isDir())
        return;
    if (info.exists())
        throw EWriteError(QStringLiteral("Could not create the folder \"%1\": a file of that name is in the way.")
                              .arg(QDir::toNativeSeparators(folder)));
    if (!QDir().mkpath(folder))
        throw EWriteError(QStringLiteral("Could not create the folder \"%1\".")
                              .arg(QDir::toNativeSeparators(folder)));
}

TWholeFileWriter::TWholeFileWriter(const QString& path) : fPath(path) {
    try {
        EnsureFolder(QFileInfo(path).absolutePath());
    } catch (const EWriteError& e) {
        Fail(path, e.Message());
    }
    fFile = std::make_unique<QSaveFile>(path);
    if (!fFile->open(QIODevice::WriteOnly))
        Fail(path, fFile->errorString());
}

TWholeFileWriter::~TWholeFileWriter() {
    if (fFile)
        fFile->cancelWriting();
}

void TWholeFileWriter::Cancel(const QString& reason) {
    fFile->cancelWriting();
    fFile.reset();
    Fail(fPath, reason);
}

void TWholeFileWriter::Write(const char* data, qint64 size) {
    if (!fFile)
        Fail(fPath, QStringLiteral("the file is no longer open"));
    if (fFile->write(data, size) != size)
        Cancel(fFile->errorString());
    fSize += size;
}

void TWholeFileWriter::Commit() {
    if (!fFile)
        Fail(fPath, QStringLiteral("the file is no longer open"));
    if (FaultHook()) {
        const QString reason = FaultHook()(fPath, fSize);
        if (!reason.isEmpty())
            Cancel(reason);
    }
    const bool ok = fFile->commit();
    const QString reason = fFile->errorString();
    fFile.reset();
    if (!ok)
        Fail(fPath, reason);
}

void WriteWholeFile(const QString& path, const QByteArray& data) {
    TWholeFileWriter file(path);
    file.Write(data.constData(), data.size());
    file.Commit();
}

QString KeepBackupCopy(const QString& path) {
    const QString backup = path + QStringLiteral(".bak");
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        Fail(backup, source.errorString());
    WriteWholeFile(backup, source.readAll());
    return backup;
}
