#pragma once
// Small helpers shared by the grid tests: regional settings of a locale for
// the length of a test, UTF-16 LE bytes written from readable text.

#include "platform/RegionalSettings.h"
#include "ui/grid/uItemGrid.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QtEndian>

namespace grid_test {

// Puts the regional settings of a locale in force until the end of the scope.
class TLocaleScope {
public:
    explicit TLocaleScope(const char* name) : fOld(RegionalSettings()) {
        SetRegionalSettings(TRegionalSettings::FromLocale(QLocale(QString::fromLatin1(name))));
    }
    ~TLocaleScope() { SetRegionalSettings(fOld); }
    TLocaleScope(const TLocaleScope&) = delete;
    TLocaleScope& operator=(const TLocaleScope&) = delete;

private:
    TRegionalSettings fOld;
};

inline QByteArray Utf16Le(const QString& text, bool withMark = true) {
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    qToLittleEndian<quint16>(text.utf16(), text.size(), out.data());
    return withMark ? QByteArray("\xFF\xFE", 2) + out : out;
}

inline QByteArray Utf16Be(const QString& text, bool withMark = true) {
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    qToBigEndian<quint16>(text.utf16(), text.size(), out.data());
    return withMark ? QByteArray("\xFE\xFF", 2) + out : out;
}

inline QString FromUtf16Le(const QByteArray& bytes) {
    // Skips the mark when present.
    const qsizetype offset = bytes.startsWith("\xFF\xFE") ? 2 : 0;
    QString s((bytes.size() - offset) / 2, Qt::Uninitialized);
    qFromLittleEndian<quint16>(bytes.constData() + offset, s.size(), s.data());
    return s;
}

// Appends a row with the given texts in column index order.
inline int AddTextRow(TItemGrid& grid, const QStringList& fields) {
    const int row = grid.AddRow(1);
    for (int c = 0; c < fields.size() && c < ColumnCount; ++c)
        grid.SetCells(c, row, fields.at(c));
    return row;
}

inline QStringList RowTexts(const TItemGrid& grid, int row) {
    QStringList out;
    for (int c = 0; c < ColumnCount; ++c)
        out << grid.Cells(c, row);
    return out;
}

// A row that is only a path and a name; the rest keeps its new-row values.
inline int AddNamed(TItemGrid& grid, const QString& path, const QString& name) {
    const int row = grid.AddRow(1);
    grid.SetCells(colPathIndex, row, path);
    grid.SetCells(colNameIndex, row, name);
    return row;
}

} // namespace grid_test
