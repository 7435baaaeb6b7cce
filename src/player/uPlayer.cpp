#include "uPlayer.h"

#include "uMediaPlayer.h"

#include "model/uProjectClasses.h"
#include "platform/DataFolder.h"
#include "platform/ErrorReport.h"
#include "platform/RegionalSettings.h"
#include "platform/Shell.h"
#include "settings/uWindowStateStorage.h"
#include "ui/grid/uItemGrid.h"

#include <QCloseEvent>
#include <QEnterEvent>
#include <QFrame>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <climits>
#include <cmath>

TfrmPlayer* frmPlayer = nullptr;
std::int32_t CurrentRow = 0;

namespace {
// ImageList1: 16 x 16 with alpha; a grey stop square and a blue one.
QPixmap StopSquare(const QColor& fill, const QColor& edge) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(edge, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(3.5, 3.5, 9, 9), 1.2, 1.2);
    return pixmap;
}

// The stop button shows image 0 normally and while pressed, image 1 while
// the mouse is over it.
class TStopButton : public QPushButton {
public:
    TStopButton(const QList<QPixmap>& images, QWidget* parent) : QPushButton(parent), fImages(images) {
        setIconSize(QSize(16, 16));
        ShowImage();
    }

protected:
    void enterEvent(QEnterEvent* event) override {
        QPushButton::enterEvent(event);
        ShowImage();
    }
    void leaveEvent(QEvent* event) override {
        QPushButton::leaveEvent(event);
        ShowImage();
    }
    void mousePressEvent(QMouseEvent* event) override {
        QPushButton::mousePressEvent(event);
        ShowImage();
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        QPushButton::mouseReleaseEvent(event);
        ShowImage();
    }

private:
    void ShowImage() {
        const bool hot = underMouse() && !isDown();
        setIcon(QIcon(fImages.value(hot ? 1 : 0)));
    }
    QList<QPixmap> fImages;
};

// Keeps btnStop 7 pixels above the panel's bottom edge at left 36.
class TAnchorBottomLeft : public QObject {
public:
    TAnchorBottomLeft(QWidget* panel, QWidget* button, int left, int bottomGap)
        : QObject(panel), fButton(button), fLeft(left), fBottomGap(bottomGap) {
        panel->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            auto* panel = static_cast<QWidget*>(watched);
            fButton->move(fLeft, panel->height() - fBottomGap - fButton->height());
        }
        return false;
    }

private:
    QWidget* fButton;
    int fLeft;
    int fBottomGap;
};

const QString colCurrentPosition = QStringLiteral("colCurrentPosition");
const QString colProgress = QStringLiteral("colProgress");
const QString colType = QStringLiteral("colType");
const QString colPath = QStringLiteral("colPath");
} // namespace

TfrmPlayer::TfrmPlayer(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmPlayer"));
    setWindowTitle(QStringLiteral("Player"));
    resize(691, 455);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    pnlPlayer = new QFrame(this);
    pnlPlayer->setObjectName(QStringLiteral("pnlPlayer"));
    pnlPlayer->setFrameStyle(QFrame::Panel | QFrame::Raised);
    pnlPlayer->setLineWidth(1);
    layout->addWidget(pnlPlayer);
    auto* panelLayout = new QVBoxLayout(pnlPlayer);
    panelLayout->setContentsMargins(0, 0, 0, 0);

    wmpPlayer = new TMediaPlayer(pnlPlayer);
    panelLayout->addWidget(wmpPlayer);
    connect(wmpPlayer, &TMediaPlayer::PlayStateChange, this, &TfrmPlayer::wmpPlayerPlayStateChange);

    ImageList1 = {StopSquare(QColor(0x8c, 0x8c, 0x8c), QColor(0x5a, 0x5a, 0x5a)),
                  StopSquare(QColor(0x2f, 0x7d, 0xe1), QColor(0x14, 0x4f, 0x9e))};
    btnStop = new TStopButton(ImageList1, pnlPlayer);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnStop->setGeometry(36, 424, 24, 24);
    btnStop->raise();
    new TAnchorBottomLeft(pnlPlayer, btnStop, 36, 7);
    connect(btnStop, &QPushButton::clicked, this, &TfrmPlayer::btnStopClick);

    fStorage = std::make_unique<TWindowStateStorage>(this, QStringLiteral("frmPlayer"), false,
                                                     TFirstShowRule::CentreOnDesktop);
    ReportErrors([this] { FormCreate(); });
}

