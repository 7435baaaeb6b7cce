#include "uIniDocument.h"

#include <QStringDecoder>
#include <QStringEncoder>

QString TrimControls(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(begin, end - begin).toString();
}

namespace {
void AddLine(QList<TIniSection>& sections, QStringView raw) {
    const QString line = TrimControls(raw);
    if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
        return;
    if (line.size() >= 2 && line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
        sections.append({TrimControls(QStringView(line).mid(1, line.size() - 2)), {}});
        return;
    }
    if (sections.isEmpty())
        return; // lines before the first header belong to no section
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0) {
        sections.last().Lines.append(line);
        return;
    }
    sections.last().Lines.append(TrimControls(QStringView(line).left(eq)) + QLatin1Char('=') +
                                 TrimControls(QStringView(line).mid(eq + 1)));
}
} // namespace

void TIniDocument::LoadText(const QString& text) {
    QList<TIniSection> sections;
    const QStringView all(text);
    qsizetype start = 0;
    const qsizetype n = all.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = all[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            AddLine(sections, all.mid(start, i - start));
            if (c == QLatin1Char('\r') && i + 1 < n && all[i + 1] == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        AddLine(sections, all.mid(start));
    fSections = std::move(sections);
}

QString TIniDocument::Text() const {
    static const QString crlf = QStringLiteral("\r\n");
    QString text;
    for (const TIniSection& section : fSections) {
        text += QLatin1Char('[') + section.Name + QLatin1Char(']') + crlf;
        for (const QString& line : section.Lines)
            text += line + crlf;
        text += crlf;
    }
    return text;
}

int TIniDocument::SectionIndex(const QString& name) const {
    for (int i = 0; i < fSections.size(); ++i)
        if (fSections[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int TIniDocument::LineIndex(const TIniSection& section, const QString& key) {
    for (int i = 0; i < section.Lines.size(); ++i) {
        const QString& line = section.Lines[i];
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        // A line without "=" has no name and is never found.
        if (eq >= 0 && QStringView(line).left(eq).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::optional<QString> TIniDocument::ReadValue(const QString& section, const QString& key) const {
    const int s = SectionIndex(section);
    if (s < 0)
        return std::nullopt;
    const int l = LineIndex(fSections[s], key);
    if (l < 0)
        return std::nullopt;
    const QString& line = fSections[s].Lines[l];
    return line.mid(line.indexOf(QLatin1Char('=')) + 1);
}

void TIniDocument::WriteValue(const QString& section, const QString& key, const QString& value) {
    int s = SectionIndex(section);
    if (s < 0) {
        fSections.append({section, {}});
        s = int(fSections.size()) - 1;
    }
    TIniSection& target = fSections[s];
    const QString line = key + QLatin1Char('=') + value;
    const int l = LineIndex(target, key);
    if (l >= 0)
        target.Lines[l] = line;
    else
        target.Lines.append(line);
}

QString TIniDocument::Decode(const QByteArray& bytes, TIniEncoding* encoding) {
    TIniEncoding found = TIniEncoding::System;
    qsizetype skip = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        found = TIniEncoding::Utf8;
        skip = 3;
    } else if (bytes.startsWith("\xFF\xFE")) {
        found = TIniEncoding::Utf16LE;
        skip = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        found = TIniEncoding::Utf16BE;
        skip = 2;
    }
    if (encoding)
        *encoding = found;
    QStringConverter::Encoding qt = QStringConverter::System;
    switch (found) {
    case TIniEncoding::Utf8: qt = QStringConverter::Utf8; break;
    case TIniEncoding::Utf16LE: qt = QStringConverter::Utf16LE; break;
    case TIniEncoding::Utf16BE: qt = QStringConverter::Utf16BE; break;
    case TIniEncoding::System: break;
    }
    // The mark is skipped here; a second mark after it is text, not skipped again.
    QStringDecoder decoder(qt, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(bytes).sliced(skip));
}

QByteArray TIniDocument::Encode(const QString& text, TIniEncoding encoding) {
    QByteArray mark;
    QStringConverter::Encoding qt = QStringConverter::System;
    switch (encoding) {
    case TIniEncoding::Utf8: qt = QStringConverter::Utf8; mark = QByteArray("\xEF\xBB\xBF"); break;
    case TIniEncoding::Utf16LE: qt = QStringConverter::Utf16LE; mark = QByteArray("\xFF\xFE"); break;
    case TIniEncoding::Utf16BE: qt = QStringConverter::Utf16BE; mark = QByteArray("\xFE\xFF"); break;
    case TIniEncoding::System: break;
    }
    QStringEncoder encoder(qt);
    return mark + QByteArray(encoder.encode(text));
}
