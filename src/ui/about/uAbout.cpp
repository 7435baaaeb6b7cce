#include "uAbout.h"

#include "platform/ErrorReport.h"
#include "platform/SystemInfo.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

TfrmAbout* frmAbout = nullptr;

namespace {

std::function<TVersionRecord()>& VersionRecordReader() {
    static std::function<TVersionRecord()> reader;
    return reader;
}

// The design's measures at 96 dpi.
constexpr int kClientWidth = 352;
constexpr int kClientHeight = 269;
constexpr int kPanel1Height = 41;
constexpr int kGroupLeft = 145;
constexpr int kProgramTop = 30;
constexpr int kRunningOnTop = 129;
constexpr int kGroupWidth = 176;
constexpr int kGroupHeight = 71;
constexpr int kLabelLeft = 20;
constexpr int kRowStep = 13;

QLabel* NewLabel(QWidget* parent, const char* name, const QString& caption) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    QFont regular = label->font();
    regular.setBold(false);
    label->setFont(regular);
    return label;
}

QGroupBox* NewGroupBox(QWidget* parent, const char* name, const QString& caption) {
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    QFont bold = box->font();
    bold.setBold(true);
    box->setFont(bold);
    return box;
}

// Lays three labels out in a group box from their design tops; returns the
// width and height the box needs so that none of them is cut.
QSize PlaceLabels(QGroupBox* box, const QList<QLabel*>& labels, int firstTop) {
    int lineHeight = kRowStep;
    int widest = 0;
    for (QLabel* label : labels) {
        lineHeight = std::max(lineHeight, label->sizeHint().height());
        widest = std::max(widest, label->sizeHint().width());
    }
    // Below the caption, where the style draws it taller than the design's.
    const int top = std::max(firstTop, box->contentsRect().top() + 2);
    int y = top;
    for (QLabel* label : labels) {
        label->setGeometry(kLabelLeft, y, label->sizeHint().width(), lineHeight);
        y += std::max(kRowStep, lineHeight);
    }
    const int lastBottom = labels.isEmpty() ? top : labels.last()->geometry().bottom() + 1;
    const int captionWidth = box->fontMetrics().horizontalAdvance(box->title()) + 2 * kLabelLeft;
    return {std::max({kGroupWidth, kLabelLeft + widest + kLabelLeft, captionWidth}),
            std::max(kGroupHeight, lastBottom + 8)};
}

} // namespace

void SetVersionRecordReader(std::function<TVersionRecord()> reader) {
    VersionRecordReader() = std::move(reader);
}

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    // Fixed dialog frame, no minimise or maximise, above other windows.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setSizeGripEnabled(false);

    Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));

    Image1 = new QLabel(Panel2);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/images/about-emblem.png")));
    Image1->setGeometry(31, 30, 64, 64);

    gbxProgram = NewGroupBox(Panel2, "gbxProgram", QStringLiteral("Program: "));
    lblName = NewLabel(gbxProgram, "lblName", QStringLiteral("Name: "));
    lblVersion = NewLabel(gbxProgram, "lblVersion", QStringLiteral("Version: "));
    lblCopyright = NewLabel(gbxProgram, "lblCopyright", QStringLiteral("Copyright: "));

    gbxRunningOn = NewGroupBox(Panel2, "gbxRunningOn", QStringLiteral("Running On: "));
    lblOSName = NewLabel(gbxRunningOn, "lblOSName", QStringLiteral("OS Name"));
    lblMajorVersion = NewLabel(gbxRunningOn, "lblMajorVersion", QStringLiteral("Major Version: "));
    lblMinorVersion = NewLabel(gbxRunningOn, "lblMinorVersion", QStringLiteral("Minor Version: "));

    btnClose = new QPushButton(QStringLiteral("Close"), Panel1);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    connect(btnClose, &QPushButton::clicked, this, &TfrmAbout::btnCloseClick);

    // A failing read is reported and the window is still created, every label
    // keeping its design caption.
    ReportErrors([this] { FormCreate(); });
    ArrangeControls();
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::FormCreate() {
    const TVersionRecord record = VersionRecordReader() ? VersionRecordReader()() : ReadVersionRecord();
    lblName->setText(lblName->text() + record.ProductName);
    lblVersion->setText(lblVersion->text() + record.ProductVersion);
    lblCopyright->setText(lblCopyright->text() + record.LegalCopyright);

    const TSystemInfo& system = SystemInfo();
    lblOSName->setText(PlatformName(system.KernelType));
    lblOSName->setText(lblOSName->text() + u' ' +
                       QString::number(BitnessNumber(system.CpuArchitecture, system.ProcessWordSize)) +
                       QStringLiteral(" bit"));
    lblMajorVersion->setText(lblMajorVersion->text() + QString::number(MajorVersion(system.KernelVersion)));
    lblMinorVersion->setText(lblMinorVersion->text() + QString::number(MinorVersion(system.KernelVersion)));
}

void TfrmAbout::ArrangeControls() {
    const QSize program = PlaceLabels(gbxProgram, {lblName, lblVersion, lblCopyright}, 22);
    const QSize runningOn = PlaceLabels(gbxRunningOn, {lblOSName, lblMajorVersion, lblMinorVersion}, 24);
    const int groupWidth = std::max(program.width(), runningOn.width());
    gbxProgram->setGeometry(kGroupLeft, kProgramTop, groupWidth, program.height());
    const int runningOnTop = std::max(kRunningOnTop, gbxProgram->geometry().bottom() + 1 + 28);
    gbxRunningOn->setGeometry(kGroupLeft, runningOnTop, groupWidth, runningOn.height());

    const int rightMargin = kClientWidth - (kGroupLeft + kGroupWidth);
    const int bottomMargin = (kClientHeight - kPanel1Height) - (kRunningOnTop + kGroupHeight);
    const int width = std::max(kClientWidth, kGroupLeft + groupWidth + rightMargin);
    const int panel2Height =
        std::max(kClientHeight - kPanel1Height, gbxRunningOn->geometry().bottom() + 1 + bottomMargin);
    Panel2->setGeometry(0, 0, width, panel2Height);
    Panel1->setGeometry(0, panel2Height, width, kPanel1Height);

    // The button keeps its distance from the right edge as the window grows.
    // The design's 75 x 25 unless the caption needs more (the style's own
    // minimum width is wider than the design's button).
    const QFontMetrics buttonFont(btnClose->font());
    const QSize button(std::max(75, buttonFont.horizontalAdvance(btnClose->text()) + 24),
                       std::max(25, buttonFont.height() + 10));
    const int buttonRight = kClientWidth - (246 + 75);
    btnClose->setGeometry(width - buttonRight - button.width(), (kPanel1Height - button.height()) / 2,
                          button.width(), button.height());
    setFixedSize(width, panel2Height + kPanel1Height);
}

QWidget* TfrmAbout::OwnerWindow() const {
    if (parentWidget())
        return parentWidget()->window();
    QWidget* fallback = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget == this || !widget->isVisible())
            continue;
        if (qobject_cast<QMainWindow*>(widget))
            return widget;
        if (!fallback && !qobject_cast<QDialog*>(widget))
            fallback = widget;
    }
    return fallback;
}

void TfrmAbout::showEvent(QShowEvent* event) {
    // Centred on the main window each time it is shown, before it appears.
    QRect area;
    if (QWidget* owner = OwnerWindow())
        area = owner->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid()) {
        const QSize frameExtra = frameGeometry().size() - geometry().size();
        const QSize outer = size() + frameExtra;
        move(area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2);
    }
    QDialog::showEvent(event);
}

void TfrmAbout::btnCloseClick() { close(); }
