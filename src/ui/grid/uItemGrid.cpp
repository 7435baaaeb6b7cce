#include "ui/grid/uItemGrid.h"

#include "platform/Errors.h"
#include "platform/ImageList.h"
#include "ui/grid/uItemGridPrivate.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStringMatcher>
#include <QToolTip>

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cmath>
#include <numeric>

// ===========================================================================
// Rows

namespace {
enum class TLowered { Unchanged, Changed, NotAscii };

// Writes the ASCII lower case of `text` to `out` (text.size() code units).
TLowered LowerAscii(QStringView text, char16_t* out) {
    const char16_t* s = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
    bool changed = false;
#if defined(__SSE2__)
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i beforeA = _mm_set1_epi16('A' - 1);
    const __m128i afterZ = _mm_set1_epi16('Z' + 1);
    const __m128i caseBit = _mm_set1_epi16(32);
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(x, high), zero)) != 0xFFFF)
            return TLowered::NotAscii;
        const __m128i upper = _mm_and_si128(_mm_cmpgt_epi16(x, beforeA), _mm_cmplt_epi16(x, afterZ));
        changed |= _mm_movemask_epi8(upper) != 0;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_add_epi16(x, _mm_and_si128(upper, caseBit)));
    }
#endif
    for (; i < n; ++i) {
        const char16_t c = s[i];
        if (c >= 0x80)
            return TLowered::NotAscii;
        const bool upper = c >= u'A' && c <= u'Z';
        changed |= upper;
        out[i] = upper ? char16_t(c + 32) : c;
    }
    return changed ? TLowered::Changed : TLowered::Unchanged;
}

QString LowerOutsideAscii(QStringView text) {
    QString lower = text.toString().toLower();
    if (QStringView(lower) == text)
        return {};
    return lower;
}
} // namespace

QString LowerCopy(QStringView text) {
    if (text.isEmpty())
        return {};
    QString lower(text.size(), Qt::Uninitialized);
    switch (LowerAscii(text, reinterpret_cast<char16_t*>(lower.data()))) {
    case TLowered::Changed: return lower;
    case TLowered::Unchanged: return {};
    case TLowered::NotAscii: break;
    }
    return LowerOutsideAscii(text);
}

QString TRowArena::LowerCopy(QStringView text) {
    const qsizetype n = text.size();
    if (n == 0)
        return {};
    if (n > fLeft) {
        const qsizetype size = std::max<qsizetype>(n, 256 * 1024);
        fBlocks.push_back(std::unique_ptr<char16_t[]>(new char16_t[size])); // no zeroing: written before read
        fNext = fBlocks.back().get();
        fLeft = size;
    }
    switch (LowerAscii(text, fNext)) {
    case TLowered::Changed: {
        QString lower = QString::fromRawData(reinterpret_cast<const QChar*>(fNext), n);
        fNext += n;
        fLeft -= n;
        return lower;
    }
    case TLowered::Unchanged: return {};
    case TLowered::NotAscii: break;
    }
    return LowerOutsideAscii(text);
}

void TRowArena::Clear() {
    fBytes.clear();
    fTexts.clear();
    fBlocks.clear();
    fNext = nullptr;
    fLeft = 0;
}

void TGridRow::SetText(int slot, const QString& value, TRowArena& arena) {
    if (!value.isEmpty() && const_cast<QString&>(value).data_ptr().d_ptr() == nullptr)
        Texts[slot] = QString(value.constData(), value.size()); // raw data of someone else's: copy it
    else
        Texts[slot] = value;
    if (slot == 0)
        PathLower = arena.LowerCopy(Texts[0]);
}

// ===========================================================================
// Columns

TItemGridColumn::TItemGridColumn(TItemGrid* grid, int index, const QString& name, const QString& caption,
                                 TSortType sortType, int width, bool visible, bool fixedSize)
    : fGrid(grid), fIndex(index), fName(name), fCaption(caption), fSortType(sortType), fWidth(width),
      fFixedSize(fixedSize) {
    (void)visible; // applied by the grid once every column exists
}

int TItemGridColumn::Width() const {
    const QHeaderView* h = fGrid->d->Header;
    if (!h->isSectionHidden(fIndex) && h->sectionSize(fIndex) > 0)
        return h->sectionSize(fIndex);
    return fWidth;
}

void TItemGridColumn::SetWidth(int Value) {
    fWidth = std::max(Value, 8);
    fGrid->d->Header->resizeSection(fIndex, fWidth);
}

int TItemGridColumn::Position() const {
    return fGrid->d->Header->visualIndex(fIndex);
}

void TItemGridColumn::SetPosition(int Value) {
    QHeaderView* h = fGrid->d->Header;
    const int to = std::clamp(Value, 0, ColumnCount - 1);
    const int from = h->visualIndex(fIndex);
    if (from != to)
        h->moveSection(from, to);
}

bool TItemGridColumn::Visible() const {
    return !fGrid->d->Header->isSectionHidden(fIndex);
}

void TItemGridColumn::SetVisible(bool Value) {
    fGrid->d->Header->setSectionHidden(fIndex, !Value);
}

bool TItemGridColumn::Sorted() const {
    return fGrid->d->SortedColumn == fIndex;
}

