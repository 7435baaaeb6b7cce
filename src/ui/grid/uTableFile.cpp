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
#include <charconv>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr char16_t CR = u'\r';
constexpr char16_t LF = u'\n';
constexpr char16_t Quote = u'"';

// The bytes of a table file being written: code units stored in the byte
// array as they come (host order, swapped to little-endian at the end).
class TUnitWriter {
public:
    // Into one block of bytes; or, with a sink, in pieces of about a mebibyte,
    // so a large table is never held twice.
    explicit TUnitWriter(qsizetype estimate, TWholeFileWriter* sink = nullptr)
        : fBytes(2 + estimate * 2, Qt::Uninitialized),
          fPos(2), fSink(sink) {
        fBytes[0] = char(0xFF);
        fBytes[1] = char(0xFE);
    }
    void Put(char16_t c) {
        Reserve(1);
        std::memcpy(fBytes.data() + fPos, &c, 2);
        fPos += 2;
    }
    void Put(QStringView text) {
        const qsizetype n = text.size();
        if (n == 0)
            return;
        Reserve(n);
        std::memcpy(fBytes.data() + fPos, text.utf16(), size_t(n) * 2);
        fPos += n * 2;
    }
    QByteArray Take() {
        fBytes.resize(fPos);
        ToLittleEndian(2);
        return std::move(fBytes);
    }
    void Flush() {
        if (!fSink || fPos == 0)
            return;
        ToLittleEndian(fFlushed ? 0 : 2);
        fSink->Write(fBytes.constData(), fPos);
        fFlushed = true;
        fPos = 0;
    }

    static constexpr qsizetype ChunkUnits = 512 * 1024;

private:
    void ToLittleEndian(qsizetype from) {
        if (QSysInfo::ByteOrder != QSysInfo::LittleEndian)
            qToLittleEndian<quint16>(fBytes.constData() + from, (fPos - from) / 2, fBytes.data() + from);
    }
    void Reserve(qsizetype units) {
        if (fPos + units * 2 <= fBytes.size())
            return;
        if (fSink) {
            Flush();
            if (units * 2 <= fBytes.size())
                return;
        }
        fBytes.resize(std::max(fBytes.size() * 2, fPos + units * 2));
    }
    QByteArray fBytes;
    qsizetype fPos;
    TWholeFileWriter* fSink;
    bool fFlushed = false;
};

// Whether a text holds a separator or double quote (needs quoting), or a CR or
// LF (needs encoding) - eight code units at a time where SSE2 is there.
bool NeedsEncoding(QStringView text, char16_t sep) {
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
#if defined(__SSE2__)
    const __m128i vSep = _mm_set1_epi16(static_cast<short>(sep));
    const __m128i vQuote = _mm_set1_epi16(static_cast<short>(Quote));
    const __m128i vCR = _mm_set1_epi16(static_cast<short>(CR));
    const __m128i vLF = _mm_set1_epi16(static_cast<short>(LF));
    for (; end - p >= 8; p += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(x, vSep), _mm_cmpeq_epi16(x, vQuote)),
                                       _mm_or_si128(_mm_cmpeq_epi16(x, vCR), _mm_cmpeq_epi16(x, vLF)));
        if (_mm_movemask_epi8(m) != 0)
            return true;
    }
#endif
    for (; p < end; ++p)
        if (*p == sep || *p == Quote || *p == CR || *p == LF)
            return true;
    return false;
}

// Writes a cell's text form encoded as a field.
void PutField(TUnitWriter& out, QStringView text, char16_t sep, char16_t mls) {
    if (!NeedsEncoding(text, sep)) {
        out.Put(text);
        return;
    }
    const bool quoted = text.contains(QChar(sep)) || text.contains(QChar(Quote));
    if (quoted)
        out.Put(Quote);
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == Quote) {
            out.Put(Quote);
            out.Put(Quote);
        } else if (c == CR) {
            out.Put(mls);
        } else if (c == LF) {
            // dropped: a line break is its CR, written as the multi-line separator
        } else {
            out.Put(c);
        }
    }
    if (quoted)
        out.Put(Quote);
}

