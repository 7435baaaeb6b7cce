#pragma once
// Inside the item grid: the row store shared by the grid, its model, its
// delegate and the table file code. Not for use outside src/ui/grid.

#include "ui/grid/uItemGrid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QPointer>
#include <QStyledItemDelegate>

#include <array>
#include <memory>
#include <vector>

// Which text slot of a row each column uses (-1: not a text column).
constexpr int TextSlotOf[ColumnCount] = {0, -1, 1, -1, -1, 2, -1, 3, 4};
constexpr int TextSlotCount = 5;
constexpr TCellKind CellKindOf[ColumnCount] = {ckText, ckFloat, ckText, ckInteger, ckFloat,
                                               ckText, ckDate,  ckText, ckText};

// One row, kept compact because a table may hold 100,000 of them: the five
// texts, the numbers as plain fields, and the lower-cased path for the
// duplicate test of import (null when the path has no capital letter). Texts
// of a loaded table point into the file's own decoded text (see TRowArena);
// a text assigned later is an ordinary string of its own.
struct TGridRow {
    std::array<QString, TextSlotCount> Texts;
    QString PathLower;
    double CurrentPosition = 0;
    double Progress = 0;
    TDateTime Added = 0;
    qint32 Type = 0;
    bool Selected = false;

    QStringView Text(int slot) const { return Texts[slot]; }
    QStringView LowerPath() const { return PathLower.isNull() ? QStringView(Texts[0]) : QStringView(PathLower); }
    void SetText(int slot, const QString& value, class TRowArena& arena);
};

// Lower-cases a path; returns a null string when nothing changes.
QString LowerCopy(QStringView text);

// The memory that the rows of a loaded table point into: the file's decoded
// text and the lower-cased paths, in a few large blocks instead of two heap
// blocks per row. Released only together with all rows (ClearRows).
class TRowArena {
public:
    void Keep(const QByteArray& bytes) { fBytes.push_back(bytes); }
    void Keep(const QString& text) { fTexts.push_back(text); }
    // A string over arena memory holding the lower-cased text; null when the
    // text has no capital letter.
    QString LowerCopy(QStringView text);
    void Clear();

private:
    std::vector<QByteArray> fBytes;
    std::vector<QString> fTexts;
    std::vector<std::unique_ptr<char16_t[]>> fBlocks;
    char16_t* fNext = nullptr;
    qsizetype fLeft = 0;
};

// The rows, in blocks of 1024 that never move: growing the pool neither
// copies rows nor touches memory twice.
class TRowPool {
public:
    std::size_t size() const { return fSize; }
    bool empty() const { return fSize == 0; }
    TGridRow& operator[](std::size_t i) { return fBlocks[i >> Shift][i & Mask]; }
    const TGridRow& operator[](std::size_t i) const { return fBlocks[i >> Shift][i & Mask]; }
    TGridRow& back() { return (*this)[fSize - 1]; }
    TGridRow& emplace_back() {
        if (fSize == fBlocks.size() << Shift)
            fBlocks.push_back(std::make_unique<TGridRow[]>(std::size_t(1) << Shift));
        return (*this)[fSize++];
    }
    void clear() {
        fBlocks.clear();
        fBlocks.shrink_to_fit();
        fSize = 0;
    }

private:
    static constexpr int Shift = 10;
    static constexpr std::size_t Mask = (std::size_t(1) << Shift) - 1;
    std::vector<std::unique_ptr<TGridRow[]>> fBlocks;
    std::size_t fSize = 0;
};

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
    // Rows live in a pool that sorting never moves; Order maps a row index to
    // its pool slot, so a sort only rearranges indices. Arena is declared
    // before Pool: the rows go first.
    TRowArena Arena;
    TRowPool Pool;
    std::vector<int> Order;
    std::vector<int> FreeSlots; // pool slots of deleted rows, reused by AddRow
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

    int RowCount() const { return static_cast<int>(Order.size()); }
    TGridRow& Row(int i) { return Pool[Order[i]]; }
    const TGridRow& Row(int i) const { return Pool[Order[i]]; }
    bool ValidCell(int col, int row) const { return col >= 0 && col < ColumnCount && row >= 0 && row < RowCount(); }
    void CheckCell(int col, int row) const {
        if (!ValidCell(col, row))
            RaiseOutOfRange(col, row);
    }
    [[noreturn]] static void RaiseOutOfRange(int col, int row);

    // Inside BeginUpdate the model's changes are gathered into one reset.
    bool Deferred();
    void CellChanged(int col, int row);
    void SelectionChanged();

    QString CellString(int col, int row) const;
    void SetCellString(int col, int row, const QString& value); // may raise EConvertError
    double CellFloat(int col, int row) const;
    void SetCellFloat(int col, int row, double value);
    int CellInteger(int col, int row) const;
    void SetCellInteger(int col, int row, int value);
    TDateTime CellDateTime(int col, int row) const;
    void SetCellDateTime(int col, int row, TDateTime value);

    void AppendPoolRows(std::size_t firstSlot); // rows put in the pool by a load: one model reset
    void SortRows(int col, bool ascending);
    void ReverseRows();
    void ApplyPermutation(const std::vector<int>& order); // order[new index] = old index

    // Selection gestures.
    void SelectOnly(int row);
    void SelectRange(int from, int to, bool keepOthers);
    void ClearSelection();
    void Focus(int row, bool scroll);
    void ScrollToRow(int row);
};