void TItemGridColumn::SetSorted(bool Value) {
    TItemGrid::TImpl* d = fGrid->d.get();
    if (Value) {
        if (d->SortedColumn != fIndex) {
            d->SortedColumn = fIndex;
            d->SortValid = false; // the rows were not put in this order
        }
    } else if (d->SortedColumn == fIndex) {
        d->SortedColumn = -1;
        d->SortValid = false;
    }
    if (d->SortedColumn >= 0) {
        d->Header->setSortIndicatorShown(true);
        d->Header->setSortIndicator(d->SortedColumn, d->Columns[d->SortedColumn]->Ascending()
                                                         ? Qt::AscendingOrder
                                                         : Qt::DescendingOrder);
    } else {
        d->Header->setSortIndicatorShown(false);
    }
}

void TItemGridColumn::SetAlignment(TAlignment Value) {
    fAlignment = Value;
    fGrid->viewport()->update();
}

// ===========================================================================
// Cells

QString TCell::AsString() const {
    fGrid->d->CheckCell(fCol, fRow);
    return fGrid->d->CellString(fCol, fRow);
}
void TCell::SetAsString(const QString& Value) {
    fGrid->d->CheckCell(fCol, fRow);
    fGrid->d->SetCellString(fCol, fRow, Value);
}
int TCell::AsInteger() const {
    fGrid->d->CheckCell(fCol, fRow);
    return fGrid->d->CellInteger(fCol, fRow);
}
void TCell::SetAsInteger(int Value) {
    fGrid->d->CheckCell(fCol, fRow);
    fGrid->d->SetCellInteger(fCol, fRow, Value);
}
double TCell::AsFloat() const {
    fGrid->d->CheckCell(fCol, fRow);
    return fGrid->d->CellFloat(fCol, fRow);
}
void TCell::SetAsFloat(double Value) {
    fGrid->d->CheckCell(fCol, fRow);
    fGrid->d->SetCellFloat(fCol, fRow, Value);
}
TDateTime TCell::AsDateTime() const {
    fGrid->d->CheckCell(fCol, fRow);
    return fGrid->d->CellDateTime(fCol, fRow);
}
void TCell::SetAsDateTime(TDateTime Value) {
    fGrid->d->CheckCell(fCol, fRow);
    fGrid->d->SetCellDateTime(fCol, fRow, Value);
}

// ===========================================================================
// The row store

TItemGrid::TImpl::~TImpl() {
    for (TItemGridColumn* c : Columns)
        delete c;
}

void TItemGrid::TImpl::RaiseOutOfRange(int col, int row) {
    throw EGridError(QStringLiteral("Grid index out of range (column %1, row %2)").arg(col).arg(row));
}

bool TItemGrid::TImpl::Deferred() {
    if (UpdateCount == 0)
        return false;
    if (!ResetOpen) {
        Model->beginResetModel();
        ResetOpen = true;
    }
    return true;
}

void TItemGrid::TImpl::CellChanged(int col, int row) {
    if (ResetOpen)
        return;
    const QModelIndex index = Model->index(row, col);
    Q_EMIT Model->dataChanged(index, index);
}

void TItemGrid::TImpl::SelectionChanged() {
    if (UpdateCount == 0)
        q->viewport()->update();
}

static double* FloatField(TGridRow& r, int col) {
    return col == colCurrentPositionIndex ? &r.CurrentPosition : &r.Progress;
}
static double FloatValue(const TGridRow& r, int col) {
    return col == colCurrentPositionIndex ? r.CurrentPosition : r.Progress;
}

QString TItemGrid::TImpl::CellString(int col, int row) const {
    const TGridRow& r = Row(row);
    switch (CellKindOf[col]) {
    case ckText: return r.Text(TextSlotOf[col]).toString();
    case ckFloat: return FloatToStr(FloatValue(r, col));
    case ckInteger: return QString::number(r.Type);
    case ckDate: return DateTimeToStr(r.Added);
    }
    return {};
}

void TItemGrid::TImpl::SetCellString(int col, int row, const QString& value) {
    TGridRow& r = Row(row);
    switch (CellKindOf[col]) {
    case ckText: r.SetText(TextSlotOf[col], value, Arena); break;
    case ckFloat: {
        double v = 0;
        if (!TryStrToFloat(value, v))
            throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(value));
        *FloatField(r, col) = v;
        break;
    }
    case ckInteger: {
        int v = 0;
        if (!value.isEmpty() && !TryStrToInt(value, v))
            throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(value));
        r.Type = v;
        break;
    }
    case ckDate: {
        TDateTime v = 0;
        if (!TryStrToDateTime(value, v))
            v = 0; // unreadable dates become 30 December 1899
        r.Added = v;
        break;
    }
    }
    CellChanged(col, row);
}

double TItemGrid::TImpl::CellFloat(int col, int row) const {
    const TGridRow& r = Row(row);
    switch (CellKindOf[col]) {
    case ckText: return StrToFloat(r.Text(TextSlotOf[col]).toString());
    case ckFloat: return FloatValue(r, col);
    case ckInteger: return r.Type;
    case ckDate: return r.Added;
    }
    return 0;
}

void TItemGrid::TImpl::SetCellFloat(int col, int row, double value) {
    TGridRow& r = Row(row);
    switch (CellKindOf[col]) {
    case ckText: r.SetText(TextSlotOf[col], FloatToStr(value), Arena); break;
    case ckFloat: *FloatField(r, col) = value; break;
    case ckInteger:
        r.Type = std::isfinite(value) ? static_cast<qint32>(std::clamp(std::round(value), -2147483648.0, 2147483647.0)) : 0;
        break;
    case ckDate: r.Added = value; break;
    }
    CellChanged(col, row);
}

