#pragma once
// The item grid grdTable: the table of the collection shown, and the only
// in-memory copy of its entries. Nine columns in a fixed index order; cells
// addressed by index or by column name and the row keywords.
//
// CONTRACT (written before the implementation): the public members below are
// what the other windows call. Extend freely; change a signature only
// together with its callers.

#include "model/uProjectClasses.h"
#include "platform/RegionalSettings.h" // TDateTime and the regional number/date forms

#include <QFlags>
#include <QTableView>
#include <QVariant>

#include <memory>

class QMenu;
class TWholeFileWriter;
class TItemGrid;

enum TColumnIndex : int {
    colPathIndex = 0,
    colCurrentPositionIndex = 1,
    colNameIndex = 2,
    colTypeIndex = 3,
    colProgressIndex = 4,
    colExtensionIndex = 5,
    colAddedIndex = 6,
    colDurationIndex = 7,
    colSizeIndex = 8,
};
constexpr int ColumnCount = 9;

enum TSortType { stAlphabetic, stNumeric, stDate };
enum TSlideCaptionLocation { clLeft, clTop };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

enum TSearchOption {
    soCaseInsensitive = 0x1,
    soContinueFromTop = 0x2,
    soFromSelected = 0x4,
    soSearchInvisible = 0x8,
    soExactMatch = 0x10,
};
Q_DECLARE_FLAGS(TSearchOptions, TSearchOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSearchOptions)

// A column of the grid, under its component name (colPath, colName, ...).
class TGridColumn {
public:
    virtual ~TGridColumn() = default;
    virtual QString Name() const = 0;
    virtual int Index() const = 0;
    virtual int Width() const = 0;
    virtual void SetWidth(int Value) = 0; // below 8 becomes 8
    virtual int Position() const = 0;     // display position, from the left
    virtual void SetPosition(int Value) = 0;
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool Value) = 0;
    virtual bool Sorted() const = 0;
    virtual void SetSorted(bool Value) = 0; // true clears the mark on every other column
    virtual TSlideCaptionLocation SlideCaptionLocation() const = 0;
    virtual void SetSlideCaptionLocation(TSlideCaptionLocation Value) = 0;
    virtual TAlignment Alignment() const = 0;
    virtual void SetAlignment(TAlignment Value) = 0;
    virtual QString StyleClass() const = 0;
    virtual void SetStyleClass(const QString& Value) = 0;
};

// What a cell of a column stores.
enum TCellKind { ckText, ckFloat, ckInteger, ckDate };

// The grid's own columns. The kind decides the cell kind and how a cell is
// drawn; the rest are the column's attributes.
class TItemGridColumn : public TGridColumn {
public:
    TItemGridColumn(TItemGrid* grid, int index, const QString& name, const QString& caption,
                    TSortType sortType, int width, bool visible, bool fixedSize);
    virtual TCellKind CellKind() const = 0;

    QString Name() const override { return fName; }
    int Index() const override { return fIndex; }
    int Width() const override;
    void SetWidth(int Value) override;
    int Position() const override;
    void SetPosition(int Value) override;
    bool Visible() const override;
    void SetVisible(bool Value) override;
    bool Sorted() const override;
    void SetSorted(bool Value) override;
    TSlideCaptionLocation SlideCaptionLocation() const override { return fSlideCaptionLocation; }
    void SetSlideCaptionLocation(TSlideCaptionLocation Value) override { fSlideCaptionLocation = Value; }
    TAlignment Alignment() const override { return fAlignment; }
    void SetAlignment(TAlignment Value) override;
    QString StyleClass() const override { return fStyleClass; }
    void SetStyleClass(const QString& Value) override { fStyleClass = Value; }

    QString Caption() const { return fCaption; }
    QString Hint() const { return fHint; }
    void SetHint(const QString& Value) { fHint = Value; }
    TSortType SortType() const { return fSortType; }
    bool FixedSize() const { return fFixedSize; }
    // The direction the column sorts in when it next takes the sorted mark.
    bool Ascending() const { return fAscending; }

private:
    friend class TItemGrid;
    TItemGrid* fGrid;
    int fIndex;
    QString fName;
    QString fCaption;
    QString fHint;
    TSortType fSortType;
    int fWidth;
    bool fFixedSize;
    bool fAscending = true;
    TSlideCaptionLocation fSlideCaptionLocation = clTop;
    TAlignment fAlignment = taLeftJustify;
    QString fStyleClass;
};

