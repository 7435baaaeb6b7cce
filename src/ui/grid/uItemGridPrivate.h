#pragma once
// Inside the item grid: the row store shared by the grid, its model, its
// delegate and the table file code. Not for use outside src/ui/grid.

#include "ui/grid/uItemGrid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QPointer>
#include <QStyledItemDelegate>

#include <array>
#include <vector>

// Which text slot of a row each column uses (-1: not a text column).
constexpr int TextSlotOf[ColumnCount] = {0, -1, 1, -1, -1, 2, -1, 3, 4};
constexpr int TextSlotCount = 5;
constexpr TCellKind CellKindOf[ColumnCount] = {ckText, ckFloat, ckText, ckInteger, ckFloat,
                                               ckText, ckDate,  ckText, ckText};

// One row, kept compact because a table may hold 100,000 of them: the five
// texts share one buffer, the numbers are plain fields. The lower-cased path
// is kept for the duplicate test of import (null when it equals the path).
struct TGridRow {
    QString Buf;                              // path, name, extension, duration, size
    QString PathLower;                        // null: the path is already lower case
    std::array<quint32, TextSlotCount> End{}; // end offset of each text in Buf
    double CurrentPosition = 0;
    double Progress = 0;
    TDateTime Added = 0;
    qint32 Type = 0;
    bool Selected = false;

    QStringView Text(int slot) const {
        const quint32 begin = slot == 0 ? 0 : End[slot - 1];
        return QStringView(Buf).mid(begin, End[slot] - begin);
    }
    QStringView LowerPath() const { return PathLower.isNull() ? Text(0) : QStringView(PathLower); }
    void SetText(int slot, QStringView value);
    void UpdateLowerPath();
};

// Lower-cases a path; returns a null string when it is lower case already.
QString LowerCopy(QStringView text);

class TItemGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    TItemGridModel(TItemGrid* grid, TItemGrid::TImpl* impl) : QAbstractTableModel(grid), fGrid(grid), d(impl) {}
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    using QAbstractTableModel::beginInsertRows;
    using QAbstractTableModel::beginRemoveRows;
    using QAbstractTableModel::beginResetModel;
    using QAbstractTableModel::endInsertRows;
    using QAbstractTableModel::endRemoveRows;
    using QAbstractTableModel::endResetModel;
    using QAbstractTableModel::layoutAboutToBeChanged;
    using QAbstractTableModel::layoutChanged;

private:
    TItemGrid* fGrid;
    TItemGrid::TImpl* d;
};

class TItemGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TItemGridDelegate(TItemGrid* grid, TItemGrid::TImpl* impl) : QStyledItemDelegate(grid), fGrid(grid), d(impl) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    TItemGrid* fGrid;
    TItemGrid::TImpl* d;
};

// The header: sorts on click, moves columns by drag and hides a column that
// is dropped outside the header row.
class TItemGridHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit TItemGridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int fPressed = -1;
    QPoint fPressPos;
    std::vector<int> fSizesAtPress;
};

struct TItemGrid::TImpl {
    TItemGrid* q = nullptr;
    TItemGridModel* Model = nullptr;
    TItemGridHeader* Header = nullptr;
    std::vector<TGridRow> Rows;
    std::array<TItemGridColumn*, ColumnCount> Columns{};
    int SelectedRow = -1;
    int Anchor = -1;
    int SelectedColumn = 0;
    int LastFoundRow = -1;
    int SortedColumn = -1;
    bool SortValid = false; // rows are in the sorted column's order (nothing appended since)
    int UpdateCount = 0;
    bool ResetOpen = false; // a model reset runs until the outermost EndUpdate
    bool DragSelecting = false;
    QPointer<QMenu> PopupMenu;

    ~TImpl();

    int RowCount() const { return static_cast<int>(Rows.size()); }
    bool ValidCell(int col, int row) const { return col >= 0 && col < ColumnCount && row >= 0 && row < RowCount(); }
    void CheckCell(int col, int row) const;

    // Inside BeginUpdate the model's changes are gathered into one reset.
    bool Deferred();
    void CellChanged(int col, int row);
    void SelectionChanged();

    QString CellString(int col, int row) const;
    void SetCellString(int col, int row, QStringView value); // may raise EConvertError
    double CellFloat(int col, int row) const;
    void SetCellFloat(int col, int row, double value);
    int CellInteger(int col, int row) const;
    void SetCellInteger(int col, int row, int value);
    TDateTime CellDateTime(int col, int row) const;
    void SetCellDateTime(int col, int row, TDateTime value);

    void AppendRows(std::vector<TGridRow>&& rows); // load: one model reset
    void SortRows(int col, bool ascending);
    void ReverseRows();
    void ApplyPermutation(const std::vector<int>& order);

    // Selection gestures.
    void SelectOnly(int row);
    void SelectRange(int from, int to, bool keepOthers);
    void ClearSelection();
    void Focus(int row, bool scroll);
    void ScrollToRow(int row);
};