TfrmPlayer::~TfrmPlayer() {
    for (const QMetaObject::Connection& c : fGridConnections)
        disconnect(c);
    if (!fStorage->Saved())
        ReportErrors([this] { fStorage->SaveState(); });
    fStorage.reset(); // writes frmPlayer.ini
}

TItemGrid* TfrmPlayer::Grid() const { return fGrid.data(); }

void TfrmPlayer::FormCreate() {
    // Without a data folder there is nowhere to keep the file.
    if (!DataFolder.isEmpty())
        fStorage->SetFileName(DataFolder + QStringLiteral("/frmPlayer.ini"));
}

void TfrmPlayer::showEvent(QShowEvent* event) {
    if (!fStorage->Restored())
        ReportErrors([this] { fStorage->RestoreState(); });
    QWidget::showEvent(event);
}

void TfrmPlayer::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    const bool ok = ReportErrors([&] { FormCloseQuery(canClose); });
    if (!ok || !canClose) {
        event->ignore();
        return;
    }
    ReportErrors([this] { fStorage->SaveState(); });
    event->accept(); // the window hides; it lives until the program ends
}

// ---------------------------------------------------------------------------
// Opening an entry

bool TfrmPlayer::OpenEntry(TItemGrid& grid) {
    const int selected = grid.SelectedRow();
    if (selected < 0 || selected >= grid.RowCount())
        return false; // no row to open

    CurrentRow = selected;
    const int type = StrToInt(grid.CellsByName(colType, CurrentRow));
    if (type != iiVideo && type != iiAudio) {
        ShellOpenFile(grid.window(), grid.Cells(colPathIndex, selected));
        return false;
    }

    const TPlaylistPtr playlist = wmpPlayer->newPlaylist(QStringLiteral("Temp"), QStringLiteral("eee"));
    playlist->clear();
    // The column names are looked up once; the walk may cover many rows.
    const int typeColumn = grid.ColumnByName(colType)->Index();
    const int pathColumn = grid.ColumnByName(colPath)->Index();
    const int rowCount = grid.RowCount();
    for (int row = CurrentRow; row < rowCount; ++row) {
        const int rowType = StrToInt(grid.Cells(typeColumn, row));
        if (rowType == iiVideo || rowType == iiAudio)
            playlist->appendItem(wmpPlayer->newMedia(grid.Cells(pathColumn, row)));
    }

    AttachGrid(grid);
    wmpPlayer->setCurrentPlaylist(playlist);
    const double resume = grid.CellByName(colCurrentPosition, CurrentRow).AsFloat();
    if (resume < 0 || resume > 0) // neither 0 nor a value that compares unordered
        wmpPlayer->controls().setCurrentPosition(resume);
    ShowPlayer();
    wmpPlayer->controls().play();
    return true;
}