int TItemGrid::TImpl::CellInteger(int col, int row) const {
    const TGridRow& r = Row(row);
    auto toInt = [](double v) {
        return std::isfinite(v) ? static_cast<int>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0)) : 0;
    };
    switch (CellKindOf[col]) {
    case ckText: return StrToInt(r.Text(TextSlotOf[col]).toString());
    case ckFloat: return toInt(FloatValue(r, col));
    case ckInteger: return r.Type;
    case ckDate: return toInt(r.Added);
    }
    return 0;
}

void TItemGrid::TImpl::SetCellInteger(int col, int row, int value) {
    TGridRow& r = Row(row);
    switch (CellKindOf[col]) {
    case ckText: r.SetText(TextSlotOf[col], QString::number(value), Arena); break;
    case ckFloat: *FloatField(r, col) = value; break;
    case ckInteger: r.Type = value; break;
    case ckDate: r.Added = value; break;
    }
    CellChanged(col, row);
}

TDateTime TItemGrid::TImpl::CellDateTime(int col, int row) const {
    const TGridRow& r = Row(row);
    switch (CellKindOf[col]) {
    case ckText: return StrToDateTime(r.Text(TextSlotOf[col]).toString());
    case ckFloat: return FloatValue(r, col);
    case ckInteger: return r.Type;
    case ckDate: return r.Added;
    }
    return 0;
}

void TItemGrid::TImpl::SetCellDateTime(int col, int row, TDateTime value) {
    TGridRow& r = Row(row);
    switch (CellKindOf[col]) {
    case ckText: r.SetText(TextSlotOf[col], DateTimeToStr(value), Arena); break;
    case ckFloat: *FloatField(r, col) = value; break;
    case ckInteger: r.Type = std::isfinite(value) ? static_cast<qint32>(std::clamp(std::trunc(value), -2147483648.0, 2147483647.0)) : 0; break;
    case ckDate: r.Added = value; break;
    }
    CellChanged(col, row);
}

void TItemGrid::TImpl::AppendPoolRows(std::size_t firstSlot) {
    const int first = static_cast<int>(firstSlot);
    const int last = static_cast<int>(Pool.size());
    if (first >= last)
        return;
    const bool deferred = Deferred();
    if (!deferred)
        Model->beginResetModel();
    Order.reserve(Order.size() + (last - first));
    for (int slot = first; slot < last; ++slot)
        Order.push_back(slot);
    SortValid = false;
    if (!deferred)
        Model->endResetModel();
}

void TItemGrid::TImpl::ApplyPermutation(const std::vector<int>& order) {
    std::vector<int> sorted(order.size());
    int newSelected = -1, newAnchor = -1;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const int old = order[i];
        if (old == SelectedRow)
            newSelected = static_cast<int>(i);
        if (old == Anchor)
            newAnchor = static_cast<int>(i);
        sorted[i] = Order[old];
    }
    Order = std::move(sorted);
    SelectedRow = newSelected;
    Anchor = newAnchor;
}

namespace {
template <typename Key>
struct TKeyed {
    Key key;
    int index;
};
} // namespace

void TItemGrid::TImpl::SortRows(int col, bool ascending) {
    const int n = RowCount();
    std::vector<int> order(n);
    // Equal keys keep their present order, so a sort never shuffles rows needlessly.
    if (CellKindOf[col] == ckText) {
        const int slot = TextSlotOf[col];
        std::vector<TKeyed<QStringView>> keys(n);
        for (int i = 0; i < n; ++i)
            keys[i] = {Row(i).Text(slot), i};
        if (ascending)
            std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
                const int c = QtPrivate::compareStrings(a.key, b.key, Qt::CaseSensitive);
                return c < 0 || (c == 0 && a.index < b.index);
            });
        else
            std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
                const int c = QtPrivate::compareStrings(a.key, b.key, Qt::CaseSensitive);
                return c > 0 || (c == 0 && a.index < b.index);
            });
        for (int i = 0; i < n; ++i)
            order[i] = keys[i].index;
    } else {
        // The values are gathered in pool order first (one pass through memory),
        // then picked up in row order from that small array. Each key is the
        // value's bits made to sort as an unsigned integer; a stable radix sort
        // keeps equal values in their order, and skips the digits all keys share
        // (a percentage or a type code differs only in a few bits).
        std::vector<quint64> bySlot(Pool.size());
        for (std::size_t slot = 0; slot < Pool.size(); ++slot) {
            const TGridRow& r = Pool[slot];
            double v = 0;
            switch (CellKindOf[col]) {
            case ckFloat: v = FloatValue(r, col); break;
            case ckInteger: v = r.Type; break;
            case ckDate: v = r.Added; break;
            default: break;
            }
            if (std::isnan(v))
                v = -HUGE_VAL;
            if (v == 0)
                v = 0; // -0 sorts with 0
            quint64 bits = 0;
            std::memcpy(&bits, &v, sizeof bits);
            bits = (bits >> 63) ? ~bits : bits | (quint64(1) << 63);
            bySlot[slot] = ascending ? bits : ~bits;
        }
        struct TRowKey {
            quint64 key;
            int index;
        };
        std::vector<TRowKey> keys(n), spare(n);
        for (int i = 0; i < n; ++i)
            keys[i] = {bySlot[Order[i]], i};
        constexpr int DigitBits = 11;
        constexpr std::size_t Buckets = std::size_t(1) << DigitBits;
        std::vector<int> count(Buckets);
        for (int shift = 0; shift < 64; shift += DigitBits) {
            std::fill(count.begin(), count.end(), 0);
            for (const TRowKey& k : keys)
                ++count[(k.key >> shift) & (Buckets - 1)];
            if (n == 0 || count[(keys[0].key >> shift) & (Buckets - 1)] == n)
                continue; // every key has this digit
            int start = 0;
            for (int& c : count) {
                const int here = c;
                c = start;
                start += here;
            }
            for (const TRowKey& k : keys)
                spare[count[(k.key >> shift) & (Buckets - 1)]++] = k;
            keys.swap(spare);
        }
        for (int i = 0; i < n; ++i)
            order[i] = keys[i].index;
    }
    const bool deferred = Deferred();
    if (!deferred)
        Q_EMIT Model->layoutAboutToBeChanged();
    ApplyPermutation(order);
    if (!deferred)
        Q_EMIT Model->layoutChanged();
}

