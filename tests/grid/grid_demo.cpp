// Shows a grid with a few entries (0 %, 45 % and 100 % played) the way the
// main window does, for looking at it. Arguments: how long to stay open in
// seconds (default: until closed) and a PNG file to save the grid's image to.

#include "platform/RegionalSettings.h"
#include "ui/grid/uItemGrid.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SetRegionalSettings(TRegionalSettings::FromLocale(QLocale(QStringLiteral("en_US"))));
    TItemGrid grid;
    grid.setWindowTitle(QStringLiteral("grdTable"));
    struct TEntry {
        const char* path;
        const char* name;
        int type;
        double progress;
        const char* ext;
        QDate added;
        const char* duration;
        const char* size;
    };
    const TEntry entries[] = {
        {"/home/anna/Music/intro.mp3", "intro", 9, 0, "mp3", QDate(2014, 4, 27), "", "3.4"},
        {"/home/anna/Videos/Holiday in the mountains, 2013.mp4", "Holiday in the mountains, 2013", 10, 45, "mp4",
         QDate(2014, 5, 2), "1:12:05", "812.6"},
        {"/home/anna/Music/Live at the harbour/01 Overture.flac", "01 Overture", 9, 100, "flac", QDate(2014, 5, 3), "",
         "41.9"},
        {"/home/anna/Documents/Manual.pdf", "Manual", 13, 0, "pdf", QDate(2014, 6, 11), "", "1.2"},
        {"/home/anna/Pictures/Harbour.jpg", "Harbour", 16, 0, "jpg", QDate(2014, 6, 12), "", "2.8"},
    };
    for (const TEntry& e : entries) {
        const int r = grid.AddRow(1);
        grid.Cell(colPathIndex, r).SetAsString(QString::fromUtf8(e.path));
        grid.Cell(colNameIndex, r).SetAsString(QString::fromUtf8(e.name));
        grid.Cell(colTypeIndex, r).SetAsInteger(e.type);
        grid.Cell(colProgressIndex, r).SetAsFloat(e.progress);
        grid.Cell(colExtensionIndex, r).SetAsString(QString::fromUtf8(e.ext));
        grid.Cell(colAddedIndex, r).SetAsDateTime(DateTimeFromQDate(e.added));
        grid.Cell(colDurationIndex, r).SetAsString(QString::fromUtf8(e.duration));
        grid.Cell(colSizeIndex, r).SetAsString(QString::fromUtf8(e.size));
    }
    grid.FindText(colNameIndex, QStringLiteral("Holiday"), soCaseInsensitive);
    grid.resize(560, 200);
    grid.move(20, 20);
    grid.show();
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 0;
    const QString png = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (seconds > 0)
        QTimer::singleShot(seconds * 1000, &app, [&] {
            if (!png.isEmpty())
                grid.grab().save(png);
            app.quit();
        });
    return app.exec();
}
