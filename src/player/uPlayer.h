#pragma once
// The player window frmPlayer: plays a playlist of the grid's audio and video
// entries in the media player component and writes the position reached and
// the percentage played back into the rows.

#include <QWidget>

class TfrmPlayer : public QWidget {
    Q_OBJECT
public:
    explicit TfrmPlayer(QWidget* parent = nullptr);
    ~TfrmPlayer() override;

private:
    void FormCreate();
};

extern TfrmPlayer* frmPlayer;
