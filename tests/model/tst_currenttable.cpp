// The current-table store: when a table is written, emptied and loaded.
#include "common/TestMain.h"

#include "model/uProjectClasses.h"
#include "platform/DataFolder.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {
// A grid of plain text rows: one line per row in its file. A row "BAD" stands
// for a field that does not parse: the load stops there, keeping what it read.
class TFakeGrid final : public ITableGrid {
public:
    QStringList rows;
    QStringList calls;
    int RowCount() const override { return int(rows.size()); }
    void ClearRows() override {
        calls << QStringLiteral("clear");
        rows.clear();
    }
    void SaveToTextFile(const QString& fileName, QChar, QChar, TEncodingKind) override {
        calls << QStringLiteral("save ") + QFileInfo(fileName).fileName();
        WriteWholeFile(fileName, rows.join(u'\n').toUtf8());
    }
    void LoadFromTextFile(const QString& fileName, QChar, QChar, int) override {
        calls << QStringLiteral("load ") + QFileInfo(fileName).fileName();
        rows.clear();
        QFile f(fileName);
        if (!f.open(QIODevice::ReadOnly))
            throw Exception(QStringLiteral("cannot open"));
        const QString text = QString::fromUtf8(f.readAll());
        if (text.isEmpty())
            return;
        for (const QString& line : text.split(u'\n')) {
            if (line == QLatin1String("BAD"))
                throw EConvertError(QStringLiteral("'BAD' is not a valid floating point value"));
            rows << line;
        }
    }
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
void WriteAll(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(data);
}
} // namespace

class TestCurrentTable : public QObject {
    Q_OBJECT
    QTemporaryDir fDir;

private Q_SLOTS:
    void init() {
        DataFolder = fDir.path() + QStringLiteral("/Documents/quendrix/Sortelle/Options");
        QDir(fDir.path() + QStringLiteral("/Documents")).removeRecursively();
        SetWriteFaultHook({});
    }

    void tableFileNames() {
        QCOMPARE(TCurrentTable::TableFileName(7), DataFolder + QStringLiteral("/table7.txt"));
        QCOMPARE(TCurrentTable::TableFileName(-1), DataFolder + QStringLiteral("/table-1.txt"));
    }

    void sameIdDoesNothingEvenWhenChanged() {
        TFakeGrid grid;
        TCurrentTable table(grid);
        table.SetID(5);
        grid.rows << QStringLiteral("row");
        table.SetIsChanged(true);
        grid.calls.clear();
        table.SetID(5);
        QVERIFY(grid.calls.isEmpty());
        QVERIFY(table.IsChanged());
        QCOMPARE(grid.rows, QStringList{QStringLiteral("row")});
        table.SetIsChanged(false);
    }

    void switchSavesOnlyWhenChanged() {
        WriteAll(TCurrentTable::TableFileName(8), "eight");
        TFakeGrid grid;
        TCurrentTable table(grid);
        table.SetID(5); // no file: empty grid, no load
        QCOMPARE(grid.calls, QStringList{QStringLiteral("clear")});
        table.SetID(8);
        QCOMPARE(grid.rows, QStringList{QStringLiteral("eight")});
        QVERIFY(!QFile::exists(TCurrentTable::TableFileName(5)));

        grid.rows << QStringLiteral("added");
        table.SetIsChanged(true);
        grid.calls.clear();
        table.SetID(5);
        QCOMPARE(grid.calls, (QStringList{QStringLiteral("save table8.txt"), QStringLiteral("clear")}));
        QCOMPARE(ReadAll(TCurrentTable::TableFileName(8)), QByteArray("eight\nadded"));
        QVERIFY(!table.IsChanged());
        QCOMPARE(table.ID(), 5);
    }

    void firstRunCreatesTheDataFolder() {
        QVERIFY(!QDir(DataFolder).exists());
        TFakeGrid grid;
        TCurrentTable table(grid);
        table.SetID(1);
        grid.rows << QStringLiteral("imported");
        table.SetIsChanged(true);
        table.SetID(2);
        QCOMPARE(ReadAll(TCurrentTable::TableFileName(1)), QByteArray("imported"));
    }

