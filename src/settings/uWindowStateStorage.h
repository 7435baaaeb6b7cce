#pragma once
// The window-state storage: one per main, options and player window. Keeps the
// window's placement and a fixed list of control properties in an ini file in
// the data folder. Reads the file when it is named, applies it at the window's
// first showing, copies the window's state at every accepted close and writes
// the file when it is destroyed at exit.
//
// CONTRACT (written before the implementation): the public members below are
// what the windows call. Extend freely; change a signature only together with
// its callers.
//
// How a window uses it:
//   FormCreate:    fStorage->SetFileName(DataFolder + "/frmX.ini");   (may raise)
//   showEvent:     if (!fStorage->Restored()) RestoreState (errors reported)
//   closeEvent:    after the window's own close query allowed the close: SaveState
//   destructor:    if (!fStorage->Saved()) SaveState; then destroy the storage,
//                  which writes the file (WriteStateFile).

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

class QWidget;

enum class TPropKind { Integer, Boolean, Enumeration, String };

// One kept property, "Component.Property" (the key is "Component_Property").
struct TStoredProp {
    QString Name;           // e.g. "Panel1.Width"
    TPropKind Kind;
    QStringList Identifiers; // enumeration identifiers in ordinal order
    std::function<QVariant()> Get;          // int, bool, int ordinal or QString
    std::function<void(const QVariant&)> Set; // may raise; the property then keeps its value
};

// Where a window goes at its first showing when no stored placement applies.
enum class TFirstShowRule { PlatformDefault, CentreOnMainWindow, CentreOnDesktop };

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
    // cannot be read. The same name again does nothing.
    void SetFileName(const QString& Value);

    void SetStoredProps(const QList<TStoredProp>& props);

    bool Restored() const;
    bool Saved() const;

    void RestoreState();   // raises EConvertError "'%s' is not a valid integer value"
    void SaveState();      // copies into the in-memory document only
    void WriteStateFile(); // writes the document whole or not at all; raises EWriteError

    // The in-memory document's text, as it would be written (for tests).
    QString DocumentText() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> d;
};
