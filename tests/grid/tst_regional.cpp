// The regional number and date forms that the grid's cells and the table file
// use, under US English and German settings.

#include "common/TestMain.h"

#include "GridTestUtil.h"
#include "platform/Errors.h"

#include <QScopeGuard>

#include <cmath>

using namespace grid_test;

class TestRegional : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void settingsOfALocale() {
        const TRegionalSettings en = TRegionalSettings::FromLocale(QLocale(QStringLiteral("en_US")));
        QCOMPARE(en.DecimalSeparator, QChar(u'.'));
        QCOMPARE(en.ShortDateFormat, QStringLiteral("M/d/yyyy"));
        QCOMPARE(en.LongTimeFormat, QStringLiteral("h:mm:ss AP"));
        const TRegionalSettings de = TRegionalSettings::FromLocale(QLocale(QStringLiteral("de_DE")));
        QCOMPARE(de.DecimalSeparator, QChar(u','));
        QCOMPARE(de.ShortDateFormat, QStringLiteral("dd.MM.yyyy"));
        QCOMPARE(de.LongTimeFormat, QStringLiteral("HH:mm:ss"));
    }

    void floatToStr_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("en");
        QTest::addColumn<QString>("de");
        QTest::newRow("zero") << 0.0 << "0" << "0";
        QTest::newRow("negative zero") << -0.0 << "0" << "0";
        QTest::newRow("integer") << 45.0 << "45" << "45";
        QTest::newRow("fraction") << 83.25 << "83.25" << "83,25";
        QTest::newRow("negative") << -2.5 << "-2.5" << "-2,5";
        QTest::newRow("15 digits") << 1.0 / 3 << "0.333333333333333" << "0,333333333333333";
        QTest::newRow("rounded to 15") << 2.0 / 3 << "0.666666666666667" << "0,666666666666667";
        QTest::newRow("just above exponent") << 0.0001 << "0.0001" << "0,0001";
        QTest::newRow("small") << 0.00005 << "5E-5" << "5E-5";
        QTest::newRow("small fraction") << 1.25e-7 << "1.25E-7" << "1,25E-7";
        QTest::newRow("largest plain") << 999999999999999.0 << "999999999999999" << "999999999999999";
        QTest::newRow("10^15") << 1e15 << "1E15" << "1E15";
        QTest::newRow("large") << 1.5e20 << "1.5E20" << "1,5E20";
        QTest::newRow("infinite") << HUGE_VAL << "INF" << "INF";
        QTest::newRow("largest reads back") << 1.79769313486231e308 << "1.79769313486231E308"
                                            << "1,79769313486231E308";
    }
    void floatToStr() {
        QFETCH(double, value);
        QFETCH(QString, en);
        QFETCH(QString, de);
        {
            TLocaleScope scope("en_US");
            QCOMPARE(FloatToStr(value), en);
            QCOMPARE(StrToFloat(en), value);
        }
        {
            TLocaleScope scope("de_DE");
            QCOMPARE(FloatToStr(value), de);
            QCOMPARE(StrToFloat(de), value);
        }
    }

    void largestNumbersReadBack() {
        // 15 digits of the largest doubles round up past the largest double.
        TLocaleScope scope("en_US");
        for (double v : {1.7976931348623157e308, -1.7976931348623157e308, 1.797693134862312e308, 1.7976931348623e308})
            QVERIFY(std::isfinite(StrToFloat(FloatToStr(v))));
    }

    void strToFloat_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("value");
        QTest::newRow("blanks") << " 7 " << true << 7.0;
        QTest::newRow("plus") << "+1.5" << true << 1.5;
        QTest::newRow("leading point") << ".5" << true << 0.5;
        QTest::newRow("trailing point") << "5." << true << 5.0;
        QTest::newRow("exponent") << "1.5e3" << true << 1500.0;
        QTest::newRow("exponent sign") << "2E+2" << true << 200.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("only a point") << "." << false << 0.0;
        QTest::newRow("comma") << "1,5" << false << 0.0;
        QTest::newRow("thousands") << "1,000.5" << false << 0.0;
        QTest::newRow("two points") << "1.2.3" << false << 0.0;
        QTest::newRow("exponent without digits") << "1e" << false << 0.0;
        QTest::newRow("hex") << "0x10" << false << 0.0;
        QTest::newRow("word") << "abc" << false << 0.0;
        QTest::newRow("overflow") << "1e999" << false << 0.0;
    }
    void strToFloat() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(double, value);
        TLocaleScope scope("en_US");
        if (valid) {
            QCOMPARE(StrToFloat(text), value);
        } else {
            try {
                StrToFloat(text);
                QFAIL("no error");
            } catch (const EConvertError& e) {
                QCOMPARE(e.Message(), QStringLiteral("'%1' is not a valid floating point value").arg(text));
            }
        }
    }

    void strToInt_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "9" << true << 9;
        QTest::newRow("negative") << "-12" << true << -12;
        QTest::newRow("lowest") << "-2147483648" << true << int(-2147483647 - 1);
        QTest::newRow("highest") << "2147483647" << true << 2147483647;
        QTest::newRow("too big") << "2147483648" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("decimal") << "9.0" << false << 0;
        QTest::newRow("trailing letter") << "9a" << false << 0;
    }
    void strToInt() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        if (valid) {
            QCOMPARE(StrToInt(text), value);
        } else {
            try {
                StrToInt(text);
                QFAIL("no error");
            } catch (const EConvertError& e) {
                QCOMPARE(e.Message(), QStringLiteral("'%1' is not a valid integer value").arg(text));
            }
        }
    }

    void dates_data() {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("en zero") << QByteArray("en_US") << 0.0 << "12/30/1899";
        QTest::newRow("en day") << QByteArray("en_US") << DateTimeFromQDate(QDate(2014, 4, 27)) << "4/27/2014";
        QTest::newRow("en time") << QByteArray("en_US") << 41756.75 << "4/27/2014 6:00:00 PM";
        QTest::newRow("en before 1899") << QByteArray("en_US") << -1.25 << "12/29/1899 6:00:00 AM";
        QTest::newRow("de zero") << QByteArray("de_DE") << 0.0 << "30.12.1899";
        QTest::newRow("de day") << QByteArray("de_DE") << 41756.0 << "27.04.2014";
        QTest::newRow("de time") << QByteArray("de_DE") << 41756.75 << "27.04.2014 18:00:00";
        QTest::newRow("de year 2000") << QByteArray("de_DE") << DateTimeFromQDate(QDate(2000, 2, 29)) << "29.02.2000";
    }
    void dates() {
        QFETCH(QByteArray, locale);
        QFETCH(double, value);
        QFETCH(QString, text);
        TLocaleScope scope(locale.constData());
        QCOMPARE(DateTimeToStr(value), text);
        QCOMPARE(StrToDateTime(text), value);
        QCOMPARE(DateToStr(value), text.section(u' ', 0, 0));
    }

    void dateParsing_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QDateTime>("value");
        QTest::newRow("two-digit month and day") << "04/07/2014" << true << QDateTime(QDate(2014, 4, 7), QTime(0, 0));
        QTest::newRow("two-digit year") << "4/27/14" << true << QDateTime(QDate(2014, 4, 27), QTime(0, 0));
        QTest::newRow("short time") << "4/27/2014 1:05 PM" << true << QDateTime(QDate(2014, 4, 27), QTime(13, 5));
        QTest::newRow("blanks") << "  4/27/2014  " << true << QDateTime(QDate(2014, 4, 27), QTime(0, 0));
        QTest::newRow("no such day") << "2/30/2014" << false << QDateTime();
        QTest::newRow("German form") << "27.04.2014" << false << QDateTime();
        QTest::newRow("words") << "yesterday" << false << QDateTime();
        QTest::newRow("bad time") << "4/27/2014 noon" << false << QDateTime();
        QTest::newRow("glued time") << "4/27/20141:00" << false << QDateTime();
        QTest::newRow("empty") << "" << false << QDateTime();
    }
    void dateParsing() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QDateTime, value);
        TLocaleScope scope("en_US");
        TDateTime got = -7;
        QCOMPARE(TryStrToDateTime(text, got), valid);
        if (valid)
            QCOMPARE(DateTimeToQDateTime(got), value);
        else
            QVERIFY_THROWS_EXCEPTION(EConvertError, StrToDateTime(text));
    }

    void conversionsToQt() {
        QCOMPARE(DateTimeToQDate(0), QDate(1899, 12, 30));
        QCOMPARE(DateTimeToQDate(2), QDate(1900, 1, 1));
        QCOMPARE(DateTimeFromQDateTime(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
        QCOMPARE(DateTimeToQTime(0.5), QTime(12, 0));
        QCOMPARE(DateTimeToQDate(std::nan("")), QDate(1899, 12, 30)); // no crash on garbage
        QCOMPARE(DateTimeFromQDate(QDate()), 0.0);
    }

    void monthNamesAsTheLocaleWritesThem_data() {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<QString>("format");
        QTest::newRow("C, its own form") << QByteArray("C") << QString();
        QTest::newRow("en short name") << QByteArray("en_US") << "d MMM yyyy";
        QTest::newRow("en long name first") << QByteArray("en_US") << "MMMM d, yyyy";
        QTest::newRow("de long name") << QByteArray("de_DE") << "dd. MMMM yyyy";
        QTest::newRow("fr short name") << QByteArray("fr_FR") << "d MMM yyyy";
        QTest::newRow("ru long name") << QByteArray("ru_RU") << "d MMMM yyyy";
    }
    void monthNamesAsTheLocaleWritesThem() {
        // Every month, written as QLocale writes it and read back to the same day.
        QFETCH(QByteArray, locale);
        QFETCH(QString, format);
        const QLocale qlocale = locale == "C" ? QLocale::c() : QLocale(QString::fromLatin1(locale));
        TRegionalSettings s = TRegionalSettings::FromLocale(qlocale);
        if (!format.isEmpty())
            s.ShortDateFormat = format;
        const TRegionalSettings old = RegionalSettings();
        SetRegionalSettings(s);
        auto restore = qScopeGuard([&] { SetRegionalSettings(old); });
        for (int month = 1; month <= 12; ++month) {
            const QDate day(2014, month, month + 14);
            const TDateTime value = DateTimeFromQDate(day) + 0.75;
            const QString text = DateToStr(value);
            QCOMPARE(text, qlocale.toString(day, s.ShortDateFormat));
            QCOMPARE(StrToDateTime(DateTimeToStr(value)), value);
            QCOMPARE(StrToDateTime(text.toUpper()), DateTimeFromQDate(day));
        }
        TDateTime got = 0;
        QVERIFY(!TryStrToDateTime(QStringLiteral("15 Smarch 2014"), got));
    }

    void namedMonthFormat() {
        // A short date form with month names goes through the locale's own parser.
        TRegionalSettings s = TRegionalSettings::FromLocale(QLocale(QStringLiteral("en_US")));
        s.ShortDateFormat = QStringLiteral("d MMM yyyy");
        const TRegionalSettings old = RegionalSettings();
        SetRegionalSettings(s);
        const QString text = DateTimeToStr(41756.5);
        const TDateTime back = StrToDateTime(text);
        SetRegionalSettings(old);
        QCOMPARE(text, QStringLiteral("27 Apr 2014 12:00:00 PM"));
        QCOMPARE(back, 41756.5);
    }
};

SORTELLE_TEST_MAIN(TestRegional)
#include "tst_regional.moc"
