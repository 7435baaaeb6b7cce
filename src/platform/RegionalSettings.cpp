#include "RegionalSettings.h"

#include "Errors.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// TDateTime <-> calendar

qint64 BaseJulianDay() {
    static const qint64 base = QDate(1899, 12, 30).toJulianDay();
    return base;
}

constexpr qint64 MsPerDay = 86400000;

// Proleptic Gregorian calendar arithmetic on day counts from 30 December
// 1899, without going through QDate: every table row carries a date.
constexpr qint64 DaysFromCivil(qint64 y, unsigned m, unsigned d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468 + 25569; // 25569: 1970-01-01 as a TDateTime
}

constexpr void CivilFromDays(qint64 z, int& year, int& month, int& day) {
    z += 719468 - 25569;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<qint64>(yoe) + era * 400 + (month <= 2));
}

static_assert(DaysFromCivil(1899, 12, 30) == 0);
static_assert(DaysFromCivil(2014, 4, 27) == 41756);

constexpr bool ValidCivil(int y, int m, int d) {
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1)
        return false;
    constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= lengths[m - 1] + (m == 2 && leap ? 1 : 0);
}

// Splits a TDateTime into whole days from 30 December 1899 and milliseconds of
// the time of day.
void SplitDateTime(TDateTime value, qint64& days, qint64& ms) {
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6) { // beyond year 9999 either way
        days = 0;
        ms = 0;
        return;
    }
    const double whole = std::trunc(value);
    days = static_cast<qint64>(whole);
    ms = std::llround(std::fabs(value - whole) * MsPerDay);
    if (ms >= MsPerDay)
        ms = MsPerDay - 1;
}

// ---------------------------------------------------------------------------
// Short date forms made of numeric fields (d, dd, M, MM, yy, yyyy), month
// names (MMM, MMMM) and literal text are formatted and parsed here directly,
// because every table row carries a date; any other form (day names) goes
// through QLocale.

struct TDateToken {
    enum Kind { Literal, Day, Day2, Month, Month2, MonthShort, MonthLong, Year2, Year4 } kind;
    QString text; // Literal only
};

struct TCompiledDate {
    bool direct = false; // every field handled here
    bool named = false;  // month names, which QLocale may read more leniently
    std::vector<TDateToken> tokens;
    QString shortMonths[12];
    QString longMonths[12];
};

TCompiledDate CompileDateFormat(const QString& format, const QLocale& locale) {
    TCompiledDate result;
    result.direct = true;
    for (int m = 0; m < 12; ++m) {
        result.shortMonths[m] = locale.monthName(m + 1, QLocale::ShortFormat);
        result.longMonths[m] = locale.monthName(m + 1, QLocale::LongFormat);
    }
    const qsizetype n = format.size();
    qsizetype i = 0;
    auto addLiteral = [&](QChar c) {
        if (!result.tokens.empty() && result.tokens.back().kind == TDateToken::Literal)
            result.tokens.back().text.append(c);
        else
            result.tokens.push_back({TDateToken::Literal, QString(c)});
    };
    while (i < n) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            qsizetype j = i + 1;
            if (j < n && format.at(j) == u'\'') { // '' is a quote
                addLiteral(u'\'');
                i = j + 1;
                continue;
            }
            while (j < n && format.at(j) != u'\'')
                addLiteral(format.at(j++));
            i = j + 1;
            continue;
        }
        if (c == u'd' || c == u'M' || c == u'y') {
            qsizetype j = i;
            while (j < n && format.at(j) == c)
                ++j;
            const qsizetype run = j - i;
            i = j;
            if (c == u'd' && run <= 2) {
                result.tokens.push_back({run == 1 ? TDateToken::Day : TDateToken::Day2, {}});
            } else if (c == u'M' && run <= 2) {
                result.tokens.push_back({run == 1 ? TDateToken::Month : TDateToken::Month2, {}});
            } else if (c == u'M' && run <= 4) {
                result.tokens.push_back({run == 3 ? TDateToken::MonthShort : TDateToken::MonthLong, {}});
                result.named = true;
            } else if (c == u'y' && (run == 2 || run == 4)) {
                result.tokens.push_back({run == 2 ? TDateToken::Year2 : TDateToken::Year4, {}});
            } else {
                result.direct = false; // names of days, or an odd year form
            }
            continue;
        }
        if (c.isLetter())
            result.direct = false;
        addLiteral(c);
        ++i;
    }
    return result;
}

