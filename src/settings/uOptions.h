#pragma once
// The options window frmOptions: the six extension lists that decide an
// entry's type at import. The edit boxes are the settings themselves: a change
// is in effect at once, there is no accept step. Five of the lists and the
// window's placement persist in frmOptions.ini; the Picture list does not.

#include "model/uProjectClasses.h"

#include <QDialog>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TWindowStateStorage;

class TfrmOptions : public QDialog, public IExtensionLists {
    Q_OBJECT
public:
    // `mainWindow` is the window the dialog is centred on at its first showing;
    // without one the parent, else the top-level window frmMain.
    explicit TfrmOptions(QWidget* parent = nullptr, QWidget* mainWindow = nullptr);
    ~TfrmOptions() override;

    QString ArchiveText() const override;
    QString AudioText() const override;
    QString DocumentText() const override;
    QString ExecutableText() const override;
    QString PictureText() const override;
    QString VideoText() const override;

    TWindowStateStorage& WindowStateStorage() const { return *fStorage; }

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* edtArchive = nullptr;
    QLineEdit* edtAudio = nullptr;
    QLineEdit* edtDocument = nullptr;
    QLineEdit* edtExecutable = nullptr;
    QLineEdit* edtPicture = nullptr;
    QLineEdit* edtVideo = nullptr;
    QWidget* Panel1 = nullptr;
    QPushButton* btnClose = nullptr;

public Q_SLOTS:
    // Every way of closing ends here: the modal loop ends with "cancel" and the
    // window hides, after its state has been copied.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private Q_SLOTS:
    void btnCloseClick();

private:
    void FormCreate();

    std::unique_ptr<TWindowStateStorage> fStorage;
};

extern TfrmOptions* frmOptions;