void TItemGrid::TImpl::ReverseRows() {
    const bool deferred = Deferred();
    if (!deferred)
        Q_EMIT Model->layoutAboutToBeChanged();
    std::reverse(Order.begin(), Order.end());
    const int n = RowCount();
    if (SelectedRow >= 0)
        SelectedRow = n - 1 - SelectedRow;
    if (Anchor >= 0)
        Anchor = n - 1 - Anchor;
    if (!deferred)
        Q_EMIT Model->layoutChanged();
}

void TItemGrid::TImpl::ClearSelection() {
    for (std::size_t slot = 0; slot < Pool.size(); ++slot)
        Pool[slot].Selected = false;
}

void TItemGrid::TImpl::SelectOnly(int row) {
    ClearSelection();
    if (row >= 0 && row < RowCount())
        Row(row).Selected = true;
}

void TItemGrid::TImpl::SelectRange(int from, int to, bool keepOthers) {
    const int lo = std::max(0, std::min(from, to));
    const int hi = std::min(RowCount() - 1, std::max(from, to));
    for (int i = 0; i < RowCount(); ++i) {
        if (i >= lo && i <= hi)
            Row(i).Selected = true;
        else if (!keepOthers)
            Row(i).Selected = false;
    }
}

void TItemGrid::TImpl::ScrollToRow(int row) {
    if (row < 0 || row >= RowCount() || UpdateCount > 0 || ResetOpen)
        return;
    int col = Header->logicalIndexAt(0);
    if (col < 0)
        col = Header->logicalIndex(0);
    q->scrollTo(Model->index(row, std::max(col, 0)));
}

void TItemGrid::TImpl::Focus(int row, bool scroll) {
    SelectedRow = row;
    if (scroll)
        ScrollToRow(row);
    SelectionChanged();
}

// ===========================================================================
// Model

int TItemGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : d->RowCount();
}

int TItemGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TItemGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !d->ValidCell(index.column(), index.row()))
        return {};
    const int col = index.column();
    const TGridRow& r = d->Row(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (col) {
        case colTypeIndex: return r.Type;
        case colProgressIndex: return r.Progress;
        default: return d->CellString(col, index.row());
        }
    case Qt::EditRole: return d->CellString(col, index.row());
    default: return {};
    }
}

QVariant TItemGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    const TItemGridColumn* c = d->Columns[section];
    switch (role) {
    case Qt::DisplayRole: return c->Caption();
    case Qt::ToolTipRole: return c->Hint().isEmpty() ? QVariant() : QVariant(c->Hint());
    case Qt::TextAlignmentRole: return int(Qt::AlignLeft | Qt::AlignVCenter);
    default: return {};
    }
}

Qt::ItemFlags TItemGridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags; // never editable in place
}

// ===========================================================================
// Drawing

static Qt::Alignment HorizontalAlignment(TAlignment a) {
    switch (a) {
    case taRightJustify: return Qt::AlignRight;
    case taCenter: return Qt::AlignHCenter;
    default: return Qt::AlignLeft;
    }
}

void TItemGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const int row = index.row();
    const int col = index.column();
    if (!d->ValidCell(col, row))
        return;
    const TGridRow& r = d->Row(row);
    const QPalette& pal = option.palette;
    const bool active = fGrid->hasFocus() || fGrid->isActiveWindow();
    const QPalette::ColorGroup group = active ? QPalette::Active : QPalette::Inactive;
    const QRect rect = option.rect;

    painter->save();
    if (r.Selected)
        painter->fillRect(rect, pal.brush(group, QPalette::Highlight));
    painter->setPen(pal.color(group, r.Selected ? QPalette::HighlightedText : QPalette::Text));
    const TItemGridColumn* column = d->Columns[col];
    const Qt::Alignment hAlign = HorizontalAlignment(column->Alignment());

    switch (col) {
    case colTypeIndex: {
        if (r.Type >= 0 && r.Type <= 16) {
            const int size = std::min({16, rect.height() - 2, rect.width() - 2});
            if (size > 0) {
                const QPixmap pm = imlFormIcon(r.Type).pixmap(QSize(size, size), fGrid->devicePixelRatioF());
                const QRect target = QStyle::alignedRect(Qt::LeftToRight, hAlign | Qt::AlignVCenter,
                                                         QSize(size, size), rect.adjusted(1, 0, -1, 0));
                painter->drawPixmap(target, pm);
            }
        }
        break;
    }
    case colProgressIndex: {
        // Within a 2-pixel margin: "45%" on the left, the bordered bar 30 pixels in.
        const QRect area = rect.adjusted(2, 2, -2, -2);
        const double value = r.Progress;
        const QString text = QString::number(std::isfinite(value) ? qRound64(value) : 0) + u'%';
        painter->setFont(option.font);
        painter->drawText(QRect(area.left(), area.top(), std::min(30, area.width()), area.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, text);
        const QRect box(area.left() + 30, area.top(), area.width() - 30, area.height());
        if (box.width() > 0 && box.height() > 0) {
            painter->setPen(QColor(128, 128, 128));
            painter->setBrush(pal.brush(QPalette::Active, QPalette::Base)); // the column colour
            painter->drawRect(box.adjusted(0, 0, -1, -1));
            const QRect inner = box.adjusted(2, 2, -2, -2);
            if (inner.width() > 0 && inner.height() > 0 && std::isfinite(value) && value > 0) {
                const int w = std::min(inner.width(), static_cast<int>(std::lround(value / 100.0 * inner.width())));
                if (w > 0)
                    painter->fillRect(QRect(inner.left(), inner.top(), w, inner.height()),
                                      pal.brush(QPalette::Active, QPalette::Highlight));
            }
        }
        break;
    }
    default: {
        const QString text = CellKindOf[col] == ckText ? r.Text(TextSlotOf[col]).toString() : d->CellString(col, row);
        const QRect area = rect.adjusted(3, 0, -3, 0);
        painter->setFont(option.font);
        const QString shown = option.fontMetrics.elidedText(text, Qt::ElideRight, area.width());
        painter->drawText(area, int(hAlign | Qt::AlignVCenter) | Qt::TextSingleLine, shown);
        break;
    }
    }

    if (row == d->SelectedRow && fGrid->hasFocus()) {
        // The focused row: a dotted line along its top and bottom.
        QPen pen(pal.color(group, r.Selected ? QPalette::HighlightedText : QPalette::Text));
        pen.setStyle(Qt::DotLine);
        painter->setPen(pen);
        painter->drawLine(rect.topLeft(), rect.topRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    }
    painter->restore();
}

bool TItemGridDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) {
    // A text that does not fit shows whole in a tooltip.
    if (event->type() == QEvent::ToolTip && d->ValidCell(index.column(), index.row()) &&
        CellKindOf[index.column()] != ckInteger && index.column() != colProgressIndex) {
        const QString text = d->CellString(index.column(), index.row());
        if (option.fontMetrics.horizontalAdvance(text) > option.rect.width() - 6) {
            QToolTip::showText(event->globalPos(), text, view);
            return true;
        }
        QToolTip::hideText();
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

// ===========================================================================
// Header

void TItemGridHeader::mousePressEvent(QMouseEvent* event) {
    fPressed = event->button() == Qt::LeftButton ? logicalIndexAt(event->position().toPoint()) : -1;
    fPressPos = event->position().toPoint();
    fSizesAtPress.clear();
    for (int i = 0; i < count(); ++i)
        fSizesAtPress.push_back(sectionSize(i));
    QHeaderView::mousePressEvent(event);
}

void TItemGridHeader::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const int pressed = fPressed;
    fPressed = -1;
    bool resized = false;
    for (int i = 0; i < count() && i < int(fSizesAtPress.size()); ++i)
        if (sectionSize(i) != fSizesAtPress[i])
            resized = true;
    const bool dragged = (pos - fPressPos).manhattanLength() >= QApplication::startDragDistance();
    const bool outside = pos.y() < 0 || pos.y() >= height();
    const int visualBefore = pressed >= 0 ? visualIndex(pressed) : -1;
    QHeaderView::mouseReleaseEvent(event);
    if (pressed >= 0 && dragged && outside && !resized && sectionsMovable()) {
        // Dropped outside the header row: the column goes out of view where it stood.
        if (visualIndex(pressed) != visualBefore)
            moveSection(visualIndex(pressed), visualBefore);
        hideSection(pressed);
    }
}

// ===========================================================================
// The grid

TItemGrid::TItemGrid(QWidget* parent) : QTableView(parent), d(std::make_unique<TImpl>()) {
    d->q = this;
    setObjectName(QStringLiteral("grdTable"));

    struct TColumnDef {
        const char* name;
        const char* caption;
        int kind; // 0 text, 1 number, 2 image, 3 progress, 4 date
        TSortType sort;
        int width;
        bool visible;
        bool fixed;
    };
    static const TColumnDef defs[ColumnCount] = {
        {"colPath", "Path", 0, stAlphabetic, 80, false, false},
        {"colCurrentPosition", "Video Position", 1, stNumeric, 80, false, false},
        {"colName", "Name", 0, stAlphabetic, 120, true, false},
        {"colType", "Type", 2, stNumeric, 30, true, true},
        {"colProgress", "Progress", 3, stNumeric, 80, true, false},
        {"colExtension", "Extension", 0, stAlphabetic, 35, true, false},
        {"colAdded", "Added", 4, stDate, 80, true, false},
        {"colDuration", "Duration", 0, stAlphabetic, 60, true, false},
        {"colSize", "Size", 0, stAlphabetic, 40, true, false},
    };
    for (int i = 0; i < ColumnCount; ++i) {
        const TColumnDef& c = defs[i];
        const QString name = QString::fromLatin1(c.name);
        const QString caption = QString::fromLatin1(c.caption);
        TItemGridColumn* col = nullptr;
        switch (c.kind) {
        case 0: col = new TTextColumn(this, i, name, caption, c.sort, c.width, c.visible, c.fixed); break;
        case 1: col = new TNumberColumn(this, i, name, caption, c.sort, c.width, c.visible, c.fixed); break;
        case 2: col = new TImageColumn(this, i, name, caption, c.sort, c.width, c.visible, c.fixed); break;
        case 3: col = new TProgressColumn(this, i, name, caption, c.sort, c.width, c.visible, c.fixed); break;
        default: col = new TDateColumn(this, i, name, caption, c.sort, c.width, c.visible, c.fixed); break;
        }
        d->Columns[i] = col;
    }
    d->Columns[colTypeIndex]->fAlignment = taCenter;
    d->Columns[colSizeIndex]->SetHint(QStringLiteral("Size in MB"));

    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    setFont(font);

    d->Header = new TItemGridHeader(this);
    setHorizontalHeader(d->Header);
    d->Model = new TItemGridModel(this, d.get());
    setModel(d->Model);
    setItemDelegate(new TItemGridDelegate(this, d.get()));

    setSelectionMode(QAbstractItemView::NoSelection); // the rows' own flags are the selection
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setTabKeyNavigation(false);

    QHeaderView* vh = verticalHeader();
    vh->hide(); // no indicator column
    vh->setSectionResizeMode(QHeaderView::Fixed);
    vh->setMinimumSectionSize(1);
    vh->setDefaultSectionSize(std::max(QFontMetrics(font).height() + 4, 18));

    QHeaderView* h = d->Header;
    h->setSectionsMovable(true);
    h->setSectionsClickable(true);
    h->setHighlightSections(false);
    h->setStretchLastSection(false);
    h->setMinimumSectionSize(8);
    h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    h->setSortIndicatorShown(false);
    h->setContextMenuPolicy(Qt::CustomContextMenu);
    for (int i = 0; i < ColumnCount; ++i) {
        h->resizeSection(i, defs[i].width);
        h->setSectionResizeMode(i, defs[i].fixed ? QHeaderView::Fixed : QHeaderView::Interactive);
        h->setSectionHidden(i, !defs[i].visible);
    }
    h->moveSection(h->visualIndex(colProgressIndex), 0);

    connect(h, &QHeaderView::sectionClicked, this, [this](int logical) { ClickHeader(logical); });
    connect(h, &QHeaderView::sectionResized, this, [this](int logical, int, int newSize) {
        if (logical >= 0 && logical < ColumnCount && newSize > 0)
            d->Columns[logical]->fWidth = newSize;
    });
    connect(h, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (d->PopupMenu)
            d->PopupMenu->popup(d->Header->mapToGlobal(pos));
    });
}

