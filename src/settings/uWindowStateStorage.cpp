#include "uWindowStateStorage.h"

#include "uIniDocument.h"

#include "platform/ErrorReport.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <limits>
#include <optional>

// ---------------------------------------------------------------------------
// Property builders

TStoredProp IntegerProp(const QString& name, std::function<int()> get, std::function<void(int)> set) {
    return {name, TPropKind::Integer, {}, [get] { return QVariant(get()); },
            [set](const QVariant& v) { set(v.toInt()); }};
}

TStoredProp BooleanProp(const QString& name, std::function<bool()> get, std::function<void(bool)> set) {
    return {name, TPropKind::Boolean, {}, [get] { return QVariant(get()); },
            [set](const QVariant& v) { set(v.toBool()); }};
}

TStoredProp EnumerationProp(const QString& name, const QStringList& identifiers,
                            std::function<int()> get, std::function<void(int)> set) {
    return {name, TPropKind::Enumeration, identifiers, [get] { return QVariant(get()); },
            [set](const QVariant& v) { set(v.toInt()); }};
}

TStoredProp StringProp(const QString& name, std::function<QString()> get,
                       std::function<void(const QString&)> set) {
    return {name, TPropKind::String, {}, [get] { return QVariant(get()); },
            [set](const QVariant& v) { set(v.toString()); }};
}

// ---------------------------------------------------------------------------
// Screen facts

namespace {
TScreenMetrics& Metrics() {
    static TScreenMetrics metrics;
    return metrics;
}

QSize VirtualDesktopSize() {
    if (Metrics().VirtualDesktopSize)
        return Metrics().VirtualDesktopSize();
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->virtualGeometry().size() : QSize(0, 0);
}

int ScreenPixelsPerInch(const QWidget* window) {
    if (Metrics().PixelsPerInch)
        return Metrics().PixelsPerInch(window);
    const QScreen* screen = window ? window->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInch()) : 96;
}

bool PointOnMonitor(const QPoint& point) {
    if (Metrics().PointOnMonitor)
        return Metrics().PointOnMonitor(point);
    return QGuiApplication::screenAt(point) != nullptr;
}

