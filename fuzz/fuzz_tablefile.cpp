// Arbitrary bytes as a table file: the grid's reader must load or stop with
// a conversion error, never crash, hang or grow without bound. What it loaded
// must write and read back to the same bytes.
#include "platform/Errors.h"
#include "platform/RegionalSettings.h"
#include "ui/grid/uItemGrid.h"

#include <QApplication>

#include <cstdint>
#include <cstdlib>

// The font configuration library keeps a few blocks for the life of the
// process once the first widget asks for fonts; that is not the reader's.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_tablefile";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* a = new QApplication(argc, argv);
        SetRegionalSettings(TRegionalSettings::FromLocale(QLocale(QStringLiteral("en_US"))));
        return a;
    }();
    (void)app;
    static TItemGrid grid; // reused: each load replaces the rows of the one before
    static TItemGrid again;

    try {
        grid.LoadFromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    } catch (const EConvertError&) {
        // the rows read up to the bad field stay
    }
    // Written form of what was read is a fixed point: reading it loses nothing.
    const QByteArray written = grid.SaveToBytes();
    again.LoadFromBytes(written); // must not raise: every cell's text form parses
    if (again.RowCount() != grid.RowCount() || again.SaveToBytes() != written)
        __builtin_trap();
    return 0;
}