TItemGrid::~TItemGrid() {
    setModel(nullptr);
}

int TItemGrid::RowCount() const {
    return d->RowCount();
}

int TItemGrid::AddRow(int Count) {
    if (Count <= 0)
        return d->RowCount() - 1;
    const int first = d->RowCount();
    const bool deferred = d->Deferred();
    if (!deferred)
        d->Model->beginInsertRows({}, first, first + Count - 1);
    for (int i = 0; i < Count; ++i) {
        if (!d->FreeSlots.empty()) {
            d->Order.push_back(d->FreeSlots.back());
            d->FreeSlots.pop_back();
        } else {
            d->Order.push_back(static_cast<int>(d->Pool.size()));
            d->Pool.emplace_back();
        }
    }
    d->SortValid = false;
    if (!deferred)
        d->Model->endInsertRows();
    return d->RowCount() - 1;
}

void TItemGrid::DeleteRow(int Index) {
    if (Index < 0 || Index >= d->RowCount())
        throw EGridError(QStringLiteral("Grid index out of range (row %1)").arg(Index));
    const bool deferred = d->Deferred();
    if (!deferred)
        d->Model->beginRemoveRows({}, Index, Index);
    const int slot = d->Order[Index];
    d->Pool[slot] = TGridRow(); // new-row values for when the slot is used again
    d->FreeSlots.push_back(slot);
    d->Order.erase(d->Order.begin() + Index);
    const int last = d->RowCount() - 1;
    if (d->SelectedRow > last)
        d->SelectedRow = last;
    if (d->Anchor > last)
        d->Anchor = last;
    if (!deferred)
        d->Model->endRemoveRows();
}

void TItemGrid::ClearRows() {
    const bool deferred = d->Deferred();
    if (!deferred)
        d->Model->beginResetModel();
    d->Order = {};
    d->Pool.clear();
    d->FreeSlots = {};
    d->Arena.Clear(); // after the rows that point into it
    d->SelectedRow = -1;
    d->Anchor = -1;
    d->SortValid = false;
    if (!deferred)
        d->Model->endResetModel();
}

bool TItemGrid::RowSelected(int Index) const {
    return Index >= 0 && Index < d->RowCount() && d->Row(Index).Selected;
}

void TItemGrid::SetRowSelected(int Index, bool Value) {
    if (Index < 0 || Index >= d->RowCount())
        return;
    d->Row(Index).Selected = Value;
    d->SelectionChanged();
}

int TItemGrid::SelectedRow() const {
    return d->SelectedRow;
}

int TItemGrid::LastFoundRow() const {
    return d->LastFoundRow;
}

int TItemGrid::SortedColumn() const {
    return d->SortedColumn;
}

int TItemGrid::SelectedColumn() const {
    return d->SelectedColumn;
}

int TItemGrid::AnchorRow() const {
    return d->Anchor;
}

int TItemGrid::UpdateCount() const {
    return d->UpdateCount;
}

TCell TItemGrid::Cell(int ACol, int ARow) {
    d->CheckCell(ACol, ARow);
    return TCell(this, ACol, ARow);
}

QString TItemGrid::Cells(int ACol, int ARow) const {
    if (!d->ValidCell(ACol, ARow))
        return {};
    return d->CellString(ACol, ARow);
}

