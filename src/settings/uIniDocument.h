#pragma once
// The in-memory form of a window-state file: ordered sections, each an ordered
// list of entry lines. Section and entry names are compared without regard to
// letter case; lines are kept in their order so other sections and unknown
// entries pass through a rewrite unchanged.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The encoding a window-state file was read in, written back the same way.
// System is the system's 8-bit encoding without a byte-order mark; the others
// carry their mark.
enum class TIniEncoding { System, Utf8, Utf16LE, Utf16BE };

struct TIniSection {
    QString Name;      // spelled as in the file
    QStringList Lines; // "name=value", or a line without "=" kept as it was
};

class TIniDocument {
public:
    void Clear() { fSections.clear(); }
    bool IsEmpty() const { return fSections.isEmpty(); }
    const QList<TIniSection>& Sections() const { return fSections; }

    // Replaces the document with the parsed text.
    void LoadText(const QString& text);
    // The text as written to disk: header, entries, one empty line per
    // section, every line ended by CR LF.
    QString Text() const;

    // The value of `key` in `section`; nothing when either is missing.
    std::optional<QString> ReadValue(const QString& section, const QString& key) const;
    // Replaces the entry in place, or appends it at the end of the section (a
    // missing section is appended at the end of the document first). The key
    // is written with the spelling given here.
    void WriteValue(const QString& section, const QString& key, const QString& value);

    // Detects the byte-order mark, skips it and decodes the rest.
    static QString Decode(const QByteArray& bytes, TIniEncoding* encoding);
    // Encodes with the encoding's mark (none for System).
    static QByteArray Encode(const QString& text, TIniEncoding encoding);

private:
    int SectionIndex(const QString& name) const;
    static int LineIndex(const TIniSection& section, const QString& key);

    QList<TIniSection> fSections;
};

// Trims characters with codes 0 to 32 at both ends.
QString TrimControls(QStringView text);