class TTextColumn : public TItemGridColumn {
public:
    using TItemGridColumn::TItemGridColumn;
    TCellKind CellKind() const override { return ckText; }
};
class TNumberColumn : public TItemGridColumn {
public:
    using TItemGridColumn::TItemGridColumn;
    TCellKind CellKind() const override { return ckFloat; }
};
class TProgressColumn : public TItemGridColumn {
public:
    using TItemGridColumn::TItemGridColumn;
    TCellKind CellKind() const override { return ckFloat; }
};
class TImageColumn : public TItemGridColumn {
public:
    using TItemGridColumn::TItemGridColumn;
    TCellKind CellKind() const override { return ckInteger; }
};
class TDateColumn : public TItemGridColumn {
public:
    using TItemGridColumn::TItemGridColumn;
    TCellKind CellKind() const override { return ckDate; }
};

// A cell, addressed by column and row; typed access by the column's cell kind.
class TCell {
public:
    TCell(TItemGrid* grid, int col, int row) : fGrid(grid), fCol(col), fRow(row) {}
    QString AsString() const;
    void SetAsString(const QString& Value); // raises EConvertError for a bad number
    int AsInteger() const;
    void SetAsInteger(int Value);
    double AsFloat() const;
    void SetAsFloat(double Value);
    TDateTime AsDateTime() const;
    void SetAsDateTime(TDateTime Value);
    int Col() const { return fCol; }
    int Row() const { return fRow; }

private:
    TItemGrid* fGrid;
    int fCol;
    int fRow;
};

class TItemGrid : public QTableView, public ITableGrid {
    Q_OBJECT
public:
    explicit TItemGrid(QWidget* parent = nullptr);
    ~TItemGrid() override;

    int RowCount() const override;
    int AddRow(int Count = 1); // returns the index of the last row added
    void DeleteRow(int Index);
    void ClearRows() override;
    bool RowSelected(int Index) const;
    void SetRowSelected(int Index, bool Value);
    int SelectedRow() const; // the focused row, -1 when none
    int LastFoundRow() const;

    TCell Cell(int ACol, int ARow);             // raises EGridError out of range
    QString Cells(int ACol, int ARow) const;    // out of range: empty, no error
    void SetCells(int ACol, int ARow, const QString& Value); // out of range: nothing
    TCell CellByName(const QVariant& ACol, const QVariant& ARow);
    QString CellsByName(const QVariant& ACol, const QVariant& ARow);

    bool FindText(int Index, const QString& S, TSearchOptions Options);

    void BeginUpdate();
    void EndUpdate();

    TGridColumn* Column(int Index) const;
    TGridColumn* ColumnByName(const QString& Name) const; // nullptr when none

    void SaveToTextFile(const QString& fileName, QChar separator, QChar multiLineSeparator,
                        TEncodingKind encodingKind) override;
    void LoadFromTextFile(const QString& fileName, QChar separator, QChar multiLineSeparator,
                          int startRow) override;

    // The grid's own popup menu (pumTable), shown on a right click anywhere on it.
    void SetPopupMenu(QMenu* menu);

    // The table file's bytes, as SaveToTextFile writes them.
    QByteArray SaveToBytes(QChar separator = u',', QChar multiLineSeparator = u'|') const;
    // Replaces the rows with those of a table file's bytes, as LoadFromTextFile
    // does after reading the file; raises EConvertError at the first field that
    // does not parse, keeping the rows read so far.
    void LoadFromBytes(const QByteArray& data, QChar separator = u',', QChar multiLineSeparator = u'|',
                       int startRow = 0);

    // What a click on a column's header does: sorts by that column.
    void ClickHeader(int Index);
    int SortedColumn() const; // -1 when no column carries the mark
    int SelectedColumn() const;
    int AnchorRow() const;
    int UpdateCount() const;
    // Pixel rectangle of a cell in the viewport (for tests and drawing).
    QRect CellRect(int ACol, int ARow) const;

    static QString ClassName() { return QStringLiteral("TItemGrid"); }

Q_SIGNALS:
    void DblClick(); // a double-click on a row (grdTableDblClick)

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    friend class TCell;
    friend class TItemGridColumn;
    friend class TItemGridModel;
    friend class TItemGridDelegate;
    // The table file's rows, into one block (no sink) or streamed into a file.
    QByteArray WriteRows(QChar separator, QChar multiLineSeparator, TWholeFileWriter* sink) const;
    struct TImpl;
    std::unique_ptr<TImpl> d;
};