    void failedWriteAbandonsTheSwitch() {
        TFakeGrid grid;
        TCurrentTable table(grid);
        table.SetID(3);
        grid.rows << QStringLiteral("precious");
        table.SetIsChanged(true);
        SetWriteFaultHook([](const QString&, qint64) { return QStringLiteral("No space left on device"); });
        QVERIFY_THROWS_EXCEPTION(EWriteError, table.SetID(4));
        QCOMPARE(table.ID(), 3);
        QVERIFY(table.IsChanged());
        QCOMPARE(grid.rows, QStringList{QStringLiteral("precious")});
        QVERIFY_THROWS_EXCEPTION(EWriteError, table.DeleteTable(9));
        QCOMPARE(table.ID(), 3);
        SetWriteFaultHook({});
        table.SetID(4);
        QCOMPARE(ReadAll(TCurrentTable::TableFileName(3)), QByteArray("precious"));
    }

    void deletingAnotherCollectionUnloadsTheShownOne() {
        WriteAll(TCurrentTable::TableFileName(2), "two");
        WriteAll(TCurrentTable::TableFileName(6), "six");
        TFakeGrid grid;
        TCurrentTable table(grid);
        table.SetID(2);
        grid.rows << QStringLiteral("more");
        table.SetIsChanged(true);
        table.DeleteTable(6);
        QCOMPARE(table.ID(), -1);
        QVERIFY(grid.rows.isEmpty());
        QVERIFY(!QFile::exists(TCurrentTable::TableFileName(6)));
        QCOMPARE(ReadAll(TCurrentTable::TableFileName(2)), QByteArray("two\nmore"));
    }

    void changedWithoutCollectionWritesTableMinusOne() {
        TFakeGrid grid;
        TCurrentTable table(grid);
        table.SetIsChanged(true); // "Delete Selected Rows" on the empty grid
        table.SetID(4);
        QVERIFY(QFile::exists(TCurrentTable::TableFileName(-1)));
        table.DeleteTable(4);
        grid.calls.clear();
        table.SetID(-1);
        QVERIFY(grid.calls.isEmpty()); // already -1
    }

    void destructorSavesOnlyWhenChanged() {
        {
            TFakeGrid grid;
            TCurrentTable table(grid);
            table.SetID(1);
            grid.rows << QStringLiteral("unchanged rows");
        }
        QVERIFY(!QFile::exists(TCurrentTable::TableFileName(1)));
        {
            TFakeGrid grid;
            TCurrentTable table(grid);
            table.SetID(1);
            grid.rows << QStringLiteral("changed");
            table.SetIsChanged(true);
        }
        QCOMPARE(ReadAll(TCurrentTable::TableFileName(1)), QByteArray("changed"));
    }

    void partlyReadTableIsKeptBeforeAnyWrite() {
        const QString file = TCurrentTable::TableFileName(7);
        WriteAll(file, "one\ntwo\nBAD\nfour");
        TFakeGrid grid;
        TCurrentTable table(grid);
        table.SetID(7);
        QCOMPARE(grid.rows, (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
        QCOMPARE(table.ID(), 7);
        QVERIFY(!table.IsChanged());
        QVERIFY(table.LastLoadIncomplete());
        QCOMPARE(table.LastBackupPath(), file + QStringLiteral(".bak"));
        QCOMPARE(ReadAll(file + QStringLiteral(".bak")), QByteArray("one\ntwo\nBAD\nfour"));

        table.SetIsChanged(true);
        table.SetID(-1);
        QCOMPARE(ReadAll(file), QByteArray("one\ntwo"));
        QCOMPARE(ReadAll(file + QStringLiteral(".bak")), QByteArray("one\ntwo\nBAD\nfour"));

        WriteAll(file, "fine");
        table.SetID(7);
        QVERIFY(!table.LastLoadIncomplete());
        QVERIFY(table.LastBackupPath().isEmpty());
    }

    void backupThatCannotBeMadeBlocksTheWrite() {
        const QString file = TCurrentTable::TableFileName(9);
        WriteAll(file, "a\nBAD");
        // A folder stands where the backup copy would go.
        QDir().mkpath(file + QStringLiteral(".bak"));
        TFakeGrid grid;
        TCurrentTable table(grid);
        table.SetID(9);
        QVERIFY(table.LastLoadIncomplete());
        QVERIFY(table.LastBackupPath().isEmpty());
        table.SetIsChanged(true);
        QVERIFY_THROWS_EXCEPTION(EWriteError, table.SetID(1));
        QCOMPARE(ReadAll(file), QByteArray("a\nBAD"));
        QCOMPARE(table.ID(), 9);
        QDir(file + QStringLiteral(".bak")).removeRecursively();
        table.SetID(1);
        QCOMPARE(ReadAll(file + QStringLiteral(".bak")), QByteArray("a\nBAD"));
        QCOMPARE(ReadAll(file), QByteArray("a"));
    }
};

SORTELLE_TEST_MAIN(TestCurrentTable)
#include "tst_currenttable.moc"
