#pragma once
// The user's regional settings and the number and date forms built on them.
// Every number and date that the grid turns into text and back goes through
// these functions, so a table file is read back with the settings it was
// written with. The settings come from QLocale::system() unless a test (or the
// program) replaces them.

#include <QChar>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <QTime>

// Days since 30 December 1899; the fraction is the time of day. For values
// below zero the integer part counts days backwards and the fraction is still
// the time of day (-1.25 is 29 December 1899, 06:00).
using TDateTime = double;

TDateTime DateTimeFromQDateTime(const QDateTime& value);
TDateTime DateTimeFromQDate(const QDate& value);
QDateTime DateTimeToQDateTime(TDateTime value); // local time, no time zone part
QDate DateTimeToQDate(TDateTime value);
QTime DateTimeToQTime(TDateTime value);

struct TRegionalSettings {
    QChar DecimalSeparator = u'.';
    QString ShortDateFormat = QStringLiteral("M/d/yyyy"); // QLocale format codes, four-digit year
    QString LongTimeFormat = QStringLiteral("h:mm:ss AP"); // no time-zone part
    QLocale Locale = QLocale::c();                         // names of AM/PM, months, days

    // The settings of a locale: its decimal point, its short date form with
    // the year widened to four digits and its long time form without a zone.
    static TRegionalSettings FromLocale(const QLocale& locale);
};

// The settings in force (QLocale::system() until replaced).
const TRegionalSettings& RegionalSettings();
void SetRegionalSettings(const TRegionalSettings& settings);
void ResetRegionalSettings(); // back to QLocale::system()

// General decimal form: at most 15 significant digits, no trailing zeros and no
// trailing decimal separator, the regional decimal separator, no thousands
// separators; exponent form (5E-5, 1E15) below 0.0001 and from 10^15 on.
QString FloatToStr(double value);
void AppendFloat(QString& out, double value); // FloatToStr, appended to `out`
// Regional decimal parse: optional sign, digits with at most one decimal
// separator, optional exponent; surrounding blanks allowed. Raises
// EConvertError "'%s' is not a valid floating point value".
double StrToFloat(const QString& text);
bool TryStrToFloat(QStringView text, double& value);

// Plain signed decimal (32 bits). Raises EConvertError
// "'%s' is not a valid integer value".
int StrToInt(const QString& text);
bool TryStrToInt(QStringView text, int& value);
QString IntToStr(int value);

// Regional short date.
QString DateToStr(TDateTime value);
// Regional long time.
QString TimeToStr(TDateTime value);
// Short date, and when the time of day is not midnight a space and the long time.
QString DateTimeToStr(TDateTime value);
void AppendDateTime(QString& out, TDateTime value); // DateTimeToStr, appended to `out`
// A date in the short date form, optionally followed by a time; raises
// EConvertError "'%s' is not a valid date and time" when unreadable.
TDateTime StrToDateTime(const QString& text);
bool TryStrToDateTime(QStringView text, TDateTime& value);
