#pragma once
// The about window frmAbout: the program's version strings and the operating
// system it runs on.

#include <QDialog>

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
    ~TfrmAbout() override;

private:
    void FormCreate();
};

extern TfrmAbout* frmAbout;
