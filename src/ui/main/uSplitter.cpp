#include "uSplitter.h"

#include <QMouseEvent>
#include <QPainter>

TSplitter::TSplitter(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::SplitHCursor);
    setFixedWidth(3);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

void TSplitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !fControl) {
        QWidget::mousePressEvent(event);
        return;
    }
    fDragging = true;
    fPressX = qRound(event->globalPosition().x());
    fPressWidth = fControl->width();
    event->accept();
}

void TSplitter::mouseMoveEvent(QMouseEvent* event) {
    if (!fDragging || !fControl)
        return;
    int width = fPressWidth + qRound(event->globalPosition().x()) - fPressX;
    // The space right of the splitter keeps MinSize too.
    const QWidget* host = parentWidget();
    const int limit = host ? host->width() - this->width() - fMinSize : width;
    width = qMax(fMinSize, qMin(width, limit));
    if (width != fControl->width()) {
        fControl->setFixedWidth(width);
        Q_EMIT Moved(width);
    }
}

void TSplitter::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        fDragging = false;
    QWidget::mouseReleaseEvent(event);
}

void TSplitter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
}
