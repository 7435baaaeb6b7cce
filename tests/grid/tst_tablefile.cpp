// The table text file of the grid, byte for byte: what SaveToTextFile writes
// and how LoadFromTextFile reads it back, including damaged and foreign files.

#include "common/TestMain.h"

#include "GridTestUtil.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace grid_test;

Q_DECLARE_METATYPE(QList<QStringList>)

namespace {
const QString Q = QStringLiteral("\"");

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void WriteFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), data.size());
}

// The nine fields of a row with only the name set, as written under en_US.
QString LineWithName(const QString& encodedName) {
    return QStringLiteral(",0,") + encodedName + QStringLiteral(",0,0,,12/30/1899,,\r\n");
}

QStringList EmptyRow() {
    return {QString(), QStringLiteral("0"), QString(), QStringLiteral("0"), QStringLiteral("0"),
            QString(), QStringLiteral("12/30/1899"), QString(), QString()};
}

QStringList Row(std::initializer_list<QString> fields) {
    QStringList row = EmptyRow();
    int i = 0;
    for (const QString& f : fields) {
        if (!f.isNull())
            row[i] = f;
        ++i;
    }
    return row;
}
} // namespace

class TestTableFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir fDir;
    QString Path(const QString& name) const { return fDir.filePath(name); }