void TfrmPlayer::ShowPlayer() {
    if (!isVisible()) {
        show();
        return;
    }
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void TfrmPlayer::AttachGrid(TItemGrid& grid) {
    if (fGrid != &grid) {
        for (const QMetaObject::Connection& c : fGridConnections)
            disconnect(c);
        fGridConnections.clear();
        fGrid = &grid;
        // Showing another collection empties the grid first; from then on the
        // rows are another table's and receive nothing from this playlist.
        QAbstractItemModel* model = grid.model();
        fGridConnections << connect(model, &QAbstractItemModel::modelReset, this, &TfrmPlayer::GridContentReplaced)
                         << connect(model, &QAbstractItemModel::rowsRemoved, this, &TfrmPlayer::GridContentReplaced);
    }
    fDetached = false;
}

void TfrmPlayer::GridContentReplaced() {
    if (fGrid && fGrid->RowCount() == 0)
        fDetached = true;
}

int TfrmPlayer::TargetRow(const TMediaItem& item) const {
    if (!fGrid || fDetached)
        return -1;
    const QString path = item.sourceURL();
    const int count = fGrid->RowCount();
    // The current row, when it still holds the entry; otherwise the entry's
    // row wherever deletions, sorting or other double-clicks have left it.
    if (CurrentRow >= 0 && CurrentRow < count && fGrid->Cells(colPathIndex, CurrentRow) == path)
        return CurrentRow;
    for (int row = 0; row < count; ++row)
        if (fGrid->Cells(colPathIndex, row) == path)
            return row;
    return -1;
}

// ---------------------------------------------------------------------------
// Following playback

void TfrmPlayer::wmpPlayerPlayStateChange(int NewState) {
    switch (NewState) {
    case psPlaying: {
        const TMediaItemPtr item = wmpPlayer->currentMedia();
        if (!item || !fGrid || fDetached)
            return;
        if (fGrid->FindText(colPathIndex, item->sourceURL(), soCaseInsensitive | soFromSelected))
            CurrentRow = fGrid->LastFoundRow();
        break;
    }
    case psMediaEnded:
        MarkFinished();
        break;
    default:
        break;
    }
}

int TfrmPlayer::PercentagePlayed(double position, double duration) {
    if (!std::isfinite(duration) || !(duration > 0) || !std::isfinite(position))
        return 0;
    const double percentage = std::nearbyint(position * 100.0 / duration); // halves to even
    if (!std::isfinite(percentage))
        return 0;
    return int(std::clamp(percentage, double(INT_MIN), double(INT_MAX)));
}

void TfrmPlayer::SavePosition() {
    const TMediaItemPtr item = wmpPlayer->currentMedia();
    if (!item)
        return; // nothing loaded: nothing to save
    const double duration = item->duration();
    const int percentage = PercentagePlayed(wmpPlayer->controls().currentPosition(), duration);
    const double position = wmpPlayer->controls().currentPosition();
    const int row = TargetRow(*item);
    if (row < 0)
        return;
    fGrid->CellByName(colCurrentPosition, row).SetAsFloat(position);
    fGrid->CellByName(colProgress, row).SetAsInteger(percentage);
}

void TfrmPlayer::MarkFinished() {
    const TMediaItemPtr item = wmpPlayer->currentMedia();
    if (!item)
        return;
    const int row = TargetRow(*item);
    if (row >= 0)
        fGrid->CellByName(colProgress, row).SetAsInteger(100);
}

void TfrmPlayer::btnStopClick() {
    // A stopped item stands at 0: saving it again would lose the position
    // saved when it was stopped.
    if (wmpPlayer->playState() != psStopped)
        SavePosition();
    wmpPlayer->controls().stop();
}

// ---------------------------------------------------------------------------
// Closing

QString TfrmPlayer::Status() const { return fStatusSource ? fStatusSource() : wmpPlayer->status(); }

bool TfrmPlayer::StatusIsPlaying(const QString& status) {
    return status.left(7).compare(QLatin1String("Playing"), Qt::CaseInsensitive) == 0;
}

bool TfrmPlayer::StatusIsPaused(const QString& status) {
    static const char paused[] = "PAUSED";
    if (status.size() < 6)
        return false;
    for (int i = 0; i < 6; ++i) {
        char16_t c = status.at(i).unicode();
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - u'a' + u'A');
        if (c != char16_t(paused[i]))
            return false;
    }
    return true;
}

void TfrmPlayer::FormCloseQuery(bool& CanClose) {
    if (StatusIsPlaying(Status()))
        SavePosition();
    else if (StatusIsPaused(Status()))
        SavePosition();
    wmpPlayer->close();
    CanClose = true;
}

void TfrmPlayer::SavePositionIfPlaying() {
    if (StatusIsPlaying(Status()) || StatusIsPaused(Status()))
        SavePosition();
}
