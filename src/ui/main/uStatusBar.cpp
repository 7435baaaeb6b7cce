#include "uStatusBar.h"

#include <QPainter>
#include <QResizeEvent>
#include <QSizeGrip>
#include <QStyle>
#include <QStyleOption>

namespace {
constexpr int BarHeight = 19;
constexpr int PanelGap = 2;  // between two panels
constexpr int TextMargin = 3; // inside a panel's frame
} // namespace

TStatusBar::TStatusBar(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    fSizeGrip = new QSizeGrip(this);
    fSizeGrip->setFixedSize(fSizeGrip->sizeHint().boundedTo(QSize(BarHeight, BarHeight)));
}

int TStatusBar::AddPanel(int width, Qt::Alignment alignment, bool ownerDraw) {
    TStatusPanel panel;
    panel.Width = width;
    panel.Alignment = alignment;
    panel.OwnerDraw = ownerDraw;
    fPanels.append(panel);
    update();
    return int(fPanels.size()) - 1;
}

QString TStatusBar::PanelText(int index) const {
    return index >= 0 && index < fPanels.size() ? fPanels.at(index).Text : QString();
}

void TStatusBar::SetPanelText(int index, const QString& text) {
    if (index < 0 || index >= fPanels.size() || fPanels.at(index).Text == text)
        return;
    fPanels[index].Text = text;
    update(PanelRect(index));
}

int TStatusBar::PanelWidth(int index) const {
    return index >= 0 && index < fPanels.size() ? fPanels.at(index).Width : 0;
}

Qt::Alignment TStatusBar::PanelAlignment(int index) const {
    return index >= 0 && index < fPanels.size() ? fPanels.at(index).Alignment : Qt::AlignLeft;
}

QRect TStatusBar::PanelRect(int index) const {
    if (index < 0 || index >= fPanels.size())
        return {};
    int left = 0;
    for (int i = 0; i < index; ++i)
        left += fPanels.at(i).Width;
    // The frame takes the panel's width less the gap to its right neighbour.
    return QRect(left, 2, qMax(0, fPanels.at(index).Width - PanelGap), qMax(0, height() - 3));
}

QSize TStatusBar::sizeHint() const {
    int width = 0;
    for (const TStatusPanel& panel : fPanels)
        width += panel.Width;
    return {width + fSizeGrip->width(), BarHeight};
}

QSize TStatusBar::minimumSizeHint() const { return {0, BarHeight}; }

void TStatusBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fSizeGrip->move(width() - fSizeGrip->width(), height() - fSizeGrip->height());
    // Children placed inside owner-drawn panels follow the new geometry at once.
    for (int i = 0; i < fPanels.size(); ++i)
        if (fPanels.at(i).OwnerDraw)
            Q_EMIT DrawPanel(i, PanelRect(i));
}

void TStatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    // A thin line separates the bar from the window's content above it.
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, 0, width() - 1, 0);
    for (int i = 0; i < fPanels.size(); ++i) {
        const TStatusPanel& panel = fPanels.at(i);
        const QRect r = PanelRect(i);
        if (r.left() >= width())
            break;
        // Sunken panel frame.
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
        if (panel.OwnerDraw) {
            Q_EMIT DrawPanel(i, r);
            continue;
        }
        const QRect textRect = r.adjusted(TextMargin, 0, -TextMargin, 0);
        const QString text =
            fontMetrics().elidedText(panel.Text, Qt::ElideRight, textRect.width());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(textRect, int(panel.Alignment | Qt::AlignVCenter) | Qt::TextSingleLine, text);
    }
}
