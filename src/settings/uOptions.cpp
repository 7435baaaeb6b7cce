#include "uOptions.h"

#include "uWindowStateStorage.h"

#include "platform/DataFolder.h"
#include "platform/ErrorReport.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmOptions* frmOptions = nullptr;

namespace {
TStoredProp TextProp(const QString& name, QLineEdit* edit) {
    return StringProp(name, [edit] { return edit->text(); }, [edit](const QString& v) { edit->setText(v); });
}
} // namespace

TfrmOptions::TfrmOptions(QWidget* parent, QWidget* mainWindow)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setFixedSize(495, 363);
    setSizeGripEnabled(false);

    // Explicitly resolved, so the group box's bold blue caption does not reach
    // the rows inside it.
    QFont normalFont = font();
    normalFont.setBold(false);
    QPalette normalPalette = palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text})
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            normalPalette.setColor(group, role, palette().color(group, role));

    GroupBox1 = new QGroupBox(QStringLiteral("File Extensions"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(23, 24, 449, 277);
    {
        // Only the caption is bold and sky blue; the rows inside keep the
        // window's own font and colours.
        QFont bold = normalFont;
        bold.setBold(true);
        GroupBox1->setFont(bold);
        QPalette blue = palette();
        const QColor skyBlue(166, 202, 240);
        blue.setColor(QPalette::WindowText, skyBlue);
        blue.setColor(QPalette::Text, skyBlue);
        GroupBox1->setPalette(blue);
    }

    struct TRow {
        QLabel** Label;
        const char* LabelName;
        const char* Caption;
        int LabelTop;
        QLineEdit** Edit;
        const char* EditName;
        int EditTop;
        const char* Text;
    };
    // In tab order: the Video row is reached before the Picture row drawn above it.
    const TRow rows[] = {
        {&Label1, "Label1", "Archive:", 37, &edtArchive, "edtArchive", 34, "zip, rar, gz"},
        {&Label2, "Label2", "Audio:", 77, &edtAudio, "edtAudio", 74, "mp3, wav, ogg, midi"},
        {&Label3, "Label3", "Document:", 117, &edtDocument, "edtDocument", 114, "pdf, txt, doc, djvu"},
        {&Label4, "Label4", "Executable:", 157, &edtExecutable, "edtExecutable", 154, "exe, msi"},
        {&Label5, "Label5", "Video:", 237, &edtVideo, "edtVideo", 234, "mp4, avi, wmv, m4v"},
        {&Label6, "Label6", "Picture:", 197, &edtPicture, "edtPicture", 194, "jpg, gif, png, bmp, ico"},
    };
    QWidget* previous = nullptr;
    for (const TRow& row : rows) {
        auto* label = new QLabel(QString::fromLatin1(row.Caption), GroupBox1);
        label->setObjectName(QString::fromLatin1(row.LabelName));
        label->setFont(normalFont);
        label->setPalette(normalPalette);
        label->adjustSize();
        label->move(24, row.LabelTop);
        *row.Label = label;

        auto* edit = new QLineEdit(QString::fromLatin1(row.Text), GroupBox1);
        edit->setObjectName(QString::fromLatin1(row.EditName));
        edit->setFont(normalFont);
        edit->setPalette(normalPalette);
        edit->setMaxLength(32767 * 1024); // no practical limit on a list
        edit->setGeometry(104, row.EditTop, 321, 21);
        label->setBuddy(edit);
        *row.Edit = edit;
        if (previous)
            setTabOrder(previous, edit);
        previous = edit;
    }

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 363 - 42, 495, 42);
    btnClose = new QPushButton(QStringLiteral("Close"), Panel1);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(414, 8, 75, 25);
    // Neither default nor cancel button: Enter and Escape leave the window open.
    btnClose->setAutoDefault(false);
    btnClose->setDefault(false);
    setTabOrder(previous, btnClose);
    connect(btnClose, &QPushButton::clicked, this, &TfrmOptions::btnCloseClick);

    fStorage = std::make_unique<TWindowStateStorage>(this, QStringLiteral("frmOptions"), false,
                                                     TFirstShowRule::CentreOnMainWindow);
    if (mainWindow)
        fStorage->SetMainWindow(mainWindow);
    fStorage->SetStoredProps({
        TextProp(QStringLiteral("edtArchive.Text"), edtArchive),
        TextProp(QStringLiteral("edtAudio.Text"), edtAudio),
        TextProp(QStringLiteral("edtDocument.Text"), edtDocument),
        TextProp(QStringLiteral("edtExecutable.Text"), edtExecutable),
        TextProp(QStringLiteral("edtVideo.Text"), edtVideo),
    });

    ExtensionLists = this;
    ReportErrors([this] { FormCreate(); });
}

TfrmOptions::~TfrmOptions() {
    if (!fStorage->Saved())
        ReportErrors([this] { fStorage->SaveState(); });
    fStorage.reset(); // writes frmOptions.ini
    if (ExtensionLists == this)
        ExtensionLists = nullptr;
}

void TfrmOptions::FormCreate() {
    // Without a data folder there is nowhere to keep the file: the window then
    // works with its built-in lists and writes nothing.
    if (!DataFolder.isEmpty())
        fStorage->SetFileName(DataFolder + QStringLiteral("/frmOptions.ini"));
}

void TfrmOptions::showEvent(QShowEvent* event) {
    if (!fStorage->Restored())
        ReportErrors([this] { fStorage->RestoreState(); });
    QDialog::showEvent(event);
}

void TfrmOptions::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return:
        // The dialog would close on these; this window closes only by Close.
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TfrmOptions::done(int result) {
    if (isVisible())
        ReportErrors([this] { fStorage->SaveState(); });
    QDialog::done(result);
}

void TfrmOptions::btnCloseClick() { close(); }

QString TfrmOptions::ArchiveText() const { return edtArchive->text(); }
QString TfrmOptions::AudioText() const { return edtAudio->text(); }
QString TfrmOptions::DocumentText() const { return edtDocument->text(); }
QString TfrmOptions::ExecutableText() const { return edtExecutable->text(); }
QString TfrmOptions::PictureText() const { return edtPicture->text(); }
QString TfrmOptions::VideoText() const { return edtVideo->text(); }
