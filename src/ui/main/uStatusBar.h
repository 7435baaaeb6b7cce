#pragma once
// The main window's status bar: a row of fixed-width panels with a text each,
// left-aligned, centred or right-aligned; a panel marked as drawn by the
// program asks its owner to draw it (DrawPanel), which the main window uses to
// place the import's progress bar inside panel 2.

#include <QList>
#include <QString>
#include <QWidget>

class QSizeGrip;

class TStatusBar : public QWidget {
    Q_OBJECT
public:
    struct TStatusPanel {
        int Width = 50;
        Qt::Alignment Alignment = Qt::AlignLeft;
        QString Text;
        bool OwnerDraw = false; // drawn by the program (psOwnerDraw)
    };

    explicit TStatusBar(QWidget* parent = nullptr);

    // Appends a panel and returns its index.
    int AddPanel(int width, Qt::Alignment alignment, bool ownerDraw = false);
    int PanelCount() const { return int(fPanels.size()); }

    QString PanelText(int index) const;
    void SetPanelText(int index, const QString& text);
    int PanelWidth(int index) const;
    Qt::Alignment PanelAlignment(int index) const;

    // The panel's rectangle in the status bar's coordinates.
    QRect PanelRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // A panel drawn by the program is being drawn (StatusBarDrawPanel).
    void DrawPanel(int index, const QRect& rect);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QList<TStatusPanel> fPanels;
    QSizeGrip* fSizeGrip = nullptr;
};
