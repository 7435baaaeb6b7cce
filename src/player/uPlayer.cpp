#include "uPlayer.h"

#include "platform/ErrorReport.h"

TfrmPlayer* frmPlayer = nullptr;

// Bare window for now: the component and its controls come with the playback work.
TfrmPlayer::TfrmPlayer(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmPlayer"));
    setWindowTitle(QStringLiteral("Player"));
    resize(691, 455);
    ReportErrors([this] { FormCreate(); });
}

TfrmPlayer::~TfrmPlayer() = default;

void TfrmPlayer::FormCreate() {}
