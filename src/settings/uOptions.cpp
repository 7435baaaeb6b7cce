#include "uOptions.h"

#include "platform/DataFolder.h"
#include "platform/ErrorReport.h"

#include <QLineEdit>

TfrmOptions* frmOptions = nullptr;

// Bare window for now: the layout of the extension lists comes with the options work.
TfrmOptions::TfrmOptions(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    resize(495, 363);
    edtArchive = new QLineEdit(QStringLiteral("zip, rar, gz"), this);
    edtAudio = new QLineEdit(QStringLiteral("mp3, wav, ogg, midi"), this);
    edtDocument = new QLineEdit(QStringLiteral("pdf, txt, doc, djvu"), this);
    edtExecutable = new QLineEdit(QStringLiteral("exe, msi"), this);
    edtPicture = new QLineEdit(QStringLiteral("jpg, gif, png, bmp, ico"), this);
    edtVideo = new QLineEdit(QStringLiteral("mp4, avi, wmv, m4v"), this);
    ExtensionLists = this;
    ReportErrors([this] { FormCreate(); });
}

TfrmOptions::~TfrmOptions() {
    if (ExtensionLists == this)
        ExtensionLists = nullptr;
}

void TfrmOptions::FormCreate() {}

QString TfrmOptions::ArchiveText() const { return edtArchive->text(); }
QString TfrmOptions::AudioText() const { return edtAudio->text(); }
QString TfrmOptions::DocumentText() const { return edtDocument->text(); }
QString TfrmOptions::ExecutableText() const { return edtExecutable->text(); }
QString TfrmOptions::PictureText() const { return edtPicture->text(); }
QString TfrmOptions::VideoText() const { return edtVideo->text(); }