[[noreturn]] void RaiseFloat(QStringView text) {
    throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
}

[[noreturn]] void RaiseInteger(QStringView text) {
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

// The first code unit at or after `p` that is one of the five the reader
// acts on, or `end`. Eight code units at a time where SSE2 is there.
const char16_t* FindSpecial(const char16_t* p, const char16_t* end, char16_t sep, char16_t mls) {
#if defined(__SSE2__)
    const __m128i vSep = _mm_set1_epi16(static_cast<short>(sep));
    const __m128i vMls = _mm_set1_epi16(static_cast<short>(mls));
    const __m128i vQuote = _mm_set1_epi16(static_cast<short>(Quote));
    const __m128i vCR = _mm_set1_epi16(static_cast<short>(CR));
    const __m128i vLF = _mm_set1_epi16(static_cast<short>(LF));
    while (end - p >= 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i m = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(x, vSep), _mm_cmpeq_epi16(x, vMls)),
            _mm_or_si128(_mm_cmpeq_epi16(x, vQuote), _mm_or_si128(_mm_cmpeq_epi16(x, vCR), _mm_cmpeq_epi16(x, vLF))));
        const int mask = _mm_movemask_epi8(m);
        if (mask != 0)
            return p + (__builtin_ctz(static_cast<unsigned>(mask)) / 2);
        p += 8;
    }
#endif
    for (; p < end; ++p) {
        const char16_t c = *p;
        if (c == sep || c == mls || c == Quote || c == CR || c == LF)
            return p;
    }
    return end;
}

// The reader's state machine over the decoded code units, building the rows
// directly in their compact form. A field that holds none of the five special
// code units before its end is taken straight from the text; any other runs
// through the machine code unit by code unit.
class TTableParser {
public:
    TTableParser(TRowPool& rows, TRowArena& arena, char16_t sep, char16_t mls, int startRow)
        : fRows(rows), fArena(arena), fSep(sep), fMls(mls), fStartRow(startRow) {
        fField.reserve(256);
        // With separators that are themselves line-break or quote code units, only
        // the code-unit-by-code-unit machine gives the right order of rules.
        fPlain = sep != CR && sep != LF && sep != Quote && mls != CR && mls != LF && mls != Quote;
    }

    void Parse(QStringView text) {
        const char16_t* p = text.utf16();
        const char16_t* const end = p + text.size();
        while (p < end) {
            // A field starts here: the buffer is empty and the quote counter 0.
            const char16_t* q = FindSpecial(p, end, fSep, fMls);
            if (q == end) {
                EndField(QStringView(p, q), true); // the end of the data, a non-empty buffer
                p = end;
                break;
            }
            const char16_t c = *q;
            if (c == fSep) {
                EndField(QStringView(p, q), false);
                p = q + 1;
            } else if (fPlain && c == LF) {
                EndField(QStringView(p, q), true);
                p = q + 1;
            } else if (fPlain && c == CR && q + 1 < end && q[1] == LF) {
                EndField(QStringView(p, q), true); // CR is ignored, LF ends the line
                p = q + 2;
            } else {
                fField.append(QStringView(p, q));
                p = SlowField(q, end);
            }
        }
        FinishRow();
    }

