#pragma once
// The dialogs the system asks the user through: the multi-select file-open
// dialog and message boxes. Tests answer them through the seams below.

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

enum class TMessageIcon { Error, Warning, Information };

// Multi-select open dialog: any file, several at once, only existing files,
// resizable. Returns the full paths in the dialog's order; empty on cancel.
QStringList ShowOpenFilesDialog(QWidget* parent);

// A message box with an OK button.
void ShowMessageBox(QWidget* parent, const QString& text, const QString& caption,
                    TMessageIcon icon);

using TOpenFilesHandler = std::function<QStringList(QWidget* parent)>;
using TMessageBoxHandler =
    std::function<void(const QString& text, const QString& caption, TMessageIcon icon)>;

// Empty functions restore the real dialogs.
void SetOpenFilesHandler(TOpenFilesHandler handler);
void SetMessageBoxHandler(TMessageBoxHandler handler);
