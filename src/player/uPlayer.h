#pragma once
// The player window frmPlayer: plays a playlist of the grid's audio and video
// entries in the media player component and writes the position reached and
// the percentage played back into the rows.
//
// The main window calls in three places:
//   grdTableDblClick:   if (frmPlayer->OpenEntry(*grdTable)) CurrentTable->SetIsChanged(true);
//   its close handler:  frmPlayer->SavePositionIfPlaying(); first, before the table is saved
//   import:             frmPlayer->wmpPlayer->newMedia(path)->durationString()

#include <QList>
#include <QMetaObject>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QFrame;
class QPushButton;
class TItemGrid;
class TMediaItem;
class TMediaPlayer;
class TWindowStateStorage;

// The grid row into which the player writes position and percentage; set by
// every double-click on the grid and moved as the playlist advances. 0 at start.
extern std::int32_t CurrentRow;

class TfrmPlayer : public QWidget {
    Q_OBJECT
public:
    explicit TfrmPlayer(QWidget* parent = nullptr);
    ~TfrmPlayer() override;

    // Components, under their names.
    QFrame* pnlPlayer = nullptr;
    TMediaPlayer* wmpPlayer = nullptr;
    QPushButton* btnStop = nullptr;
    QList<QPixmap> ImageList1; // 0: grey stop square, 1: blue (mouse over the button)

    // Opens the grid's selected entry, as the grid's double-click does: a
    // document goes to the shell; an audio or video entry is played with every
    // later audio or video row, from its resume position, in this window.
    // Returns true when a playlist was started (the table is then changed).
    // An empty table does nothing. A type text that is not an integer raises
    // EConvertError (nothing is started then).
    bool OpenEntry(TItemGrid& grid);

    // Saves position and percentage of the entry playing or paused, as closing
    // this window would; nothing otherwise. The main window's close handler
    // calls it first, so the table it saves holds the position reached.
    void SavePositionIfPlaying();

    // The grid the playlist was started from (nullptr before the first one).
    TItemGrid* Grid() const;

    // The close test on the component's status text: "Playing" in its first
    // 7 characters ignoring case, "Paused" in its first 6 ignoring the case of
    // A to Z.
    static bool StatusIsPlaying(const QString& status);
    static bool StatusIsPaused(const QString& status);
    // position * 100 / duration, rounded to the nearest integer with halves to
    // the even neighbour; 0 when the duration is zero or unknown.
    static int PercentagePlayed(double position, double duration);

    // Tests replace the status text that the close tests read; an empty
    // function restores the component's.
    void SetStatusSource(std::function<QString()> source) { fStatusSource = std::move(source); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private Q_SLOTS:
    void btnStopClick();
    void wmpPlayerPlayStateChange(int NewState);

private:
    void FormCreate();
    void FormCloseQuery(bool& CanClose);
    void SavePosition();
    void MarkFinished();
    void ShowPlayer();
    QString Status() const;
    void AttachGrid(TItemGrid& grid);
    void GridContentReplaced();
    // The row that holds the item's entry in the grid the playlist was started
    // from, or -1 when there is none.
    int TargetRow(const TMediaItem& item) const;

    std::unique_ptr<TWindowStateStorage> fStorage;
    QPointer<TItemGrid> fGrid;
    bool fDetached = true; // the grid no longer shows the table played from
    QList<QMetaObject::Connection> fGridConnections;
    std::function<QString()> fStatusSource;
};

extern TfrmPlayer* frmPlayer;
