#pragma once
// The window-state storage: one per main, options and player window. Keeps the
// window's placement and a fixed list of control properties in an ini file in
// the data folder. Reads the file when it is named, applies it at the window's
// first showing, copies the window's state at every accepted close and writes
// the file when it is destroyed at exit.
//
// How a window uses it:
//   FormCreate:    fStorage->SetFileName(DataFolder + "/frmX.ini");   (may raise)
//   showEvent:     if (!fStorage->Restored()) RestoreState (errors reported)
//   closeEvent:    after the window's own close query allowed the close: SaveState
//   destructor:    if (!fStorage->Saved()) SaveState; then destroy the storage,
//                  which writes the file (WriteStateFile).
//
// Placement on Qt. The keys and their formats are those of the Windows
// placement record; they map onto Qt like this:
//   ShowCmd        1 normal, 2 minimized, 3 maximized (read: 1/5/9 normal,
//                  2/6/7 minimized, 3 maximized, anything else normal).
//   Flags          2 when a minimized window returns to maximized (the record's
//                  "restore to maximized"), else 0.
//   PixelsPerInch  QScreen::logicalDotsPerInch of the window's screen, rounded.
//   MinMaxPos      "-1,-1" (no minimized position) and minus the frame margins
//                  as the maximized position; read and checked, never applied:
//                  Qt windows have no such positions.
//   NormPos        the normal (not maximized, not minimized) rectangle as
//                  QWidget::normalGeometry gives it: left, top, left + width,
//                  top + height, in global coordinates. This is the client
//                  rectangle rather than the frame: on X11 the frame margins
//                  are unknown before a window is first mapped, and only the
//                  client rectangle lands exactly where it was.
//   suffix "(WxH)" the size of the primary screen's virtual desktop.

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

class QWidget;
class QPoint;

enum class TPropKind { Integer, Boolean, Enumeration, String };

// One kept property, "Component.Property" (the key is "Component_Property").
struct TStoredProp {
    QString Name;           // e.g. "Panel1.Width"
    TPropKind Kind;
    QStringList Identifiers; // enumeration identifiers in ordinal order
    std::function<QVariant()> Get;          // int, bool, int ordinal or QString
    std::function<void(const QVariant&)> Set; // may raise; the property then keeps its value
};

// Builders for the common getter/setter pairs. The setter gets a value that
// has already been converted and, for enumerations, range-checked.
TStoredProp IntegerProp(const QString& name, std::function<int()> get, std::function<void(int)> set);
TStoredProp BooleanProp(const QString& name, std::function<bool()> get, std::function<void(bool)> set);
TStoredProp EnumerationProp(const QString& name, const QStringList& identifiers,
                            std::function<int()> get, std::function<void(int)> set);
TStoredProp StringProp(const QString& name, std::function<QString()> get,
                       std::function<void(const QString&)> set);

// Where a window goes at its first showing when no stored placement applies.
enum class TFirstShowRule { PlatformDefault, CentreOnMainWindow, CentreOnDesktop };

// The screen facts the storage reads; tests replace them. An empty function
// stands for the real screen.
struct TScreenMetrics {
    std::function<QSize()> VirtualDesktopSize;
    std::function<int(const QWidget* window)> PixelsPerInch;
    std::function<bool(const QPoint& point)> PointOnMonitor;
};

class TWindowStateStorage {
public:
    // `section` is the window's name (frmMain, frmOptions, frmPlayer).
    TWindowStateStorage(QWidget* window, const QString& section, bool isMainWindow,
                        TFirstShowRule firstShowRule);
    ~TWindowStateStorage(); // WriteStateFile; a failure is reported, never raised
    TWindowStateStorage(const TWindowStateStorage&) = delete;
    TWindowStateStorage& operator=(const TWindowStateStorage&) = delete;

    QString FileName() const;
    // Takes the name and loads the file; raises when the file exists but
    // cannot be read (EOSError "Cannot open file ..."). The same name again
    // does nothing. A file that could not be read is not written over at exit.
    void SetFileName(const QString& Value);

    void SetStoredProps(const QList<TStoredProp>& props);

    // The window that CentreOnMainWindow centres on. Without one the storage
    // takes the window's parent, else the top-level window named "frmMain".
    void SetMainWindow(QWidget* mainWindow);

    bool Restored() const;
    bool Saved() const;
    // The file had no write permission when it was named: the document never
    // changes and the file is not written.
    bool ReadOnly() const;

    void RestoreState();   // raises EConvertError "'%s' is not a valid integer value"
    void SaveState();      // copies into the in-memory document only
    void WriteStateFile(); // writes the document whole or not at all; raises EWriteError

    // The in-memory document's text, as it would be written (for tests).
    QString DocumentText() const;

    // The desktop suffix of the moment, e.g. "(1920x1080)".
    static QString DesktopSuffix();
    static void SetScreenMetrics(const TScreenMetrics& metrics);

private:
    struct TImpl;
    std::unique_ptr<TImpl> d;
};