TRegionalSettings& Current() {
    static TRegionalSettings settings = TRegionalSettings::FromLocale(QLocale::system());
    return settings;
}

TCompiledDate& CompiledDate() {
    static TCompiledDate compiled = CompileDateFormat(Current().ShortDateFormat, Current().Locale);
    return compiled;
}

void AppendNumber(QString& out, int value, int minDigits) {
    char buf[16];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;
    for (int k = static_cast<int>(end - buf); k < minDigits; ++k)
        out.append(u'0');
    for (char* p = buf; p != end; ++p)
        out.append(QChar(static_cast<char16_t>(*p)));
}

void AppendDate(QString& out, qint64 days) {
    const TCompiledDate& compiled = CompiledDate();
    int y = 0, m = 0, d = 0;
    CivilFromDays(days, y, m, d);
    if (!compiled.direct || y < 1 || y > 9999) {
        const QDate date = QDate::fromJulianDay(BaseJulianDay() + days);
        out.append(RegionalSettings().Locale.toString(date, RegionalSettings().ShortDateFormat));
        return;
    }
    for (const TDateToken& t : compiled.tokens) {
        switch (t.kind) {
        case TDateToken::Literal: out.append(t.text); break;
        case TDateToken::Day: AppendNumber(out, d, 1); break;
        case TDateToken::Day2: AppendNumber(out, d, 2); break;
        case TDateToken::Month: AppendNumber(out, m, 1); break;
        case TDateToken::Month2: AppendNumber(out, m, 2); break;
        case TDateToken::MonthShort: out.append(compiled.shortMonths[m - 1]); break;
        case TDateToken::MonthLong: out.append(compiled.longMonths[m - 1]); break;
        case TDateToken::Year2: AppendNumber(out, y % 100, 2); break;
        case TDateToken::Year4: AppendNumber(out, y, 4); break;
        }
    }
}

// A two-digit year lies within 50 years of the current one.
int WidenYear(int year, int digits) {
    if (digits > 2)
        return year;
    static const int thisYear = QDate::currentDate().year();
    int y = (thisYear / 100) * 100 + year;
    if (y > thisYear + 50)
        y -= 100;
    else if (y <= thisYear - 50)
        y += 100;
    return y;
}

bool ReadDigits(QStringView text, qsizetype& pos, int maxDigits, int& value, int& digits) {
    value = 0;
    digits = 0;
    while (pos < text.size() && digits < maxDigits) {
        const char16_t c = text.at(pos).unicode();
        if (c < u'0' || c > u'9')
            break;
        value = value * 10 + (c - u'0');
        ++digits;
        ++pos;
    }
    return digits > 0;
}

// Parses the short date at the start of `text`; `pos` ends after it.
bool ParseDirectDate(QStringView text, qsizetype& pos, qint64& days) {
    int y = -1, m = -1, d = -1;
    int value = 0, digits = 0;
    const TCompiledDate& compiled = CompiledDate();
    for (const TDateToken& t : compiled.tokens) {
        switch (t.kind) {
        case TDateToken::Literal:
            if (text.mid(pos).startsWith(t.text)) {
                pos += t.text.size();
            } else {
                // Blanks around separators are forgiven ("4/ 27/2014" is still a date).
                QStringView lit = QStringView(t.text).trimmed();
                while (pos < text.size() && text.at(pos) == u' ')
                    ++pos;
                if (!lit.isEmpty() && !text.mid(pos).startsWith(lit))
                    return false;
                pos += lit.size();
            }
            break;
        case TDateToken::Day:
        case TDateToken::Day2:
            if (!ReadDigits(text, pos, 2, d, digits))
                return false;
            break;
        case TDateToken::Month:
        case TDateToken::Month2:
            if (!ReadDigits(text, pos, 2, m, digits))
                return false;
            break;
        case TDateToken::MonthShort:
        case TDateToken::MonthLong: {
            // The longest name that matches, so "June" is not read as "Jun".
            const QString* names = t.kind == TDateToken::MonthShort ? compiled.shortMonths : compiled.longMonths;
            qsizetype best = 0;
            for (int k = 0; k < 12; ++k) {
                const qsizetype len = names[k].size();
                if (len > best && text.mid(pos).startsWith(names[k], Qt::CaseInsensitive)) {
                    best = len;
                    m = k + 1;
                }
            }
            if (best == 0)
                return false;
            pos += best;
            break;
        }
        case TDateToken::Year2:
        case TDateToken::Year4:
            if (!ReadDigits(text, pos, 4, value, digits))
                return false;
            y = WidenYear(value, digits);
            break;
        }
    }
    if (!ValidCivil(y, m, d))
        return false;
    days = DaysFromCivil(y, unsigned(m), unsigned(d));
    return true;
}

