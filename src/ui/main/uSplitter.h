#pragma once
// Splitter1: the bar between the tree panel and the grid. Dragging it changes
// the width of the control on its left (Panel1), which keeps that width when
// the window is resized; the grid takes the rest.

#include <QPointer>
#include <QWidget>

class TSplitter : public QWidget {
    Q_OBJECT
public:
    explicit TSplitter(QWidget* parent = nullptr);

    // The control whose width the splitter drags.
    void SetControl(QWidget* control) { fControl = control; }
    QWidget* Control() const { return fControl; }
    // The smallest width the control and the space right of the splitter keep.
    int MinSize() const { return fMinSize; }
    void SetMinSize(int value) { fMinSize = value; }

    QSize sizeHint() const override { return {3, 0}; }

Q_SIGNALS:
    void Moved(int controlWidth);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<QWidget> fControl;
    int fMinSize = 30;
    bool fDragging = false;
    int fPressX = 0;
    int fPressWidth = 0;
};
