#pragma once
// The about window frmAbout: the program's version strings and the operating
// system it runs on. Its texts are filled once, when the window is created;
// every later showing shows the same texts.

#include "platform/ProductInfo.h"

#include <QDialog>
#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
    ~TfrmAbout() override;

protected:
    void showEvent(QShowEvent* event) override;

private Q_SLOTS:
    void btnCloseClick();

private:
    void FormCreate();
    // Places the controls at their design positions, growing the group boxes
    // and the window where the texts in the desktop's font need more room.
    void ArrangeControls();
    // The window the about window is centred on: its parent, else the
    // application's main window.
    QWidget* OwnerWindow() const;

    QWidget* Panel1 = nullptr;
    QWidget* Panel2 = nullptr;
    QLabel* Image1 = nullptr;
    QGroupBox* gbxProgram = nullptr;
    QLabel* lblName = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblCopyright = nullptr;
    QGroupBox* gbxRunningOn = nullptr;
    QLabel* lblOSName = nullptr;
    QLabel* lblMajorVersion = nullptr;
    QLabel* lblMinorVersion = nullptr;
    QPushButton* btnClose = nullptr;
};

extern TfrmAbout* frmAbout;

// Where FormCreate reads the version record from. Tests give a record of their
// own, or one that raises; an empty function goes back to ReadVersionRecord.
void SetVersionRecordReader(std::function<TVersionRecord()> reader);
