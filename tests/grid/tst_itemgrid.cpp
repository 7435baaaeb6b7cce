// The item grid: its columns, cell kinds, addressing by name, search, sorting
// by header click, row deletion, update nesting and the user's gestures.

#include "common/TestMain.h"

#include "GridTestUtil.h"
#include "platform/Errors.h"

#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>

#include <algorithm>
#include <cmath>
#include <iterator>

using namespace grid_test;

namespace {

QString KindOf(TGridColumn* c) {
    if (dynamic_cast<TProgressColumn*>(c))
        return QStringLiteral("TProgressColumn");
    if (dynamic_cast<TNumberColumn*>(c))
        return QStringLiteral("TNumberColumn");
    if (dynamic_cast<TImageColumn*>(c))
        return QStringLiteral("TImageColumn");
    if (dynamic_cast<TDateColumn*>(c))
        return QStringLiteral("TDateColumn");
    if (dynamic_cast<TTextColumn*>(c))
        return QStringLiteral("TTextColumn");
    return QStringLiteral("?");
}

QList<int> SelectedRows(const TItemGrid& grid) {
    QList<int> out;
    for (int i = 0; i < grid.RowCount(); ++i)
        if (grid.RowSelected(i))
            out << i;
    return out;
}

QStringList Column(const TItemGrid& grid, int col) {
    QStringList out;
    for (int i = 0; i < grid.RowCount(); ++i)
        out << grid.Cells(col, i);
    return out;
}

// A grid with rows named r0 .. r(n-1), shown on screen for the gesture tests.
void FillNamed(TItemGrid& grid, int n) {
    for (int i = 0; i < n; ++i)
        AddNamed(grid, QStringLiteral("/p/r%1").arg(i), QStringLiteral("r%1").arg(i));
}

QPoint RowPoint(const TItemGrid& grid, int row) {
    return grid.CellRect(colNameIndex, row).center();
}

} // namespace