void TItemGrid::SetCells(int ACol, int ARow, const QString& Value) {
    if (!d->ValidCell(ACol, ARow))
        return;
    d->SetCellString(ACol, ARow, Value);
}

namespace {
enum class TKeyword { None, First, Last, Selected };

TKeyword KeywordOf(const QVariant& v) {
    if (v.typeId() != QMetaType::QString && v.typeId() != QMetaType::QByteArray && v.typeId() != QMetaType::QChar)
        return TKeyword::None;
    const QString s = v.toString();
    if (s.compare(u"First", Qt::CaseInsensitive) == 0)
        return TKeyword::First;
    if (s.compare(u"Last", Qt::CaseInsensitive) == 0)
        return TKeyword::Last;
    if (s.compare(u"Selected", Qt::CaseInsensitive) == 0)
        return TKeyword::Selected;
    return TKeyword::None;
}

// A variant as an integer index: numbers directly, texts by the integer parse.
bool VariantToIndex(const QVariant& v, int& index) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar: {
        bool ok = false;
        const qlonglong n = v.toLongLong(&ok);
        if (!ok || n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
            return false;
        index = static_cast<int>(n);
        return true;
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double x = v.toDouble();
        if (!std::isfinite(x) || x < std::numeric_limits<int>::min() || x > std::numeric_limits<int>::max())
            return false;
        index = static_cast<int>(std::lround(x));
        return true;
    }
    case QMetaType::Bool: index = v.toBool() ? 1 : 0; return true;
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar: return TryStrToInt(v.toString(), index);
    default: return false;
    }
}
} // namespace

TCell TItemGrid::CellByName(const QVariant& ACol, const QVariant& ARow) {
    int row = -1;
    switch (KeywordOf(ARow)) {
    case TKeyword::First: row = 0; break;
    case TKeyword::Last: row = d->RowCount() - 1; break;
    case TKeyword::Selected: row = d->SelectedRow; break;
    case TKeyword::None:
        if (!VariantToIndex(ARow, row))
            throw EGridError(QStringLiteral("Invalid Rowname '%1' for '%2:%3'.")
                                 .arg(ARow.toString(), ClassName(), objectName()));
        break;
    }
    int col = -1;
    switch (KeywordOf(ACol)) {
    case TKeyword::First: col = 0; break;
    case TKeyword::Last: col = ColumnCount - 1; break;
    case TKeyword::Selected: col = d->SelectedColumn; break;
    case TKeyword::None: {
        const TGridColumn* c = nullptr;
        if (ACol.typeId() == QMetaType::QString || ACol.typeId() == QMetaType::QByteArray)
            c = ColumnByName(ACol.toString());
        if (c)
            col = c->Index();
        else if (!VariantToIndex(ACol, col))
            throw EGridError(QStringLiteral("Invalid Columnname '%1' for '%2:%3'.")
                                 .arg(ACol.toString(), ClassName(), objectName()));
        break;
    }
    }
    return Cell(col, row);
}

QString TItemGrid::CellsByName(const QVariant& ACol, const QVariant& ARow) {
    return CellByName(ACol, ARow).AsString();
}

bool TItemGrid::FindText(int Index, const QString& S, TSearchOptions Options) {
    const int n = d->RowCount();
    if (n == 0 || Index < 0 || Index >= ColumnCount)
        return false;
    const bool ci = Options.testFlag(soCaseInsensitive);
    const bool exact = Options.testFlag(soExactMatch);
    if (S.isEmpty() && !exact)
        return false; // an empty text is in no cell by containment
    const QString lowered = ci && !exact ? S.toLower() : QString();
    const int textSlot = TextSlotOf[Index];
    // One matcher for the whole scan: its tables are built once, not per row.
    const QStringMatcher lowerMatcher(lowered, Qt::CaseSensitive);
    const QStringMatcher matcher(S, Qt::CaseSensitive);

    auto matches = [&](int row) -> bool {
        const TGridRow& r = d->Row(row);
        QString scratch;
        QStringView cell;
        if (ci && !exact && Index == colPathIndex) {
            cell = r.LowerPath(); // kept lower-cased for the duplicate test of import
            return lowerMatcher.indexIn(cell) >= 0;
        }
        if (textSlot >= 0) {
            cell = r.Text(textSlot);
        } else {
            scratch = d->CellString(Index, row);
            cell = scratch;
        }
        if (ci) {
            if (exact)
                return cell.compare(S, Qt::CaseInsensitive) == 0;
            return lowerMatcher.indexIn(cell.toString().toLower()) >= 0;
        }
        if (exact)
            return cell == QStringView(S);
        return matcher.indexIn(cell) >= 0;
    };
    auto scan = [&](int from) -> int {
        for (int row = std::max(from, 0); row < n; ++row)
            if (matches(row))
                return row;
        return -1;
    };

    int start = 0;
    if (Options.testFlag(soFromSelected))
        start = d->SelectedRow >= 0 ? d->SelectedRow + 1 : 0;
    int found = scan(start);
    if (found < 0 && Options.testFlag(soFromSelected) && Options.testFlag(soContinueFromTop))
        found = scan(0);
    if (found < 0)
        return false;
    d->SelectOnly(found);
    d->Anchor = found;
    d->LastFoundRow = found;
    d->Focus(found, true);
    return true;
}

void TItemGrid::BeginUpdate() {
    if (d->UpdateCount++ == 0)
        setUpdatesEnabled(false);
}

void TItemGrid::EndUpdate() {
    if (d->UpdateCount == 0)
        return;
    if (--d->UpdateCount > 0)
        return;
    if (d->ResetOpen) {
        d->ResetOpen = false;
        d->Model->endResetModel();
    }
    setUpdatesEnabled(true);
    viewport()->update();
}

