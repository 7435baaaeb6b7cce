#pragma once
// The data folder: the one folder in which every catalogue and window-state
// file lives, "quendrix/Sortelle/Options" under the user's Documents folder.

#include <QString>
#include <functional>

// Absolute path of the data folder, without a trailing "/". Computed once by
// the main window's creation handler and cleared at program end.
extern QString DataFolder;

// The user's Documents folder, or an empty string when it cannot be found.
QString DocumentsFolder();

// Tests replace the Documents lookup; an empty function restores the real one.
void SetDocumentsFolderLookup(std::function<QString()> lookup);

// The data folder for a given Documents path: cut at the first NUL, append "/"
// unless it already ends with one (the empty string gets it too), then append
// "quendrix/Sortelle/Options".
QString DataFolderFor(QString documents);

// DataFolderFor(DocumentsFolder()).
QString ComputeDataFolder();
