// The ini document of the window-state files: parsing, lookups, rewriting and
// the byte-order marks, on byte-exact fixtures.

#include "common/TestMain.h"

#include "settings/uIniDocument.h"

#include <QStringEncoder>

class TestIniDocument : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parsesAndDropsWhatIsNotKept();
    void lineEndingsAndControlTrimming_data();
    void lineEndingsAndControlTrimming();
    void namesIgnoreCaseAndKeepSpelling();
    void writeReplacesInPlaceOrAppends();
    void linesWithoutEqualsAreNeverFound();
    void decodesMarks_data();
    void decodesMarks();
    void encodesWithMark();
};

void TestIniDocument::parsesAndDropsWhatIsNotKept() {
    TIniDocument doc;
    doc.LoadText(QStringLiteral("stray=before header\r\n"
                                "; a comment\r\n"
                                "[frmMain]\r\n"
                                "\r\n"
                                "  Panel1_Width  =  300  \r\n"
                                "; another comment\r\n"
                                "no equals here\r\n"
                                "a=b=c\r\n"
                                "[ Other ]\r\n"
                                "x=1\r\n"));
    QCOMPARE(doc.Text(), QStringLiteral("[frmMain]\r\n"
                                        "Panel1_Width=300\r\n"
                                        "no equals here\r\n"
                                        "a=b=c\r\n"
                                        "\r\n"
                                        "[Other]\r\n"
                                        "x=1\r\n"
                                        "\r\n"));
    QCOMPARE(doc.ReadValue(QStringLiteral("frmMain"), QStringLiteral("a")), std::optional<QString>(QStringLiteral("b=c")));
    QCOMPARE(doc.ReadValue(QStringLiteral("other"), QStringLiteral("X")), std::optional<QString>(QStringLiteral("1")));
    QVERIFY(!doc.ReadValue(QStringLiteral("frmMain"), QStringLiteral("x")).has_value());
    QVERIFY(!doc.ReadValue(QStringLiteral("nowhere"), QStringLiteral("a")).has_value());
}

void TestIniDocument::lineEndingsAndControlTrimming_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("CR LF") << QStringLiteral("[s]\r\nk=v\r\nm=w\r\n");
    QTest::newRow("LF") << QStringLiteral("[s]\nk=v\nm=w\n");
    QTest::newRow("CR") << QStringLiteral("[s]\rk=v\rm=w\r");
    QTest::newRow("mixed, no final break") << QStringLiteral("[s]\r\rk=v\n\r\nm=w");
    QTest::newRow("tabs and controls")
        << QStringView(u"\t[s]\x01\n\x1f k\t=\tv\x00\nm=w \x02", 20).toString();
}

void TestIniDocument::lineEndingsAndControlTrimming() {
    QFETCH(QString, text);
    TIniDocument doc;
    doc.LoadText(text);
    QCOMPARE(doc.Text(), QStringLiteral("[s]\r\nk=v\r\nm=w\r\n\r\n"));
}

void TestIniDocument::namesIgnoreCaseAndKeepSpelling() {
    TIniDocument doc;
    doc.LoadText(QStringLiteral("[FRMMAIN]\r\nPANEL1_WIDTH=300\r\n"));
    QCOMPARE(doc.ReadValue(QStringLiteral("frmMain"), QStringLiteral("Panel1_Width")).value_or(QString()),
             QStringLiteral("300"));
    doc.WriteValue(QStringLiteral("frmMain"), QStringLiteral("Panel1_Width"), QStringLiteral("250"));
    QCOMPARE(doc.Text(), QStringLiteral("[FRMMAIN]\r\nPanel1_Width=250\r\n\r\n"));
}

void TestIniDocument::writeReplacesInPlaceOrAppends() {
    TIniDocument doc;
    doc.LoadText(QStringLiteral("[a]\r\nk1=1\r\nk2=2\r\n[b]\r\nz=9\r\n"));
    doc.WriteValue(QStringLiteral("a"), QStringLiteral("K1"), QStringLiteral("one"));
    doc.WriteValue(QStringLiteral("a"), QStringLiteral("k3"), QStringLiteral("3"));
    doc.WriteValue(QStringLiteral("c"), QStringLiteral("new"), QString());
    QCOMPARE(doc.Text(), QStringLiteral("[a]\r\nK1=one\r\nk2=2\r\nk3=3\r\n\r\n[b]\r\nz=9\r\n\r\n[c]\r\nnew=\r\n\r\n"));
}

void TestIniDocument::linesWithoutEqualsAreNeverFound() {
    TIniDocument doc;
    doc.LoadText(QStringLiteral("[s]\r\nkey\r\n"));
    QVERIFY(!doc.ReadValue(QStringLiteral("s"), QStringLiteral("key")).has_value());
    doc.WriteValue(QStringLiteral("s"), QStringLiteral("key"), QStringLiteral("v"));
    QCOMPARE(doc.Text(), QStringLiteral("[s]\r\nkey\r\nkey=v\r\n\r\n"));
}

void TestIniDocument::decodesMarks_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF[s]\r\nk=\xC3\xA2") << int(TIniEncoding::Utf8)
                                << QString::fromUtf8("[s]\r\nk=\xC3\xA2");
    QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE[\0s\0]\0\xE2\0", 10) << int(TIniEncoding::Utf16LE)
                               << QString::fromUtf8("[s]\xC3\xA2");
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0[\0s\0]\0\xE2", 10) << int(TIniEncoding::Utf16BE)
                               << QString::fromUtf8("[s]\xC3\xA2");
    QTest::newRow("no mark") << QByteArray("[s]\r\nk=v") << int(TIniEncoding::System) << QStringLiteral("[s]\r\nk=v");
    QTest::newRow("mark only") << QByteArray("\xEF\xBB\xBF") << int(TIniEncoding::Utf8) << QString();
    QTest::newRow("second mark is text") << QByteArray("\xFF\xFE\xFF\xFE", 4) << int(TIniEncoding::Utf16LE)
                                         << QString(QChar(0xFEFF));
}

void TestIniDocument::decodesMarks() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QFETCH(QString, text);
    TIniEncoding found = TIniEncoding::System;
    QCOMPARE(TIniDocument::Decode(bytes, &found), text);
    QCOMPARE(int(found), encoding);
}

void TestIniDocument::encodesWithMark() {
    const QString text = QString::fromUtf8("[s]\r\nk=\xC3\xA2\r\n");
    QCOMPARE(TIniDocument::Encode(text, TIniEncoding::Utf8), QByteArray("\xEF\xBB\xBF[s]\r\nk=\xC3\xA2\r\n"));
    QCOMPARE(TIniDocument::Encode(text, TIniEncoding::Utf16LE),
             QByteArray("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\xE2\0\r\0\n\0", 22));
    QCOMPARE(TIniDocument::Encode(text, TIniEncoding::Utf16BE),
             QByteArray("\xFE\xFF\0[\0s\0]\0\r\0\n\0k\0=\0\xE2\0\r\0\n", 22));
    // The system encoding of this platform (UTF-8 on Linux), without a mark.
    QCOMPARE(TIniDocument::Encode(text, TIniEncoding::System), QStringEncoder(QStringConverter::System).encode(text));
    QVERIFY(!TIniDocument::Encode(text, TIniEncoding::System).startsWith("\xEF\xBB\xBF"));
}

SORTELLE_TEST_MAIN(TestIniDocument)
#include "tst_inidocument.moc"