    // Keeps the row being filled (called when the load stops early, too).
    void FinishRow() {
        if (!fHaveRow)
            return;
        TGridRow& row = fRows.back();
        row.PathLower = fArena.LowerCopy(row.Texts[0]);
        fHaveRow = false;
    }

private:
    // Runs the machine from `p` (a special code unit) to the end of the field;
    // returns the position after it.
    const char16_t* SlowField(const char16_t* p, const char16_t* const end) {
        while (p < end) {
            const char16_t* q = FindSpecial(p, end, fSep, fMls);
            if (q > p)
                fField.append(QStringView(p, q));
            if (q == end)
                break;
            const char16_t c = *q;
            p = q + 1;
            if (c == fSep) {
                if (fQuotes % 2 == 1) {
                    fField.append(QChar(c));
                } else {
                    EndBufferedField(false);
                    return p;
                }
            } else if (c == fMls) {
                fField.append(QStringView(u"\r\n"));
            } else if (c == Quote) {
                ++fQuotes;
                if (fQuotes % 2 == 1 && (!fField.isEmpty() || fQuotes == 3))
                    fField.append(QChar(Quote));
            } else if (c == CR) {
                // ignored everywhere
            } else {
                EndBufferedField(true);
                return p;
            }
        }
        if (!fField.isEmpty())
            EndBufferedField(true);
        fQuotes = 0;
        fField.truncate(0);
        return end;
    }

    void EndBufferedField(bool byLineFeed) {
        fFromBuffer = true;
        EndField(fField, byLineFeed);
        fFromBuffer = false;
        fField.truncate(0);
    }

    void EndField(QStringView value, bool byLineFeed) {
        fQuotes = 0;
        if (fLineStart) {
            fLineStart = false;
            FinishRow();
            ++fLineIndex;
            fHaveRow = fLineIndex >= fStartRow;
            if (fHaveRow)
                fRows.emplace_back(); // the row is in the grid from its first field on
            fFieldIndex = -1;
        }
        ++fFieldIndex;
        if (fHaveRow && fFieldIndex < ColumnCount)
            Assign(fFieldIndex, value);
        if (byLineFeed)
            fLineStart = true;
    }

    void Assign(int col, QStringView value) {
        switch (CellKindOf[col]) {
        case ckText:
            // A field taken straight from the text stays where it is (the arena
            // keeps the text); one that went through the machine is copied.
            fRows.back().Texts[TextSlotOf[col]] =
                fFromBuffer ? value.toString() : QString::fromRawData(reinterpret_cast<const QChar*>(value.utf16()), value.size());
            break;
        case ckFloat: {
            double v = 0;
            if (!TryStrToFloat(value, v))
                RaiseFloat(value);
            (col == colCurrentPositionIndex ? fRows.back().CurrentPosition : fRows.back().Progress) = v;
            break;
        }
        case ckInteger: {
            int v = 0;
            if (!value.isEmpty() && !TryStrToInt(value, v))
                RaiseInteger(value);
            fRows.back().Type = v;
            break;
        }
        case ckDate: {
            TDateTime v = 0;
            if (!value.isEmpty() && !TryStrToDateTime(value, v))
                v = 0;
            fRows.back().Added = v;
            break;
        }
        }
    }

    TRowPool& fRows;
    TRowArena& fArena;
    char16_t fSep;
    char16_t fMls;
    int fStartRow;
    bool fPlain = true;
    QString fField;
    bool fFromBuffer = false;
    bool fHaveRow = false;
    int fQuotes = 0;
    bool fLineStart = true;
    int fLineIndex = -1;
    int fFieldIndex = -1;
};

} // namespace

QByteArray TItemGrid::SaveToBytes(QChar separator, QChar multiLineSeparator) const {
    return WriteRows(separator, multiLineSeparator, nullptr);
}

