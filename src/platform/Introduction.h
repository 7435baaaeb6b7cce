#pragma once
// The two-minute introduction page that ships with the program, found as a
// real file so the user's browser can open it.

#include <QString>
#include <QStringList>
#include <QUrl>

// The page's file name and its folder below a data directory ("share").
inline constexpr const char* kIntroductionPageFolder = "quendrix-sortelle";
inline constexpr const char* kIntroductionPageName = "introduction.html";

// The introduction page as a file: URL. Looked for, in this order:
//  1. next to the program: <program folder>/../share/quendrix-sortelle/
//     (an installed program under any prefix, and the build folder, where the
//     build puts a copy at the same place relative to the programs);
//  2. in the desktop's data folders (XDG_DATA_HOME, XDG_DATA_DIRS);
//  3. else the copy compiled into the program, written to the user's cache
//     folder (or, failing that, a private temporary folder of this run) and
//     opened from there.
// An empty URL only when even that copy could not be written.
QUrl IntroductionPageUrl();

// The same search with the program folder and the data folders given (tests).
QUrl IntroductionPageUrlFrom(const QString& programFolder, const QStringList& dataFolders,
                             const QString& cacheFolder);
