#pragma once
// The options window frmOptions: the six extension lists that decide an
// entry's type at import. The edit boxes are the settings themselves.

#include "model/uProjectClasses.h"

#include <QDialog>
#include <memory>

class QLineEdit;
class TWindowStateStorage;

class TfrmOptions : public QDialog, public IExtensionLists {
    Q_OBJECT
public:
    explicit TfrmOptions(QWidget* parent = nullptr);
    ~TfrmOptions() override;

    QString ArchiveText() const override;
    QString AudioText() const override;
    QString DocumentText() const override;
    QString ExecutableText() const override;
    QString PictureText() const override;
    QString VideoText() const override;

    QLineEdit* edtArchive = nullptr;
    QLineEdit* edtAudio = nullptr;
    QLineEdit* edtDocument = nullptr;
    QLineEdit* edtExecutable = nullptr;
    QLineEdit* edtPicture = nullptr;
    QLineEdit* edtVideo = nullptr;

private:
    void FormCreate();
};

extern TfrmOptions* frmOptions;
