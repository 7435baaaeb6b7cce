#include "Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {
TOpenFilesHandler& OpenFiles() {
    static TOpenFilesHandler handler;
    return handler;
}
TMessageBoxHandler& MessageBoxes() {
    static TMessageBoxHandler handler;
    return handler;
}
} // namespace

QStringList ShowOpenFilesDialog(QWidget* parent) {
    if (OpenFiles())
        return OpenFiles()(parent);
    // No filter, no default extension, no title of its own.
    return QFileDialog::getOpenFileNames(parent);
}

void ShowMessageBox(QWidget* parent, const QString& text, const QString& caption,
                    TMessageIcon icon) {
    if (MessageBoxes()) {
        MessageBoxes()(text, caption, icon);
        return;
    }
    QMessageBox::Icon boxIcon = QMessageBox::Critical;
    if (icon == TMessageIcon::Warning)
        boxIcon = QMessageBox::Warning;
    else if (icon == TMessageIcon::Information)
        boxIcon = QMessageBox::Information;
    QMessageBox box(boxIcon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

void SetOpenFilesHandler(TOpenFilesHandler handler) { OpenFiles() = std::move(handler); }
void SetMessageBoxHandler(TMessageBoxHandler handler) { MessageBoxes() = std::move(handler); }