QString StripZone(QString format) {
    // Removes the time-zone codes (t .. tttt) outside quotes, with the blanks before them.
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't') {
            while (!out.isEmpty() && out.back() == u' ')
                out.chop(1);
            continue;
        }
        out.append(c);
    }
    return out.trimmed();
}

QString WidenYearFormat(const QString& format) {
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u'y') {
            while (i < format.size() && format.at(i) == u'y')
                ++i;
            out.append(QStringLiteral("yyyy"));
            continue;
        }
        out.append(c);
        ++i;
    }
    return out;
}

std::optional<QTime> ParseTime(QStringView text) {
    const TRegionalSettings& rs = RegionalSettings();
    const QString t = text.trimmed().toString();
    if (t.isEmpty())
        return QTime(0, 0);
    const QString formats[] = {
        rs.LongTimeFormat,
        StripZone(rs.Locale.timeFormat(QLocale::ShortFormat)),
        QStringLiteral("H:mm:ss"),
        QStringLiteral("H:mm"),
        QStringLiteral("H:mm:ss.zzz"),
    };
    for (const QString& f : formats) {
        const QTime time = rs.Locale.toTime(t, f);
        if (time.isValid())
            return time;
    }
    return std::nullopt;
}

[[noreturn]] void RaiseFloat(const QString& text) {
    throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
}

} // namespace

// ---------------------------------------------------------------------------

TDateTime DateTimeFromQDate(const QDate& value) {
    if (!value.isValid())
        return 0;
    return static_cast<double>(value.toJulianDay() - BaseJulianDay());
}

TDateTime DateTimeFromQDateTime(const QDateTime& value) {
    if (!value.isValid())
        return 0;
    const double days = DateTimeFromQDate(value.date());
    const double frac = value.time().msecsSinceStartOfDay() / double(MsPerDay);
    return days >= 0 ? days + frac : days - frac;
}

QDate DateTimeToQDate(TDateTime value) {
    qint64 days = 0, ms = 0;
    SplitDateTime(value, days, ms);
    return QDate::fromJulianDay(BaseJulianDay() + days);
}

QTime DateTimeToQTime(TDateTime value) {
    qint64 days = 0, ms = 0;
    SplitDateTime(value, days, ms);
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
}

QDateTime DateTimeToQDateTime(TDateTime value) {
    return QDateTime(DateTimeToQDate(value), DateTimeToQTime(value));
}

TRegionalSettings TRegionalSettings::FromLocale(const QLocale& locale) {
    TRegionalSettings s;
    const QString point = locale.decimalPoint();
    s.DecimalSeparator = point.isEmpty() ? QChar(u'.') : point.at(0);
    s.ShortDateFormat = WidenYearFormat(locale.dateFormat(QLocale::ShortFormat));
    s.LongTimeFormat = StripZone(locale.timeFormat(QLocale::LongFormat));
    s.Locale = locale;
    return s;
}

const TRegionalSettings& RegionalSettings() {
    return Current();
}

void SetRegionalSettings(const TRegionalSettings& settings) {
    Current() = settings;
    CompiledDate() = CompileDateFormat(settings.ShortDateFormat, settings.Locale);
}

void ResetRegionalSettings() {
    SetRegionalSettings(TRegionalSettings::FromLocale(QLocale::system()));
}

