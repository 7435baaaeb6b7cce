// The grid's table text file: UTF-16 little-endian with its byte-order mark,
// one line per row, the nine fields in column index order separated by the
// separator, double-quote quoting, a line break inside a field written as the
// multi-line separator. Numbers and dates are in the regional forms.

#include "ui/grid/uItemGrid.h"

#include "platform/Errors.h"
#include "platform/SafeFile.h"
#include "ui/grid/uItemGridPrivate.h"

#include <QFile>
#include <QStringEncoder>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr char16_t CR = u'\r';
constexpr char16_t LF = u'\n';
constexpr char16_t Quote = u'"';

// Appends a cell's text form encoded as a field.
void AppendField(QString& out, QStringView text, char16_t sep, char16_t mls) {
    const char16_t* s = text.utf16();
    const qsizetype n = text.size();
    bool special = false;
    bool quoted = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c == sep || c == Quote) {
            special = true;
            quoted = true;
            break;
        }
        if (c == CR || c == LF)
            special = true;
    }
    if (!special) {
        out.append(text);
        return;
    }
    if (quoted)
        out.append(QChar(Quote));
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c == Quote) {
            out.append(QChar(Quote));
            out.append(QChar(Quote));
        } else if (c == CR) {
            out.append(QChar(mls));
        } else if (c == LF) {
            // dropped: a line break is its CR, written as the multi-line separator
        } else {
            out.append(QChar(c));
        }
    }
    if (quoted)
        out.append(QChar(Quote));
}

[[noreturn]] void RaiseFloat(QStringView text) {
    throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
}

[[noreturn]] void RaiseInteger(QStringView text) {
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

// The reader's state machine over the decoded code units, building the rows
// directly in their compact form.
class TTableParser {
public:
    TTableParser(std::vector<TGridRow>& rows, char16_t sep, char16_t mls, int startRow)
        : fRows(rows), fSep(sep), fMls(mls), fStartRow(startRow) {
        fField.reserve(256);
        fRowBuf.reserve(512);
        fMaxSpecial = std::max({fSep, fMls, Quote, CR, LF});
    }

    void Parse(QStringView text) {
        const char16_t* p = text.utf16();
        const qsizetype n = text.size();
        qsizetype run = 0; // start of the ordinary characters not yet in the field
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = p[i];
            if (c > fMaxSpecial)
                continue;
            if (c != fSep && c != fMls && c != Quote && c != CR && c != LF)
                continue;
            if (i > run)
                fField.append(QStringView(p + run, i - run));
            run = i + 1;
            if (c == fSep) {
                if (fQuotes % 2 == 1)
                    fField.append(QChar(c));
                else
                    EndField(false);
            } else if (c == fMls) {
                fField.append(QStringView(u"\r\n"));
            } else if (c == Quote) {
                ++fQuotes;
                if (fQuotes % 2 == 1 && (!fField.isEmpty() || fQuotes == 3))
                    fField.append(QChar(Quote));
            } else if (c == CR) {
                // ignored everywhere
            } else {
                EndField(true);
            }
        }
        if (n > run)
            fField.append(QStringView(p + run, n - run));
        if (!fField.isEmpty())
            EndField(true);
        FinishRow();
    }

    // Keeps the row being filled (called when the load stops early).
    void FinishRow() {
        if (!fHaveRow)
            return;
        for (int s = fTextFilled; s < TextSlotCount; ++s)
            fRow.End[s] = static_cast<quint32>(fRowBuf.size());
        fRow.Buf = QString(fRowBuf.constData(), fRowBuf.size()); // an exact-size copy
        fRow.UpdateLowerPath();
        fRows.push_back(std::move(fRow));
        fRow = TGridRow();
        fRowBuf.truncate(0);
        fTextFilled = 0;
        fHaveRow = false;
    }

private:
    void EndField(bool byLineFeed) {
        fQuotes = 0;
        if (fLineStart) {
            fLineStart = false;
            FinishRow();
            ++fLineIndex;
            fHaveRow = fLineIndex >= fStartRow;
            fFieldIndex = -1;
        }
        ++fFieldIndex;
        if (fHaveRow && fFieldIndex < ColumnCount)
            Assign(fFieldIndex, fField);
        fField.truncate(0);
        if (byLineFeed)
            fLineStart = true;
    }

    void Assign(int col, QStringView value) {
        switch (CellKindOf[col]) {
        case ckText: {
            const int slot = TextSlotOf[col];
            for (int s = fTextFilled; s < slot; ++s)
                fRow.End[s] = static_cast<quint32>(fRowBuf.size());
            fRowBuf.append(value);
            fRow.End[slot] = static_cast<quint32>(fRowBuf.size());
            fTextFilled = slot + 1;
            break;
        }
        case ckFloat: {
            double v = 0;
            if (!TryStrToFloat(value, v))
                RaiseFloat(value);
            (col == colCurrentPositionIndex ? fRow.CurrentPosition : fRow.Progress) = v;
            break;
        }
        case ckInteger: {
            int v = 0;
            if (!value.isEmpty() && !TryStrToInt(value, v))
                RaiseInteger(value);
            fRow.Type = v;
            break;
        }
        case ckDate: {
            TDateTime v = 0;
            if (!value.isEmpty() && !TryStrToDateTime(value, v))
                v = 0;
            fRow.Added = v;
            break;
        }
        }
    }

    std::vector<TGridRow>& fRows;
    char16_t fSep;
    char16_t fMls;
    char16_t fMaxSpecial;
    int fStartRow;
    QString fField;
    QString fRowBuf;
    TGridRow fRow;
    bool fHaveRow = false;
    int fTextFilled = 0;
    int fQuotes = 0;
    bool fLineStart = true;
    int fLineIndex = -1;
    int fFieldIndex = -1;
};

} // namespace