// A decimal integer with an optional sign that fits 32 bits.
std::optional<int> ParseInteger(QStringView text) {
    if (text.isEmpty())
        return std::nullopt;
    qsizetype i = 0;
    bool negative = false;
    if (text[0] == QLatin1Char('-') || text[0] == QLatin1Char('+')) {
        negative = text[0] == QLatin1Char('-');
        i = 1;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > qint64(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

// The words of a four-number value: maximal runs of characters other than
// blank and ",".
QList<QStringView> Words(QStringView text) {
    QList<QStringView> words;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool delimiter = i == text.size() || text[i] == QLatin1Char(' ') || text[i] == QLatin1Char(',');
        if (delimiter) {
            if (start >= 0)
                words.append(text.mid(start, i - start));
            start = -1;
        } else if (start < 0) {
            start = i;
        }
    }
    return words;
}

qint64 Word(const QList<QStringView>& words, int index, qint64 fallback) {
    if (index >= words.size())
        return fallback;
    const std::optional<int> value = ParseInteger(words[index]);
    return value ? *value : fallback;
}

bool FitsInt(qint64 v) {
    return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
}

QString FourNumbers(int a, int b, int c, int d) {
    return QStringLiteral("%1,%2,%3,%4").arg(a).arg(b).arg(c).arg(d);
}

QString KeyOf(const QString& propName) {
    QString key = propName;
    const qsizetype dot = key.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        key[dot] = QLatin1Char('_');
    return key;
}

// Converts a stored text by the property's kind; nothing when the text does not
// convert (the property then keeps its value).
std::optional<QVariant> ConvertValue(const TStoredProp& prop, const QString& text) {
    switch (prop.Kind) {
    case TPropKind::Integer: {
        if (text.isEmpty())
            return QVariant(0);
        const std::optional<int> v = ParseInteger(text);
        if (!v)
            return std::nullopt;
        return QVariant(*v);
    }
    case TPropKind::Boolean: {
        static const QStringList trueWords{QStringLiteral("TRUE"), QStringLiteral("YES"), QStringLiteral("Y")};
        static const QStringList falseWords{QStringLiteral("FALSE"), QStringLiteral("NO"), QStringLiteral("N")};
        if (trueWords.contains(text, Qt::CaseInsensitive))
            return QVariant(true);
        if (falseWords.contains(text, Qt::CaseInsensitive) || text.isEmpty())
            return QVariant(false);
        const std::optional<int> v = ParseInteger(text);
        if (!v)
            return std::nullopt;
        return QVariant(*v != 0);
    }
    case TPropKind::Enumeration: {
        for (int i = 0; i < prop.Identifiers.size(); ++i)
            if (prop.Identifiers[i].compare(text, Qt::CaseInsensitive) == 0)
                return QVariant(i);
        const std::optional<int> v = text.isEmpty() ? std::optional<int>(0) : ParseInteger(text);
        // An ordinal outside the enumeration is ignored, never handed on.
        if (!v || *v < 0 || *v >= prop.Identifiers.size())
            return std::nullopt;
        return QVariant(*v);
    }
    case TPropKind::String:
        return QVariant(text);
    }
    return std::nullopt;
}

// The stored text of a property's current value.
QString EncodeValue(const TStoredProp& prop, const QVariant& value) {
    switch (prop.Kind) {
    case TPropKind::Integer:
        return QString::number(value.toInt());
    case TPropKind::Boolean:
        return value.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case TPropKind::Enumeration: {
        if (value.typeId() == QMetaType::QString)
            return value.toString();
        const int ordinal = value.toInt();
        if (ordinal >= 0 && ordinal < prop.Identifiers.size())
            return prop.Identifiers[ordinal];
        return QString::number(ordinal);
    }
    case TPropKind::String: {
        // A line break would end the entry line and turn the rest into lines of
        // their own (even a section header); it cannot be stored, so it becomes
        // a blank.
        QString text = value.toString();
        text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        return text;
    }
    }
    return {};
}
} // namespace

// ---------------------------------------------------------------------------
// The storage

struct TWindowStateStorage::TImpl {
    QWidget* Window = nullptr;
    QString Section;
    bool IsMainWindow = false;
    TFirstShowRule FirstShowRule = TFirstShowRule::PlatformDefault;
    QWidget* MainWindow = nullptr;

    QString FileName;
    TIniDocument Document;
    TIniEncoding Encoding = TIniEncoding::System;
    bool ReadOnly = false;
    bool ReadFailed = false;
    bool Restored = false;
    bool Saved = false;
    QList<TStoredProp> StoredProps;

    bool ShownBefore = false;       // RestoreState has run once in this run
    bool PlacementDecided = false;  // the stored placement or the first-show rule took effect

    std::optional<QString> Read(const QString& key) const { return Document.ReadValue(Section, key); }

    void Write(const QString& key, const QString& value) {
        if (!ReadOnly)
            Document.WriteValue(Section, key, value);
    }

    // An integer key of the placement: absent gives `absent`, empty gives 0,
    // any other non-integer text raises.
    int ReadInteger(const QString& key, int absent) const {
        const std::optional<QString> text = Read(key);
        if (!text)
            return absent;
        if (text->isEmpty())
            return 0;
        const std::optional<int> v = ParseInteger(*text);
        if (!v)
            throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(*text));
        return *v;
    }

    std::optional<QString> ReadSuffixed(const QString& key, const QString& suffix) const {
        std::optional<QString> text = Read(key + suffix);
        if (!text)
            text = Read(key);
        return text;
    }

    QWidget* FindMainWindow() const {
        if (MainWindow)
            return MainWindow;
        if (Window->parentWidget())
            return Window->parentWidget()->window();
        const QWidgetList tops = QApplication::topLevelWidgets();
        for (QWidget* w : tops)
            if (w != Window && w->objectName() == QLatin1String("frmMain"))
                return w;
        return nullptr;
    }

    // Moves the window so that its frame is centred on `area`, kept inside `bounds`.
    void CentreOn(const QRect& area, const QRect& bounds) {
        const QSize frame = Window->frameGeometry().size();
        int x = area.center().x() - frame.width() / 2 + 1;
        int y = area.center().y() - frame.height() / 2 + 1;
        if (bounds.isValid()) {
            x = qMax(bounds.left(), qMin(x, bounds.right() + 1 - frame.width()));
            y = qMax(bounds.top(), qMin(y, bounds.bottom() + 1 - frame.height()));
        }
        Window->move(x, y);
    }

    void ApplyFirstShowRule() {
        PlacementDecided = true;
        switch (FirstShowRule) {
        case TFirstShowRule::PlatformDefault:
            break; // the window manager places it
        case TFirstShowRule::CentreOnMainWindow: {
            QWidget* main = FindMainWindow();
            if (main && main->isVisible()) {
                const QScreen* screen = main->screen();
                CentreOn(main->frameGeometry(), screen ? screen->availableGeometry() : QRect());
                break;
            }
            [[fallthrough]]; // no main window to centre on: the desktop then
        }
        case TFirstShowRule::CentreOnDesktop: {
            const QScreen* screen = QGuiApplication::primaryScreen();
            if (screen)
                CentreOn(screen->availableGeometry(), screen->availableGeometry());
            break;
        }
        }
    }

    void ApplyPlacement() {
        const QRect current = Window->normalGeometry().isValid() ? Window->normalGeometry() : Window->geometry();
        // Flags: read (so that a faulty value fails here), used with the show state.
        const int flags = ReadInteger(QStringLiteral("Flags"), 0);
        const QString suffix = DesktopSuffix();
        bool found = false;
        if (const std::optional<QString> text = ReadSuffixed(QStringLiteral("MinMaxPos"), suffix);
            text && !text->isEmpty()) {
            // Qt windows have no minimized or maximized positions: the words are
            // read, but only their presence counts.
            found = true;
        }
        qint64 left = current.left();
        qint64 top = current.top();
        qint64 right = qint64(current.left()) + current.width();
        qint64 bottom = qint64(current.top()) + current.height();
        if (const std::optional<QString> text = ReadSuffixed(QStringLiteral("NormPos"), suffix);
            text && !text->isEmpty()) {
            found = true;
            const QList<QStringView> words = Words(*text);
            const qint64 w1 = Word(words, 0, current.left());
            const qint64 w2 = Word(words, 1, current.top());
            const qint64 w3 = Word(words, 2, current.width());
            const qint64 w4 = Word(words, 3, current.height());
            left = w1;
            top = w2;
            right = left + (w3 - w1);
            bottom = top + (w4 - w2);
        }
        if (found) {
            const int screenPpi = ScreenPixelsPerInch(Window);
            const int ppi = ReadInteger(QStringLiteral("PixelsPerInch"), screenPpi);
            const bool applies = ppi == screenPpi && left < right && FitsInt(left) && FitsInt(top) &&
                                 FitsInt(right - 1) && FitsInt(bottom - 1) && bottom > top &&
                                 PointOnMonitor(QPoint(int(left), int(top))) &&
                                 PointOnMonitor(QPoint(int(right - 1), int(bottom - 1)));
            if (applies) {
                PlacementDecided = true;
                Window->setGeometry(int(left), int(top), int(right - left), int(bottom - top));
            }
        }
        if (!PlacementDecided)
            ApplyFirstShowRule();

        const std::optional<int> showCmd =
            Read(QStringLiteral("ShowCmd")) ? std::optional<int>(ReadInteger(QStringLiteral("ShowCmd"), 0))
                                            : std::nullopt;
        if (showCmd) {
            Qt::WindowStates state = Window->windowState() &
                                     ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
            switch (*showCmd) {
            case 2: case 6: case 7:
                // For the main window this minimizes the whole program: on Qt
                // that is the main window itself.
                state |= Qt::WindowMinimized;
                if (flags & 2)
                    state |= Qt::WindowMaximized; // comes back maximized
                break;
            case 3:
                state |= Qt::WindowMaximized;
                break;
            default:
                break;
            }
            Window->setWindowState(state);
        }
        Window->update();
    }

    void ApplyProps() {
        for (const TStoredProp& prop : StoredProps) {
            const std::optional<QString> text = Read(KeyOf(prop.Name));
            if (!text || !prop.Set)
                continue;
            const std::optional<QVariant> value = ConvertValue(prop, *text);
            if (!value)
                continue;
            try {
                prop.Set(*value);
            } catch (...) {
                // A setter that refuses the value leaves the property as it was.
            }
        }
    }

    void CopyPlacement() {
        const Qt::WindowStates state = Window->windowState();
        int showCmd = 1;
        if (state & Qt::WindowMinimized)
            showCmd = 2;
        else if (state & Qt::WindowMaximized)
            showCmd = 3;
        const int flags = (state & Qt::WindowMinimized) && (state & Qt::WindowMaximized) ? 2 : 0;
        const QRect normal = Window->normalGeometry().isValid() ? Window->normalGeometry() : Window->geometry();
        const QRect frame = Window->frameGeometry();
        const QRect client = Window->geometry();
        const QString suffix = DesktopSuffix();
        const QString minMax = FourNumbers(-1, -1, frame.left() - client.left(), frame.top() - client.top());
        const QString norm = FourNumbers(normal.left(), normal.top(), normal.left() + normal.width(),
                                         normal.top() + normal.height());
        Write(QStringLiteral("ShowCmd"), QString::number(showCmd));
        Write(QStringLiteral("Flags"), QString::number(flags));
        Write(QStringLiteral("PixelsPerInch"), QString::number(ScreenPixelsPerInch(Window)));
        Write(QStringLiteral("MinMaxPos") + suffix, minMax);
        Write(QStringLiteral("MinMaxPos"), minMax);
        Write(QStringLiteral("NormPos") + suffix, norm);
        Write(QStringLiteral("NormPos"), norm);
    }

    void CopyProps() {
        for (const TStoredProp& prop : StoredProps) {
            if (!prop.Get)
                continue;
            QVariant value;
            try {
                value = prop.Get();
            } catch (...) {
                continue; // a property that cannot be read keeps its stored value
            }
            Write(KeyOf(prop.Name), EncodeValue(prop, value));
        }
    }
};

