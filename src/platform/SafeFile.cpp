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

void WriteWholeFile(const QString& path, const QByteArray& data) {
    try {
        EnsureFolder(QFileInfo(path).absolutePath());
    } catch (const EWriteError& e) {
        Fail(path, e.Message());
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        Fail(path, file.errorString());
    if (file.write(data) != data.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        Fail(path, reason);
    }
    if (FaultHook()) {
        const QString reason = FaultHook()(path, data.size());
        if (!reason.isEmpty()) {
            file.cancelWriting();
            Fail(path, reason);
        }
    }
    if (!file.commit())
        Fail(path, file.errorString());
}

QString KeepBackupCopy(const QString& path) {
    const QString backup = path + QStringLiteral(".bak");
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        Fail(backup, source.errorString());
    WriteWholeFile(backup, source.readAll());
    return backup;
}