QByteArray TItemGrid::WriteRows(QChar separator, QChar multiLineSeparator, TWholeFileWriter* sink) const {
    const char16_t sep = separator.unicode();
    const char16_t mls = multiLineSeparator.unicode();
    // One block sized for the whole table; streamed, the writer's own pieces.
    qsizetype estimate = 0;
    for (int row = 0; !sink && row < d->RowCount(); ++row) {
        const TGridRow& r = d->Row(row);
        for (const QString& t : r.Texts)
            estimate += t.size();
        estimate += 48;
    }
    TUnitWriter out(sink ? TUnitWriter::ChunkUnits : estimate, sink);
    QString scratch; // the text form of a number or date, reused row after row
    scratch.reserve(64);
    for (int row = 0; row < d->RowCount(); ++row) {
        const TGridRow& r = d->Row(row);
        for (int col = 0; col < ColumnCount; ++col) {
            if (CellKindOf[col] == ckText) {
                PutField(out, r.Text(TextSlotOf[col]), sep, mls);
            } else {
                scratch.truncate(0);
                switch (CellKindOf[col]) {
                case ckFloat:
                    AppendFloat(scratch, col == colCurrentPositionIndex ? r.CurrentPosition : r.Progress);
                    break;
                case ckInteger: {
                    char digits[16];
                    const auto res = std::to_chars(digits, digits + sizeof digits, r.Type);
                    for (const char* c = digits; c != res.ptr; ++c)
                        scratch.append(QChar(char16_t(*c)));
                    break;
                }
                default: AppendDateTime(scratch, r.Added); break;
                }
                PutField(out, scratch, sep, mls);
            }
            if (col < ColumnCount - 1)
                out.Put(sep);
        }
        out.Put(QStringView(u"\r\n"));
    }
    if (sink) {
        out.Flush();
        return {};
    }
    return out.Take();
}

void TItemGrid::SaveToTextFile(const QString& fileName, QChar separator, QChar multiLineSeparator,
                               TEncodingKind encodingKind) {
    if (encodingKind == ekUnicode) {
        TWholeFileWriter file(fileName);
        WriteRows(separator, multiLineSeparator, &file);
        file.Commit();
        return;
    }
    // Not written by the system itself; offered for completeness.
    const QByteArray bytes = SaveToBytes(separator, multiLineSeparator);
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    if (encodingKind == ekUTF8) {
        WriteWholeFile(fileName, QByteArray("\xEF\xBB\xBF") + text.toUtf8());
    } else {
        QStringEncoder encoder(QStringConverter::System);
        WriteWholeFile(fileName, encoder.encode(text));
    }
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
    QStringView text;
    const char* start = data.constData() + offset;
    if (!bigEndian && QSysInfo::ByteOrder == QSysInfo::LittleEndian &&
        reinterpret_cast<quintptr>(start) % alignof(char16_t) == 0) {
        // Read in place: the rows' texts point into the file's bytes, which the
        // grid keeps (a copy first when the bytes are not owned by a QByteArray).
        QByteArray kept = data;
        if (kept.data_ptr().d_ptr() == nullptr) {
            kept = QByteArray(data.constData(), data.size());
            start = kept.constData() + offset;
        }
        d->Arena.Keep(kept);
        text = QStringView(reinterpret_cast<const char16_t*>(start), units);
    } else {
        QString decoded(units, Qt::Uninitialized);
        if (bigEndian)
            qFromBigEndian<quint16>(start, units, decoded.data());
        else
            qFromLittleEndian<quint16>(start, units, decoded.data());
        d->Arena.Keep(decoded);
        text = decoded; // the arena's copy shares these characters
    }

    // The rows go straight into the pool; they become the grid's rows in one
    // model reset, also when a bad field stops the load.
    const std::size_t first = d->Pool.size();
    TTableParser parser(d->Pool, d->Arena, separator.unicode(), multiLineSeparator.unicode(), startRow);
    try {
        parser.Parse(text);
    } catch (...) {
        parser.FinishRow(); // the rows read so far stay, the partly filled one included
        d->AppendPoolRows(first);
        throw;
    }
    d->AppendPoolRows(first);
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
    // Read into a block of exactly the file's size: the rows keep pointing into it.
    QByteArray data(file.size(), Qt::Uninitialized);
    const qint64 got = data.isEmpty() ? 0 : file.read(data.data(), data.size());
    if (got >= 0 && got < data.size())
        data.truncate(got);
    if (got >= 0 && !file.atEnd())
        data += file.readAll(); // the file grew meanwhile
    if (got < 0 || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        ClearRows();
        throw EOSError(static_cast<int>(file.error()),
                       QStringLiteral("Could not read the file \"%1\": %2").arg(fileName, reason));
    }
    file.close();
    LoadFromBytes(data, separator, multiLineSeparator, startRow);
}