class TestItemGrid : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { SetRegionalSettings(TRegionalSettings::FromLocale(QLocale(QStringLiteral("en_US")))); }

    // -------------------------------------------------------------- columns

    void columns_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("sortType");
        QTest::newRow("path") << 0 << "colPath" << "TTextColumn" << "Path" << 1 << false << 80 << int(stAlphabetic);
        QTest::newRow("position") << 1 << "colCurrentPosition" << "TNumberColumn" << "Video Position" << 2 << false
                                  << 80 << int(stNumeric);
        QTest::newRow("name") << 2 << "colName" << "TTextColumn" << "Name" << 3 << true << 120 << int(stAlphabetic);
        QTest::newRow("type") << 3 << "colType" << "TImageColumn" << "Type" << 4 << true << 30 << int(stNumeric);
        QTest::newRow("progress") << 4 << "colProgress" << "TProgressColumn" << "Progress" << 0 << true << 80
                                  << int(stNumeric);
        QTest::newRow("extension") << 5 << "colExtension" << "TTextColumn" << "Extension" << 5 << true << 35
                                   << int(stAlphabetic);
        QTest::newRow("added") << 6 << "colAdded" << "TDateColumn" << "Added" << 6 << true << 80 << int(stDate);
        QTest::newRow("duration") << 7 << "colDuration" << "TTextColumn" << "Duration" << 7 << true << 60
                                  << int(stAlphabetic);
        QTest::newRow("size") << 8 << "colSize" << "TTextColumn" << "Size" << 8 << true << 40 << int(stAlphabetic);
    }
    void columns() {
        QFETCH(int, index);
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(int, position);
        QFETCH(bool, visible);
        QFETCH(int, width);
        QFETCH(int, sortType);
        TItemGrid grid;
        auto* c = dynamic_cast<TItemGridColumn*>(grid.Column(index));
        QVERIFY(c);
        QCOMPARE(c->Index(), index);
        QCOMPARE(c->Name(), name);
        QCOMPARE(KindOf(c), kind);
        QCOMPARE(c->Caption(), caption);
        QCOMPARE(grid.model()->headerData(index, Qt::Horizontal).toString(), caption);
        QCOMPARE(c->Position(), position);
        QCOMPARE(c->Visible(), visible);
        QCOMPARE(c->Width(), width);
        QCOMPARE(int(c->SortType()), sortType);
        QCOMPARE(c->Sorted(), false);
        QCOMPARE(grid.ColumnByName(name.toUpper()), c);
        QCOMPARE(grid.horizontalHeader()->sectionResizeMode(index),
                 index == colTypeIndex ? QHeaderView::Fixed : QHeaderView::Interactive);
    }

    void columnAttributes() {
        TItemGrid grid;
        QCOMPARE(grid.model()->headerData(colSizeIndex, Qt::Horizontal, Qt::ToolTipRole).toString(),
                 QStringLiteral("Size in MB"));
        QVERIFY(grid.model()->headerData(colNameIndex, Qt::Horizontal, Qt::ToolTipRole).isNull());
        QCOMPARE(grid.Column(colProgressIndex)->SlideCaptionLocation(), clTop);
        QCOMPARE(grid.Column(colTypeIndex)->Alignment(), taCenter);
        QCOMPARE(grid.Column(colTypeIndex)->StyleClass(), QString());
        QVERIFY(grid.ColumnByName(QStringLiteral("colNothing")) == nullptr);
        QVERIFY(grid.Column(9) == nullptr);

        // The pass-through attributes keep what they are given.
        grid.Column(colProgressIndex)->SetSlideCaptionLocation(clLeft);
        grid.Column(colTypeIndex)->SetStyleClass(QStringLiteral("Flat"));
        grid.Column(colTypeIndex)->SetAlignment(taRightJustify);
        QCOMPARE(grid.Column(colProgressIndex)->SlideCaptionLocation(), clLeft);
        QCOMPARE(grid.Column(colTypeIndex)->StyleClass(), QStringLiteral("Flat"));
        QCOMPARE(grid.Column(colTypeIndex)->Alignment(), taRightJustify);

        // Widths: 8 pixels at least, also for hidden columns, which keep their width.
        grid.Column(colNameIndex)->SetWidth(0);
        QCOMPARE(grid.Column(colNameIndex)->Width(), 8);
        grid.Column(colPathIndex)->SetWidth(200);
        QCOMPARE(grid.Column(colPathIndex)->Width(), 200);
        QCOMPARE(grid.Column(colPathIndex)->Visible(), false);
        grid.Column(colPathIndex)->SetVisible(true);
        QCOMPARE(grid.horizontalHeader()->sectionSize(colPathIndex), 200);

        // Display position: moving Progress shifts the others, never the index order.
        grid.Column(colProgressIndex)->SetPosition(3);
        QCOMPARE(grid.Column(colProgressIndex)->Position(), 3);
        QCOMPARE(grid.Column(colPathIndex)->Position(), 0);
        QCOMPARE(grid.Column(colNameIndex)->Position(), 2);
        QCOMPARE(grid.Column(colTypeIndex)->Position(), 4);
        QCOMPARE(grid.Column(colProgressIndex)->Index(), colProgressIndex);

        // The sorted mark is on one column at most.
        grid.Column(colNameIndex)->SetSorted(true);
        grid.Column(colSizeIndex)->SetSorted(true);
        QCOMPARE(grid.Column(colNameIndex)->Sorted(), false);
        QCOMPARE(grid.Column(colSizeIndex)->Sorted(), true);
        grid.Column(colSizeIndex)->SetSorted(false);
        QCOMPARE(grid.SortedColumn(), -1);
    }

    // ----------------------------------------------------------- cell kinds

    void newRowValues() {
        TItemGrid grid;
        QCOMPARE(grid.AddRow(1), 0);
        QCOMPARE(grid.AddRow(3), 3);
        QCOMPARE(grid.RowCount(), 4);
        QCOMPARE(grid.AddRow(0), 3);
        const QStringList expected = {"", "0", "", "0", "0", "", "12/30/1899", "", ""};
        QCOMPARE(RowTexts(grid, 3), expected);
        QCOMPARE(grid.Cell(colAddedIndex, 3).AsDateTime(), 0.0);
        QCOMPARE(grid.Cell(colTypeIndex, 3).AsInteger(), 0);
        QCOMPARE(grid.RowSelected(3), false);
    }

    void cellTextForms_data() {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("assigned");
        QTest::addColumn<QString>("shown");   // AsString afterwards; null when the assignment fails
        QTest::addColumn<QString>("message"); // the error's text
        const QString fp = QStringLiteral("'%1' is not a valid floating point value");
        const QString in = QStringLiteral("'%1' is not a valid integer value");
        for (const char* loc : {"en_US", "de_DE"}) {
            const bool de = QByteArray(loc) == "de_DE";
            const QString point = de ? "," : ".";
            QTest::addRow("%s %s", loc, "float 83.25") << QByteArray(loc) << int(colCurrentPositionIndex)
                                               << "83" + point + "25" << "83" + point + "25" << QString();
            QTest::addRow("%s %s", loc, "float trailing zeros") << QByteArray(loc) << int(colProgressIndex)
                                                        << "45" + point + "500" << "45" + point + "5" << QString();
            QTest::addRow("%s %s", loc, "float other separator") << QByteArray(loc) << int(colProgressIndex)
                                                         << QString(de ? "1.5" : "1,5") << QString()
                                                         << fp.arg(de ? "1.5" : "1,5");
            QTest::addRow("%s %s", loc, "float empty") << QByteArray(loc) << int(colProgressIndex) << "" << QString()
                                               << fp.arg("");
            QTest::addRow("%s %s", loc, "float word") << QByteArray(loc) << int(colProgressIndex) << "half" << QString()
                                              << fp.arg("half");
            QTest::addRow("%s %s", loc, "float exponent") << QByteArray(loc) << int(colProgressIndex) << "5E-5" << "5E-5"
                                                  << QString();
            QTest::addRow("%s %s", loc, "integer") << QByteArray(loc) << int(colTypeIndex) << "10" << "10" << QString();
            QTest::addRow("%s %s", loc, "integer empty") << QByteArray(loc) << int(colTypeIndex) << "" << "0" << QString();
            QTest::addRow("%s %s", loc, "integer decimal") << QByteArray(loc) << int(colTypeIndex) << "9" + point + "5"
                                                   << QString() << in.arg("9" + point + "5");
            QTest::addRow("%s %s", loc, "integer too big") << QByteArray(loc) << int(colTypeIndex) << "2147483648" << QString()
                                                   << in.arg("2147483648");
            QTest::addRow("%s %s", loc, "date") << QByteArray(loc) << int(colAddedIndex)
                                        << QString(de ? "27.04.2014" : "4/27/2014")
                                        << QString(de ? "27.04.2014" : "4/27/2014") << QString();
            QTest::addRow("%s %s", loc, "date other form") << QByteArray(loc) << int(colAddedIndex)
                                                   << QString(de ? "4/27/2014" : "27.04.2014")
                                                   << QString(de ? "30.12.1899" : "12/30/1899") << QString();
            QTest::addRow("%s %s", loc, "date empty") << QByteArray(loc) << int(colAddedIndex) << ""
                                              << QString(de ? "30.12.1899" : "12/30/1899") << QString();
            QTest::addRow("%s %s", loc, "date with time") << QByteArray(loc) << int(colAddedIndex)
                                                  << QString(de ? "27.04.2014 13:05:07" : "4/27/2014 1:05:07 PM")
                                                  << QString(de ? "27.04.2014 13:05:07" : "4/27/2014 1:05:07 PM")
                                                  << QString();
            QTest::addRow("%s %s", loc, "text") << QByteArray(loc) << int(colSizeIndex) << "10" + point + "5"
                                        << "10" + point + "5" << QString();
        }
    }
    void cellTextForms() {
        QFETCH(QByteArray, locale);
        QFETCH(int, col);
        QFETCH(QString, assigned);
        QFETCH(QString, shown);
        QFETCH(QString, message);
        TLocaleScope scope(locale.constData());
        TItemGrid grid;
        grid.AddRow(1);
        QString error;
        try {
            grid.Cell(col, 0).SetAsString(assigned);
        } catch (const EConvertError& e) {
            error = e.Message();
        }
        QCOMPARE(error, message);
        if (!shown.isNull())
            QCOMPARE(grid.Cells(col, 0), shown);
    }

    void typedAccess() {
        TItemGrid grid;
        grid.AddRow(1);
        grid.Cell(colProgressIndex, 0).SetAsInteger(7);
        QCOMPARE(grid.Cell(colProgressIndex, 0).AsFloat(), 7.0);
        grid.Cell(colCurrentPositionIndex, 0).SetAsFloat(0.00005);
        QCOMPARE(grid.Cells(colCurrentPositionIndex, 0), QStringLiteral("5E-5"));
        grid.Cell(colAddedIndex, 0).SetAsDateTime(41756.5);
        QCOMPARE(grid.Cells(colAddedIndex, 0), QStringLiteral("4/27/2014 12:00:00 PM"));
        grid.Cell(colTypeIndex, 0).SetAsInteger(16);
        QCOMPARE(grid.Cell(colTypeIndex, 0).AsInteger(), 16);
        grid.SetCells(colSizeIndex, 0, QStringLiteral("12"));
        QCOMPARE(grid.Cell(colSizeIndex, 0).AsInteger(), 12);
        QVERIFY_THROWS_EXCEPTION(EConvertError, grid.Cell(colNameIndex, 0).AsFloat());
    }

    void outOfRange() {
        TItemGrid grid;
        grid.AddRow(1);
        QCOMPARE(grid.Cells(9, 0), QString());
        QCOMPARE(grid.Cells(0, 1), QString());
        QCOMPARE(grid.Cells(-1, 0), QString());
        grid.SetCells(0, 5, QStringLiteral("x")); // nothing, no error
        grid.SetCells(12, 0, QStringLiteral("x"));
        QCOMPARE(grid.RowCount(), 1);
        QVERIFY_THROWS_EXCEPTION(EGridError, grid.Cell(0, 1));
        QVERIFY_THROWS_EXCEPTION(EGridError, grid.Cell(9, 0));
        QVERIFY_THROWS_EXCEPTION(EGridError, grid.DeleteRow(1));
    }

    // --------------------------------------------------- addressing by name

    void cellByName_data() {
        QTest::addColumn<QVariant>("col");
        QTest::addColumn<QVariant>("row");
        QTest::addColumn<int>("expectedCol");
        QTest::addColumn<int>("expectedRow");
        QTest::addColumn<QString>("message");
        QTest::newRow("name and Last") << QVariant("colName") << QVariant("Last") << 2 << 4 << QString();
        QTest::newRow("keywords ignore case") << QVariant("FIRST") << QVariant("lAsT") << 0 << 4 << QString();
        QTest::newRow("Selected row") << QVariant("colpath") << QVariant("selected") << 0 << 1 << QString();
        QTest::newRow("Last column") << QVariant("Last") << QVariant(0) << 8 << 0 << QString();
        QTest::newRow("Selected column") << QVariant("Selected") << QVariant(3) << 0 << 3 << QString();
        QTest::newRow("numbers") << QVariant(6) << QVariant(2) << 6 << 2 << QString();
        QTest::newRow("numbers as text") << QVariant("6") << QVariant("2") << 6 << 2 << QString();
        QTest::newRow("double row") << QVariant("colSize") << QVariant(3.0) << 8 << 3 << QString();
        QTest::newRow("bad row") << QVariant("colName") << QVariant("Lastrow") << -1 << -1
                                 << "Invalid Rowname 'Lastrow' for 'TItemGrid:grdTable'.";
        QTest::newRow("bad column") << QVariant("colNom") << QVariant(0) << -1 << -1
                                    << "Invalid Columnname 'colNom' for 'TItemGrid:grdTable'.";
        QTest::newRow("bad both: row first") << QVariant("colNom") << QVariant("x") << -1 << -1
                                             << "Invalid Rowname 'x' for 'TItemGrid:grdTable'.";
        QTest::newRow("row out of range") << QVariant("colName") << QVariant(5) << -1 << -1 << "range";
        QTest::newRow("column out of range") << QVariant(9) << QVariant(0) << -1 << -1 << "range";
    }
    void cellByName() {
        QFETCH(QVariant, col);
        QFETCH(QVariant, row);
        QFETCH(int, expectedCol);
        QFETCH(int, expectedRow);
        QFETCH(QString, message);
        TItemGrid grid;
        grid.AddRow(5);
        grid.SetRowSelected(1, true);
        grid.FindText(colPathIndex, QString(), soExactMatch); // row 0 matches: the focused row
        grid.Cell(colPathIndex, 1).SetAsString(QStringLiteral("/x"));
        QVERIFY(grid.FindText(colPathIndex, QStringLiteral("/x"), {}));
        QCOMPARE(grid.SelectedRow(), 1);
        try {
            const TCell cell = grid.CellByName(col, row);
            QVERIFY2(message.isEmpty(), "an error was expected");
            QCOMPARE(cell.Col(), expectedCol);
            QCOMPARE(cell.Row(), expectedRow);
        } catch (const EGridError& e) {
            QVERIFY2(!message.isEmpty(), qPrintable(e.Message()));
            if (message != QLatin1String("range"))
                QCOMPARE(e.Message(), message);
        }
    }

    void lastIsTheAppendedRowAfterASort() {
        TItemGrid grid;
        AddNamed(grid, "/b", "b");
        AddNamed(grid, "/a", "a");
        grid.ClickHeader(colNameIndex);
        const int row = grid.AddRow(1);
        grid.CellByName(QStringLiteral("colName"), QStringLiteral("Last")).SetAsString(QStringLiteral("0 first"));
        QCOMPARE(grid.Cells(colNameIndex, row), QStringLiteral("0 first"));
        QCOMPARE(grid.CellsByName(QStringLiteral("colName"), QStringLiteral("Last")), QStringLiteral("0 first"));
        QCOMPARE(Column(grid, colNameIndex), QStringList({"a", "b", "0 first"}));
        QVERIFY(grid.Column(colNameIndex)->Sorted());
    }

    // --------------------------------------------------------------- search

    void findText_data() {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("options");
        QTest::addColumn<int>("found"); // -1: no match
        const QStringList paths = {"/b/other.mp3", "c:/A/SONG.MP3.OLD", "/a/song.mp3", "/a/song.mp3x"};
        const int ci = soCaseInsensitive;
        QTest::newRow("containment ignoring case") << paths << -1 << "/a/song.mp3" << ci << 1;
        QTest::newRow("exact ignoring case") << paths << -1 << "/A/Song.MP3" << (ci | soExactMatch) << 2;
        QTest::newRow("containment with case") << paths << -1 << "/a/song.mp3" << 0 << 2;
        QTest::newRow("exact with case") << paths << -1 << "/a/song.mp3x" << int(soExactMatch) << 3;
        QTest::newRow("exact with case, other case") << paths << -1 << "/A/song.mp3x" << int(soExactMatch) << -1;
        QTest::newRow("empty text") << paths << -1 << "" << ci << -1;
        QTest::newRow("from selected, none selected") << paths << -1 << "other" << (ci | soFromSelected) << 0;
        QTest::newRow("from selected skips the row itself") << paths << 1 << "song" << (ci | soFromSelected) << 2;
        QTest::newRow("from selected at the last row") << paths << 3 << "mp3" << (ci | soFromSelected) << -1;
        QTest::newRow("from selected, continue from top")
            << paths << 3 << "other" << (ci | soFromSelected | soContinueFromTop) << 0;
        QTest::newRow("no rows") << QStringList() << -1 << "x" << ci << -1;
        QTest::newRow("non-ASCII ignoring case") << QStringList{"/Musik/ÄRGER.mp3"} << -1 << "/musik/ärger" << ci
                                                 << 0;
    }
    void findText() {
        QFETCH(QStringList, paths);
        QFETCH(int, selected);
        QFETCH(QString, text);
        QFETCH(int, options);
        QFETCH(int, found);
        TItemGrid grid;
        for (const QString& p : paths)
            AddNamed(grid, p, QString());
        grid.SetRowSelected(0, paths.size() > 2); // to see that a hit clears it
        if (selected >= 0) {
            grid.SetCells(colNameIndex, selected, QStringLiteral("mark"));
            QVERIFY(grid.FindText(colNameIndex, QStringLiteral("mark"), soExactMatch));
            QCOMPARE(grid.SelectedRow(), selected);
        }
        const int lastBefore = grid.LastFoundRow();
        const QList<int> selectionBefore = SelectedRows(grid);
        const bool hit = grid.FindText(colPathIndex, text, TSearchOptions(options));
        QCOMPARE(hit, found >= 0);
        if (hit) {
            QCOMPARE(grid.LastFoundRow(), found);
            QCOMPARE(grid.SelectedRow(), found);
            QCOMPARE(SelectedRows(grid), QList<int>{found});
        } else {
            QCOMPARE(grid.LastFoundRow(), lastBefore);
            QCOMPARE(SelectedRows(grid), selectionBefore);
        }
    }

    void findTextSeesChangedPaths() {
        // The lower-cased copy of a path follows every change of it.
        TItemGrid grid;
        AddNamed(grid, QStringLiteral("/Old/Song.mp3"), QString());
        QVERIFY(grid.FindText(colPathIndex, QStringLiteral("/old/song"), soCaseInsensitive));
        grid.SetCells(colPathIndex, 0, QStringLiteral("/New/Song.mp3"));
        QVERIFY(!grid.FindText(colPathIndex, QStringLiteral("/old/song"), soCaseInsensitive));
        QVERIFY(grid.FindText(colPathIndex, QStringLiteral("/new/SONG"), soCaseInsensitive));
        grid.ClickHeader(colNameIndex);
        QVERIFY(grid.FindText(colPathIndex, QStringLiteral("/new/SONG"), soCaseInsensitive));
    }

    void findTextOnOtherColumns() {
        TItemGrid grid;
        AddTextRow(grid, {"/a", "0", "a", "9", "45", "mp3", "4/27/2014", "", "10.5"});
        AddTextRow(grid, {"/b", "0", "b", "10", "100", "MP4", "4/28/2014", "1:00", "9.0"});
        QVERIFY(grid.FindText(colExtensionIndex, QStringLiteral("mp4"), soCaseInsensitive));
        QCOMPARE(grid.LastFoundRow(), 1);
        QVERIFY(grid.FindText(colProgressIndex, QStringLiteral("45"), soExactMatch));
        QCOMPARE(grid.LastFoundRow(), 0);
        QVERIFY(grid.FindText(colAddedIndex, QStringLiteral("4/28"), {}));
        QCOMPARE(grid.LastFoundRow(), 1);
        QVERIFY(!grid.FindText(9, QStringLiteral("a"), {}));
    }

    // -------------------------------------------------------------- sorting

    void sortByHeaderClick() {
        TItemGrid grid;
        for (const char* n : {"b", "d", "a", "c"})
            AddNamed(grid, QStringLiteral("/") + n, QString::fromLatin1(n));
        grid.ClickHeader(colNameIndex);
        QCOMPARE(Column(grid, colNameIndex), QStringList({"a", "b", "c", "d"}));
        QVERIFY(grid.Column(colNameIndex)->Sorted());
        QCOMPARE(grid.horizontalHeader()->sortIndicatorSection(), int(colNameIndex));

        // The second click reverses without comparing: a changed value is not re-sorted.
        grid.SetCells(colNameIndex, 0, QStringLiteral("z"));
        grid.ClickHeader(colNameIndex);
        QCOMPARE(Column(grid, colNameIndex), QStringList({"d", "c", "b", "z"}));

        // After an append the click sorts anew (descending now); the new row was at the end.
        AddNamed(grid, "/e", "e");
        QCOMPARE(Column(grid, colNameIndex), QStringList({"d", "c", "b", "z", "e"}));
        grid.ClickHeader(colNameIndex);
        QCOMPARE(Column(grid, colNameIndex), QStringList({"b", "c", "d", "e", "z"}));
        grid.ClickHeader(colNameIndex);
        QCOMPARE(Column(grid, colNameIndex), QStringList({"z", "e", "d", "c", "b"}));

        // Another column takes the mark in its own direction; Name keeps its own.
        grid.ClickHeader(colPathIndex);
        QVERIFY(!grid.Column(colNameIndex)->Sorted());
        QCOMPARE(Column(grid, colPathIndex), QStringList({"/a", "/b", "/c", "/d", "/e"}));
        QCOMPARE(Column(grid, colNameIndex), QStringList({"z", "b", "c", "d", "e"}));
        grid.ClickHeader(colNameIndex);
        QCOMPARE(Column(grid, colNameIndex), QStringList({"z", "e", "d", "c", "b"}));
        QVERIFY(!dynamic_cast<TItemGridColumn*>(grid.Column(colNameIndex))->Ascending());
    }

    void sortTypes_data() {
        QTest::addColumn<int>("col");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("ascending");
        QTest::newRow("size sorts as text") << int(colSizeIndex) << QStringList{"9.0", "10.5", "100", "2"}
                                            << QStringList{"10.5", "100", "2", "9.0"};
        QTest::newRow("text is case-sensitive") << int(colNameIndex) << QStringList{"b", "B", "a", "A"}
                                                << QStringList{"A", "B", "a", "b"};
        QTest::newRow("progress numeric") << int(colProgressIndex) << QStringList{"9", "10.5", "100", "2"}
                                          << QStringList{"2", "9", "10.5", "100"};
        QTest::newRow("type numeric") << int(colTypeIndex) << QStringList{"16", "9", "10", "-1"}
                                      << QStringList{"-1", "9", "10", "16"};
        QTest::newRow("dates by value") << int(colAddedIndex)
                                        << QStringList{"12/1/2013", "4/27/2014", "1/5/2014", "11/30/2013"}
                                        << QStringList{"11/30/2013", "12/1/2013", "1/5/2014", "4/27/2014"};
    }
    void sortTypes() {
        QFETCH(int, col);
        QFETCH(QStringList, values);
        QFETCH(QStringList, ascending);
        TItemGrid grid;
        for (const QString& v : values)
            grid.SetCells(col, grid.AddRow(1), v);
        grid.ClickHeader(col);
        QCOMPARE(Column(grid, col), ascending);
        grid.ClickHeader(col);
        std::reverse(ascending.begin(), ascending.end());
        QCOMPARE(Column(grid, col), ascending);
    }

    void numericSortMatchesAStableSort_data() {
        QTest::addColumn<int>("col");
        QTest::newRow("progress") << int(colProgressIndex);
        QTest::newRow("position") << int(colCurrentPositionIndex);
        QTest::newRow("type") << int(colTypeIndex);
        QTest::newRow("added") << int(colAddedIndex);
    }
    void numericSortMatchesAStableSort() {
        // Many rows with repeated, negative, fractional and large values, sorted
        // ascending and then (after an append) descending, against
        // std::stable_sort of the same values: equal values keep their order.
        QFETCH(int, col);
        const double pool[] = {0, -0.0, 1, -1, 0.5, -2.25, 100, 99.5, 1e12, -1e12, 41756.75, 3, 3, 7};
        constexpr int Rows = 5000;
        TItemGrid grid;
        grid.BeginUpdate();
        std::vector<std::pair<double, int>> expected;
        for (int i = 0; i < Rows; ++i) {
            double v = pool[(i * 7 + i / 13) % std::size(pool)];
            if (col == colTypeIndex)
                v = std::trunc(v / 1e6);
            const int r = grid.AddRow(1);
            grid.SetCells(colNameIndex, r, QString::number(i));
            if (col == colTypeIndex)
                grid.Cell(col, r).SetAsInteger(int(v));
            else if (col == colAddedIndex)
                grid.Cell(col, r).SetAsDateTime(v);
            else
                grid.Cell(col, r).SetAsFloat(v);
            expected.push_back({v, i});
        }
        grid.EndUpdate();
        auto names = [](const std::vector<std::pair<double, int>>& rows) {
            QStringList out;
            for (const auto& [v, i] : rows)
                out << QString::number(i);
            return out;
        };
        grid.ClickHeader(col);
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        QCOMPARE(Column(grid, colNameIndex), names(expected));

        // Descending, sorted anew: the appended row (value 2) takes its place and
        // equal values still keep their present order.
        const int r = grid.AddRow(1);
        grid.SetCells(colNameIndex, r, QString::number(Rows));
        if (col == colTypeIndex)
            grid.Cell(col, r).SetAsInteger(2);
        else if (col == colAddedIndex)
            grid.Cell(col, r).SetAsDateTime(2);
        else
            grid.Cell(col, r).SetAsFloat(2);
        expected.push_back({2, Rows});
        grid.ClickHeader(col);
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        QCOMPARE(Column(grid, colNameIndex), names(expected));
    }

    void sortKeepsTheFocusedRowAndTheSelection() {
        TItemGrid grid;
        for (const char* n : {"c", "a", "d", "b"})
            AddNamed(grid, QStringLiteral("/") + n, QString::fromLatin1(n));
        QVERIFY(grid.FindText(colNameIndex, QStringLiteral("d"), soExactMatch)); // row 2 focused
        grid.SetRowSelected(0, true);                                            // "c" selected too
        grid.ClickHeader(colNameIndex);
        QCOMPARE(grid.SelectedRow(), 3);
        QCOMPARE(grid.Cells(colNameIndex, grid.SelectedRow()), QStringLiteral("d"));
        QCOMPARE(SelectedRows(grid), QList<int>({2, 3}));
        grid.ClickHeader(colNameIndex);
        QCOMPARE(grid.SelectedRow(), 0);
        QCOMPARE(SelectedRows(grid), QList<int>({0, 1}));
    }

    void storedSortMarkSortsOnTheNextClick() {
        // A mark restored from the window state is not an order of the rows: flip and sort.
        TItemGrid grid;
        for (const char* n : {"b", "a", "c"})
            AddNamed(grid, QStringLiteral("/") + n, QString::fromLatin1(n));
        grid.Column(colNameIndex)->SetSorted(true);
        grid.ClickHeader(colNameIndex);
        QCOMPARE(Column(grid, colNameIndex), QStringList({"c", "b", "a"}));
    }

    void headerClickSorts() {
        TItemGrid grid;
        grid.resize(600, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        for (const char* n : {"b", "a"})
            AddNamed(grid, QStringLiteral("/") + n, QString::fromLatin1(n));
        QHeaderView* h = grid.horizontalHeader();
        const QPoint at(h->sectionViewportPosition(colNameIndex) + 20, h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(Column(grid, colNameIndex), QStringList({"a", "b"}));
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(Column(grid, colNameIndex), QStringList({"b", "a"}));
    }

    // --------------------------------------------------- rows and updates

    void deleteRow() {
        TItemGrid grid;
        FillNamed(grid, 6);
        grid.SetRowSelected(2, true);
        grid.SetRowSelected(5, true);
        for (int i = grid.RowCount() - 1; i >= 0; --i)
            if (grid.RowSelected(i))
                grid.DeleteRow(i);
        QCOMPARE(Column(grid, colNameIndex), QStringList({"r0", "r1", "r3", "r4"}));
        QCOMPARE(SelectedRows(grid), QList<int>());
    }

    void deleteRowMovesTheFocusedRowOnlyPastTheEnd() {
        TItemGrid grid;
        FillNamed(grid, 4);
        QVERIFY(grid.FindText(colNameIndex, QStringLiteral("r3"), {}));
        grid.DeleteRow(0);
        QCOMPARE(grid.SelectedRow(), 2); // past the last row: the last row
        grid.DeleteRow(0);
        QCOMPARE(grid.SelectedRow(), 1);
        QVERIFY(grid.FindText(colNameIndex, QStringLiteral("r2"), {}));
        QCOMPARE(grid.SelectedRow(), 0);
        grid.DeleteRow(1);
        QCOMPARE(grid.SelectedRow(), 0); // still in range: the index stays
        grid.DeleteRow(0);
        QCOMPARE(grid.SelectedRow(), -1);
        grid.AddRow(2);
        grid.ClearRows();
        QCOMPARE(grid.RowCount(), 0);
        QCOMPARE(grid.SelectedRow(), -1);
    }

    void nestedUpdates() {
        TItemGrid grid;
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.BeginUpdate();
        grid.BeginUpdate();
        QVERIFY(!grid.updatesEnabled());
        for (int i = 0; i < 100; ++i) {
            const int r = grid.AddRow(1);
            grid.SetCells(colNameIndex, r, QString::number(i));
        }
        QVERIFY(grid.FindText(colNameIndex, QStringLiteral("42"), soExactMatch));
        QCOMPARE(grid.RowCount(), 100);
        grid.EndUpdate();
        QVERIFY(!grid.updatesEnabled());
        QCOMPARE(grid.UpdateCount(), 1);
        grid.EndUpdate();
        QVERIFY(grid.updatesEnabled());
        QCOMPARE(grid.model()->rowCount(), 100);
        QCOMPARE(grid.model()->index(42, colNameIndex).data().toString(), QStringLiteral("42"));
        QCOMPARE(grid.SelectedRow(), 42);
        grid.EndUpdate(); // one too many does nothing
        QCOMPARE(grid.UpdateCount(), 0);
    }

    // --------------------------------------------------------- the gestures

    void mouseSelection() {
        TItemGrid grid;
        grid.resize(600, 400);
        FillNamed(grid, 8);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QWidget* vp = grid.viewport();

        QTest::mouseClick(vp, Qt::LeftButton, {}, RowPoint(grid, 2));
        QCOMPARE(SelectedRows(grid), QList<int>({2}));
        QCOMPARE(grid.SelectedRow(), 2);

        QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, RowPoint(grid, 5));
        QCOMPARE(SelectedRows(grid), QList<int>({2, 5}));
        QCOMPARE(grid.SelectedRow(), 5);
        QCOMPARE(grid.AnchorRow(), 5);

        // Shift: the range from the anchor, nothing else.
        QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, RowPoint(grid, 3));
        QCOMPARE(SelectedRows(grid), QList<int>({3, 4, 5}));
        QCOMPARE(grid.AnchorRow(), 5);
        QCOMPARE(grid.SelectedRow(), 3);

        // Ctrl toggles off and moves the anchor; Ctrl+Shift adds a range keeping the rest.
        QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, RowPoint(grid, 4));
        QCOMPARE(SelectedRows(grid), QList<int>({3, 5}));
        QCOMPARE(grid.AnchorRow(), 4);
        QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, RowPoint(grid, 0));
        QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, RowPoint(grid, 7));
        QCOMPARE(SelectedRows(grid), QList<int>({0, 1, 2, 3, 4, 5, 6, 7}));
        QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, RowPoint(grid, 6));
        QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, RowPoint(grid, 4));
        QCOMPARE(SelectedRows(grid), QList<int>({4, 5, 6}));

        // A plain click clears the rest.
        QTest::mouseClick(vp, Qt::LeftButton, {}, RowPoint(grid, 1));
        QCOMPARE(SelectedRows(grid), QList<int>({1}));
        QCOMPARE(grid.AnchorRow(), 1);

        // A click below the last row changes nothing.
        QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(20, vp->height() - 3));
        QCOMPARE(SelectedRows(grid), QList<int>({1}));
    }

    void keyboardSelection() {
        TItemGrid grid;
        grid.resize(600, 400);
        FillNamed(grid, 8);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setFocus();
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, RowPoint(grid, 3));
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(SelectedRows(grid), QList<int>({4}));
        QCOMPARE(grid.AnchorRow(), 4);
        QTest::keyClick(&grid, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(&grid, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(SelectedRows(grid), QList<int>({4, 5, 6}));
        QTest::keyClick(&grid, Qt::Key_Up, Qt::ShiftModifier);
        QTest::keyClick(&grid, Qt::Key_Up, Qt::ShiftModifier);
        QTest::keyClick(&grid, Qt::Key_Up, Qt::ShiftModifier);
        QCOMPARE(SelectedRows(grid), QList<int>({3, 4}));
        QCOMPARE(grid.SelectedRow(), 3);
        QTest::keyClick(&grid, Qt::Key_End);
        QCOMPARE(SelectedRows(grid), QList<int>({7}));
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(grid.SelectedRow(), 7);
        QTest::keyClick(&grid, Qt::Key_Home);
        QCOMPARE(SelectedRows(grid), QList<int>({0}));
    }

    void doubleClick() {
        TItemGrid grid;
        grid.resize(600, 400);
        FillNamed(grid, 3);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QSignalSpy spy(&grid, &TItemGrid::DblClick);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, RowPoint(grid, 1));
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, RowPoint(grid, 1));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(grid.SelectedRow(), 1);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(20, grid.viewport()->height() - 3));
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, QPoint(20, grid.viewport()->height() - 3));
        QCOMPARE(spy.count(), 1); // not on a row
    }

    void noEditingInPlace() {
        TItemGrid grid;
        grid.AddRow(1);
        QCOMPARE(grid.model()->flags(grid.model()->index(0, colNameIndex)) & Qt::ItemIsEditable, Qt::ItemFlags());
        QCOMPARE(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    void popupMenuOnRightClick() {
        TItemGrid grid;
        grid.resize(600, 400);
        FillNamed(grid, 3);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QMenu menu;
        menu.addAction(QStringLiteral("Delete Selected Rows"));
        grid.SetPopupMenu(&menu);
        QVERIFY(grid.FindText(colNameIndex, QStringLiteral("r0"), {}));
        const QPoint at = RowPoint(grid, 2);
        QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, grid.viewport()->mapToGlobal(at));
        QApplication::sendEvent(grid.viewport(), &event);
        QTRY_VERIFY(menu.isVisible());
        QCOMPARE(SelectedRows(grid), QList<int>({0})); // the right click leaves the selection alone
        menu.hide();
        // Also on the header.
        Q_EMIT grid.horizontalHeader()->customContextMenuRequested(QPoint(5, 5));
        QTRY_VERIFY(menu.isVisible());
        menu.hide();
    }

    void headerDropOutsideHidesTheColumn() {
        TItemGrid grid;
        grid.resize(700, 400);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QHeaderView* h = grid.horizontalHeader();
        QWidget* hv = h->viewport();
        const QPoint start(h->sectionViewportPosition(colExtensionIndex) + 15, h->height() / 2);
        auto send = [&](QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
            QMouseEvent e(type, pos, hv->mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          buttons, Qt::NoModifier);
            QApplication::sendEvent(hv, &e);
        };
        const int positionBefore = grid.Column(colAddedIndex)->Position();
        send(QEvent::MouseButtonPress, start, Qt::LeftButton);
        send(QEvent::MouseMove, start + QPoint(10, 40), Qt::LeftButton);
        send(QEvent::MouseMove, start + QPoint(20, 120), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, start + QPoint(20, 120), Qt::NoButton);
        QVERIFY(!grid.Column(colExtensionIndex)->Visible());
        QCOMPARE(grid.Column(colAddedIndex)->Position(), positionBefore);
        QCOMPARE(grid.SortedColumn(), -1); // no click

        // Dropping in the header row moves the column instead.
        const QPoint from(h->sectionViewportPosition(colSizeIndex) + 10, h->height() / 2);
        const QPoint to(h->sectionViewportPosition(colNameIndex) + 5, h->height() / 2);
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        send(QEvent::MouseMove, from - QPoint(20, 0), Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);
        QVERIFY(grid.Column(colSizeIndex)->Visible());
        QCOMPARE(grid.Column(colSizeIndex)->Position(), 3);
        QCOMPARE(grid.Column(colNameIndex)->Position(), 4);
        QCOMPARE(grid.Column(colSizeIndex)->Index(), int(colSizeIndex));
    }

    void scrollingLargeTableStaysCheap() {
        // 100,000 rows: the view draws only what is visible and asks for nothing per row.
        TItemGrid grid;
        grid.resize(600, 400);
        grid.AddRow(100000);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
        QVERIFY(grid.FindText(colPathIndex, QString(), soExactMatch | soFromSelected));
        QCOMPARE(grid.SelectedRow(), 0);
        grid.SetCells(colNameIndex, 99999, QStringLiteral("last"));
        QVERIFY(grid.FindText(colNameIndex, QStringLiteral("last"), {}));
        QVERIFY(grid.rowAt(grid.viewport()->height() / 2) > 99000); // scrolled into view
    }
};

SORTELLE_TEST_MAIN(TestItemGrid)
#include "tst_itemgrid.moc"