private Q_SLOTS:
    void cleanup() { SetWriteFaultHook({}); }

    void exampleRowIsWrittenByteForByte() {
        TLocaleScope en("en_US");
        TItemGrid grid;
        const int row = grid.AddRow(1);
        grid.SetCells(colPathIndex, row, QStringLiteral("/Music/intro.mp3"));
        grid.SetCells(colNameIndex, row, QStringLiteral("intro"));
        grid.Cell(colTypeIndex, row).SetAsInteger(9);
        grid.SetCells(colExtensionIndex, row, QStringLiteral("mp3"));
        grid.Cell(colAddedIndex, row).SetAsDateTime(DateTimeFromQDate(QDate(2014, 4, 27)));
        grid.SetCells(colSizeIndex, row, QStringLiteral("3.4"));

        const QString file = Path(QStringLiteral("table7.txt"));
        grid.SaveToTextFile(file, u',', u'|', ekUnicode);
        const QByteArray bytes = ReadFile(file);
        QCOMPARE(bytes, Utf16Le(QStringLiteral("/Music/intro.mp3,0,intro,9,0,mp3,4/27/2014,,3.4\r\n")));
        QCOMPARE(bytes.left(6), QByteArray("\xFF\xFE\x2F\x00\x4D\x00", 6));
        QVERIFY(bytes.endsWith(QByteArray("\x0D\x00\x0A\x00", 4)));

        TItemGrid back;
        back.LoadFromTextFile(file, u',', u'|', 0);
        QCOMPARE(back.RowCount(), 1);
        QCOMPARE(RowTexts(back, 0), RowTexts(grid, 0));
        QCOMPARE(back.Cell(colAddedIndex, 0).AsDateTime(), DateTimeFromQDate(QDate(2014, 4, 27)));
    }

    void emptyGridWritesOnlyTheMark() {
        TItemGrid grid;
        const QString file = Path(QStringLiteral("empty.txt"));
        grid.SaveToTextFile(file, u',', u'|', ekUnicode);
        QCOMPARE(ReadFile(file), QByteArray("\xFF\xFE", 2));
        grid.AddRow(3);
        grid.LoadFromTextFile(file, u',', u'|', 0);
        QCOMPARE(grid.RowCount(), 0);
        QCOMPARE(grid.SelectedRow(), -1);
    }

    void fieldEncoding_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("readBack");
        const QString crlf = QStringLiteral("\r\n");
        QTest::newRow("quote inside") << "a" + Q + "b" << Q + "a" + Q + Q + "b" + Q << "a" + Q + "b";
        QTest::newRow("quote first") << Q + "x" << Q + Q + Q + "x" + Q << Q + "x";
        QTest::newRow("quote last") << "x" + Q << Q + "x" + Q + Q + Q << "x" + Q;
        QTest::newRow("comma") << "a,b" << Q + "a,b" + Q << "a,b";
        QTest::newRow("comma and quote") << Q + "a,b" + Q << Q + Q + Q + "a,b" + Q + Q + Q << Q + "a,b" + Q;
        QTest::newRow("only quotes") << Q + Q << Q + Q + Q + Q + Q + Q << Q + Q;
        QTest::newRow("CR LF") << "a" + crlf + "b" << "a|b" << "a" + crlf + "b";
        QTest::newRow("lone LF is lost") << "a\nb" << "ab" << "ab";
        QTest::newRow("lone CR") << "a\rb" << "a|b" << "a" + crlf + "b";
        QTest::newRow("bar") << "a|b" << "a|b" << "a" + crlf + "b";
        QTest::newRow("plain") << "Live 2013" << "Live 2013" << "Live 2013";
        QTest::newRow("non-BMP and accents") << QString::fromUtf8("Für Elise \xF0\x9F\x8E\xB5")
                                             << QString::fromUtf8("Für Elise \xF0\x9F\x8E\xB5")
                                             << QString::fromUtf8("Für Elise \xF0\x9F\x8E\xB5");
    }
    void fieldEncoding() {
        QFETCH(QString, text);
        QFETCH(QString, written);
        QFETCH(QString, readBack);
        TLocaleScope en("en_US");
        TItemGrid grid;
        grid.AddRow(1);
        grid.SetCells(colNameIndex, 0, text);
        const QByteArray bytes = grid.SaveToBytes();
        QCOMPARE(FromUtf16Le(bytes), LineWithName(written));

        TItemGrid back;
        back.LoadFromBytes(bytes);
        QCOMPARE(back.RowCount(), 1);
        QCOMPARE(back.Cells(colNameIndex, 0), readBack);
        QCOMPARE(back.Cells(colExtensionIndex, 0), QString()); // the following fields stay in place
        QCOMPARE(back.Cells(colAddedIndex, 0), QStringLiteral("12/30/1899"));
    }

    void reading_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QStringList>>("rows");
        const QString line = QStringLiteral("/a/song.mp3,83.25,song,9,45,mp3,4/27/2014,1:02,3.4\r\n");
        const QStringList songRow = Row({"/a/song.mp3", "83.25", "song", "9", "45", "mp3", "4/27/2014", "1:02", "3.4"});

        QTest::newRow("mark LE") << Utf16Le(line) << QList<QStringList>{songRow};
        QTest::newRow("no mark") << Utf16Le(line, false) << QList<QStringList>{songRow};
        QTest::newRow("big endian") << Utf16Be(line) << QList<QStringList>{songRow};
        QTest::newRow("odd trailing byte") << Utf16Le(line) + QByteArray("\x41", 1) << QList<QStringList>{songRow};
        QTest::newRow("final line without CR LF")
            << Utf16Le(line + line.chopped(2)) << QList<QStringList>{songRow, songRow};
        QTest::newRow("LF only") << Utf16Le(line.chopped(2) + "\n") << QList<QStringList>{songRow};
        QTest::newRow("blank line") << Utf16Le(line + "\r\n" + line)
                                    << QList<QStringList>{songRow, EmptyRow(), songRow};
        QTest::newRow("fewer fields") << Utf16Le(QStringLiteral("/x.txt,5,x\r\n"))
                                      << QList<QStringList>{Row({"/x.txt", "5", "x"})};
        QTest::newRow("more fields") << Utf16Le(line.chopped(2) + ",extra,more\r\n") << QList<QStringList>{songRow};
        QTest::newRow("trailing empty field at the end is dropped")
            << Utf16Le(QStringLiteral("/x.txt,")) << QList<QStringList>{Row({"/x.txt"})};
        QTest::newRow("quoted comma in path")
            << Utf16Le(Q + "/Music/Live, 2013/intro.mp3" + Q + ",0,intro\r\n")
            << QList<QStringList>{Row({"/Music/Live, 2013/intro.mp3", "0", "intro"})};
        QTest::newRow("bar inside quotes") << Utf16Le(Q + "a|b" + Q + "\r\n")
                                           << QList<QStringList>{Row({"a\r\nb"})};
        QTest::newRow("unreadable date") << Utf16Le(QStringLiteral("/x,0,x,1,0,txt,someday,,1\r\n"))
                                         << QList<QStringList>{Row({"/x", "0", "x", "1", "0", "txt", "12/30/1899", "", "1"})};
        QTest::newRow("date with time")
            << Utf16Le(QStringLiteral("/x,0,x,1,0,txt,4/27/2014 1:05:07 PM,,1\r\n"))
            << QList<QStringList>{Row({"/x", "0", "x", "1", "0", "txt", "4/27/2014 1:05:07 PM", "", "1"})};
        QTest::newRow("empty type is 0") << Utf16Le(QStringLiteral("/x,0,x,,7\r\n"))
                                         << QList<QStringList>{Row({"/x", "0", "x", "0", "7"})};
        QTest::newRow("only the mark") << QByteArray("\xFF\xFE", 2) << QList<QStringList>{};
        QTest::newRow("nothing") << QByteArray() << QList<QStringList>{};
        QTest::newRow("one byte") << QByteArray("\xFF", 1) << QList<QStringList>{};
        QTest::newRow("single-byte text is garbled, not an error")
            << QByteArray("abcd") << QList<QStringList>{Row({QString::fromUtf16(u"\u6261\u6463")})};
    }
    void reading() {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QStringList>, rows);
        TLocaleScope en("en_US");
        const QString file = Path(QStringLiteral("read.txt"));
        WriteFile(file, bytes);
        TItemGrid grid;
        grid.AddRow(2); // replaced by the file's rows
        grid.LoadFromTextFile(file, u',', u'|', 0);
        QCOMPARE(grid.RowCount(), rows.size());
        for (int r = 0; r < rows.size(); ++r)
            QCOMPARE(RowTexts(grid, r), rows.at(r));
    }

    void badNumberStopsTheLoad_data() {
        QTest::addColumn<QByteArray>("writtenLocale");
        QTest::addColumn<QByteArray>("readLocale");
        QTest::addColumn<QString>("message");
        QTest::newRow("decimal comma read with decimal point")
            << QByteArray("de_DE") << QByteArray("en_US") << "'83,25' is not a valid floating point value";
        QTest::newRow("decimal point read with decimal comma")
            << QByteArray("en_US") << QByteArray("de_DE") << "'83.25' is not a valid floating point value";
    }
    void badNumberStopsTheLoad() {
        QFETCH(QByteArray, writtenLocale);
        QFETCH(QByteArray, readLocale);
        QFETCH(QString, message);
        const QString file = Path(QStringLiteral("locale.txt"));
        {
            TLocaleScope w(writtenLocale.constData());
            TItemGrid grid;
            for (int i = 0; i < 3; ++i) {
                const int r = grid.AddRow(1);
                grid.SetCells(colPathIndex, r, QStringLiteral("/m/%1.mp3").arg(i));
                grid.SetCells(colNameIndex, r, QString::number(i));
                grid.Cell(colCurrentPositionIndex, r).SetAsFloat(i == 2 ? 83.25 : 12);
                grid.Cell(colProgressIndex, r).SetAsFloat(50);
            }
            grid.SaveToTextFile(file, u',', u'|', ekUnicode);
        }
        TLocaleScope rd(readLocale.constData());
        TItemGrid grid;
        try {
            grid.LoadFromTextFile(file, u',', u'|', 0);
            QFAIL("the load should stop at the bad number");
        } catch (const EConvertError& e) {
            QCOMPARE(e.Message(), message);
        }
        // Rows before the bad one are kept whole; the bad row keeps its path only.
        QCOMPARE(grid.RowCount(), 3);
        QCOMPARE(grid.Cells(colNameIndex, 1), QStringLiteral("1"));
        QCOMPARE(grid.Cell(colProgressIndex, 1).AsFloat(), 50.0);
        QCOMPARE(grid.Cells(colPathIndex, 2), QStringLiteral("/m/2.mp3"));
        QCOMPARE(grid.Cells(colNameIndex, 2), QString());
        QCOMPARE(grid.Cell(colProgressIndex, 2).AsFloat(), 0.0);
    }

    void badFieldMessages_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("rows");
        QTest::newRow("empty float") << "/x,,x\r\n" << "'' is not a valid floating point value" << 1;
        QTest::newRow("bad integer") << "/x,0,x,nine\r\n" << "'nine' is not a valid integer value" << 1;
        QTest::newRow("bad progress on second row") << "/x,0\r\n/y,0,y,1,lots\r\n"
                                                    << "'lots' is not a valid floating point value" << 2;
    }
    void badFieldMessages() {
        QFETCH(QString, line);
        QFETCH(QString, message);
        QFETCH(int, rows);
        TLocaleScope en("en_US");
        TItemGrid grid;
        QString got;
        try {
            grid.LoadFromBytes(Utf16Le(line));
        } catch (const EConvertError& e) {
            got = e.Message();
        }
        QCOMPARE(got, message);
        QCOMPARE(grid.RowCount(), rows);
    }

    void decimalCommaRoundTrip() {
        TLocaleScope de("de_DE");
        TItemGrid grid;
        AddTextRow(grid, {"/Musik/Lied.mp3", "83,25", "Lied", "9", "45,5", "mp3", "27.04.2014", "", "3,4"});
        const QByteArray bytes = grid.SaveToBytes();
        QCOMPARE(FromUtf16Le(bytes),
                 QStringLiteral("/Musik/Lied.mp3,\"83,25\",Lied,9,\"45,5\",mp3,27.04.2014,,\"3,4\"\r\n"));
        TItemGrid back;
        back.LoadFromBytes(bytes);
        QCOMPARE(RowTexts(back, 0), RowTexts(grid, 0));
        QCOMPARE(back.Cell(colCurrentPositionIndex, 0).AsFloat(), 83.25);
    }

    void rowOrderIsTheGridsOrder() {
        TLocaleScope en("en_US");
        TItemGrid grid;
        AddNamed(grid, QStringLiteral("/b"), QStringLiteral("b"));
        AddNamed(grid, QStringLiteral("/a"), QStringLiteral("a"));
        AddNamed(grid, QStringLiteral("/c"), QStringLiteral("c"));
        grid.ClickHeader(colNameIndex);
        TItemGrid back;
        back.LoadFromBytes(grid.SaveToBytes());
        QCOMPARE(back.Cells(colNameIndex, 0), QStringLiteral("a"));
        QCOMPARE(back.Cells(colNameIndex, 2), QStringLiteral("c"));
    }

    void failedWriteRaisesAndKeepsTheOldFile() {
        TLocaleScope en("en_US");
        const QString file = Path(QStringLiteral("keep.txt"));
        WriteFile(file, Utf16Le(QStringLiteral("old\r\n")));
        TItemGrid grid;
        AddNamed(grid, QStringLiteral("/new"), QStringLiteral("new"));
        SetWriteFaultHook([](const QString&, qint64) { return QStringLiteral("No space left on device"); });
        QVERIFY_THROWS_EXCEPTION(EWriteError, grid.SaveToTextFile(file, u',', u'|', ekUnicode));
        QCOMPARE(ReadFile(file), Utf16Le(QStringLiteral("old\r\n")));
        QCOMPARE(grid.RowCount(), 1); // what was in memory stays
    }

    void fileWhereTheFolderShouldBe() {
        const QString blocker = Path(QStringLiteral("blocker"));
        WriteFile(blocker, "not a folder");
        TItemGrid grid;
        grid.AddRow(1);
        QVERIFY_THROWS_EXCEPTION(EWriteError,
                                 grid.SaveToTextFile(blocker + QStringLiteral("/table1.txt"), u',', u'|', ekUnicode));
        QCOMPARE(ReadFile(blocker), QByteArray("not a folder"));
    }

    void writeCreatesTheFolder() {
        TItemGrid grid;
        grid.AddRow(1);
        const QString file = Path(QStringLiteral("new/deeper/table3.txt"));
        grid.SaveToTextFile(file, u',', u'|', ekUnicode);
        QVERIFY(QFile::exists(file));
    }

    void unopenableFileRaises() {
        TItemGrid grid;
        grid.AddRow(2);
        QVERIFY_THROWS_EXCEPTION(Exception,
                                 grid.LoadFromTextFile(Path(QStringLiteral("missing.txt")), u',', u'|', 0));
        QCOMPARE(grid.RowCount(), 0);
    }

    void largeTableRoundTrip() {
        // Several mebibytes: the file is written in pieces, fields straddling them.
        constexpr int Rows = 16000;
        TLocaleScope en("en_US");
        TItemGrid grid;
        grid.BeginUpdate();
        for (int i = 0; i < Rows; ++i) {
            const int r = grid.AddRow(1);
            grid.SetCells(colPathIndex, r, QStringLiteral("/Music/Artist %1/Song, \"%1\".mp3").arg(i));
            grid.Cell(colCurrentPositionIndex, r).SetAsFloat(i * 0.25);
            grid.SetCells(colNameIndex, r, QStringLiteral("Song %1").arg(i));
            grid.Cell(colTypeIndex, r).SetAsInteger(i % 17);
            grid.Cell(colProgressIndex, r).SetAsFloat(i % 101);
            grid.Cell(colAddedIndex, r).SetAsDateTime(40000 + i);
        }
        grid.EndUpdate();
        const QByteArray bytes = grid.SaveToBytes();
        TItemGrid back;
        back.LoadFromBytes(bytes);
        QCOMPARE(back.RowCount(), Rows);
        for (int r : {0, 1, 999, Rows - 1})
            QCOMPARE(RowTexts(back, r), RowTexts(grid, r));
        QCOMPARE(back.SaveToBytes(), bytes);

        const QString file = Path(QStringLiteral("large.txt"));
        grid.SaveToTextFile(file, u',', u'|', ekUnicode);
        QVERIFY(bytes.size() > 2 * 1024 * 1024); // more than two pieces
        QCOMPARE(ReadFile(file), bytes);
        // A failure after the first pieces went out leaves the whole old file.
        grid.SetCells(colNameIndex, 0, QStringLiteral("changed"));
        qint64 attempted = 0;
        SetWriteFaultHook([&](const QString&, qint64 size) {
            attempted = size;
            return QStringLiteral("No space left on device");
        });
        QVERIFY_THROWS_EXCEPTION(EWriteError, grid.SaveToTextFile(file, u',', u'|', ekUnicode));
        QCOMPARE(attempted, qint64(bytes.size()) + 2); // "changed" is one unit longer than "Song 0"
        QCOMPARE(ReadFile(file), bytes);
    }
};

SORTELLE_TEST_MAIN(TestTableFile)
#include "tst_tablefile.moc"