TWindowStateStorage::TWindowStateStorage(QWidget* window, const QString& section, bool isMainWindow,
                                         TFirstShowRule firstShowRule)
    : d(std::make_unique<TImpl>()) {
    d->Window = window;
    d->Section = section;
    d->IsMainWindow = isMainWindow;
    d->FirstShowRule = firstShowRule;
}

TWindowStateStorage::~TWindowStateStorage() {
    // The file is written at exit; a failure is told to the user, since the
    // settings of this run are then lost, but never escapes a destructor.
    try {
        ReportErrors([this] { WriteStateFile(); });
    } catch (...) {
    }
}

QString TWindowStateStorage::FileName() const { return d->FileName; }

void TWindowStateStorage::SetFileName(const QString& Value) {
    if (Value == d->FileName)
        return;
    d->FileName = Value;
    d->ReadOnly = false;
    d->ReadFailed = false;
    if (Value.isEmpty())
        return;
    const QFileInfo info(Value);
    if (!info.exists()) {
        d->Document.Clear();
        d->Encoding = TIniEncoding::System;
        return;
    }
    // The permission bits decide, not only access(): as root every file is
    // writable, yet a file without write bits is meant to stay as it is.
    // (WriteUser is left out: it is the access check again.)
    constexpr QFile::Permissions writeBits = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    d->ReadOnly = !info.isWritable() || (info.permissions() & writeBits) == 0;
    QFile file(Value);
    QByteArray bytes;
    bool ok = file.open(QIODevice::ReadOnly);
    if (ok) {
        bytes = file.readAll();
        ok = file.error() == QFileDevice::NoError;
    }
    if (!ok) {
        // What could not be read is not written over at exit either.
        d->ReadFailed = true;
        throw EOSError(int(file.error()), QStringLiteral("Cannot open file \"%1\". %2")
                                              .arg(QDir::toNativeSeparators(Value), file.errorString()));
    }
    TIniEncoding encoding = TIniEncoding::System;
    const QString text = TIniDocument::Decode(bytes, &encoding);
    d->Document.LoadText(text);
    d->Encoding = encoding;
}

