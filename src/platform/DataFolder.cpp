#include "DataFolder.h"

#include <QStandardPaths>

QString DataFolder;

namespace {
std::function<QString()>& Lookup() {
    static std::function<QString()> lookup;
    return lookup;
}
} // namespace

QString DocumentsFolder() {
    if (Lookup())
        return Lookup()();
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void SetDocumentsFolderLookup(std::function<QString()> lookup) { Lookup() = std::move(lookup); }

QString DataFolderFor(QString documents) {
    const qsizetype nul = documents.indexOf(QChar(u'\0'));
    if (nul >= 0)
        documents.truncate(nul);
    documents.replace(u'\\', u'/');
    if (!documents.endsWith(u'/'))
        documents += u'/';
    return documents + QStringLiteral("quendrix/Sortelle/Options");
}

QString ComputeDataFolder() { return DataFolderFor(DocumentsFolder()); }