QByteArray TItemGrid::SaveToBytes(QChar separator, QChar multiLineSeparator) const {
    const char16_t sep = separator.unicode();
    const char16_t mls = multiLineSeparator.unicode();
    qsizetype estimate = 0;
    for (const TGridRow& r : d->Rows)
        estimate += r.Buf.size() + 48;
    QString out;
    out.reserve(estimate);
    for (int row = 0; row < d->RowCount(); ++row) {
        const TGridRow& r = d->Rows[row];
        for (int col = 0; col < ColumnCount; ++col) {
            if (CellKindOf[col] == ckText)
                AppendField(out, r.Text(TextSlotOf[col]), sep, mls);
            else
                AppendField(out, d->CellString(col, row), sep, mls);
            if (col < ColumnCount - 1)
                out.append(QChar(sep));
        }
        out.append(QStringView(u"\r\n"));
    }
    QByteArray bytes(2 + out.size() * 2, Qt::Uninitialized);
    bytes[0] = char(0xFF);
    bytes[1] = char(0xFE);
    qToLittleEndian<quint16>(out.utf16(), out.size(), bytes.data() + 2);
    return bytes;
}

void TItemGrid::SaveToTextFile(const QString& fileName, QChar separator, QChar multiLineSeparator,
                               TEncodingKind encodingKind) {
    QByteArray bytes = SaveToBytes(separator, multiLineSeparator);
    if (encodingKind != ekUnicode) {
        // Not written by the system itself; offered for completeness.
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                                                (bytes.size() - 2) / 2);
        if (encodingKind == ekUTF8) {
            bytes = QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        } else {
            QStringEncoder encoder(QStringConverter::System);
            bytes = encoder.encode(text);
        }
    }
    WriteWholeFile(fileName, bytes);
}

void TItemGrid::LoadFromBytes(const QByteArray& data, QChar separator, QChar multiLineSeparator, int startRow) {
    ClearRows();
    const uchar* b = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype size = data.size();
    bool bigEndian = false;
    qsizetype offset = 0;
    if (size >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        offset = 2;
    } else if (size >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        offset = 2;
        bigEndian = true;
    }
    const qsizetype units = (size - offset) / 2; // a byte left over at the end is ignored
    QString decoded;
    QStringView text;
    const char* start = data.constData() + offset;
    if (!bigEndian && QSysInfo::ByteOrder == QSysInfo::LittleEndian &&
        reinterpret_cast<quintptr>(start) % alignof(char16_t) == 0) {
        text = QStringView(reinterpret_cast<const char16_t*>(start), units); // read in place
    } else {
        decoded = QString(units, Qt::Uninitialized);
        if (bigEndian)
            qFromBigEndian<quint16>(start, units, decoded.data());
        else
            qFromLittleEndian<quint16>(start, units, decoded.data());
        text = decoded;
    }

    std::vector<TGridRow> rows;
    rows.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), QChar(LF))) + 1);
    TTableParser parser(rows, separator.unicode(), multiLineSeparator.unicode(), startRow);
    try {
        parser.Parse(text);
    } catch (...) {
        parser.FinishRow(); // the rows read so far stay, the partly filled one included
        d->AppendRows(std::move(rows));
        throw;
    }
    d->AppendRows(std::move(rows));
}

void TItemGrid::LoadFromTextFile(const QString& fileName, QChar separator, QChar multiLineSeparator,
                                 int startRow) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        const QString reason = file.errorString();
        ClearRows();
        throw EOSError(static_cast<int>(file.error()),
                       QStringLiteral("Could not open the file \"%1\": %2").arg(fileName, reason));
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        ClearRows();
        throw EOSError(static_cast<int>(file.error()),
                       QStringLiteral("Could not read the file \"%1\": %2").arg(fileName, reason));
    }
    file.close();
    LoadFromBytes(data, separator, multiLineSeparator, startRow);
}