void TWindowStateStorage::SetStoredProps(const QList<TStoredProp>& props) { d->StoredProps = props; }

void TWindowStateStorage::SetMainWindow(QWidget* mainWindow) { d->MainWindow = mainWindow; }

bool TWindowStateStorage::Restored() const { return d->Restored; }
bool TWindowStateStorage::Saved() const { return d->Saved; }
bool TWindowStateStorage::ReadOnly() const { return d->ReadOnly; }

void TWindowStateStorage::RestoreState() {
    d->Saved = false;
    const bool firstShowing = !d->ShownBefore;
    d->ShownBefore = true;
    // Only the first showing of a run places a window by its own rule; later
    // showings leave it where it was last.
    d->PlacementDecided = !firstShowing;
    try {
        const int version = d->ReadInteger(QStringLiteral("FormVersion"), 0);
        if (version >= 0) {
            d->ApplyPlacement();
            d->ApplyProps();
        }
    } catch (...) {
        if (!d->PlacementDecided)
            d->ApplyFirstShowRule();
        throw;
    }
    if (!d->PlacementDecided)
        d->ApplyFirstShowRule();
    d->Restored = true;
}

void TWindowStateStorage::SaveState() {
    d->Write(QStringLiteral("FormVersion"), QStringLiteral("0"));
    if (d->Restored) {
        d->CopyPlacement();
        d->CopyProps();
    }
    d->Saved = true;
}

void TWindowStateStorage::WriteStateFile() {
    if (d->ReadOnly || d->ReadFailed || d->FileName.isEmpty())
        return;
    WriteWholeFile(d->FileName, TIniDocument::Encode(d->Document.Text(), d->Encoding));
}

QString TWindowStateStorage::DocumentText() const { return d->Document.Text(); }

QString TWindowStateStorage::DesktopSuffix() {
    const QSize size = VirtualDesktopSize();
    return QStringLiteral("(%1x%2)").arg(size.width()).arg(size.height());
}

void TWindowStateStorage::SetScreenMetrics(const TScreenMetrics& metrics) { Metrics() = metrics; }