TGridColumn* TItemGrid::Column(int Index) const {
    if (Index < 0 || Index >= ColumnCount)
        return nullptr;
    return d->Columns[Index];
}

TGridColumn* TItemGrid::ColumnByName(const QString& Name) const {
    for (TItemGridColumn* c : d->Columns)
        if (c->Name().compare(Name, Qt::CaseInsensitive) == 0)
            return c;
    return nullptr;
}

void TItemGrid::SetPopupMenu(QMenu* menu) {
    d->PopupMenu = menu;
}

QRect TItemGrid::CellRect(int ACol, int ARow) const {
    if (!d->ValidCell(ACol, ARow))
        return {};
    return visualRect(d->Model->index(ARow, ACol));
}

void TItemGrid::ClickHeader(int Index) {
    if (Index < 0 || Index >= ColumnCount)
        return;
    TItemGridColumn* column = d->Columns[Index];
    if (d->SortedColumn != Index) {
        d->SortedColumn = Index;
        d->SortRows(Index, column->fAscending);
    } else {
        column->fAscending = !column->fAscending;
        if (d->SortValid)
            d->ReverseRows(); // the rows are in order already: no need to compare again
        else
            d->SortRows(Index, column->fAscending);
    }
    d->SortValid = true;
    d->Header->setSortIndicatorShown(true);
    d->Header->setSortIndicator(Index, column->fAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
    d->ScrollToRow(d->SelectedRow);
    d->SelectionChanged();
}

// ---------------------------------------------------------------------------
// User gestures

void TItemGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        if (event->button() == Qt::RightButton) {
            setFocus(Qt::MouseFocusReason);
            return; // the popup menu follows; the selection stays as it is
        }
        QTableView::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos.y());
    const int col = columnAt(pos.x());
    if (col >= 0)
        d->SelectedColumn = col;
    if (row < 0)
        return;
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods.testFlag(Qt::ControlModifier);
    const bool shift = mods.testFlag(Qt::ShiftModifier);
    if (shift && d->Anchor >= 0) {
        d->SelectRange(d->Anchor, row, ctrl);
    } else if (ctrl) {
        d->Row(row).Selected = !d->Row(row).Selected;
        d->Anchor = row;
    } else {
        d->SelectOnly(row);
        d->Anchor = row;
    }
    d->DragSelecting = !ctrl;
    d->Focus(row, true);
}

void TItemGrid::mouseMoveEvent(QMouseEvent* event) {
    if (!d->DragSelecting || !(event->buttons() & Qt::LeftButton) || d->Anchor < 0)
        return;
    const int row = rowAt(event->position().toPoint().y());
    if (row < 0 || row == d->SelectedRow)
        return;
    d->SelectRange(d->Anchor, row, false);
    d->Focus(row, true);
}

void TItemGrid::mouseReleaseEvent(QMouseEvent* event) {
    d->DragSelecting = false;
    if (event->button() != Qt::LeftButton)
        QTableView::mouseReleaseEvent(event);
}

void TItemGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos.y());
    if (row < 0)
        return;
    if (event->modifiers() == Qt::NoModifier && d->SelectedRow != row) {
        d->SelectOnly(row);
        d->Anchor = row;
        d->Focus(row, true);
    }
    Q_EMIT DblClick();
}

void TItemGrid::keyPressEvent(QKeyEvent* event) {
    const int n = d->RowCount();
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods.testFlag(Qt::ControlModifier);
    const bool shift = mods.testFlag(Qt::ShiftModifier);
    const int current = d->SelectedRow;
    const int page = std::max(1, viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()) - 1);
    int target = -2;
    switch (event->key()) {
    case Qt::Key_Up: target = current < 0 ? 0 : current - 1; break;
    case Qt::Key_Down: target = current < 0 ? 0 : current + 1; break;
    case Qt::Key_PageUp: target = current < 0 ? 0 : current - page; break;
    case Qt::Key_PageDown: target = current < 0 ? 0 : current + page; break;
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = n - 1; break;
    case Qt::Key_Left:
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - horizontalScrollBar()->singleStep());
        return;
    case Qt::Key_Right:
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + horizontalScrollBar()->singleStep());
        return;
    case Qt::Key_Space:
        if (ctrl && current >= 0 && current < n) {
            d->Row(current).Selected = !d->Row(current).Selected;
            d->Anchor = current;
            d->SelectionChanged();
        }
        return;
    case Qt::Key_A:
        if (ctrl && !shift) {
            d->SelectRange(0, n - 1, false);
            d->SelectionChanged();
            return;
        }
        break;
    default: break;
    }
    if (target == -2) {
        QTableView::keyPressEvent(event);
        return;
    }
    if (n == 0)
        return;
    target = std::clamp(target, 0, n - 1);
    if (shift && d->Anchor >= 0) {
        d->SelectRange(d->Anchor, target, ctrl);
    } else if (ctrl) {
        // Ctrl with an arrow moves the focus and leaves the selection alone.
    } else {
        d->SelectOnly(target);
        d->Anchor = target;
    }
    if (shift && d->Anchor < 0) {
        d->SelectOnly(target);
        d->Anchor = target;
    }
    d->Focus(target, true);
}

void TItemGrid::contextMenuEvent(QContextMenuEvent* event) {
    if (d->PopupMenu) {
        d->PopupMenu->popup(event->globalPos());
        event->accept();
        return;
    }
    QTableView::contextMenuEvent(event);
}
