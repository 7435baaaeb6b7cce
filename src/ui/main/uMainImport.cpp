// "Import File(s)": files chosen in the open dialog, or dropped on the grid,
// become new last rows of the collection shown.
#include "uMain.h"

#include "uStatusBar.h"
#include "uTreeViewAdapter.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "platform/Errors.h"
#include "platform/RegionalSettings.h"
#include "player/uMediaPlayer.h"
#include "player/uPlayer.h"
#include "ui/grid/uItemGrid.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenu>
#include <QProgressBar>
#include <QTreeWidget>

#include <exception>

namespace {
TfrmMain::TDurationLookup& DurationLookup() {
    static TfrmMain::TDurationLookup lookup;
    return lookup;
}

// The duration text of a video, from the player window's component.
QString VideoDuration(const QString& path) {
    if (DurationLookup())
        return DurationLookup()(path);
    if (!frmPlayer || !frmPlayer->wmpPlayer)
        throw Exception(QStringLiteral("The player is not available to read the length of \"%1\".")
                            .arg(QFileInfo(path).fileName()));
    return frmPlayer->wmpPlayer->newMedia(path)->durationString();
}

// Pending events are processed between files at most this often: painting
// the grid after every file would cost more than importing it.
int gImportEventInterval = 20;
} // namespace

void TfrmMain::SetImportEventInterval(int ms) { gImportEventInterval = qMax(0, ms); }
int TfrmMain::ImportEventInterval() { return gImportEventInterval; }

QString ItemsText(int count) { return QString::number(count) + QStringLiteral(" items"); }

void TfrmMain::SetDurationLookup(TDurationLookup lookup) { DurationLookup() = std::move(lookup); }

int TfrmMain::ImportProgressStep(int count) {
    if (count <= 0)
        return 0;
    // 100 / count rounded to the nearest integer, ties to the even one, in integers.
    const int quotient = 100 / count;
    const int twiceRemainder = 2 * (100 % count);
    if (twiceRemainder > count)
        return quotient + 1;
    if (twiceRemainder == count)
        return quotient + (quotient % 2);
    return quotient;
}

QString TfrmMain::FormatSizeMB(std::int64_t bytes) {
    QString text = QString::number(double(bytes) / 1048576.0, 'f', 1);
    text.replace(u'.', RegionalSettings().DecimalSeparator);
    return text;
}

void TfrmMain::SetImportGuard(bool on) {
    fImporting = on;
    // The shown collection must stay the same, and no rows or nodes may go,
    // until the import has ended.
    tvwCategories->setEnabled(!on);
    for (QAction* action : {mnuImportFiles, mnuDeleteCollection, mnuDelete, mnuDeleteSelectedRows,
                            mnuNewCategory, mnuNewCategory2, mnuNewSubCategory, mnuNewCollection})
        action->setEnabled(!on);
}

void TfrmMain::mnuImportFilesClick() {
    if (fImporting || !CurrentTable || CurrentTable->ID() == -1)
        return;
    QStringList files;
    if (!ReportErrors([&] { files = ShowOpenFilesDialog(this); }))
        return;
    if (files.isEmpty()) {
        // Cancelled: nothing imported, panel 1 and the changed flag untouched.
        StatusBar->SetPanelText(0, QStringLiteral("0 items added."));
        ProgressBar->hide();
        return;
    }
    ImportFiles(files);
}

void TfrmMain::ImportDroppedFiles(const QStringList& Files) { ImportFiles(Files); }

void TfrmMain::AddImportedRow(const TItem& item, TDateTime added) {
    grdTable->AddRow(1);
    grdTable->BeginUpdate();
    try {
        // The new row is the last one (the grid appends even when sorted).
        const int row = grdTable->RowCount() - 1;
        grdTable->Cell(colPathIndex, row).SetAsString(item.Path());
        grdTable->Cell(colNameIndex, row).SetAsString(item.Name());
        grdTable->Cell(colExtensionIndex, row).SetAsString(item.Extension());
        grdTable->Cell(colAddedIndex, row).SetAsDateTime(added);
        grdTable->Cell(colTypeIndex, row).SetAsInteger(item.IconIndex());
        grdTable->Cell(colSizeIndex, row).SetAsString(FormatSizeMB(item.Size()));
        if (item.IconIndex() == iiVideo)
            grdTable->Cell(colDurationIndex, row).SetAsString(VideoDuration(item.Path()));
    } catch (...) {
        // The file's row is incomplete: the import ends before this file.
        grdTable->DeleteRow(grdTable->RowCount() - 1);
        grdTable->EndUpdate();
        throw;
    }
    grdTable->EndUpdate();
}

bool TfrmMain::ImportFiles(const QStringList& Files) {
    if (fImporting || !CurrentTable || CurrentTable->ID() == -1)
        return false;
    SetImportGuard(true);
    int added = 0;
    int duplicates = 0;
    int skipped = 0;
    QString stoppedAt;
    std::exception_ptr failure;

    const int step = ImportProgressStep(int(Files.size()));
    ProgressBar->setValue(0);
    StatusBarDrawPanel(2, StatusBar->PanelRect(2));
    ProgressBar->show();
    StatusBar->SetPanelText(0, QStringLiteral("Importing ..."));
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    // The day of the import, read once: reading the clock in local time looks
    // up the time zone each time, a tenth of an import's cost.
    const TDateTime today = DateTimeFromQDate(QDate::currentDate());
    try {
        for (const QString& path : Files) {
            stoppedAt = path;
            // Before the file is examined, so duplicates advance the bar too.
            ProgressBar->setValue(qMin(ProgressBar->maximum(), ProgressBar->value() + step));
            const TItem item(path);
            if (item.Path().isEmpty()) {
                // Gone (or no longer a file) since it was chosen: no empty row.
                ++skipped;
                continue;
            }
            if (grdTable->FindText(colPathIndex, item.Path(), soCaseInsensitive)) {
                ++duplicates;
                continue;
            }
            AddImportedRow(item, today);
            StatusBar->SetPanelText(0, ItemsText(grdTable->RowCount()));
            ++added;
            // The grid, the status bar and the progress bar repaint between
            // files, and the user's input is answered.
            if (sinceEvents.elapsed() >= gImportEventInterval) {
                QCoreApplication::processEvents();
                sinceEvents.restart();
            }
        }
    } catch (...) {
        failure = std::current_exception();
    }

    // Also after an error: the rows added so far are saved with the table.
    CurrentTable->SetIsChanged(true);
    StatusBar->SetPanelText(0, QString::number(added) + QStringLiteral(" items added."));
    QStringList notes;
    if (failure)
        notes << QStringLiteral("The import stopped at \"%1\".").arg(QFileInfo(stoppedAt).fileName());
    if (duplicates > 0)
        notes << QString::number(duplicates) + QStringLiteral(" duplicates found and discarded.");
    if (skipped > 0)
        notes << QString::number(skipped) + QStringLiteral(" files skipped: they no longer exist.");
    if (!notes.isEmpty())
        StatusBar->SetPanelText(1, notes.join(u' '));
    ProgressBar->hide();
    SetImportGuard(false);

    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) {
            ReportException(e);
        } catch (...) {
            ReportError(QStringLiteral("Unknown error."));
        }
    }
    if (fCloseAfterImport) {
        // The close that was asked for during the import runs now.
        fCloseAfterImport = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
    return true;
}