// ---------------------------------------------------------------------------
// Numbers

void AppendFloat(QString& out, double value) {
    if (std::isnan(value)) {
        out.append(QStringView(u"NAN"));
        return;
    }
    if (std::isinf(value)) {
        out.append(value > 0 ? QStringView(u"INF") : QStringView(u"-INF"));
        return;
    }
    if (value == 0) {
        out.append(u'0');
        return;
    }
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    (void)ec;
    if (std::fabs(value) > 1.79769313486231e308) {
        // Rounded to 15 digits the largest numbers would read back as overflow:
        // round these few toward zero instead, so every written number reads back.
        end = std::to_chars(buf, buf + sizeof buf, std::copysign(1.79769313486231e308, value),
                            std::chars_format::general, 15).ptr;
    }
    const QChar sep = RegionalSettings().DecimalSeparator;
    char16_t text[64];
    int n = 0;
    for (char* p = buf; p != end; ++p) {
        const char c = *p;
        if (c == '.') {
            text[n++] = sep.unicode();
        } else if (c == 'e') {
            text[n++] = u'E';
            ++p;
            if (p != end && *p == '-')
                text[n++] = u'-';
            if (p != end && (*p == '-' || *p == '+'))
                ++p;
            while (p + 1 < end && *p == '0')
                ++p;
            for (; p != end; ++p)
                text[n++] = static_cast<char16_t>(*p);
            break;
        } else {
            text[n++] = static_cast<char16_t>(c);
        }
    }
    out.append(QStringView(text, n));
}

QString FloatToStr(double value) {
    QString out;
    AppendFloat(out, value);
    return out;
}

bool TryStrToFloat(QStringView text, double& value) {
    const char16_t sep = RegionalSettings().DecimalSeparator.unicode();
    {
        // Plain decimals of up to 15 digits (83.25, 3.4, 100): the digits as an
        // integer divided by a power of ten, both exact, rounded once: the
        // correctly rounded value, as the general parse below would give.
        static constexpr double powers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8,
                                            1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        const qsizetype n = text.size();
        qsizetype i = 0;
        const bool negative = n > 0 && text.at(0).unicode() == u'-';
        if (negative)
            ++i;
        qint64 mantissa = 0;
        int digits = 0, fraction = 0;
        bool point = false, plain = n > (negative ? 1 : 0);
        for (; i < n && plain; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c >= u'0' && c <= u'9') {
                mantissa = mantissa * 10 + (c - u'0');
                if (++digits > 15)
                    plain = false;
                if (point)
                    ++fraction;
            } else if (c == sep && !point) {
                point = true;
            } else {
                plain = false;
            }
        }
        if (plain && digits > 0) {
            const double v = static_cast<double>(mantissa) / powers[fraction];
            value = negative ? -v : v;
            return true;
        }
    }
    text = text.trimmed();
    if (text.isEmpty() || text.size() > 400)
        return false;
    if (text.compare(u"NAN", Qt::CaseInsensitive) == 0) {
        value = std::nan("");
        return true;
    }
    char buf[420];
    qsizetype n = 0;
    qsizetype i = 0;
    bool negative = false;
    if (text.at(0) == u'+' || text.at(0) == u'-') {
        negative = text.at(0) == u'-';
        ++i;
    }
    if (text.mid(i).compare(u"INF", Qt::CaseInsensitive) == 0) {
        value = negative ? -HUGE_VAL : HUGE_VAL;
        return true;
    }
    if (negative)
        buf[n++] = '-';
    int mantissaDigits = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            break;
        buf[n++] = static_cast<char>(c);
        ++mantissaDigits;
    }
    if (i < text.size() && text.at(i).unicode() == sep) {
        buf[n++] = '.';
        for (++i; i < text.size(); ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < u'0' || c > u'9')
                break;
            buf[n++] = static_cast<char>(c);
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < text.size() && (text.at(i) == u'e' || text.at(i) == u'E')) {
        buf[n++] = 'e';
        ++i;
        if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
            buf[n++] = static_cast<char>(text.at(i++).unicode());
        int expDigits = 0;
        for (; i < text.size(); ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < u'0' || c > u'9')
                break;
            buf[n++] = static_cast<char>(c);
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    if (i != text.size())
        return false;
    double result = 0;
    auto [end, ec] = std::from_chars(buf, buf + n, result, std::chars_format::general);
    if (ec != std::errc() || end != buf + n)
        return false; // out of range or malformed
    value = result;
    return true;
}

