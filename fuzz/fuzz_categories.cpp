// Arbitrary bytes as a categories file: the reader must report or load, never
// crash, hang or grow without bound.
#include "model/uProjectClasses.h"
#include "platform/Errors.h"

#include "../tests/common/MemoryTreeView.h"

#include <QCoreApplication>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_categories";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    TTree tree;
    TMemoryTreeView view;
    try {
        tree.LoadFromBytes(view, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    } catch (const Exception&) {
    }
    // What was loaded writes back and reads again the same.
    const QByteArray written = tree.SaveToBytes(view);
    TTree again;
    TMemoryTreeView reread;
    again.LoadFromBytes(reread, written);
    if (reread.Dump() != view.Dump())
        __builtin_trap();
    return 0;
}
