#pragma once
// Whole-file writing: every file the system writes is written whole or not at
// all (temporary file, then rename), into a folder created with its parents.
// A failure raises EWriteError and leaves the old file untouched.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

void WriteWholeFile(const QString& path, const QByteArray& data);

class QSaveFile;

// The same, for content written in pieces (a large table need not be held as
// one block besides its rows): nothing is in place until Commit succeeds; a
// writer destroyed before that leaves the old file as it was.
class TWholeFileWriter {
public:
    explicit TWholeFileWriter(const QString& path); // raises EWriteError
    ~TWholeFileWriter();
    TWholeFileWriter(const TWholeFileWriter&) = delete;
    TWholeFileWriter& operator=(const TWholeFileWriter&) = delete;

    void Write(const char* data, qint64 size); // raises EWriteError
    void Commit();                             // raises EWriteError

private:
    [[noreturn]] void Cancel(const QString& reason);
    QString fPath;
    std::unique_ptr<QSaveFile> fFile;
    qint64 fSize = 0;
};

// Creates the folder with every missing parent; raises EWriteError on failure.
void EnsureFolder(const QString& folder);

// Copies `path` to `path` + ".bak" (replacing an older copy) and returns the
// copy's path; raises EWriteError when the copy cannot be made.
QString KeepBackupCopy(const QString& path);

// Fault seam for tests: called before a file is committed with its path and
// size; returning a non-empty text makes the write fail with that reason
// (standing in for a full disk). An empty function removes the seam.
void SetWriteFaultHook(std::function<QString(const QString& path, qint64 size)> hook);