double StrToFloat(const QString& text) {
    double value = 0;
    if (!TryStrToFloat(text, value))
        RaiseFloat(text);
    return value;
}

bool TryStrToInt(QStringView text, int& value) {
    text = text.trimmed();
    if (text.isEmpty())
        return false;
    qsizetype i = 0;
    bool negative = false;
    if (text.at(0) == u'+' || text.at(0) == u'-') {
        negative = text.at(0) == u'-';
        ++i;
    }
    if (i == text.size())
        return false;
    qint64 result = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return false;
        result = result * 10 + (c - u'0');
        if (result > qint64(1) << 31)
            return false;
    }
    if (negative)
        result = -result;
    if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min())
        return false;
    value = static_cast<int>(result);
    return true;
}

int StrToInt(const QString& text) {
    int value = 0;
    if (!TryStrToInt(text, value))
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

QString IntToStr(int value) {
    return QString::number(value);
}

// ---------------------------------------------------------------------------
// Dates

QString DateToStr(TDateTime value) {
    qint64 days = 0, ms = 0;
    SplitDateTime(value, days, ms);
    QString out;
    out.reserve(12);
    AppendDate(out, days);
    return out;
}

QString TimeToStr(TDateTime value) {
    const TRegionalSettings& rs = RegionalSettings();
    return rs.Locale.toString(DateTimeToQTime(value), rs.LongTimeFormat);
}

void AppendDateTime(QString& out, TDateTime value) {
    qint64 days = 0, ms = 0;
    SplitDateTime(value, days, ms);
    AppendDate(out, days);
    if (ms != 0) {
        out.append(u' ');
        out.append(TimeToStr(value));
    }
}

QString DateTimeToStr(TDateTime value) {
    QString out;
    out.reserve(12);
    AppendDateTime(out, value);
    return out;
}

bool TryStrToDateTime(QStringView text, TDateTime& value) {
    text = text.trimmed();
    if (text.isEmpty())
        return false;
    const TRegionalSettings& rs = RegionalSettings();
    QDate date;
    QStringView rest;
    const TCompiledDate& compiled = CompiledDate();
    if (compiled.direct) {
        qsizetype pos = 0;
        qint64 days = 0;
        if (ParseDirectDate(text, pos, days)) {
            rest = text.mid(pos);
            if (rest.isEmpty()) {
                value = static_cast<double>(days);
                return true;
            }
            if (!rest.at(0).isSpace())
                return false;
            date = QDate::fromJulianDay(BaseJulianDay() + days);
        } else if (!compiled.named) {
            return false;
        }
    }
    if (!date.isValid()) {
        // Day names, or month names written in a way the locale also reads.
        const QString whole = text.toString();
        date = rs.Locale.toDate(whole, rs.ShortDateFormat);
        if (!date.isValid()) {
            // The date, then the time after the last blank that still leaves a date.
            for (qsizetype cut = whole.lastIndexOf(u' '); cut > 0 && !date.isValid();
                 cut = whole.lastIndexOf(u' ', cut - 1)) {
                date = rs.Locale.toDate(whole.left(cut), rs.ShortDateFormat);
                if (date.isValid())
                    rest = text.mid(cut);
            }
        }
        if (!date.isValid())
            return false;
    }
    const std::optional<QTime> time = ParseTime(rest);
    if (!time)
        return false;
    // Built from the parts: a QDateTime in local time would look up the time zone.
    const double days = DateTimeFromQDate(date);
    const double frac = time->msecsSinceStartOfDay() / double(MsPerDay);
    value = days >= 0 ? days + frac : days - frac;
    return true;
}

TDateTime StrToDateTime(const QString& text) {
    TDateTime value = 0;
    if (!TryStrToDateTime(text, value))
        throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(text));
    return value;
}
