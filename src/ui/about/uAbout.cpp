#include "uAbout.h"

#include "platform/ErrorReport.h"

TfrmAbout* frmAbout = nullptr;

// Bare window for now: the labels come with the about-window work.
TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    resize(352, 269);
    ReportErrors([this] { FormCreate(); });
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::FormCreate() {}
